// Compares the core clock Talvex measures with independent figures, on every processor this process
// may run on. Both references time a chain of dependent 64-bit multiplications (three cycles each on
// Intel cores since Nehalem and on AMD's Zen), another instruction and another loop than Talvex's:
// - "mul best": the fastest of 20 chains of about 1 ms against CLOCK_MONOTONIC, taken just before and
//   just after each Talvex measurement (their mean), so the clock drifting between rounds (a host's
//   turbo under load) does not count as an error;
// - "mul CPU time": one chain over about 50 ms of the thread's own CPU time, the mean clock while it
//   ran; it lies below the others when the clock varies within those 50 ms.
// Usage: tool_core_clock_accuracy [rounds]   (default 15 a processor; medians are printed)
// Run it idle, then beside a busy process on the same processor (taskset -c N sh -c 'while :; do :; done').

#include <time.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "probe/clock/core_clock.h"
#include "probe/platform/platform.h"

namespace {

constexpr double kMultiplyCycles = 3;

double Seconds(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

void Multiplications(uint64_t turns) {
    uint64_t x = 3;
    const uint64_t factor = 1;
    asm volatile(
        "1:\n\t"
        ".rept 16\n\t"
        "imulq %[factor], %[x]\n\t"
        ".endr\n\t"
        "decq %[turns]\n\t"
        "jnz 1b\n\t"
        : [x] "+r"(x), [turns] "+r"(turns)
        : [factor] "r"(factor)
        : "cc");
}

double MultiplyMHz(uint64_t turns, clockid_t clock) {
    const double t0 = Seconds(clock);
    Multiplications(turns);
    const double t1 = Seconds(clock);
    return static_cast<double>(turns) * 16 * kMultiplyCycles / (t1 - t0) / 1e6;
}

double BestMHz() {
    double best = 0;
    for (int i = 0; i < 20; ++i) best = std::max(best, MultiplyMHz(80000, CLOCK_MONOTONIC));  // ~1 ms
    return best;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    talvex::LinuxPlatform os;
    std::vector<unsigned> allowed = os.ThreadAffinity();
    if (allowed.empty()) allowed = {0};
    std::printf("%-4s %8s %10s %8s %14s %8s %10s %6s\n", "CPU", "Talvex", "mul best", "diff", "mul CPU time",
                "noisy", "abandoned", "TSC");
    int result = 0;
    for (unsigned k : allowed) {
        if (!os.SetThreadAffinity({k})) {
            std::printf("%-4u cannot run on it\n", k + 1);
            continue;
        }
        std::vector<double> figures, references, diffs, means;
        int noisy = 0, abandoned = 0;
        uint32_t tsc = 0;
        for (int i = 0; i < rounds; ++i) {
            const double before = BestMHz();
            const talvex::CoreClock c = talvex::MeasureCoreClock(os);
            const double reference = (before + BestMHz()) / 2;
            means.push_back(MultiplyMHz(4000000, CLOCK_THREAD_CPUTIME_ID));  // ~50 ms
            noisy += c.noisy;
            abandoned += !c.mhz;
            if (c.tsc_mhz) tsc = *c.tsc_mhz;
            if (!c.mhz) continue;
            figures.push_back(*c.mhz);
            references.push_back(reference);
            diffs.push_back((*c.mhz - reference) / reference * 100);
        }
        if (diffs.empty()) {
            std::printf("%-4u every measurement abandoned (%d)\n", k + 1, abandoned);
            result = 1;
            continue;
        }
        const double diff = Median(diffs);
        std::printf("%-4u %8.0f %10.0f %+7.2f%% %14.0f %5d/%-2d %7d/%-2d %6u\n", k + 1, Median(figures),
                    Median(references), diff, Median(means), noisy, rounds, abandoned, rounds, tsc);
        if (diff > 2 || diff < -2) result = 1;
    }
    return result;
}
