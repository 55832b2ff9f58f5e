#include "main/window/clock_worker.h"

#include <atomic>
#include <exception>
#include <utility>

#include "probe/clock/clock.h"
#include "probe/platform/platform.h"

namespace talvex {

struct PinnedClockMeasurement::State {
    Done done;
    std::atomic<bool> abandoned{false};
    std::atomic<bool> finished{false};
    bool delivered = false;  // GUI thread only
    ClockResult result;      // written by the worker before `finished`
};

namespace {

// Ends the measuring second early once its measurement is abandoned, so a processor change does
// not leave a busy thread behind for the rest of the second.
struct Abandoned {};

class AbandonablePlatform final : public Platform {
public:
    AbandonablePlatform(Platform& os, const std::atomic<bool>& abandoned) : os_(os), abandoned_(abandoned) {}

    uint32_t ProcessorType() const override { return os_.ProcessorType(); }
    unsigned ProcessorCount() const override { return os_.ProcessorCount(); }
    std::vector<unsigned> ThreadAffinity() const override { return os_.ThreadAffinity(); }
    bool SetThreadAffinity(const std::vector<unsigned>& processors) override {
        return os_.SetThreadAffinity(processors);
    }
    int64_t QueryPerformanceCounter() override { return os_.QueryPerformanceCounter(); }
    int64_t QueryPerformanceFrequency() override { return os_.QueryPerformanceFrequency(); }
    uint32_t TimeGetTime() override {
        if (abandoned_.load(std::memory_order_relaxed)) throw Abandoned{};
        return os_.TimeGetTime();
    }
    uint64_t ReadTimeStampCounter() override { return os_.ReadTimeStampCounter(); }
    bool HasLiveClock() const override { return os_.HasLiveClock(); }

private:
    Platform& os_;
    const std::atomic<bool>& abandoned_;
};

}  // namespace

PinnedClockMeasurement::PinnedClockMeasurement(const Probe& probe, ProcessorNumber processor,
                                               QObject* context, Done done)
    : state_(std::make_shared<State>()) {
    state_->done = std::move(done);
    // The context outlives the thread: the destructor joins it, and the owner destroys this first.
    thread_ = std::thread([probe, processor, target = context, state = state_] {
        ClockResult result;
        try {
            AbandonablePlatform os(probe.platform, state->abandoned);
            // A thread starts with its creator's processors; this one keeps to the one it measures.
            // Refused, it measures where it may run, as the GUI thread's own queries do.
            os.SetThreadAffinity({processor.os()});
            result.hz = MeasureClock(Probe{probe.source, os});
        } catch (const Abandoned&) {
            return;
        } catch (const std::exception& e) {
            result.error = e.what();
        } catch (...) {
            result.error = "Unknown error";
        }
        state->result = std::move(result);
        state->finished.store(true, std::memory_order_release);
        if (state->abandoned.load()) return;
        QMetaObject::invokeMethod(
            target,
            [state] {
                if (state->abandoned.load() || state->delivered) return;
                state->delivered = true;
                state->done(state->result);
            },
            Qt::QueuedConnection);
    });
}

PinnedClockMeasurement::~PinnedClockMeasurement() {
    state_->abandoned.store(true);
    if (thread_.joinable()) thread_.join();
}

bool PinnedClockMeasurement::Finished() const { return state_->finished.load(std::memory_order_acquire); }

ClockResult PinnedClockMeasurement::Wait() {
    if (thread_.joinable()) thread_.join();
    state_->delivered = true;
    return state_->result;
}

}  // namespace talvex
