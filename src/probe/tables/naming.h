#pragma once
// A human name for the processor, from built-in tables keyed by the vendor text and the leaf 1
// signature, refined by brand index, cache sizes and a few flags; for an unknown vendor or a
// processor without CPUID, from the operating system's processor type number.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "probe/platform/cpuid.h"

namespace talvex {

// Never fails; an uncovered combination gives a fall-back name or an empty text.
std::string GetProcessorName(const Probe& probe);

// Whether the tables were made for a processor of this vendor text and leaf 1 EAX: not for Intel's
// family 6 with an extended model or family 15 from extended family 2, AMD's family 10h on, any
// Hygon, nor another vendor's family 6 and up with an extended model or family.
bool WithinNamingTables(std::string_view vendor, uint32_t signature);

// The tables' own words for an unknown processor of this vendor text and 4-bit family, such as
// "P6 Family CPU(Unknown)"; nothing for a vendor text without a table of its own.
std::optional<std::string> UnknownProcessorName(std::string_view vendor, uint32_t family);

}  // namespace talvex
