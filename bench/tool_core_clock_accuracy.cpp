// Compares the core clock Talvex measures with an independent figure, on every processor this process
// may run on. The reference times a chain of dependent 64-bit multiplications (three cycles each on
// Intel cores since Nehalem and on AMD's Zen) for about half a second of the thread's own CPU time,
// so another process sharing the processor does not lower it; the best of three runs is kept.
// Usage: tool_core_clock_accuracy [runs]   (default 9 Talvex measurements a processor, median kept)
// Run it idle, then beside a busy process on the same processor (taskset -c N sh -c 'while :; do :; done').

#include <time.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "probe/core_clock.h"
#include "probe/platform.h"

namespace {

constexpr double kMultiplyCycles = 3;

double ThreadSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
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

double ReferenceMHz() {
    double best = 0;
    for (int run = 0; run < 3; ++run) {
        const uint64_t turns = 30000000;  // 480 M multiplications, about 0.4 s at 3.6 GHz
        const double t0 = ThreadSeconds();
        Multiplications(turns);
        const double t1 = ThreadSeconds();
        best = std::max(best, static_cast<double>(turns) * 16 * kMultiplyCycles / (t1 - t0) / 1e6);
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    talvex::LinuxPlatform os;
    std::vector<unsigned> allowed = os.ThreadAffinity();
    if (allowed.empty()) allowed = {0};
    std::printf("%-4s %10s %8s %10s %7s %6s\n", "CPU", "Talvex", "noisy", "reference", "diff", "TSC");
    int worst = 0;
    for (unsigned k : allowed) {
        if (!os.SetThreadAffinity({k})) {
            std::printf("%-4u cannot run on it\n", k + 1);
            continue;
        }
        std::vector<uint32_t> figures;
        int noisy = 0;
        uint32_t tsc = 0;
        for (int i = 0; i < runs; ++i) {
            const talvex::CoreClock c = talvex::MeasureCoreClock(os);
            noisy += c.noisy;
            if (c.mhz) figures.push_back(*c.mhz);
            if (c.tsc_mhz) tsc = *c.tsc_mhz;
        }
        const double reference = ReferenceMHz();
        if (figures.empty()) {
            std::printf("%-4u %10s %5d/%-2d %10.0f\n", k + 1, "abandoned", noisy, runs, reference);
            continue;
        }
        std::sort(figures.begin(), figures.end());
        const double median = figures[figures.size() / 2];
        const double diff = (median - reference) / reference * 100;
        std::printf("%-4u %10.0f %5d/%-2d %10.0f %+6.2f%% %6u\n", k + 1, median, noisy, runs, reference, diff,
                    tsc);
        if (diff > 2 || diff < -2) worst = 1;
    }
    return worst;
}
