#pragma once
// Two processors compared, and a fleet's common ground, as talvex-report prints them for a person:
// UTF-8 with "\n" line ends, processor text and file names escaped as the rest of talvex-report
// escapes them.

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "probe/details/details.h"
#include "probe/fleet/fleet.h"
#include "probe/fleet/gcc_flags.h"
#include "probe/text/inline_text.h"

namespace talvex {

// A processor compared: where it was read ("live", a dump's file name) and the record.
struct ComparedProcessor {
    std::string input;
    const ProcessorDetails* details;
};

// The words of each compared value: the details text's key and the details JSON's.
struct ProcessorFieldName {
    ProcessorField field;
    InlineText<19> key;  // held in the row: nothing to relocate
    InlineText<17> json;
};
// clang-format off
inline constexpr ProcessorFieldName kProcessorFieldNames[] = {
    //  field                              key                    json
    {ProcessorField::Brand,              "Brand",               "brand"},
    {ProcessorField::Vendor,             "Vendor",              "vendor"},
    {ProcessorField::Signature,          "Signature",           "signature"},
    {ProcessorField::Codename,           "Codename",            "codename"},
    {ProcessorField::Microarchitecture,  "Microarchitecture",   "microarchitecture"},
    {ProcessorField::CoreType,           "Core type",           "coreType"},
    {ProcessorField::ThreadsPerCore,     "Threads per core",    "threadsPerCore"},
    {ProcessorField::LogicalPerPackage,  "Logical per package", "logicalPerPackage"},
    {ProcessorField::AddressBits,        "Address bits",        "addressBits"},
    {ProcessorField::Hypervisor,         "Hypervisor",          "hypervisor"},
    {ProcessorField::X86_64Level,        "x86-64 level",        "x86_64Level"},
    {ProcessorField::Frequencies,        "Frequencies",         "frequencyMHz"},
};
// clang-format on
const ProcessorFieldName& NameOf(ProcessorField field);

// "a.txt, processor 1".
std::string ComparedName(const ComparedProcessor& p);
// "L2 unified": a cache's level and type.
std::string CacheLabel(const CacheDetails& cache);
// "512 KB, 8 ways, 64-byte lines, shared by [up to 2]"; "none" for nullptr.
std::string CacheSummary(const CacheDetails* cache);
// The features' names as the machines whose names (ORed) are `names` give them, in order, each name
// once: Intel's spec_ctrl alone stands for IBRS and IBPB alike.
std::vector<std::string> FeatureNames(std::span<const size_t> features, const FeatureSet& names);
// The features every machine has, and those some lack, each name once.
std::vector<size_t> CommonFeatures(const FleetBaseline& fleet);
std::vector<const FleetBaseline::Partial*> PartialFeatures(const FleetBaseline& fleet);
// One line a note: "checked with gcc 12.2.0".
std::string GccNoteLine(const GccNoteText& note);

// One line when they are the same; else both processors named, each value that differs, the caches
// that differ, and the features only one has.
std::string CompareText(const ComparedProcessor& a, const ComparedProcessor& b, const ProcessorComparison& c);

// `names[i]` names machine i of `fleet`.
std::string BaselineText(const FleetBaseline& fleet, std::span<const std::string> names, const GccFlags& gcc);

}  // namespace talvex
