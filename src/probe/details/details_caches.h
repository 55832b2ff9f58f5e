#pragma once
// The cache list of the processor details (details_caches.cpp), apart from the rest of the record.

#include <string_view>

#include "probe/details/details.h"
#include "probe/details/leaf_reader.h"

namespace talvex {

// Fills `caches` (in the details' order) from the first source that yields a cache, and says which.
// `family` and `model` are the display values.
CacheSource ReadCaches(const LeafReader& leaves, std::string_view vendor, uint32_t family, uint32_t model,
                       CacheList& caches);

}  // namespace talvex
