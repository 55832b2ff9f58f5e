#pragma once
// The processor clock: read from the Transmeta leaves, or measured as time stamp counter cycles
// over one second of wall time, timed by the high-resolution counter and the millisecond timer.

#include <cstdint>
#include <string>
#include <string_view>

#include "probe/platform/cpuid.h"

namespace talvex {

// Clock in Hz; 0 when none is known (no time stamp counter, or a replayed processor).
// Busy-waits about one second whenever it measures.
int64_t MeasureClock(const Probe& probe);

// hz / 1,000,000 as "###.000" + "MHz": no digit before the separator when the integer part is 0,
// no grouping, three fraction digits rounded half away from zero ("2401.000MHz", ".000MHz").
std::string FormatClock(int64_t hz, std::string_view decimal_separator);

}  // namespace talvex
