#include "main/window/live_clock.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace talvex {

LiveReading MeasurePinned(Platform& os, const LiveProcessor& processor) {
    return {processor.processor, MeasureCoreClockOn(os, processor.processor, processor.settings)};
}

LiveClock::LiveClock(LiveMeasure measure, Deliver deliver)
    : measure_(std::move(measure)), deliver_(std::move(deliver)) {}

LiveClock::~LiveClock() { Stop(); }

void LiveClock::Start(std::vector<LiveProcessor> processors, std::chrono::milliseconds first) {
    Stop();
    if (processors.empty()) return;
    stop_ = false;
    thread_ = std::thread([this, first, p = std::move(processors)]() mutable { Loop(std::move(p), first); });
}

void LiveClock::Stop() {
    if (!thread_.joinable()) return;
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void LiveClock::Loop(std::vector<LiveProcessor> processors, std::chrono::milliseconds first) {
    using Clock = std::chrono::steady_clock;
    size_t next = 0;
    auto tick = Clock::now() + first;
    {
        std::unique_lock lock(mutex_);
        if (wake_.wait_until(lock, tick, [this] { return stop_; })) return;
    }
    for (;;) {
        std::vector<LiveReading> readings;
        for (size_t n = 0; n < std::min(processors.size(), kLivePerSecond); ++n) {
            {
                const std::lock_guard lock(mutex_);
                if (stop_) return;
            }
            readings.push_back(measure_(processors[next]));
            next = (next + 1) % processors.size();
        }
        std::unique_lock lock(mutex_);
        // Delivered under the lock, so Stop() cannot return while a delivery is under way.
        if (stop_) return;
        deliver_(std::move(readings));
        // After a suspend or a long preemption, go on from now rather than catch up.
        tick = std::max(tick + std::chrono::seconds(1), Clock::now());
        if (wake_.wait_until(lock, tick, [this] { return stop_; })) return;
    }
}

}  // namespace talvex
