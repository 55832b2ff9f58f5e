#pragma once
// Work meant for one processor, and the processors the program may use at all. Every capture and every
// measurement of one processor asks the same question: pinned to it alone, did the work run there
// throughout? RunPinned asks it, and PinStatus is its one answer; the texts here are the one way the
// window and talvex-report say a processor was refused or lost.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "probe/platform/platform.h"
#include "probe/platform/processor_number.h"

namespace talvex {

enum class PinStatus : uint8_t {
    Stayed,     // pinned to the processor, and still pinned to it alone when the work ended
    NotPinned,  // the thread may not run there (offline, not allowed, absent): the work did not run
    Moved,      // the thread was moved off it meanwhile (the processor went offline): what the work
                // saw may be another processor's
};

// Pins the calling thread to `processor` alone through `os` and, unless that is refused, runs `work`
// there. The thread stays pinned afterwards; a caller that must give it back its processors does so.
// A thread that cannot say afterwards where it may run cannot vouch for the work either: Moved.
PinStatus RunPinned(Platform& os, ProcessorNumber processor, const std::function<void()>& work);

// "cannot run on processor 2"
std::string NotPinnedText(ProcessorNumber processor);
// "processor 2 went away during the " + `during` ("capture", "measurement", "report")
std::string MovedText(ProcessorNumber processor, std::string_view during);
// The text of a status that is not Stayed, as above; "" for Stayed.
std::string PinStatusText(PinStatus status, ProcessorNumber processor, std::string_view during);

// The processors the program was started on (`taskset`, a cpuset), which are the ones it may use:
// widening that set is possible but would override the user's own restriction.
class AllowedProcessors {
public:
    // The calling thread's processors now (read at start-up); every configured processor when the
    // system will not say.
    explicit AllowedProcessors(const Platform& os);
    // The operating system's numbers, 0-based; empty: none.
    explicit AllowedProcessors(std::vector<unsigned> os_numbers);

    bool Allows(ProcessorNumber processor) const;
    // Ascending, as the platform gives them.
    const std::vector<unsigned>& Numbers() const { return numbers_; }
    // Why `processor` is refused: "cannot run on processor 1: this process may run only on processor 2"
    // ("processors 41-42" for several).
    std::string RefusalText(ProcessorNumber processor) const;

private:
    std::vector<unsigned> numbers_;
};

}  // namespace talvex
