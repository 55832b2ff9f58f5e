#pragma once
// The cache list of the processor details (details_caches.cpp), apart from the rest of the record.

#include <string_view>

#include "probe/details/details.h"
#include "probe/leaves/leaf_reader.h"

namespace talvex {

// Fills `caches` (in the details' order), each level and type from the richest source that describes
// it, and says which source gave the first. `signature` is leaf 1 EAX; `family` and `model` are the
// display values.
CacheSource ReadCaches(const LeafReader& leaves, std::string_view vendor, uint32_t signature, uint32_t family,
                       uint32_t model, CacheList& caches);

// A replayed report's leaves hold sub-leaf 0 of each leaf: where a deterministic leaf (4 or 0x8000001D)
// describes the caches, the levels its further sub-leaves give are missing, and the poorer leaves
// stand in for them, or nothing does. The report's own lines give each level's size as the machine
// showed it: each cache they give that the deterministic leaf does not, and the poorer leaves give
// with another size or not at all, is taken from them (CacheSource::ReportLines). Nothing changes
// where no cache comes from a deterministic leaf: the leaves then give what the machine showed.
void AddReportedCaches(const ReportedLines& lines, CacheList& caches);

}  // namespace talvex
