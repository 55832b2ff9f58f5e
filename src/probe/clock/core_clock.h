#pragma once
// The clock a core runs at now, as opposed to the time stamp counter's constant rate: a chain of
// dependent single-cycle additions is timed against the high-resolution counter (CLOCK_MONOTONIC_RAW).
// It needs no privilege, MSR or performance counter, so bare metal and every hypervisor answer alike.

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "probe/platform/pinning.h"
#include "probe/platform/platform.h"
#include "probe/platform/processor_number.h"

namespace talvex {

struct CoreClock {
    std::optional<uint32_t> mhz;      // nothing when the measurement was abandoned
    std::optional<uint32_t> tsc_mhz;  // the time stamp counter's rate over the same time, when read
    bool noisy = false;               // the windows disagreed, or the measurement was abandoned
    friend bool operator==(const CoreClock&, const CoreClock&) = default;
};

struct CoreClockSettings {
    unsigned windows = 18;             // about 1 ms each, after a calibration of about 0.2 ms
    int64_t window_ns = 1000000;       // the length each window aims at
    unsigned additions_per_cycle = 1;  // AdditionsPerCycle of the processor measured
    bool read_time_stamp_counter = true;
};

// Runs a chain of `additions` additions, each waiting for the one before.
using AdditionChain = std::function<void(uint64_t additions)>;
// The chain on this processor, in assembly so no compiler can fold it. x86-64 only.
void RunAdditionChain(uint64_t additions);

// How many of the chain's additions a core completes in one clock cycle, by its microarchitecture
// ("" when unknown) and display family and model: 1, except on the few cores named in core_clock.cpp.
unsigned AdditionsPerCycle(std::string_view microarchitecture, uint32_t family, uint32_t model);

// The clock of the processor the calling thread runs on (the caller pins it): several windows, the
// fastest kept, so a preemption or a hypervisor pause only slows a window that is then discarded.
// Time comes from os.QueryPerformanceCounter, the work from `chain`; both replaceable for tests. A
// measurement that runs past 100 ms is abandoned: no figure, flagged noisy.
CoreClock MeasureCoreClock(Platform& os, const CoreClockSettings& settings = {},
                           const AdditionChain& chain = RunAdditionChain);

struct PinnedCoreClock {
    PinStatus status = PinStatus::Stayed;
    CoreClock clock;  // empty unless Stayed
};
// Measures the clock of `processor` through RunPinned: a thread found off it afterwards gives no
// figure, as it would be another processor's.
PinnedCoreClock MeasureCoreClockOn(Platform& os, ProcessorNumber processor,
                                   const CoreClockSettings& settings);

}  // namespace talvex
