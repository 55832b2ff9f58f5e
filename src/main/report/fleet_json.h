#pragma once
// Two processors compared, and a fleet's common ground, as JSON: one object, UTF-8 with "\n" line
// ends, ready for standard output.

#include <span>
#include <string>

#include "main/report/fleet_text.h"

namespace talvex {

// {"a": {"input", "cpu"}, "b": {...}, "same", "differences": {field: {"a", "b"}}, "caches": [...],
// "onlyInA": [...], "onlyInB": [...]}
std::string CompareJson(const ComparedProcessor& a, const ComparedProcessor& b, const ProcessorComparison& c);

// {"machines", "x86_64Level", "heldBack", "microarchitectures", "gcc", "features", "partial"}
std::string BaselineJson(const FleetBaseline& fleet, std::span<const std::string> names, const GccFlags& gcc);

}  // namespace talvex
