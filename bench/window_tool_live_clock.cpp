// What the details window's live clock costs while the window is open: the process's CPU time over a
// stretch of wall time with the window shown, against the same stretch with it closed, as a share of
// one processor (target: under 2%). Also the readings the Clock column showed at the end.
// Usage: window_tool_live_clock [seconds]   (default 20 each way)

#include <QAbstractItemModel>
#include <QAction>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTableView>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>

#include "main/window/application.h"
#include "main/window/details_window.h"
#include "main/window/mainform.h"
#include "main/window/workers.h"

namespace {

double ProcessSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The share of one processor the process used over `ms` of wall time, the event loop running.
double Share(int ms) {
    const double cpu = ProcessSeconds();
    QElapsedTimer wall;
    wall.start();
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return (ProcessSeconds() - cpu) / (static_cast<double>(wall.elapsed()) / 1000.0);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace talvex;
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    TalvexApplication app(argc, argv);
    HardwareSource source;
    LinuxPlatform platform;
    Tmainform form(Probe{source, platform});
    form.FormCreate();
    form.show();
    Share(500);

    const double closed = Share(seconds * 1000);
    form.findChild<QAction*>("mnuMainEditDetails")->trigger();
    auto* details = form.findChild<DetailsWindow*>("details");
    if (details == nullptr) {
        std::fprintf(stderr, "window_tool_live_clock: the details window did not open\n");
        return 1;
    }
    Share(1500);  // the first readings and the plot's first drawing
    const double open = Share(seconds * 1000);
    const QAbstractItemModel& m = *details->findChild<QTableView*>("processorView")->model();
    for (int r = 0; r < m.rowCount(); ++r)
        std::printf("CPU%s: %s\n", qPrintable(m.index(r, 1).data().toString()),
                    qPrintable(m.index(r, m.columnCount() - 1).data().toString()));
    std::printf("window closed: %.2f%% of one processor\n", closed * 100);
    std::printf("window open:   %.2f%% of one processor (+%.2f%%), over %d s each\n", open * 100,
                (open - closed) * 100, seconds);
    details->close();
    WaitForWorkers();  // they use the platform, which goes with this function
    return 0;
}
