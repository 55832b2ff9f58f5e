#pragma once
// The processor details' values as text, field by field and cell by cell, shared by every output:
// talvex-report's text and JSON and the details window.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "probe/details/capture.h"
#include "probe/details/details.h"

namespace talvex {

// A clock measured on the processor: "3664 MHz (time stamp counter 2596 MHz)"; ", noisy" follows the
// figure when its windows disagreed, and an abandoned measurement has no figure ("noisy (...)");
// ", invariant" follows the counter's rate where the processor says the counter is (`invariant`).
std::string MeasuredClockText(const CoreClock& clock, bool invariant);
// The same without the time stamp counter, for a table cell: "3664 MHz", "3664 MHz, noisy", "noisy".
std::string MeasuredClockCell(const CoreClock& clock);

// The JSON word of each value, shared with any other front end that names them.
const char* CacheTypeName(CacheType type);        // "data", "instruction", "unified", "trace"
const char* CoreTypeName(CoreType type);          // "performance", "efficiency"; nullptr for None
const char* CacheSourceName(CacheSource source);  // "leaf 4", "leaf 0x8000001D", ..., "the report's lines"
// Whether a cache's ways and line size are known: not where a report's lines give its size alone.
bool GeometryKnown(const CacheDetails& cache);

// The details' values cell by cell: the text, the JSON and the details window are built from these, so
// they cannot disagree. Terminal text, as the text has it.

// What the records of one set say together, worked out once for all of their outputs: the counts
// from the processors themselves, or why there are none.
struct SetFacts {
    SetFacts() = default;
    SetFacts(std::span<const ProcessorDetails> all, const CacheSharing& sharing);

    size_t records = 0;
    bool whole = false;  // HoldsWholeMachine
    Coverage coverage = Coverage::OneProcessor;
    std::optional<ProcessorCounts> counts;    // the machine's
    std::optional<ProcessorCounts> examined;  // of the processors examined, where not the machine's
    std::vector<CacheInstances> caches;
    DumpGaps lacks;  // what any of their dumps lacks
};

// Marks a value that depends on what a dump lacks.
inline constexpr const char* kIncompleteMark = " *";

enum class DetailsSection : uint8_t { Identity, Topology, Platform };

struct DetailsLine {
    const char* key;  // as the text names it: "Brand", "Core type", ...
    std::string value;
    DetailsSection section;
    bool one_only;      // in the text only when it describes one processor (the table covers several)
    const char* about;  // what the value is and where it comes from, for a tooltip
};
// Every line of the text's Identity, Topology and Platform sections for one processor, in the
// text's order (Microarchitecture, Core type and APIC ID included, which the text gives only for one).
// A value that depends on what its dump lacks ends in kIncompleteMark.
std::vector<DetailsLine> DetailsLines(const ProcessorDetails& d, const SetFacts& set);
// The lines the window's summary shows, in the same order: Brand, Vendor, Signature, Codename,
// Microarchitecture, Process, Core type, Microcode, Instructions, Counts, Hypervisor, x86-64 level.
std::vector<DetailsLine> DetailsSummary(const ProcessorDetails& d, const SetFacts& set);

// The `about` of the line named `key` ("APIC ID"); nullptr for none.
const char* FieldAbout(std::string_view key);

// "the sub-leaves of leaves 4 and 0xD and the hypervisor leaves"; "" for nothing.
std::string DumpGapsText(const DumpGaps& gaps);
// The line an incomplete dump gets before its values, or "" for a complete one.
std::string IncompleteText(const DumpGaps& gaps);
// The JSON words: what a dump lacks ("leaf 4 sub-leaves", "hypervisor leaves"), and the keys of the
// values that depend on it ("caches", "topology", ...), each in a fixed order.
std::vector<std::string> DumpGapNames(const DumpGaps& gaps);
std::vector<std::string> UncertainKeys(const DumpGaps& gaps);
// Whether the caches, or the features, depend on what a dump lacks.
bool CachesUncertain(const DumpGaps& gaps);
bool FeaturesUncertain(const DumpGaps& gaps);

// The Security section: each vulnerability the running kernel knows with its verdict, as lscpu
// names it ("Tsx async abort"), or one line saying they were not recorded; then the CPUID bits
// that enumerate mitigations.
struct SecurityLine {
    std::string key;
    std::string value;
    std::string about;
};
std::vector<SecurityLine> SecurityLines(const ProcessorDetails& d);
// "tsx_async_abort" -> "Tsx async abort"
std::string VulnerabilityName(std::string_view file);
// "0x1000065", as the kernel writes a microcode revision.
std::string MicrocodeText(uint64_t revision);

inline constexpr std::array<const char*, 6> kCacheColumns{"Level", "Type", "Size",
                                                          "Ways",  "Line", "Shared by"};
// Who shares cache `index` of processors[p], one notation for every output: "[1-24]" the processors
// that do where the records tell (a private cache: the processor's own number), "[up to 128]" CPUID's
// count where they do not hold the whole machine, "" where CPUID does not say.
std::string SharingText(std::span<const ProcessorDetails> processors, const CacheSharing& sharing, size_t p,
                        size_t index);
// CPUID's count of the processors that may share a cache, as a bound: "[up to 16]".
std::string SharingBoundText(uint32_t count);
// A cache described for several processors that each share their own: "[2 each]".
std::string SharingEachText(size_t count);
// Where a cache's figures come from, for a tooltip: "from leaf 4".
std::string CacheSourceText(const CacheDetails& cache);
// Cache `index` of processors[p], "Shared by" in SharingText's notation ("-" where CPUID does not say).
std::array<std::string, kCacheColumns.size()> CacheCells(std::span<const ProcessorDetails> processors,
                                                         size_t p, size_t index);
// The same with `sharing` = CacheSharing(processors), worked out once by a caller asking for many cells.
std::array<std::string, kCacheColumns.size()> CacheCells(std::span<const ProcessorDetails> processors,
                                                         const CacheSharing& sharing, size_t p, size_t index);

// The per-processor table: CPU, APIC ID, Core type, Microarchitecture, then one column per cache
// level and type met ("L1d", "L2"), each cell its size and SharingText ("32 MB [1-24]"), then
// "Measured clock" when a record has one; one row per record.
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
// the processor alone, or the records hold the whole machine; empty otherwise. A view of the sharing
// group's own list (or of the processor's number), not a copy.
std::span<const ProcessorNumber> KnownSharing(std::span<const ProcessorDetails> processors,
                                              const CacheSharing& sharing, size_t p, size_t index);

}  // namespace talvex
