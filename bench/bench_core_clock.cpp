// Cost of one core clock measurement on this machine, pinned to the first processor allowed: as
// talvex-report --measure makes it (target: about 20 ms) and as the details window makes it each
// second for each processor (three windows). Each run also reports the figures it measured.

#include <benchmark/benchmark.h>

#include "probe/clock/core_clock.h"
#include "probe/platform/platform.h"

namespace talvex {
namespace {

void BM_MeasureCoreClock(benchmark::State& state, unsigned windows) {
    LinuxPlatform os;
    const std::vector<unsigned> allowed = os.ThreadAffinity();
    if (!allowed.empty()) os.SetThreadAffinity({allowed.front()});
    CoreClockSettings settings;
    settings.windows = windows;
    double mhz = 0, tsc = 0, noisy = 0, abandoned = 0;
    for (auto _ : state) {
        const CoreClock clock = MeasureCoreClock(os, settings);
        mhz = clock.mhz.value_or(0);
        tsc = clock.tsc_mhz.value_or(0);
        noisy += clock.noisy;
        abandoned += !clock.mhz;
    }
    state.counters["MHz"] = mhz;
    state.counters["tscMHz"] = tsc;
    state.counters["noisy"] = benchmark::Counter(noisy, benchmark::Counter::kAvgIterations);
    state.counters["abandoned"] = benchmark::Counter(abandoned, benchmark::Counter::kAvgIterations);
}
BENCHMARK_CAPTURE(BM_MeasureCoreClock, report, CoreClockSettings{}.windows)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MeasureCoreClock, live_window, 3u)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace talvex

BENCHMARK_MAIN();
