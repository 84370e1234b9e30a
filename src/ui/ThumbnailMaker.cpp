#include "ui/ThumbnailMaker.h"

#include <QFutureWatcher>
#include <QThread>
#include <QtConcurrent/QtConcurrentRun>

namespace tabulonix {

TThumbnailMaker::TThumbnailMaker(int parallel, QObject* parent)
    : QObject(parent),
      parallel_(parallel > 0 ? parallel : std::max(1, QThread::idealThreadCount())),
      make_(LoadThumbnail)
{
    pool_.setMaxThreadCount(parallel_);
}

void TThumbnailMaker::SetParallel(int parallel)
{
    parallel_ = parallel > 0 ? parallel : std::max(1, QThread::idealThreadCount());
    pool_.setMaxThreadCount(parallel_);
}

TThumbnailMaker::~TThumbnailMaker()
{
    queue_.clear();
    ++generation_;
    // Running jobs only read their own file; wait so none outlives the pool.
    pool_.waitForDone();
}

void TThumbnailMaker::Start(const std::vector<std::string>& paths)
{
    Stop();
    for (size_t i = 0; i < paths.size(); ++i)
        queue_.push_back(Job{static_cast<int>(i), paths[i]});
    StartQueued();
    if (!Busy())
        emit Finished();
}

void TThumbnailMaker::Stop()
{
    queue_.clear();
    ++generation_;
    running_ = 0;
}

void TThumbnailMaker::StartQueued()
{
    while (running_ < parallel_ && !queue_.empty()) {
        Job job = std::move(queue_.front());
        queue_.pop_front();
        ++running_;
        auto* watcher = new QFutureWatcher<ThumbnailResult>(this);
        const unsigned generation = generation_;
        const int index = job.index;
        connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, generation, index] {
            ThumbnailResult result = watcher->result();
            watcher->deleteLater();
            if (generation != generation_)
                return;
            --running_;
            StartQueued();
            emit ThumbnailReady(index, result.image);
            if (generation == generation_ && !Busy())
                emit Finished();
        });
        watcher->setFuture(QtConcurrent::run(&pool_, make_, std::move(job.path)));
    }
}

} // namespace tabulonix
