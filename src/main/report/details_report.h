#pragma once
// The processor details as talvex-report prints them: text for a person, or JSON
// ({"processors": [...]}, one object per record). Both are UTF-8 with "\n" line ends, processor
// text escaped as the rest of talvex-report escapes it, ready for standard output.

#include <span>
#include <string>

#include "probe/details.h"

namespace talvex {

// One record: its sections top to bottom. Several: what they share once, then a table of what
// differs per processor (APIC ID, core type, microarchitecture, caches and who shares each).
std::string DetailsText(std::span<const ProcessorDetails> processors);

std::string DetailsJson(std::span<const ProcessorDetails> processors);

// The JSON word of each value, shared with any other front end that names them.
const char* CacheTypeName(CacheType type);        // "data", "instruction", "unified", "trace"
const char* CoreTypeName(CoreType type);          // "performance", "efficiency"; nullptr for None
const char* CacheSourceName(CacheSource source);  // "leaf 4", "leaf 0x8000001D", ...

}  // namespace talvex
