#pragma once
// The processor details as JSON, {"processors": [...]}, one object per record: UTF-8 with "\n" line
// ends, ready for standard output.

#include <span>
#include <string>

#include "probe/details/details.h"

namespace talvex {

std::string DetailsJson(std::span<const ProcessorDetails> processors);
// Record `shown` of a set alone, told as the set tells it (who shares its caches, the counts).
std::string DetailsJson(std::span<const ProcessorDetails> set, size_t shown);

}  // namespace talvex
