#pragma once
// Cache sizes of the processor the calling thread runs on, from one of three sources: the extended
// cache leaves 0x80000005/6 (every vendor but Intel), the leaf 2 descriptor bytes (Intel), or a
// model table for Intel family 5 parts without leaf 2.

#include <cstdint>

#include "probe/platform/cpuid.h"

namespace talvex {

// Sizes in KB; TraceCache in thousands of micro-operations. 0 means not learned. GetCacheInfo's
// sources fit 16 bits; the fields are wider for the deterministic cache leaves' sizes (an L3 of
// 96 MB is 98304 KB).
struct TCacheInfo {
    uint32_t L1D = 0, L1I = 0, TraceCache = 0, L2 = 0, L3 = 0;

    friend bool operator==(const TCacheInfo&, const TCacheInfo&) = default;
};

// Writes only the fields its source gives; the caller hands the record in zeroed.
// Queries leaf 0, leaf 1, then either leaf 2 alone or 0x80000005 followed by 0x80000006.
void GetCacheInfo(const Probe& probe, TCacheInfo& info);

}  // namespace talvex
