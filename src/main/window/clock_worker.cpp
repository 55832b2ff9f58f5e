#include "main/window/clock_worker.h"

#include <atomic>
#include <exception>
#include <utility>

#include "probe/clock/clock.h"
#include "probe/platform/pinning.h"
#include "probe/platform/platform.h"

namespace talvex {

struct PinnedClockMeasurement::State {
    std::atomic<bool> abandoned{false};
    // GUI thread only, and only while not abandoned: `self` is alive until then.
    const PinnedClockMeasurement* self = nullptr;
    Done done;
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
                                               const Inbox::Address& inbox, Done done)
    : processor_(processor), state_(std::make_shared<State>()) {
    state_->self = this;
    state_->done = std::move(done);
    // The worker owns a share of the state and touches the probe's source and platform; it ends after
    // one measurement, or at its next timer reading once abandoned. Its result goes through `inbox`,
    // and is used there only while this object lives.
    StartWorker([probe, processor, inbox, state = state_] {
        ClockResult result;
        try {
            AbandonablePlatform os(probe.platform, state->abandoned);
            int64_t hz = 0;
            const PinStatus pinned = RunPinned(os, processor, [&] {
                hz = MeasureClock(Probe{probe.source, os});
            });
            if (pinned == PinStatus::Stayed)
                result.hz = hz;
            else
                result.error = PinStatusText(pinned, processor, "measurement");
        } catch (const Abandoned&) {
            return;
        } catch (const std::exception& e) {
            result.error = e.what();
        } catch (...) {
            result.error = "Unknown error";
        }
        if (state->abandoned.load()) return;
        inbox.Post([state, result = std::move(result)] {
            if (!state->abandoned.load()) state->done(*state->self, result);
        });
    });
}

PinnedClockMeasurement::~PinnedClockMeasurement() { state_->abandoned.store(true); }

}  // namespace talvex
