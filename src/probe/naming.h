#pragma once
// A human name for the processor, from built-in tables keyed by the vendor text and the leaf 1
// signature, refined by brand index, cache sizes and a few flags; for an unknown vendor or a
// processor without CPUID, from the operating system's processor type number.

#include <string>

#include "probe/cpuid.h"

namespace talvex {

// Never fails; an uncovered combination gives a fall-back name or an empty text.
std::string GetProcessorName(const Probe& probe);

}  // namespace talvex
