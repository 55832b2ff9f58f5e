#pragma once
// Intel's leaf 2 cache descriptors, one table for both readers of leaf 2: the window's cache sizes
// (GetCacheInfo) and the processor details' cache list. Where both know a byte they agree on it;
// each keeps its own row set, so the window's answers stay as they were. TLB, prefetch and null
// bytes describe no cache and are left out.
// The window alone reads the IA-64 rows, 0x81, and 0x40 ("no higher-level cache": level 0 here),
// which it takes as clearing L3 on family 15 and L2 on every other family.
// 0x39..0x3E and 0x73 appear in the older editions of Intel's table only. 0x49 is an L3 on family
// 15 model 6. 0xFF hands the description over to leaf 4, and the details read this table in full
// only when leaf 4 gave nothing.

#include <array>
#include <bitset>
#include <cstdint>

#include "probe/platform/cpuid.h"
#include "probe/platform/registers.h"

namespace talvex {

// In the order the details list caches of one level.
enum class CacheType : uint8_t { Data, Instruction, Unified, Trace };

enum class Leaf2Reader : uint8_t { Both, Window, Details };

struct Leaf2Descriptor {
    uint8_t code;
    uint8_t level;
    CacheType type;
    uint32_t size;  // KB; thousands of micro-operations for a trace cache
    uint16_t ways;  // 0: fully associative
    uint16_t line;  // bytes; 0 for a trace cache
    Leaf2Reader reader;
};

// clang-format off
inline constexpr auto kLeaf2Descriptors = std::to_array<Leaf2Descriptor>({
    // code level type                KB    ways line read by
    {0x06, 1, CacheType::Instruction, 8,    4,   32,  Leaf2Reader::Both},
    {0x08, 1, CacheType::Instruction, 16,   4,   32,  Leaf2Reader::Both},
    {0x09, 1, CacheType::Instruction, 32,   4,   64,  Leaf2Reader::Details},
    {0x0A, 1, CacheType::Data,        8,    2,   32,  Leaf2Reader::Both},
    {0x0C, 1, CacheType::Data,        16,   4,   32,  Leaf2Reader::Both},
    {0x0D, 1, CacheType::Data,        16,   4,   64,  Leaf2Reader::Details},
    {0x0E, 1, CacheType::Data,        24,   6,   64,  Leaf2Reader::Details},
    {0x10, 1, CacheType::Data,        16,   4,   32,  Leaf2Reader::Window},
    {0x15, 1, CacheType::Instruction, 16,   4,   32,  Leaf2Reader::Window},
    {0x1A, 2, CacheType::Unified,     96,   6,   64,  Leaf2Reader::Window},
    {0x1D, 2, CacheType::Unified,     128,  2,   64,  Leaf2Reader::Details},
    {0x21, 2, CacheType::Unified,     256,  8,   64,  Leaf2Reader::Details},
    {0x22, 3, CacheType::Unified,     512,  4,   64,  Leaf2Reader::Both},
    {0x23, 3, CacheType::Unified,     1024, 8,   64,  Leaf2Reader::Both},
    {0x24, 2, CacheType::Unified,     1024, 16,  64,  Leaf2Reader::Details},
    {0x25, 3, CacheType::Unified,     2048, 8,   64,  Leaf2Reader::Both},
    {0x29, 3, CacheType::Unified,     4096, 8,   64,  Leaf2Reader::Both},
    {0x2C, 1, CacheType::Data,        32,   8,   64,  Leaf2Reader::Both},
    {0x30, 1, CacheType::Instruction, 32,   8,   64,  Leaf2Reader::Both},
    {0x39, 2, CacheType::Unified,     128,  4,   64,  Leaf2Reader::Both},
    {0x3A, 2, CacheType::Unified,     192,  6,   64,  Leaf2Reader::Details},
    {0x3B, 2, CacheType::Unified,     128,  2,   64,  Leaf2Reader::Both},
    {0x3C, 2, CacheType::Unified,     256,  4,   64,  Leaf2Reader::Both},
    {0x3D, 2, CacheType::Unified,     384,  6,   64,  Leaf2Reader::Details},
    {0x3E, 2, CacheType::Unified,     512,  4,   64,  Leaf2Reader::Details},
    {0x40, 0, CacheType::Unified,     0,    0,   0,   Leaf2Reader::Window},
    {0x41, 2, CacheType::Unified,     128,  4,   32,  Leaf2Reader::Both},
    {0x42, 2, CacheType::Unified,     256,  4,   32,  Leaf2Reader::Both},
    {0x43, 2, CacheType::Unified,     512,  4,   32,  Leaf2Reader::Both},
    {0x44, 2, CacheType::Unified,     1024, 4,   32,  Leaf2Reader::Both},
    {0x45, 2, CacheType::Unified,     2048, 4,   32,  Leaf2Reader::Both},
    {0x46, 3, CacheType::Unified,     4096, 4,   64,  Leaf2Reader::Details},
    {0x47, 3, CacheType::Unified,     8192, 8,   64,  Leaf2Reader::Details},
    {0x48, 2, CacheType::Unified,     3072, 12,  64,  Leaf2Reader::Details},
    {0x49, 2, CacheType::Unified,     4096, 16,  64,  Leaf2Reader::Details},
    {0x4A, 3, CacheType::Unified,     6144, 12,  64,  Leaf2Reader::Details},
    {0x4B, 3, CacheType::Unified,     8192, 16,  64,  Leaf2Reader::Details},
    {0x4C, 3, CacheType::Unified,     12288,12,  64,  Leaf2Reader::Details},
    {0x4D, 3, CacheType::Unified,     16384,16,  64,  Leaf2Reader::Details},
    {0x4E, 2, CacheType::Unified,     6144, 24,  64,  Leaf2Reader::Details},
    {0x60, 1, CacheType::Data,        16,   8,   64,  Leaf2Reader::Details},
    {0x66, 1, CacheType::Data,        8,    4,   64,  Leaf2Reader::Both},
    {0x67, 1, CacheType::Data,        16,   4,   64,  Leaf2Reader::Both},
    {0x68, 1, CacheType::Data,        32,   4,   64,  Leaf2Reader::Both},
    {0x70, 1, CacheType::Trace,       12,   8,   0,   Leaf2Reader::Both},
    {0x71, 1, CacheType::Trace,       16,   8,   0,   Leaf2Reader::Both},
    {0x72, 1, CacheType::Trace,       32,   8,   0,   Leaf2Reader::Both},
    {0x73, 1, CacheType::Trace,       64,   8,   0,   Leaf2Reader::Details},
    {0x77, 1, CacheType::Instruction, 16,   4,   64,  Leaf2Reader::Window},
    {0x78, 2, CacheType::Unified,     1024, 4,   64,  Leaf2Reader::Details},
    {0x79, 2, CacheType::Unified,     128,  8,   64,  Leaf2Reader::Both},
    {0x7A, 2, CacheType::Unified,     256,  8,   64,  Leaf2Reader::Both},
    {0x7B, 2, CacheType::Unified,     512,  8,   64,  Leaf2Reader::Both},
    {0x7C, 2, CacheType::Unified,     1024, 8,   64,  Leaf2Reader::Both},
    {0x7D, 2, CacheType::Unified,     2048, 8,   64,  Leaf2Reader::Details},
    {0x7E, 2, CacheType::Unified,     256,  8,   128, Leaf2Reader::Window},
    {0x7F, 2, CacheType::Unified,     512,  2,   64,  Leaf2Reader::Details},
    {0x80, 2, CacheType::Unified,     512,  8,   64,  Leaf2Reader::Details},
    {0x81, 2, CacheType::Unified,     128,  8,   32,  Leaf2Reader::Window},
    {0x82, 2, CacheType::Unified,     256,  8,   32,  Leaf2Reader::Both},
    {0x83, 2, CacheType::Unified,     512,  8,   32,  Leaf2Reader::Both},
    {0x84, 2, CacheType::Unified,     1024, 8,   32,  Leaf2Reader::Both},
    {0x85, 2, CacheType::Unified,     2048, 8,   32,  Leaf2Reader::Both},
    {0x86, 2, CacheType::Unified,     512,  4,   64,  Leaf2Reader::Both},
    {0x87, 2, CacheType::Unified,     1024, 8,   64,  Leaf2Reader::Both},
    {0x88, 3, CacheType::Unified,     2048, 4,   64,  Leaf2Reader::Window},
    {0x89, 3, CacheType::Unified,     4096, 4,   64,  Leaf2Reader::Window},
    {0x8A, 3, CacheType::Unified,     8192, 4,   64,  Leaf2Reader::Window},
    {0x8D, 3, CacheType::Unified,     3072, 12,  128, Leaf2Reader::Window},
    {0xD0, 3, CacheType::Unified,     512,  4,   64,  Leaf2Reader::Details},
    {0xD1, 3, CacheType::Unified,     1024, 4,   64,  Leaf2Reader::Details},
    {0xD2, 3, CacheType::Unified,     2048, 4,   64,  Leaf2Reader::Details},
    {0xD6, 3, CacheType::Unified,     1024, 8,   64,  Leaf2Reader::Details},
    {0xD7, 3, CacheType::Unified,     2048, 8,   64,  Leaf2Reader::Details},
    {0xD8, 3, CacheType::Unified,     4096, 8,   64,  Leaf2Reader::Details},
    {0xDC, 3, CacheType::Unified,     1536, 12,  64,  Leaf2Reader::Details},
    {0xDD, 3, CacheType::Unified,     3072, 12,  64,  Leaf2Reader::Details},
    {0xDE, 3, CacheType::Unified,     6144, 12,  64,  Leaf2Reader::Details},
    {0xE2, 3, CacheType::Unified,     2048, 16,  64,  Leaf2Reader::Details},
    {0xE3, 3, CacheType::Unified,     4096, 16,  64,  Leaf2Reader::Details},
    {0xE4, 3, CacheType::Unified,     8192, 16,  64,  Leaf2Reader::Details},
    {0xEA, 3, CacheType::Unified,     12288,24,  64,  Leaf2Reader::Details},
    {0xEB, 3, CacheType::Unified,     18432,24,  64,  Leaf2Reader::Details},
    {0xEC, 3, CacheType::Unified,     24576,24,  64,  Leaf2Reader::Details},
});
// clang-format on

// The row of `code` that `reader` reads (its own rows and those both read); nullptr for a byte that
// names no cache to it.
constexpr const Leaf2Descriptor* FindLeaf2Descriptor(uint8_t code, Leaf2Reader reader) {
    for (const Leaf2Descriptor& d : kLeaf2Descriptors)
        if (d.code == code) return d.reader == Leaf2Reader::Both || d.reader == reader ? &d : nullptr;
    return nullptr;
}

// The leaf 2 bytes that describe no cache, after the descriptor table of Intel's CPUID reference (SDM
// Vol. 2A, leaf 02H): TLBs, prefetching, and the bytes that send the reader elsewhere.
enum class Leaf2Other : uint8_t {
    InstructionTlb,
    DataTlb,
    DataTlb0,
    DataTlb1,
    MicroTlb,
    SharedL2Tlb,
    Prefetch,     // `entries` holds the prefetch size in bytes
    Null,         // an empty slot
    NoCache,      // 0x40: no L2, or no L3 where there is an L2
    SeeLeaf4,     // 0xFF: the caches are described by leaf 4
    SeeLeaf0x18,  // 0xFE: the TLBs are described by leaf 0x18
};

struct Leaf2OtherDescriptor {
    uint8_t code;
    Leaf2Other what;
    uint8_t pages;  // bit 0: 4 KB, 1: 2 MB, 2: 4 MB, 3: 1 GB; several: either size
    uint16_t ways;  // 0: fully associative; 0xFFFF: not stated
    uint16_t entries;
    // 0x63, 0xB1 and 0xC3 describe a second array too: its pages, ways and entries.
    uint8_t pages2;
    uint16_t ways2, entries2;
};

inline constexpr uint8_t k4K = 1, k2M = 2, k4M = 4, k1G = 8;
inline constexpr uint16_t kWaysUnstated = 0xFFFF;

// clang-format off
inline constexpr auto kLeaf2Others = std::to_array<Leaf2OtherDescriptor>({
    // code what                        pages            ways  entries   second array
    {0x00, Leaf2Other::Null,            0,               0,    0,        0, 0, 0},
    {0x01, Leaf2Other::InstructionTlb,  k4K,             4,    32,       0, 0, 0},
    {0x02, Leaf2Other::InstructionTlb,  k4M,             0,    2,        0, 0, 0},
    {0x03, Leaf2Other::DataTlb,         k4K,             4,    64,       0, 0, 0},
    {0x04, Leaf2Other::DataTlb,         k4M,             4,    8,        0, 0, 0},
    {0x05, Leaf2Other::DataTlb1,        k4M,             4,    32,       0, 0, 0},
    {0x0B, Leaf2Other::InstructionTlb,  k4M,             4,    4,        0, 0, 0},
    {0x40, Leaf2Other::NoCache,         0,               0,    0,        0, 0, 0},
    {0x4F, Leaf2Other::InstructionTlb,  k4K,  kWaysUnstated,   32,       0, 0, 0},
    {0x50, Leaf2Other::InstructionTlb,  k4K|k2M|k4M, kWaysUnstated, 64,  0, 0, 0},
    {0x51, Leaf2Other::InstructionTlb,  k4K|k2M|k4M, kWaysUnstated, 128, 0, 0, 0},
    {0x52, Leaf2Other::InstructionTlb,  k4K|k2M|k4M, kWaysUnstated, 256, 0, 0, 0},
    {0x55, Leaf2Other::InstructionTlb,  k2M|k4M,         0,    7,        0, 0, 0},
    {0x56, Leaf2Other::DataTlb0,        k4M,             4,    16,       0, 0, 0},
    {0x57, Leaf2Other::DataTlb0,        k4K,             4,    16,       0, 0, 0},
    {0x59, Leaf2Other::DataTlb0,        k4K,             0,    16,       0, 0, 0},
    {0x5A, Leaf2Other::DataTlb0,        k2M|k4M,         4,    32,       0, 0, 0},
    {0x5B, Leaf2Other::DataTlb,         k4K|k4M,  kWaysUnstated,   64,   0, 0, 0},
    {0x5C, Leaf2Other::DataTlb,         k4K|k4M,  kWaysUnstated,   128,  0, 0, 0},
    {0x5D, Leaf2Other::DataTlb,         k4K|k4M,  kWaysUnstated,   256,  0, 0, 0},
    {0x61, Leaf2Other::InstructionTlb,  k4K,             0,    48,       0, 0, 0},
    {0x63, Leaf2Other::DataTlb,         k2M|k4M,         4,    32,       k1G, 4, 4},
    {0x64, Leaf2Other::DataTlb,         k4K,             4,    512,      0, 0, 0},
    {0x6A, Leaf2Other::MicroTlb,        k4K,             8,    64,       0, 0, 0},
    {0x6B, Leaf2Other::DataTlb,         k4K,             8,    256,      0, 0, 0},
    {0x6C, Leaf2Other::DataTlb,         k2M|k4M,         8,    128,      0, 0, 0},
    {0x6D, Leaf2Other::DataTlb,         k1G,             0,    16,       0, 0, 0},
    {0x76, Leaf2Other::InstructionTlb,  k2M|k4M,         0,    8,        0, 0, 0},
    {0xA0, Leaf2Other::DataTlb,         k4K,             0,    32,       0, 0, 0},
    {0xB0, Leaf2Other::InstructionTlb,  k4K,             4,    128,      0, 0, 0},
    {0xB1, Leaf2Other::InstructionTlb,  k2M,             4,    8,        k4M, 4, 4},
    {0xB2, Leaf2Other::InstructionTlb,  k4K,             4,    64,       0, 0, 0},
    {0xB3, Leaf2Other::DataTlb,         k4K,             4,    128,      0, 0, 0},
    {0xB4, Leaf2Other::DataTlb1,        k4K,             4,    256,      0, 0, 0},
    {0xB5, Leaf2Other::InstructionTlb,  k4K,             8,    64,       0, 0, 0},
    {0xB6, Leaf2Other::InstructionTlb,  k4K,             8,    128,      0, 0, 0},
    {0xBA, Leaf2Other::DataTlb1,        k4K,             4,    64,       0, 0, 0},
    {0xC0, Leaf2Other::DataTlb,         k4K|k4M,         4,    8,        0, 0, 0},
    {0xC1, Leaf2Other::SharedL2Tlb,     k4K|k2M,         8,    1024,     0, 0, 0},
    {0xC2, Leaf2Other::DataTlb,         k4K|k2M,         4,    16,       0, 0, 0},
    {0xC3, Leaf2Other::SharedL2Tlb,     k4K|k2M,         6,    1536,     k1G, 4, 16},
    {0xC4, Leaf2Other::DataTlb,         k2M|k4M,         4,    32,       0, 0, 0},
    {0xCA, Leaf2Other::SharedL2Tlb,     k4K,             4,    512,      0, 0, 0},
    {0xF0, Leaf2Other::Prefetch,        0,               0,    64,       0, 0, 0},
    {0xF1, Leaf2Other::Prefetch,        0,               0,    128,      0, 0, 0},
    {0xFE, Leaf2Other::SeeLeaf0x18,     0,               0,    0,        0, 0, 0},
    {0xFF, Leaf2Other::SeeLeaf4,        0,               0,    0,        0, 0, 0},
});
// clang-format on

constexpr const Leaf2OtherDescriptor* FindLeaf2Other(uint8_t code) {
    for (const Leaf2OtherDescriptor& d : kLeaf2Others)
        if (d.code == code) return &d;
    return nullptr;
}

// How a reader walks the fifteen descriptor bytes of one execution of leaf 2 (AL, the number of
// executions needed, is never a descriptor). The two readers differ only in these three choices.
struct Leaf2Walk {
    // EDX, ECX, EBX, EAX, each from bits 31..24 down; otherwise EAX, EBX, ECX, EDX from bits 7..0 up.
    bool edx_first_high_byte_first;
    bool skip_invalid_registers;  // bit 31 set: the register holds no descriptors
    bool each_byte_once;          // a byte repeated in another register is visited once
    Leaf2Reader reader;           // whose rows the bytes are looked up in
};
// The window's GetCacheInfo reads every register alike and lets a later byte overwrite an earlier one.
inline constexpr Leaf2Walk kWindowLeaf2Walk{true, false, false, Leaf2Reader::Window};
// The details follow Intel's rules: bit 31 marks a register without descriptors.
inline constexpr Leaf2Walk kDetailsLeaf2Walk{false, true, true, Leaf2Reader::Details};

// Calls visit(code) for each descriptor byte of `leaf2` in the walk's order, 0x00 included.
template <typename Visit>
void ForEachLeaf2Byte(const TCPUIDRegs& leaf2, const Leaf2Walk& walk, Visit visit) {
    const uint32_t low_first[4] = {leaf2.EAX, leaf2.EBX, leaf2.ECX, leaf2.EDX};
    const uint32_t high_first[4] = {leaf2.EDX, leaf2.ECX, leaf2.EBX, leaf2.EAX};
    const uint32_t* regs = walk.edx_first_high_byte_first ? high_first : low_first;
    std::bitset<256> seen;
    for (unsigned r = 0; r < 4; ++r) {
        const bool eax = walk.edx_first_high_byte_first ? r == 3 : r == 0;
        if (walk.skip_invalid_registers && BitSet(regs[r], 31)) continue;
        for (unsigned k = 0; k < 4; ++k) {
            const unsigned byte = walk.edx_first_high_byte_first ? 3 - k : k;
            if (eax && byte == 0) continue;
            const auto code = static_cast<uint8_t>(Bits(regs[r], 8 * byte + 7, 8 * byte));
            if (walk.each_byte_once && seen[code]) continue;
            seen[code] = true;
            visit(code);
        }
    }
}

}  // namespace talvex
