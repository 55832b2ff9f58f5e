#include "probe/platform/pinning.h"

#include <algorithm>
#include <utility>

#include "probe/text/text.h"

namespace talvex {

PinStatus RunPinned(Platform& os, ProcessorNumber processor, const std::function<void()>& work) {
    const std::vector<unsigned> only{processor.os()};
    if (!os.SetThreadAffinity(only)) return PinStatus::NotPinned;
    work();
    // A processor taken offline while pinned to makes the system move the thread and widen its
    // affinity: then part of the work may have run on another processor.
    return os.ThreadAffinity() == only ? PinStatus::Stayed : PinStatus::Moved;
}

std::string NotPinnedText(ProcessorNumber processor) {
    return "cannot run on processor " + Decimal(processor.counted());
}

std::string MovedText(ProcessorNumber processor, std::string_view during) {
    return "processor " + Decimal(processor.counted()) + " went away during the " + std::string(during);
}

std::string PinStatusText(PinStatus status, ProcessorNumber processor, std::string_view during) {
    switch (status) {
    case PinStatus::Stayed: return {};
    case PinStatus::NotPinned: return NotPinnedText(processor);
    case PinStatus::Moved: return MovedText(processor, during);
    }
    return {};
}

AllowedProcessors::AllowedProcessors(const Platform& os) : numbers_(os.ThreadAffinity()) {
    if (numbers_.empty())
        for (unsigned k = 0; k < os.ProcessorCount(); ++k) numbers_.push_back(k);
}

AllowedProcessors::AllowedProcessors(std::vector<unsigned> os_numbers) : numbers_(std::move(os_numbers)) {}

bool AllowedProcessors::Allows(ProcessorNumber processor) const {
    return std::find(numbers_.begin(), numbers_.end(), processor.os()) != numbers_.end();
}

std::string AllowedProcessors::RefusalText(ProcessorNumber processor) const {
    return NotPinnedText(processor) + ": this process may run only on "
           + (numbers_.size() == 1 ? "processor " : "processors ") + ProcessorList(OsProcessors(numbers_));
}

}  // namespace talvex
