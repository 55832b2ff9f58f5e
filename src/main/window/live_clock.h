#pragma once
// The details window's live clock: one worker thread that, once a second, pins itself to each
// processor in turn and measures its clock there, within a budget that keeps its own cost under 2%
// of one processor (more processors than the budget allows a second are measured in turns). No Qt:
// the window hands the readings over to its own thread.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "probe/clock/core_clock.h"
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
    PinnedCoreClock pinned;
};

// Measures one processor from the worker thread: pins the thread to it through `os`, measures, and
// checks the thread is still there. Replaceable for tests.
using LiveMeasure = std::function<LiveReading(const LiveProcessor&)>;
LiveReading MeasurePinned(Platform& os, const LiveProcessor& processor);

// Processors measured in one second: about 3.3 ms each, 15 ms in all.
inline constexpr size_t kLivePerSecond = 4;

class LiveClock {
public:
    // Called on the worker thread with each second's readings.
    using Deliver = std::function<void(std::vector<LiveReading>)>;

    LiveClock(LiveMeasure measure, Deliver deliver);
    ~LiveClock();
    LiveClock(const LiveClock&) = delete;
    LiveClock& operator=(const LiveClock&) = delete;

    // Measures `processors` from `first` on, once a second; restarts a running worker.
    void Start(std::vector<LiveProcessor> processors, std::chrono::milliseconds first = {});
    // Waits for the worker to end: nothing is measured or delivered once it returns.
    void Stop();
    bool Running() const { return thread_.joinable(); }

private:
    void Loop(std::vector<LiveProcessor> processors, std::chrono::milliseconds first);

    LiveMeasure measure_;
    Deliver deliver_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace talvex
