#pragma once
// The clock measured on a thread of its own, pinned to the processor it describes, so the window
// stays live through the measuring second. The result reaches the GUI thread through the window's
// inbox; a measurement stopped (nobody wants it any more: its processor no longer examined and no
// copy waiting for it, its window gone) delivers nothing and ends at its next timer reading.

#include <cstdint>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>

#include "main/window/workers.h"
#include "probe/platform/cpuid.h"
#include "probe/platform/processor_number.h"

namespace talvex {

// The outcome of one measurement: the clock in Hz, or the message of the error that ended it.
struct ClockResult {
    int64_t hz = 0;
    std::string error;  // empty when measured
};

class PinnedClockMeasurement {
public:
    // Told which measurement it was, so that one owner can tell several apart.
    using Done = std::function<void(const PinnedClockMeasurement& measurement, const ClockResult& result)>;

    // Starts measuring processor `processor` through `probe`, whose source and platform must be safe
    // to use from a worker thread. `done` runs once, through `inbox`, unless this is destroyed first.
    PinnedClockMeasurement(const Probe& probe, ProcessorNumber processor, const Inbox::Address& inbox,
                           Done done);
    // Stops the measurement and returns at once; its worker ends on its own.
    ~PinnedClockMeasurement();
    PinnedClockMeasurement(const PinnedClockMeasurement&) = delete;
    PinnedClockMeasurement& operator=(const PinnedClockMeasurement&) = delete;

    ProcessorNumber processor() const { return processor_; }

private:
    struct State;
    ProcessorNumber processor_;
    std::shared_ptr<State> state_;
    std::stop_source stop_;
};

}  // namespace talvex
