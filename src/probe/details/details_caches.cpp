// Caches of the processor details, from the first of three sources that yields one:
// - the deterministic cache parameters, leaf 4 (Intel's layout) or, on AMD and Hygon, 0x8000001D when
//   0x80000001 ECX[22] says it is there (AMD's copy of that layout): EAX[4:0] type, EAX[7:5] level,
//   EAX[9] fully associative, EAX[25:14] sharing processors - 1, EBX[11:0] line - 1,
//   EBX[21:12] partitions - 1, EBX[31:22] ways - 1, ECX sets - 1;
// - the leaf 2 descriptor bytes, after Intel's published descriptor table (the details' rows of the
//   table shared with the window; Cyrix and NSC Geode have their own meanings for two bytes);
// - 0x80000005 ECX/EDX (L1 data/instruction: [31:24] KB, [23:16] ways, [7:0] line) and 0x80000006
//   ECX (L2: [31:16] KB, [15:12] associativity code, [7:0] line) and EDX (L3: [31:18] in 512 KB units),
//   after AMD's encodings.
// Registers are decoded as they are: no erratum of any processor is corrected here.
#include "probe/details/details_caches.h"

#include <array>
#include <bitset>

#include "probe/tables/leaf2_descriptors.h"
#include "probe/tables/vendor.h"

namespace talvex {

namespace {

using enum CacheType;

// Cyrix and NSC Geode: 0x70 is a TLB there, and 0x80 their unified L1.
// clang-format off
constexpr std::array<Leaf2Descriptor, 1> kCyrixDescriptors{{
    // code level type         KB     ways line
    {0x80, 1, Unified,         16,    4,   16,  Leaf2Reader::Details},
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

bool IsCyrixOrGeode(std::string_view vendor) {
    const Vendor maker = VendorOf(vendor);
    return maker == Vendor::Cyrix || maker == Vendor::NSC;
}

// Bytes of a cache of `ways` x `partitions` x `line` bytes (each at most 4096, their product at most
// 2^32) by `sets` (at most 2^32), in whole KB: the byte count itself may not fit 64 bits.
uint64_t SizeKB(uint64_t way_bytes, uint64_t sets) {
    return (way_bytes >> 10) * sets + (((way_bytes & 1023u) * sets) >> 10);
}

void Add(CacheList& caches, const Leaf2Descriptor& d) {
    CacheDetails c;
    c.level = d.level;
    c.type = d.type;
    c.size = d.size;
    c.ways = d.ways;
    c.line_bytes = d.line;
    caches.push_back(c);  // sharing unknown: leaf 2 does not say
}

const Leaf2Descriptor* FindDescriptor(uint8_t code, std::string_view vendor) {
    if (code == 0) return nullptr;
    if (IsCyrixOrGeode(vendor)) {
        for (const Leaf2Descriptor& d : kCyrixDescriptors)
            if (d.code == code) return &d;
        return nullptr;
    }
    for (const Leaf2Descriptor& d : kLeaf2Descriptors)
        if (d.code == code && d.reader != Leaf2Reader::Window) return &d;
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
        const Leaf2Descriptor* d = FindDescriptor(code, vendor);
        if (d == nullptr || (trace_only && d->type != Trace)) return;
        Leaf2Descriptor row = *d;
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
    if (IsAmdOrHygon(VendorOf(vendor))) {
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
