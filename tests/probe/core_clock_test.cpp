// The core clock measurement against a fake clock whose additions run at a scripted rate, with
// preemptions and frequency changes at given times; the additions-a-cycle rule over the real dumps;
// and one live measurement on this machine.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <vector>

#include "probe/clock/core_clock.h"
#include "probe/details/details.h"
#include "support/dumps.h"
#include "support/fakes.h"
#include "support/pinned.h"

namespace talvex {
namespace {

// A core on a fake clock (nanoseconds): each chain runs at the rate of the time it starts, and
// stretches over any pause that begins while it runs, as a preempted thread does.
struct FakeCore : testing::FakePlatform {
    struct Pause {
        double at_ms, length_ms;
    };
    double now_ns = 1e9;
    double additions_per_ns = 3.0;     // 3000 MHz
    std::optional<double> later_rate;  // from later_from_ms on (a turbo step)
    double later_from_ms = 0;
    std::vector<Pause> pauses;
    double tsc_per_ns = 2.6;
    bool frozen = false;  // a clock that never moves

    double start_ns = now_ns;
    int64_t QueryPerformanceCounter() override { return std::llround(now_ns); }
    uint64_t ReadTimeStampCounter() override { return static_cast<uint64_t>(now_ns * tsc_per_ns); }
    void Run(uint64_t additions) {
        if (frozen) return;
        const double since_ms = (now_ns - start_ns) / 1e6;
        const double rate = later_rate && since_ms >= later_from_ms ? *later_rate : additions_per_ns;
        double end = now_ns + static_cast<double>(additions) / rate;
        for (const Pause& p : pauses) {
            const double at = start_ns + p.at_ms * 1e6;
            if (at >= now_ns && at < end) end += p.length_ms * 1e6;
        }
        now_ns = end;
    }
};

TEST(CoreClock, FastestWindowWinsAndDisagreementIsFlagged) {
    struct Case {
        const char* what;
        void (*set)(FakeCore&);
        unsigned per_cycle;
        std::optional<uint32_t> mhz;
        bool noisy;
    } cases[] = {
        {"steady", [](FakeCore&) {}, 1, 3000, false},
        {"a few preemptions slow windows that are dropped",
         [](FakeCore& c) {
             c.pauses = {{2.5, 0.4}, {7.5, 0.3}, {12.5, 0.5}};
         },
         1, 3000, false},
        {"a turbo step half-way: the faster clock",
         [](FakeCore& c) {
             c.later_rate = 3.6;
             c.later_from_ms = 12;
         },
         1, 3600, true},
        {"most windows preempted: the clean ones give the figure, flagged noisy",
         [](FakeCore& c) {
             for (double at = 0.5; at < 12; at += 1) c.pauses.push_back({at, 0.25});
         },
         1, 3000, true},
        {"two additions a cycle halve the rate", [](FakeCore& c) { c.additions_per_ns = 6.0; }, 2, 3000,
         false},
        {"a pause past 100 ms abandons the measurement",
         [](FakeCore& c) {
             c.pauses = {{5, 150}};
         },
         1, std::nullopt, true},
        {"a clock that never moves gives no figure", [](FakeCore& c) { c.frozen = true; }, 1, std::nullopt,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeCore core;
        c.set(core);
        CoreClockSettings settings;
        settings.additions_per_cycle = c.per_cycle;
        const CoreClock clock = MeasureCoreClock(core, settings, [&](uint64_t n) { core.Run(n); });
        EXPECT_EQ(clock.mhz, c.mhz);
        EXPECT_EQ(clock.noisy, c.noisy);
        // The counter's rate over the whole measurement, preemptions or not.
        if (!core.frozen) {
            EXPECT_EQ(clock.tsc_mhz, 2600u);
        }
        EXPECT_LT((core.now_ns - core.start_ns) / 1e6, c.mhz ? 25 : 160);  // about 20 ms, at most 100 ms
    }
}

TEST(CoreClock, CountsTheCounterOnlyWhenAsked) {
    FakeCore core;
    CoreClockSettings settings;
    settings.read_time_stamp_counter = false;
    const CoreClock clock = MeasureCoreClock(core, settings, [&](uint64_t n) { core.Run(n); });
    EXPECT_EQ(clock.mhz, 3000u);
    EXPECT_EQ(clock.tsc_mhz, std::nullopt);
}

// Only Willamette and Northwood add twice a cycle; every other processor of the dumps once.
TEST(CoreClock, AdditionsPerCycleOverTheDumps) {
    int doubled = 0;
    for (const std::string& name : testing::DumpNames()) {
        SCOPED_TRACE(name);
        const testing::Replayed cpu(name);
        const ProcessorDetails d = GetProcessorDetails(cpu.probe);
        const bool early_netburst = name.find("willamette") != name.npos
                                    || name.find("northwood") != name.npos
                                    || name.find("pentium-4-m") != name.npos;
        EXPECT_EQ(ClockSettingsFor(d).additions_per_cycle, early_netburst ? 2u : 1u);
        doubled += early_netburst;
    }
    EXPECT_GE(doubled, 2);
}

// On this machine the figure lies within a wide band around the time stamp counter's rate; its
// accuracy is checked from outside (bench/tool_core_clock_accuracy).
TEST(CoreClock, LiveFigureIsNearTheTimeStampCounterRate) {
    LinuxPlatform os;
    const HardwareSource hardware;
    const testing::PinnedThread pin(os);
    if (!pin.allowed().empty()) {
        ASSERT_TRUE(pin.pinned());
    }
    const ProcessorDetails d = GetProcessorDetails(Probe{hardware, os});
    const CoreClockSettings settings = ClockSettingsFor(d);
    if (!settings.read_time_stamp_counter) GTEST_SKIP() << "no time stamp counter";
    // A busy machine may abandon a measurement; one of a few gets through.
    CoreClock clock;
    for (int attempt = 0; attempt < 5 && !clock.mhz; ++attempt) clock = MeasureCoreClock(os, settings);
    if (!clock.mhz) GTEST_SKIP() << "every measurement was abandoned";
    if (!clock.tsc_mhz || *clock.tsc_mhz == 0) GTEST_SKIP() << "time stamp counter rate unknown";
    EXPECT_GE(*clock.mhz, *clock.tsc_mhz * 0.5);
    EXPECT_LE(*clock.mhz, *clock.tsc_mhz * 2.5);
}

}  // namespace
}  // namespace talvex
