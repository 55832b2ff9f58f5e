#pragma once
// A processor's number as the operating system gives it, from 0 (`taskset -c 0`, sched_setaffinity,
// a dump's "CPU 0:"). People count from 1: the window's "CPU1", the report's "processor 1", --cpu 1
// all name processor 0. Records carry this type alone, so a count from 1 cannot be taken for one;
// the count from 1 is made only where text is written.

#include <compare>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "probe/text/text.h"

namespace talvex {

class ProcessorNumber {
public:
    constexpr ProcessorNumber() = default;
    constexpr explicit ProcessorNumber(unsigned os_number) : os_(os_number) {}
    // From a count from 1, as the user gives it; none for 0 or a count beyond every number.
    static constexpr std::optional<ProcessorNumber> FromCounted(uint64_t counted) {
        if (counted == 0 || counted - 1 > std::numeric_limits<unsigned>::max()) return std::nullopt;
        return ProcessorNumber(static_cast<unsigned>(counted - 1));
    }

    constexpr unsigned os() const { return os_; }
    // The number people count by: 1 for processor 0.
    constexpr uint64_t counted() const { return uint64_t{os_} + 1; }

    friend constexpr auto operator<=>(const ProcessorNumber&, const ProcessorNumber&) = default;

private:
    unsigned os_ = 0;
};

// "CPU1" for processor 0, as the window names them.
inline std::string CpuName(ProcessorNumber p) { return "CPU" + Decimal(p.counted()); }

// The operating system's numbers as the platform hands them over.
std::vector<ProcessorNumber> OsProcessors(const std::vector<unsigned>& os_numbers);

// Processors as people count them, runs of consecutive numbers joined: "1-4,7,9-10". Every list of
// processors the program writes is written so.
std::string ProcessorList(std::span<const ProcessorNumber> processors);

}  // namespace talvex
