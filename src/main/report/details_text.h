#pragma once
// The processor details as talvex-report prints them for a person: UTF-8 with "\n" line ends,
// processor text escaped as the rest of talvex-report escapes it, ready for standard output.

#include <span>
#include <string>

#include "probe/details/details.h"

namespace talvex {

// One record: its sections top to bottom. Several: what they share once, then a table of what
// differs per processor (APIC ID, core type, microarchitecture, caches and who shares each).
std::string DetailsText(std::span<const ProcessorDetails> processors);
// Record `shown` of a set alone, told as the set tells it: who shares its caches and the counts come
// from every record of the set.
std::string DetailsText(std::span<const ProcessorDetails> set, size_t shown);

}  // namespace talvex
