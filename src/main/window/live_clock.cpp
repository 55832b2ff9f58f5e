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

// Shared by the LiveClock and its worker: the stop request, and how the worker sleeps until asked.
struct LiveClock::Worker {
    std::mutex lock;
    std::condition_variable wake;
    bool stop = false;
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
    worker_ = std::make_shared<Worker>();
    // Owned by the worker: its copies of the measurement, the processors and the delivery, and a share
    // of `worker_`. It ends once stopped, at its next look at `stop`.
    StartWorker([worker = worker_, measure = measure_, p = std::move(processors), tick = Clock::now() + first,
                 deliver = std::move(deliver)] { Loop(worker, measure, p, tick, deliver); });
}

void LiveClock::Stop() {
    if (worker_ == nullptr) return;
    {
        const std::lock_guard hold(worker_->lock);
        worker_->stop = true;
    }
    worker_->wake.notify_all();
    worker_.reset();
}

// The worker's loop. It touches its own copies, `worker` and, through `measure`, the platform.
void LiveClock::Loop(const std::shared_ptr<Worker>& worker, const LiveMeasure& measure,
                     const std::vector<LiveProcessor>& processors, Clock::time_point tick,
                     const Deliver& deliver) {
    const auto stopped = [&] { return worker->stop; };
    {
        std::unique_lock hold(worker->lock);
        if (worker->wake.wait_until(hold, tick, stopped)) return;
    }
    size_t next = 0;
    for (;;) {
        std::vector<LiveReading> readings;
        for (size_t n = 0; n < std::min(processors.size(), kLivePerSecond); ++n) {
            {
                const std::lock_guard hold(worker->lock);
                if (worker->stop) return;
            }
            const LiveProcessor& p = processors[next];
            // A measurement that fails shows as that processor's clock being unavailable, no more.
            try {
                readings.push_back(measure(p));
            } catch (...) {
                readings.push_back(LiveReading{p.processor, PinStatus::Stayed, std::nullopt});
            }
            next = (next + 1) % processors.size();
        }
        std::unique_lock hold(worker->lock);
        // Delivered under the lock, so that nothing is delivered once Stop() has returned.
        if (worker->stop) return;
        deliver(std::move(readings));
        // After a suspend or a long preemption, go on from now rather than catch up.
        tick = std::max(tick + std::chrono::seconds(1), Clock::now());
        if (worker->wake.wait_until(hold, tick, stopped)) return;
    }
}

}  // namespace talvex
