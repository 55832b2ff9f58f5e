#pragma once
// The fixed text of the dump layouts Talvex writes, which its readers go by: what a writer puts in a
// file, the reader of that layout finds there.

#include <array>
#include <string_view>

namespace talvex {

// `cpuid -r`: "CPU n:" heads each processor (a reader takes blanks after the word), then
// "   0x00000000 0x00: eax=0x0000000d ebx=0x... ecx=0x... edx=0x..." a (leaf, sub-leaf).
inline constexpr std::string_view kCpuidRawHeaderWord = "CPU";
inline constexpr std::string_view kCpuidRawHeaderEnd = ":";
inline constexpr std::array<std::string_view, 4> kCpuidRawRegisterLabels{"eax=0x", "ebx=0x", "ecx=0x",
                                                                         "edx=0x"};

// libcpuid's raw arrays: "_________________ Logical CPU #n _________________" between processors (a
// reader goes by an underscore first and the words).
inline constexpr std::string_view kLibcpuidRule = "_________________";
inline constexpr std::string_view kLibcpuidSeparatorWords = "Logical CPU #";

// Talvex's own report: its leaf dump follows the marker line, five lines a leaf: the leaf in eight
// hex digits and "h", then each register after its label, "EAX: 0000000D".
inline constexpr std::string_view kReportDumpMarker = "***CPUID Register Data***";
// Before the marker, the name and the cache sizes the machine showed, each after its label: "L2 Cache  :
// 1280KB"; a trace cache takes the instruction cache's line, "L1 T-Cache: 12KuOps".
inline constexpr std::string_view kReportNameLabel = "CPU Name: ";
inline constexpr std::string_view kReportL1ILabel = "L1 I-Cache: ";
inline constexpr std::string_view kReportTraceLabel = "L1 T-Cache: ";
inline constexpr std::string_view kReportL1DLabel = "L1 D-Cache: ";
inline constexpr std::string_view kReportL2Label = "L2 Cache  : ";
inline constexpr std::string_view kReportL3Label = "L3 Cache  : ";
inline constexpr std::string_view kReportKB = "KB";
inline constexpr std::string_view kReportKuops = "KuOps";
inline constexpr std::string_view kReportLeafEnd = "h";
inline constexpr std::array<std::string_view, 4> kReportRegisterLabels{"EAX: ", "EBX: ", "ECX: ", "EDX: "};

}  // namespace talvex
