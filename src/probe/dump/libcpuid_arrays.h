#pragma once
// libcpuid's raw arrays: their names, the leaves they hold and their sizes, in libcpuid's order of
// writing. The reader (dump_libcpuid.cpp) and the writer (dump_write.cpp) both go by this table.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace talvex::dump_detail {

enum class LibcpuidIndex : uint8_t { Leaf, SubLeaf };

struct LibcpuidArray {
    std::string_view name;
    uint32_t leaf;  // first leaf (LibcpuidIndex::Leaf) or the one leaf (LibcpuidIndex::SubLeaf)
    LibcpuidIndex index;
    uint32_t entries;
    bool always;  // false: written only for a processor whose extended range has the leaf
};

// amd_fn80000026h came to libcpuid after the others, and readers older than it (libcpuid 0.6.2,
// Debian 12's) warn on each of its lines: it is written only where it holds something.
// clang-format off
// name                                       leaf        index is                entries always
inline constexpr std::array kLibcpuidArrays = {
    LibcpuidArray{"basic_cpuid",     0x00000000, LibcpuidIndex::Leaf,    32, true},
    LibcpuidArray{"ext_cpuid",       0x80000000, LibcpuidIndex::Leaf,    32, true},
    LibcpuidArray{"intel_fn4",       0x00000004, LibcpuidIndex::SubLeaf, 8,  true},
    LibcpuidArray{"intel_fn11",      0x0000000B, LibcpuidIndex::SubLeaf, 4,  true},
    LibcpuidArray{"intel_fn12h",     0x00000012, LibcpuidIndex::SubLeaf, 4,  true},
    LibcpuidArray{"intel_fn14h",     0x00000014, LibcpuidIndex::SubLeaf, 4,  true},
    LibcpuidArray{"amd_fn8000001dh", 0x8000001D, LibcpuidIndex::SubLeaf, 4,  true},
    LibcpuidArray{"amd_fn80000026h", 0x80000026, LibcpuidIndex::SubLeaf, 4,  false},
};
// clang-format on
inline constexpr size_t kLibcpuidBasic = 0;
inline constexpr size_t kLibcpuidExt = 1;
inline constexpr uint32_t kLibcpuidMaxEntries = [] {
    uint32_t most = 0;
    for (const LibcpuidArray& a : kLibcpuidArrays) most = a.entries > most ? a.entries : most;
    return most;
}();

}  // namespace talvex::dump_detail
