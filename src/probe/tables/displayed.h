#pragma once
// The processor name and cache sizes that the window, the report and the JSON show: the 2004
// tables' answers (GetProcessorName, GetCacheInfo) wherever those were made for the processor, and
// the processor details' decoding where they name a later processor after an older part or leave a
// size unknown.

#include <optional>
#include <string>

#include "probe/details/details.h"
#include "probe/details/uarch.h"
#include "probe/platform/cpuid.h"
#include "probe/tables/cache.h"

namespace talvex {

// GetProcessorName for a processor within the tables. Beyond them, the microarchitecture of the core
// examined: "Microarchitecture(Codename)", or the microarchitecture alone when the codename is the
// same; when the table does not know it, the tables' words for an unknown processor of its vendor
// and family.
std::string GetDisplayedName(const Probe& probe);

// "Golden Cove(Alder Lake)", "Haswell".
std::string MicroarchitectureName(const UarchName& uarch);

// GetCacheInfo's sizes, each one it leaves unknown (an L1 of 0, no L2 or L3; never the trace
// cache, nor the L1 instruction cache beside one) taken from the processor details' cache list, the
// first cache of that level, from whatever leaf the details decode it. One cache's size, in KB.
// Reads no further leaf when none is unknown.
TCacheInfo GetDisplayedCacheInfo(const Probe& probe);

// What one data load or report showed: the name and the cache sizes.
struct DisplayedProcessor {
    std::string name;
    TCacheInfo cache;
};

// GetDisplayedName and GetDisplayedCacheInfo of one probe, each asked at the caller's step (a query
// that fails stops the caller where it stood), with the processor's identity decoded at most once
// between them: only for a name beyond the tables or a size left unknown.
class DisplayedFields {
public:
    explicit DisplayedFields(const Probe& probe) : probe_(probe) {}
    std::string Name();
    TCacheInfo Cache();

private:
    const ProcessorDetails& Identity();

    const Probe& probe_;
    std::optional<ProcessorDetails> identity_;
};

}  // namespace talvex
