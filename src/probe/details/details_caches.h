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

}  // namespace talvex
