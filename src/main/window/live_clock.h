#pragma once
// The details window's live clock: one worker thread that, once a second, pins itself to each
// processor in turn and measures its clock there, within a budget that keeps its own cost under 2%
// of one processor (more processors than the budget allows a second are measured in turns). No Qt:
// the window hands the readings over to its own thread.

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <vector>

#include "probe/clock/core_clock.h"
#include "probe/platform/pinning.h"
#include "probe/platform/platform.h"
#include "probe/platform/processor_number.h"

namespace talvex {

// What one pinned measurement asks of the clock: three windows of about 1 ms.
inline constexpr unsigned kLiveWindows = 3;

struct LiveProcessor {
    ProcessorNumber processor;
    CoreClockSettings settings;  // ClockSettingsFor its record, with kLiveWindows windows
};

struct LiveReading {
    ProcessorNumber processor;
    PinStatus status = PinStatus::Stayed;
    std::optional<CoreClock> clock;  // none unless Stayed, nor when the measurement failed
};

// Measures one processor from the worker thread: pins the thread to it through `os`, measures, and
// checks the thread is still there.
using LiveMeasure = std::function<LiveReading(const LiveProcessor&)>;
LiveReading MeasurePinned(Platform& os, const LiveProcessor& processor);

// Processors measured in one second: about 3.3 ms each, 15 ms in all.
inline constexpr size_t kLivePerSecond = 4;

class LiveClock {
public:
    // Called on the worker thread with each second's readings, never after Stop() has returned.
    using Deliver = std::function<void(std::vector<LiveReading>)>;

    // `measure` must be safe to call from the worker thread for as long as workers run.
    explicit LiveClock(LiveMeasure measure);
    ~LiveClock();
    LiveClock(const LiveClock&) = delete;
    LiveClock& operator=(const LiveClock&) = delete;

    // Measures `processors` from `first` on, once a second, on a worker of its own; stops one running.
    void Start(std::vector<LiveProcessor> processors, std::chrono::milliseconds first, Deliver deliver);
    // Returns at once: the worker delivers nothing more and ends on its own, at the latest when the
    // measurement under way ends.
    void Stop();
    bool Running() const { return worker_ != nullptr; }

private:
    struct Worker;
    static void Loop(Worker& worker, const std::stop_token& stop, const LiveMeasure& measure,
                     const std::vector<LiveProcessor>& processors, std::chrono::steady_clock::time_point tick,
                     const Deliver& deliver);

    LiveMeasure measure_;
    std::shared_ptr<Worker> worker_;
};

}  // namespace talvex
