// Caches of the processor details, from the first of three sources that yields one:
// - the deterministic cache parameters, leaf 4 (Intel's layout) or, on AMD and Hygon, 0x8000001D when
//   0x80000001 ECX[22] says it is there (AMD's copy of that layout): EAX[4:0] type, EAX[7:5] level,
//   EAX[9] fully associative, EAX[25:14] sharing processors - 1, EBX[11:0] line - 1,
//   EBX[21:12] partitions - 1, EBX[31:22] ways - 1, ECX sets - 1;
// - the leaf 2 descriptor bytes, after Intel's published descriptor table (Cyrix and NSC Geode have
//   their own meanings for two bytes);
// - 0x80000005 ECX/EDX (L1 data/instruction: [31:24] KB, [23:16] ways, [7:0] line) and 0x80000006
//   ECX (L2: [31:16] KB, [15:12] associativity code, [7:0] line) and EDX (L3: [31:18] in 512 KB units),
//   after AMD's encodings.
// Registers are decoded as they are: no erratum of any processor is corrected here.
#include "probe/details_caches.h"

#include <array>
#include <bitset>

namespace talvex {

namespace {

using enum CacheType;

struct Descriptor {
    uint8_t code;
    uint8_t level;
    CacheType type;
    uint32_t size;  // KB; thousands of micro-operations for a trace cache
    uint16_t ways;  // 0: fully associative
    uint16_t line;  // bytes; 0 for a trace cache
};

// The cache rows of Intel's leaf 2 descriptor table; TLB, prefetch and null bytes describe no cache.
// 0x39..0x3E and 0x73 appear in the older editions only; the IA-64-only rows are left out.
// 0x49 is an L3 on family 15 model 6. 0xFF hands the description over to leaf 4, and this table
// is only read in full when leaf 4 gave nothing.
// clang-format off
constexpr std::array<Descriptor, 73> kIntelDescriptors{{
    // code level type         KB     ways line
    {0x06, 1, Instruction,     8,     4,   32},
    {0x08, 1, Instruction,     16,    4,   32},
    {0x09, 1, Instruction,     32,    4,   64},
    {0x0A, 1, Data,            8,     2,   32},
    {0x0C, 1, Data,            16,    4,   32},
    {0x0D, 1, Data,            16,    4,   64},
    {0x0E, 1, Data,            24,    6,   64},
    {0x1D, 2, Unified,         128,   2,   64},
    {0x21, 2, Unified,         256,   8,   64},
    {0x22, 3, Unified,         512,   4,   64},
    {0x23, 3, Unified,         1024,  8,   64},
    {0x24, 2, Unified,         1024,  16,  64},
    {0x25, 3, Unified,         2048,  8,   64},
    {0x29, 3, Unified,         4096,  8,   64},
    {0x2C, 1, Data,            32,    8,   64},
    {0x30, 1, Instruction,     32,    8,   64},
    {0x39, 2, Unified,         128,   4,   64},
    {0x3A, 2, Unified,         192,   6,   64},
    {0x3B, 2, Unified,         128,   2,   64},
    {0x3C, 2, Unified,         256,   4,   64},
    {0x3D, 2, Unified,         384,   6,   64},
    {0x3E, 2, Unified,         512,   4,   64},
    {0x41, 2, Unified,         128,   4,   32},
    {0x42, 2, Unified,         256,   4,   32},
    {0x43, 2, Unified,         512,   4,   32},
    {0x44, 2, Unified,         1024,  4,   32},
    {0x45, 2, Unified,         2048,  4,   32},
    {0x46, 3, Unified,         4096,  4,   64},
    {0x47, 3, Unified,         8192,  8,   64},
    {0x48, 2, Unified,         3072,  12,  64},
    {0x49, 2, Unified,         4096,  16,  64},
    {0x4A, 3, Unified,         6144,  12,  64},
    {0x4B, 3, Unified,         8192,  16,  64},
    {0x4C, 3, Unified,         12288, 12,  64},
    {0x4D, 3, Unified,         16384, 16,  64},
    {0x4E, 2, Unified,         6144,  24,  64},
    {0x60, 1, Data,            16,    8,   64},
    {0x66, 1, Data,            8,     4,   64},
    {0x67, 1, Data,            16,    4,   64},
    {0x68, 1, Data,            32,    4,   64},
    {0x70, 1, Trace,           12,    8,   0},
    {0x71, 1, Trace,           16,    8,   0},
    {0x72, 1, Trace,           32,    8,   0},
    {0x73, 1, Trace,           64,    8,   0},
    {0x78, 2, Unified,         1024,  4,   64},
    {0x79, 2, Unified,         128,   8,   64},
    {0x7A, 2, Unified,         256,   8,   64},
    {0x7B, 2, Unified,         512,   8,   64},
    {0x7C, 2, Unified,         1024,  8,   64},
    {0x7D, 2, Unified,         2048,  8,   64},
    {0x7F, 2, Unified,         512,   2,   64},
    {0x80, 2, Unified,         512,   8,   64},
    {0x82, 2, Unified,         256,   8,   32},
    {0x83, 2, Unified,         512,   8,   32},
    {0x84, 2, Unified,         1024,  8,   32},
    {0x85, 2, Unified,         2048,  8,   32},
    {0x86, 2, Unified,         512,   4,   64},
    {0x87, 2, Unified,         1024,  8,   64},
    {0xD0, 3, Unified,         512,   4,   64},
    {0xD1, 3, Unified,         1024,  4,   64},
    {0xD2, 3, Unified,         2048,  4,   64},
    {0xD6, 3, Unified,         1024,  8,   64},
    {0xD7, 3, Unified,         2048,  8,   64},
    {0xD8, 3, Unified,         4096,  8,   64},
    {0xDC, 3, Unified,         1536,  12,  64},
    {0xDD, 3, Unified,         3072,  12,  64},
    {0xDE, 3, Unified,         6144,  12,  64},
    {0xE2, 3, Unified,         2048,  16,  64},
    {0xE3, 3, Unified,         4096,  16,  64},
    {0xE4, 3, Unified,         8192,  16,  64},
    {0xEA, 3, Unified,         12288, 24,  64},
    {0xEB, 3, Unified,         18432, 24,  64},
    {0xEC, 3, Unified,         24576, 24,  64},
}};
// clang-format on

// Cyrix and NSC Geode: 0x70 is a TLB there, and 0x80 their unified L1.
// clang-format off
constexpr std::array<Descriptor, 1> kCyrixDescriptors{{
    // code level type         KB     ways line
    {0x80, 1, Unified,         16,    4,   16},
}};
// clang-format on

// Associativity codes of 0x80000006 L2 and L3: ways, 0 for fully associative; -1 leaves the cache
// out (0 disabled, 7 reserved, 9 "see 0x8000001D").
// clang-format off
constexpr std::array<int, 16> kExtendedWays{{
    // 0   1  2  3  4  5  6  7   8   9   A   B   C   D   E    F
      -1,  1, 2, 3, 4, 6, 8, -1, 16, -1, 32, 48, 64, 96, 128, 0,
}};
// clang-format on

bool IsAmdOrHygon(std::string_view vendor) { return vendor == "AuthenticAMD" || vendor == "HygonGenuine"; }
bool IsCyrixOrGeode(std::string_view vendor) { return vendor == "CyrixInstead" || vendor == "Geode by NSC"; }

// Bytes of a cache of `ways` x `partitions` x `line` bytes (each at most 4096, their product at most
// 2^32) by `sets` (at most 2^32), in whole KB: the byte count itself may not fit 64 bits.
uint64_t SizeKB(uint64_t way_bytes, uint64_t sets) {
    return (way_bytes >> 10) * sets + (((way_bytes & 1023u) * sets) >> 10);
}

void Add(CacheList& caches, const Descriptor& d) {
    CacheDetails c;
    c.level = d.level;
    c.type = d.type;
    c.size = d.size;
    c.ways = d.ways;
    c.line_bytes = d.line;
    caches.push_back(c);  // sharing unknown: leaf 2 does not say
}

const Descriptor* FindDescriptor(uint8_t code, std::string_view vendor) {
    if (code == 0) return nullptr;
    if (IsCyrixOrGeode(vendor)) {
        for (const Descriptor& d : kCyrixDescriptors)
            if (d.code == code) return &d;
        return nullptr;
    }
    for (const Descriptor& d : kIntelDescriptors)
        if (d.code == code) return &d;
    return nullptr;
}

// Each distinct descriptor byte of one execution of leaf 2, in register order. AL is the number of
// executions needed, never a descriptor; a register with bit 31 set holds none.
template <typename Visit>
void ForEachDescriptor(const TCPUIDRegs& leaf2, Visit visit) {
    std::bitset<256> seen;
    const uint32_t regs[4] = {leaf2.EAX, leaf2.EBX, leaf2.ECX, leaf2.EDX};
    for (unsigned r = 0; r < 4; ++r) {
        if (BitSet(regs[r], 31)) continue;
        for (unsigned byte = r == 0 ? 1 : 0; byte < 4; ++byte) {
            const auto code = static_cast<uint8_t>(Bits(regs[r], 8 * byte + 7, 8 * byte));
            if (code == 0 || seen[code]) continue;
            seen[code] = true;
            visit(code);
        }
    }
}

// Leaf 2 descriptors; only trace caches when `trace_only` (leaf 4 already gave the rest).
void FromDescriptors(const LeafReader& leaves, std::string_view vendor, uint32_t family, uint32_t model,
                     bool trace_only, CacheList& caches) {
    ForEachDescriptor(leaves.Read(2), [&](uint8_t code) {
        const Descriptor* d = FindDescriptor(code, vendor);
        if (d == nullptr || (trace_only && d->type != Trace)) return;
        Descriptor row = *d;
        if (code == 0x49 && family == 15 && model == 6) row.level = 3;  // Xeon MP: its L3
        Add(caches, row);
    });
}

void FromDeterministic(const LeafReader& leaves, uint32_t leaf, CacheList& caches) {
    for (uint32_t sub = 0; sub < 64; ++sub) {
        const TCPUIDRegs r = leaves.Read(leaf, sub);
        const uint32_t type = Bits(r.EAX, 4, 0);
        if (type == 0) break;
        if (type > 3) continue;  // reserved types
        const uint64_t way_bytes =
            uint64_t{Bits(r.EBX, 31, 22) + 1} * (Bits(r.EBX, 21, 12) + 1) * (Bits(r.EBX, 11, 0) + 1);
        CacheDetails c;
        c.level = static_cast<uint8_t>(Bits(r.EAX, 7, 5));
        c.type = type == 1 ? Data : type == 2 ? Instruction : Unified;
        c.size = SizeKB(way_bytes, uint64_t{r.ECX} + 1);
        c.ways = BitSet(r.EAX, 9) ? 0 : Bits(r.EBX, 31, 22) + 1;
        c.line_bytes = Bits(r.EBX, 11, 0) + 1;
        c.shared_by = Bits(r.EAX, 25, 14) + 1;
        caches.push_back(c);
    }
}

void FromExtendedLeaves(const LeafReader& leaves, CacheList& caches) {
    const TCPUIDRegs l1 = leaves.Read(0x80000005);
    for (const auto& [reg, type] : {std::pair{l1.ECX, Data}, std::pair{l1.EDX, Instruction}}) {
        if (Bits(reg, 31, 24) == 0) continue;  // no such cache
        const uint32_t ways = Bits(reg, 23, 16);
        caches.push_back({1, type, Bits(reg, 31, 24), ways == 0xFF ? 0 : ways, Bits(reg, 7, 0), {}});
    }
    const TCPUIDRegs l23 = leaves.Read(0x80000006);
    const struct {
        uint8_t level;
        uint64_t size;
        uint32_t code, line;
    } outer[2] = {{2, Bits(l23.ECX, 31, 16), Bits(l23.ECX, 15, 12), Bits(l23.ECX, 7, 0)},
                  {3, uint64_t{Bits(l23.EDX, 31, 18)} * 512, Bits(l23.EDX, 15, 12), Bits(l23.EDX, 7, 0)}};
    for (const auto& c : outer) {
        const int ways = kExtendedWays[c.code];
        if (c.size == 0 || ways < 0) continue;
        caches.push_back({c.level, Unified, c.size, static_cast<uint32_t>(ways), c.line, {}});
    }
}

// Level ascending, then data, instruction, unified, trace; stable, and without a buffer.
void Sort(CacheList& caches) {
    for (size_t i = 1; i < caches.size(); ++i) {
        const CacheDetails item = caches[i];
        size_t j = i;
        for (; j > 0 && CacheOrder(caches[j - 1]) > CacheOrder(item); --j) caches[j] = caches[j - 1];
        caches[j] = item;
    }
}

}  // namespace

int CacheOrder(const CacheDetails& cache) { return cache.level * 4 + static_cast<int>(cache.type); }

CacheSource ReadCaches(const LeafReader& leaves, std::string_view vendor, uint32_t family, uint32_t model,
                       CacheList& caches) {
    CacheSource source = CacheSource::None;
    if (IsAmdOrHygon(vendor)) {
        if (BitSet(leaves.Read(0x80000001).ECX, 22)) {
            FromDeterministic(leaves, 0x8000001D, caches);
            if (!caches.empty()) source = CacheSource::Leaf8000001D;
        }
    } else {
        FromDeterministic(leaves, 4, caches);
        if (!caches.empty()) {
            source = CacheSource::Leaf4;
            FromDescriptors(leaves, vendor, family, model, true, caches);  // leaf 4 has no trace cache
        }
    }
    if (source == CacheSource::None) {
        FromDescriptors(leaves, vendor, family, model, false, caches);
        if (!caches.empty()) source = CacheSource::Leaf2;
    }
    if (source == CacheSource::None) {
        FromExtendedLeaves(leaves, caches);
        if (!caches.empty()) source = CacheSource::Leaf80000005;
    }
    Sort(caches);
    return source;
}

}  // namespace talvex
