#pragma once
#include "ui/Thumbnails.h"

#include <QObject>
#include <QThreadPool>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace tabulonix {

// Makes thumbnails on worker threads, a bounded number at a time, and hands each one back
// on the GUI thread as a value. Files are started in the order given, so cells fill in
// that order as far as the workers allow.
class TThumbnailMaker : public QObject {
    Q_OBJECT
  public:
    using MakeFunction = std::function<ThumbnailResult(const std::string& path)>;

    // `parallel` files at a time (0: as many as there are cores).
    explicit TThumbnailMaker(int parallel = 0, QObject* parent = nullptr);
    ~TThumbnailMaker() override;

    // Starts the files of a new list; work still queued for an earlier list is dropped and
    // results of its running files are thrown away when they come.
    void Start(const std::vector<std::string>& paths);
    // Drops the queued work of the current list.
    void Stop();
    bool Busy() const { return !queue_.empty() || running_ > 0; }
    int Parallel() const { return parallel_; }
    void SetParallel(int parallel);

    // Replaces the work done per file (tests, benchmarks). Runs on worker threads.
    void SetMakeFunction(MakeFunction make) { make_ = std::move(make); }

  signals:
    // `index` is the position in the list given to Start.
    void ThumbnailReady(int index, const QImage& image);
    // The last file of the list is done.
    void Finished();

  private:
    void StartQueued();

    struct Job {
        int index;
        std::string path;
    };
    QThreadPool pool_;
    int parallel_;
    MakeFunction make_;
    std::deque<Job> queue_;
    int running_ = 0;         // jobs of the current list on the workers
    unsigned generation_ = 0; // bumped by every Start and Stop
};

} // namespace tabulonix
