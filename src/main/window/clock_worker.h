#pragma once
// The clock measured on a thread of its own, pinned to the processor it describes, so the window
// stays live through the measuring second. The result reaches the GUI thread through its event
// loop; a measurement abandoned (its processor no longer examined, its window gone) delivers
// nothing and ends at its next timer reading.

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

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
    using Done = std::function<void(const ClockResult&)>;

    // Starts measuring processor `processor` through `probe`, whose source and platform
    // must be safe to use from a second thread and outlive this object, as must `context`. `done`
    // runs on the thread of `context`, once, unless the measurement is abandoned or waited for first.
    PinnedClockMeasurement(const Probe& probe, ProcessorNumber processor, QObject* context, Done done);
    // Abandons the measurement and waits for its thread, which then ends at its next timer reading.
    ~PinnedClockMeasurement();
    PinnedClockMeasurement(const PinnedClockMeasurement&) = delete;
    PinnedClockMeasurement& operator=(const PinnedClockMeasurement&) = delete;

    bool Finished() const;
    // Blocks until the measurement ends and returns its outcome; `done` is then not run.
    ClockResult Wait();

private:
    struct State;
    std::shared_ptr<State> state_;
    std::thread thread_;
};

}  // namespace talvex
