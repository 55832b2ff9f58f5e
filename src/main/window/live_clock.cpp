#include "main/window/live_clock.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <utility>

#include "main/window/workers.h"

namespace talvex {

LiveReading MeasurePinned(Platform& os, const LiveProcessor& processor) {
    const PinnedCoreClock pinned = MeasureCoreClockOn(os, processor.processor, processor.settings);
    LiveReading reading{processor.processor, pinned.status, std::nullopt};
    if (pinned.status == PinStatus::Stayed) reading.clock = pinned.clock;
    return reading;
}

// Shared by the LiveClock and its worker: what asks the worker to stop, and the lock under which it
// delivers, so that nothing is delivered once Stop() has returned.
struct LiveClock::Worker {
    std::mutex lock;
    std::condition_variable_any wake;  // woken by nothing but the stop request
    std::stop_source stop;
};

namespace {
using Clock = std::chrono::steady_clock;
}  // namespace

LiveClock::LiveClock(LiveMeasure measure) : measure_(std::move(measure)) {}

LiveClock::~LiveClock() { Stop(); }

void LiveClock::Start(std::vector<LiveProcessor> processors, std::chrono::milliseconds first,
                      Deliver deliver) {
    Stop();
    if (processors.empty()) return;
    auto worker = std::make_shared<Worker>();
    // Owned by this LiveClock, which stops it. The worker touches its copies of the measurement, the
    // processors and the delivery, a share of `worker` and, through `measure`, the platform. It ends
    // once stopped: at once while it sleeps, else when the measurement under way ends.
    worker->stop = StartWorker([worker, measure = measure_, p = std::move(processors),
                                tick = Clock::now() + first, deliver = std::move(deliver)](
                                   std::stop_token stop) { Loop(*worker, stop, measure, p, tick, deliver); });
    worker_ = std::move(worker);
}

void LiveClock::Stop() {
    if (worker_ == nullptr) return;
    {
        const std::lock_guard hold(worker_->lock);
        worker_->stop.request_stop();
    }
    worker_.reset();
}

// The worker's loop. It touches its own copies, `worker` and, through `measure`, the platform.
void LiveClock::Loop(Worker& worker, const std::stop_token& stop, const LiveMeasure& measure,
                     const std::vector<LiveProcessor>& processors, Clock::time_point tick,
                     const Deliver& deliver) {
    // Sleeps until `until` or the stop request; true when stopped.
    const auto sleep = [&](std::unique_lock<std::mutex>& hold, Clock::time_point until) {
        worker.wake.wait_until(hold, stop, until, [] { return false; });
        return stop.stop_requested();
    };
    {
        std::unique_lock hold(worker.lock);
        if (sleep(hold, tick)) return;
    }
    size_t next = 0;
    for (;;) {
        std::vector<LiveReading> readings;
        for (size_t n = 0; n < std::min(processors.size(), kLivePerSecond); ++n) {
            if (stop.stop_requested()) return;
            const LiveProcessor& p = processors[next];
            // A measurement that fails shows as that processor's clock being unavailable, no more.
            try {
                readings.push_back(measure(p));
            } catch (...) {
                readings.push_back(LiveReading{p.processor, PinStatus::Stayed, std::nullopt});
            }
            next = (next + 1) % processors.size();
        }
        std::unique_lock hold(worker.lock);
        // Delivered under the lock, so that nothing is delivered once Stop() has returned.
        if (stop.stop_requested()) return;
        deliver(std::move(readings));
        // After a suspend or a long preemption, go on from now rather than catch up.
        tick = std::max(tick + std::chrono::seconds(1), Clock::now());
        if (sleep(hold, tick)) return;
    }
}

}  // namespace talvex
