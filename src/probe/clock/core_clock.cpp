// The core clock as the rate of a chain of dependent additions. Each addition needs the result of the
// one before, so the chain runs one addition a cycle whatever the core's width, and neither turbo nor
// a hypervisor's nominal frequency can hide from it.
#include "probe/clock/core_clock.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>
#include <vector>

namespace talvex {

namespace {

constexpr uint64_t kChainBlock = 32;         // additions a turn of the loop; chains are multiples
constexpr uint64_t kFirstChain = 4096;       // the calibration's first chain, doubled until long enough
constexpr double kCalibrationShare = 0.125;  // of a window: how long the calibration's last chain runs
constexpr double kGiveUpSeconds = 0.1;       // a measurement this long is abandoned
constexpr double kNoisyShare = 0.03;         // how far the median window may lie below the fastest

// The assumption: a register-to-register ADD has a latency of one cycle, so a dependent chain runs one
// addition a cycle. That holds for every x86 core since the i486 but one: the first NetBurst cores
// (Willamette, Northwood and their Xeons) add in a staggered ALU clocked at twice the core, half a
// cycle an addition. Prescott (model 3) and its successors gave that up: one cycle an addition again,
// although their simple ALUs still issue twice a cycle.
struct ChainRate {
    std::string_view microarchitecture;
    uint32_t family;
    uint32_t model_lo, model_hi;
    unsigned additions_per_cycle;
};
// clang-format off
constexpr std::array<ChainRate, 1> kChainRates{{
    // microarchitecture  family  models      additions a cycle
    {"NetBurst",          15,     0x0, 0x2,   2},
}};
// clang-format on

uint64_t RoundToBlock(double additions) {
    const double blocks = std::ceil(additions / static_cast<double>(kChainBlock));
    return std::max<uint64_t>(1, static_cast<uint64_t>(std::min(blocks, 1e12))) * kChainBlock;
}

// Half away from zero, as std::lround, which alone would bring the maths library (and its loading)
// into talvex-report. The rate is never negative.
uint32_t RoundMHz(double hz) {
    const double mhz = std::min(hz / 1e6, 4e9);
    const auto whole = static_cast<uint32_t>(mhz);
    return mhz - whole >= 0.5 ? whole + 1 : whole;
}

}  // namespace

void RunAdditionChain(uint64_t additions) {
#if defined(__x86_64__)
    uint64_t turns = (additions + kChainBlock - 1) / kChainBlock;
    if (turns == 0) return;
    uint32_t sum = 0;
    const uint32_t step = 1;
    // The loop counter is a chain of its own, running beside the additions' chain.
    asm volatile(
        "1:\n\t"
        ".rept 32\n\t"
        "addl %[step], %[sum]\n\t"
        ".endr\n\t"
        "decq %[turns]\n\t"
        "jnz 1b\n\t"
        : [sum] "+r"(sum), [turns] "+r"(turns)
        : [step] "r"(step)
        : "cc");
    static_assert(kChainBlock == 32, "the .rept count");
#else
    (void)additions;
#endif
}

unsigned AdditionsPerCycle(std::string_view microarchitecture, uint32_t family, uint32_t model) {
    for (const ChainRate& r : kChainRates)
        if (microarchitecture == r.microarchitecture && family == r.family && model >= r.model_lo
            && model <= r.model_hi)
            return r.additions_per_cycle;
    return 1;
}

CoreClock MeasureCoreClock(Platform& os, const CoreClockSettings& settings, const AdditionChain& chain) {
    CoreClock result;
    const int64_t frequency = os.QueryPerformanceFrequency();
    if (frequency <= 0) {
        result.noisy = true;
        return result;
    }
    const auto seconds = [&](int64_t from, int64_t to) {
        return static_cast<double>(to - from) / static_cast<double>(frequency);
    };
    const double window = static_cast<double>(settings.window_ns) / 1e9;

    const int64_t start = os.QueryPerformanceCounter();
    const uint64_t tsc_start = settings.read_time_stamp_counter ? os.ReadTimeStampCounter() : 0;
    const auto finish = [&](int64_t end) {
        if (settings.read_time_stamp_counter && end > start) {
            const auto ticks = static_cast<double>(os.ReadTimeStampCounter() - tsc_start);
            result.tsc_mhz = RoundMHz(ticks / seconds(start, end));
        }
        return result;
    };
    const auto abandon = [&](int64_t now) {
        result.noisy = true;
        return finish(now);
    };

    // The chain that lasts one window, from a short one doubled until it runs a fair part of a window.
    uint64_t additions = kFirstChain;
    double rate = 0;  // additions a second
    for (;;) {
        const int64_t t0 = os.QueryPerformanceCounter();
        chain(additions);
        const int64_t t1 = os.QueryPerformanceCounter();
        if (seconds(start, t1) > kGiveUpSeconds) return abandon(t1);
        const double took = seconds(t0, t1);
        if (took >= window * kCalibrationShare) {
            rate = static_cast<double>(additions) / took;
            break;
        }
        // A clock that never moves would double the chain for ever.
        if (additions >= (uint64_t{1} << 40)) return abandon(t1);
        additions *= 2;
    }
    additions = RoundToBlock(rate * window);

    std::vector<double> rates;
    int64_t end = start;
    for (unsigned w = 0; w < settings.windows; ++w) {
        const int64_t t0 = os.QueryPerformanceCounter();
        chain(additions);
        end = os.QueryPerformanceCounter();
        if (seconds(start, end) > kGiveUpSeconds) return abandon(end);
        // A clock that did not advance gives no rate rather than an infinite one.
        if (end > t0) rates.push_back(static_cast<double>(additions) / seconds(t0, end));
    }
    if (rates.empty()) return abandon(end);

    std::sort(rates.begin(), rates.end(), std::greater<>());
    const double per_cycle = std::max(1u, settings.additions_per_cycle);
    result.mhz = RoundMHz(rates.front() / per_cycle);
    result.noisy = rates[rates.size() / 2] < rates.front() * (1 - kNoisyShare);
    return finish(end);
}

PinnedCoreClock MeasureCoreClockOn(Platform& os, ProcessorNumber processor,
                                   const CoreClockSettings& settings) {
    PinnedCoreClock result;
    result.status = RunPinned(os, processor, [&] { result.clock = MeasureCoreClock(os, settings); });
    if (result.status != PinStatus::Stayed) result.clock = {};
    return result;
}

}  // namespace talvex
