#pragma once
// The processor details as talvex-report prints them: text for a person, or JSON
// ({"processors": [...]}, one object per record). Both are UTF-8 with "\n" line ends, processor
// text escaped as the rest of talvex-report escapes it, ready for standard output.

#include <array>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "probe/details/capture.h"
#include "probe/details/details.h"

namespace talvex {

// One record: its sections top to bottom. Several: what they share once, then a table of what
// differs per processor (APIC ID, core type, microarchitecture, caches and who shares each).
std::string DetailsText(std::span<const ProcessorDetails> processors);

std::string DetailsJson(std::span<const ProcessorDetails> processors);

// Why a processor has no record, as the window and talvex-report say it ("cannot run on processor
// 2"); "" when it was captured.
std::string CaptureStatusText(const ProcessorCapture& capture);
// The two reasons, for the capture and the clock measurements alike: "cannot run on processor 2";
// "processor 2 went away during the " + `during` ("capture", "measurement").
std::string NotPinnedText(ProcessorNumber processor);
std::string MovedText(ProcessorNumber processor, std::string_view during);
// A clock measured on the processor: "3664 MHz (time stamp counter 2596 MHz)"; ", noisy" follows the
// figure when its windows disagreed, and an abandoned measurement has no figure ("noisy (...)").
std::string MeasuredClockText(const CoreClock& clock);
// The same without the time stamp counter, for a table cell: "3664 MHz", "3664 MHz, noisy", "noisy".
std::string MeasuredClockCell(const CoreClock& clock);

// The JSON word of each value, shared with any other front end that names them.
const char* CacheTypeName(CacheType type);        // "data", "instruction", "unified", "trace"
const char* CoreTypeName(CoreType type);          // "performance", "efficiency"; nullptr for None
const char* CacheSourceName(CacheSource source);  // "leaf 4", "leaf 0x8000001D", ...

// The same values cell by cell, for a front end that lays out its own tables (the details window).
// The text above is built from these, so the two cannot disagree. Terminal text, as the text has it.

struct DetailsLine {
    const char* key;  // as the text names it: "Brand", "Core type", ...
    std::string value;
};
// Every line of the text's Identity, Topology and Platform sections for one processor, in the
// text's order (Microarchitecture, Core type and APIC ID included, which the text gives only for one).
std::vector<DetailsLine> DetailsLines(const ProcessorDetails& d);
// The lines the window's summary shows, in the same order: Brand, Vendor, Signature, Codename,
// Microarchitecture, Core type, Hypervisor, x86-64 level.
std::vector<DetailsLine> DetailsSummary(const ProcessorDetails& d);

inline constexpr std::array<const char*, 6> kCacheColumns{"Level", "Type", "Size",
                                                          "Ways",  "Line", "Shared by"};
// Cache `index` of processors[p]. "Shared by" names the processors sharing it and their count
// ("1-24 (24)") where that is known, else gives CPUID's count as a bound ("up to 128").
std::array<std::string, kCacheColumns.size()> CacheCells(std::span<const ProcessorDetails> processors,
                                                         size_t p, size_t index);
// The same with `sharing` = CacheSharing(processors), worked out once by a caller asking for many cells.
std::array<std::string, kCacheColumns.size()> CacheCells(std::span<const ProcessorDetails> processors,
                                                         const CacheSharing& sharing, size_t p, size_t index);

// The per-processor table: CPU, APIC ID, Core type, Microarchitecture, then one column per cache
// level and type met ("L1d", "L2"), each cell "size [processors sharing it]", then "Measured clock"
// when a record has one; one row per record.
struct PerProcessorRows {
    std::vector<std::string> header;
    std::vector<std::vector<std::string>> rows;
};
PerProcessorRows PerProcessorTable(std::span<const ProcessorDetails> processors);
// The same with `sharing` = CacheSharing(processors), worked out once by a caller that has it already.
PerProcessorRows PerProcessorTable(std::span<const ProcessorDetails> processors, const CacheSharing& sharing);

// Whether two processors are of another kind: core type, microarchitecture, or a cache's size.
bool DiffersInKind(const ProcessorDetails& a, const ProcessorDetails& b);

}  // namespace talvex
