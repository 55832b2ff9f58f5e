#pragma once
// The processor details' values as text, field by field and cell by cell, shared by every output:
// talvex-report's text and JSON and the details window.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "probe/details/capture.h"
#include "probe/details/details.h"

namespace talvex {

// A clock measured on the processor: "3664 MHz (time stamp counter 2596 MHz)"; ", noisy" follows the
// figure when its windows disagreed, and an abandoned measurement has no figure ("noisy (...)").
std::string MeasuredClockText(const CoreClock& clock);
// The same without the time stamp counter, for a table cell: "3664 MHz", "3664 MHz, noisy", "noisy".
std::string MeasuredClockCell(const CoreClock& clock);

// The JSON word of each value, shared with any other front end that names them.
const char* CacheTypeName(CacheType type);        // "data", "instruction", "unified", "trace"
const char* CoreTypeName(CoreType type);          // "performance", "efficiency"; nullptr for None
const char* CacheSourceName(CacheSource source);  // "leaf 4", "leaf 0x8000001D", ...

// The details' values cell by cell: the text, the JSON and the details window are built from these, so
// they cannot disagree. Terminal text, as the text has it.

enum class DetailsSection : uint8_t { Identity, Topology, Platform };

struct DetailsLine {
    const char* key;  // as the text names it: "Brand", "Core type", ...
    std::string value;
    DetailsSection section;
    bool one_only;  // in the text only when it describes one processor (the table covers several)
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
// `sharing` is CacheSharing(processors).
PerProcessorRows PerProcessorTable(std::span<const ProcessorDetails> processors, const CacheSharing& sharing);

// Whether two processors are of another kind: core type, microarchitecture, or a cache's size.
bool DiffersInKind(const ProcessorDetails& a, const ProcessorDetails& b);

// Processor text on a terminal: control bytes as "\xNN", bytes 0x80..0xFF as Latin-1.
std::string ShownText(std::string_view bytes);
// "3 (x86-64-v3)", "1 (x86-64)", "0 (no long mode)".
std::string X86_64LevelText(unsigned level);
// "32 KB", "30 MB", "12 K-uops".
std::string CacheSizeText(const CacheDetails& cache);
// The measured clock of a record, or "not measured".
std::string MeasuredText(const ProcessorDetails& d);
// The processors that share cache `index` of processors[p], where the records tell exactly: CPUID counts
// the processor alone, or the records hold every processor of its package; empty otherwise. A view of
// the sharing group's own list (or of the processor's number), not a copy.
std::span<const ProcessorNumber> KnownSharing(std::span<const ProcessorDetails> processors,
                                              const CacheSharing& sharing, size_t p, size_t index);

}  // namespace talvex
