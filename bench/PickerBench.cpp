// Time from "Browse..." to the last thumbnail painted in the source image picker, with one
// worker per core against one worker making one file at a time.
//
//   picker-bench PHOTO_FOLDER [ROUNDS]
#include "ui/ImageIkkuna.h"

#include "platform/Files.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace tabulonix;

namespace {

struct Timing {
    double total = 0; // ms from the click on "Browse..." to the last thumbnail painted
    double stall = 0; // the longest time the GUI thread did not answer a 5 ms timer
};

Timing Browse(const std::string& folder, int workers)
{
    TKuvaIkkuna picker;
    picker.Maker().SetParallel(workers);
    picker.ChooseFolder = [&](QWidget*, const QString&) { return folder; };
    picker.resize(1000, 700);
    picker.show();
    QApplication::processEvents();

    QElapsedTimer clock, sinceTick;
    Timing timing;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        timing.stall = std::max(timing.stall, sinceTick.nsecsElapsed() / 1e6);
        sinceTick.restart();
    });
    QEventLoop wait;
    QObject::connect(&picker, &TKuvaIkkuna::ThumbnailsDone, &wait, &QEventLoop::quit);
    clock.start();
    sinceTick.start();
    ticker.start(5);
    picker.btnBrowse->click();
    if (picker.MakingThumbnails())
        wait.exec();
    picker.Pane().viewport()->repaint();
    timing.total = clock.nsecsElapsed() / 1e6;
    return timing;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: picker-bench PHOTO_FOLDER [ROUNDS]\n");
        return 2;
    }
    const std::string folder = IncludeTrailingSlash(argv[1]);
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    std::vector<Timing> threaded, single;
    for (int r = 0; r < rounds; ++r) {
        threaded.push_back(Browse(folder, 0));
        single.push_back(Browse(folder, 1));
    }
    auto median = [](std::vector<Timing> v, double Timing::*field) {
        std::sort(v.begin(), v.end(),
                  [&](const Timing& a, const Timing& b) { return a.*field < b.*field; });
        return v[v.size() / 2].*field;
    };
    const double t = median(threaded, &Timing::total), s = median(single, &Timing::total);
    std::printf("cores: %d, rounds: %d (medians)\n", QThread::idealThreadCount(), rounds);
    std::printf("one worker per core: %8.0f ms, longest GUI stall %5.0f ms\n", t,
                median(threaded, &Timing::stall));
    std::printf("one file at a time:  %8.0f ms, longest GUI stall %5.0f ms\n", s,
                median(single, &Timing::stall));
    std::printf("speed-up:            %8.2f x\n", s / t);
    return 0;
}
