#pragma once
// The complete capture of a processor: every leaf of every present range with every valid
// sub-leaf, the form in which dumps are traded. A capture is a DumpProcessor, the same type a
// dump read from a file gives, so the two are written, replayed and compared alike.
// The main window and the copied report keep to sub-leaf 0 of one processor, queried afresh; the dump
// layouts and the processor details (talvex-report --details, the details window) start from this.

#include <cstdint>
#include <vector>

#include "probe/dump/dump.h"
#include "probe/platform/pinning.h"
#include "probe/platform/platform.h"
#include "probe/platform/processor_number.h"
#include "probe/platform/registers.h"

namespace talvex {

// Sub-leaves recorded per leaf at most (0 to 63), so a processor whose counts never end cannot
// make the capture loop or grow without bound.
inline constexpr uint32_t kCaptureSubLeavesPerLeaf = 64;

// Every leaf and valid sub-leaf of the processor `source` answers for, in ascending (leaf,
// sub-leaf) order, each executed once. Empty when the processor has no CPUID instruction.
// Recorded: the base leaf of each range (its answer is what says whether the range is present),
// and the rest of the range when present: standard 0..max; 0x20000000..; the hypervisor windows
// 0x40000000.. and 0x40000100.. when leaf 1 ECX[31] says a hypervisor answers (the second window
// only when it names a vendor); extended 0x80000000..; Transmeta 0x80860000..; Centaur
// 0xC0000000... A range is present when its base answers a highest leaf above the base.
DumpProcessor CaptureProcessor(const RegisterSource& source);

// Whether a dump lacks some of the sub-leaves the enumeration rule of `leaf` asks for, as its own
// sub-leaf 0 (and further recorded sub-leaves) answer; a sub-leaf it lacks answers zeros, as in a
// replay, so the reckoning ends. Of a list that runs until a zero field, only a dump that holds none
// of it beyond sub-leaf 0 is known to lack some: many listings leave out the closing sub-leaf.
bool LacksSubLeaves(const ReplaySource& recorded, uint32_t leaf);

struct ProcessorCapture {
    ProcessorNumber processor;
    PinStatus status = PinStatus::Stayed;  // Stayed: captured
    DumpProcessor dump;                    // empty unless captured
};

// Captures each processor of `processors` in turn, pinning the calling thread to it alone through
// `platform`; one entry per processor, in the order given, whether or not it could be pinned.
// The thread's affinity as it was on entry is restored on every path, exceptions included (when
// the system will not say what it was, the thread stays on the last processor tried).
std::vector<ProcessorCapture> CaptureProcessors(Platform& platform, const RegisterSource& source,
                                                const std::vector<unsigned>& processors);

}  // namespace talvex
