#pragma once
// The plain-text information report that the copy command puts on the clipboard (after its time
// stamp line) and that talvex-report prints: name, clock, caches, vendor, signature fields,
// feature summary and a hexadecimal dump of every leaf of the four ranges. Every line, the last
// included, ends in "\r\n".

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "probe/platform/cpuid.h"

namespace talvex {

// Appends processor text (the name and the vendor) to the report. The report's own line ends are
// "\r\n" too, so a writer that must tell them apart from the processor's bytes escapes these.
using ProcessorTextWriter = void (*)(std::string& out, std::string_view bytes);

// Appends the report, built from fresh queries and one fresh clock measurement, unless the caller
// hands in a clock it measured already (`hz`). Processor text is copied byte for byte unless
// `write_text` is given.
void BuildReport(const Probe& probe, std::string& out, std::string_view decimal_separator,
                 ProcessorTextWriter write_text = nullptr, std::optional<int64_t> hz = std::nullopt);

// The report but for its clock line, from fresh queries: the name line before it and every line
// after it. The copy command takes these when asked and adds the clock once it is measured.
struct ReportParts {
    std::string name_line;
    std::string rest;
};
ReportParts BuildReportParts(const Probe& probe, ProcessorTextWriter write_text = nullptr);
// The report's clock line: "Clock: 2400.000MHz\r\n".
std::string ClockLine(int64_t hz, std::string_view decimal_separator);

// Appends the five lines of one leaf; a refused query shows four zero registers.
void FormatLeafDump(const Probe& probe, uint32_t leaf, std::string& out);

// Replaces `out` with the 32 characters "0"/"1" of `value`, bit 31 first.
void ToBinaryDigits(uint32_t value, std::string& out);

}  // namespace talvex
