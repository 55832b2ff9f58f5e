#pragma once
// The processor details as JSON, {"processors": [...]}, one object per record: UTF-8 with "\n" line
// ends, ready for standard output.

#include <span>
#include <string>

#include "probe/details/details.h"

namespace talvex {

std::string DetailsJson(std::span<const ProcessorDetails> processors);

}  // namespace talvex
