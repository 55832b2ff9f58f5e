#include "main/window/clock_worker.h"

#include <exception>
#include <utility>

#include "probe/clock/clock.h"
#include "probe/platform/pinning.h"
#include "probe/platform/platform.h"

namespace talvex {

// The GUI thread's part, which the worker's result reaches through the inbox: used only there, and
// only while the measurement is not stopped, `self` being alive until then.
struct PinnedClockMeasurement::State {
    const PinnedClockMeasurement* self = nullptr;
    Done done;
};

namespace {

// Ends the measuring second early once its worker is asked to stop, so a processor change does not
// leave a busy thread behind for the rest of the second.
struct Stopped {};

class StoppablePlatform final : public Platform {
public:
    StoppablePlatform(Platform& os, std::stop_token stop) : os_(os), stop_(std::move(stop)) {}

    uint32_t ProcessorType() const override { return os_.ProcessorType(); }
    unsigned ProcessorCount() const override { return os_.ProcessorCount(); }
    std::vector<unsigned> ThreadAffinity() const override { return os_.ThreadAffinity(); }
    bool SetThreadAffinity(const std::vector<unsigned>& processors) override {
        return os_.SetThreadAffinity(processors);
    }
    int64_t QueryPerformanceCounter() override { return os_.QueryPerformanceCounter(); }
    int64_t QueryPerformanceFrequency() override { return os_.QueryPerformanceFrequency(); }
    uint32_t TimeGetTime() override {
        if (stop_.stop_requested()) throw Stopped{};
        return os_.TimeGetTime();
    }
    uint64_t ReadTimeStampCounter() override { return os_.ReadTimeStampCounter(); }
    bool HasLiveClock() const override { return os_.HasLiveClock(); }

private:
    Platform& os_;
    std::stop_token stop_;
};

}  // namespace

PinnedClockMeasurement::PinnedClockMeasurement(const Probe& probe, ProcessorNumber processor,
                                               const Inbox::Address& inbox, Done done)
    : processor_(processor), state_(std::make_shared<State>()) {
    state_->self = this;
    state_->done = std::move(done);
    // Owned by this object, which stops it when it goes. The worker touches its copies, the probe's
    // source and platform, and posts its result to `inbox`, used there only while not stopped. It
    // ends after one measurement, or at its next timer reading once stopped.
    stop_ = StartWorker([probe, processor, inbox, state = state_](std::stop_token stop) {
        ClockResult result;
        try {
            StoppablePlatform os(probe.platform, stop);
            int64_t hz = 0;
            const PinStatus pinned = RunPinned(os, processor, [&] {
                hz = MeasureClock(Probe{probe.source, os});
            });
            if (pinned == PinStatus::Stayed)
                result.hz = hz;
            else
                result.error = PinStatusText(pinned, processor, "measurement");
        } catch (const Stopped&) {
            return;
        } catch (const std::exception& e) {
            result.error = e.what();
        } catch (...) {
            result.error = "Unknown error";
        }
        if (stop.stop_requested()) return;
        inbox.Post([state, stop, result = std::move(result)] {
            if (!stop.stop_requested()) state->done(*state->self, result);
        });
    });
}

PinnedClockMeasurement::~PinnedClockMeasurement() { stop_.request_stop(); }

}  // namespace talvex
