// The decoder of the field table (fields.h): each row applicable to a leaf's sub-leaf and the processor's
// vendor gives one field; the transforms are those the rows' kinds name.
#include "probe/leaves/fields.h"

#include <algorithm>

#include "probe/leaves/extended_caches.h"
#include "probe/leaves/leaf2_descriptors.h"
#include "probe/text/text.h"

namespace talvex {

namespace {

constexpr uint32_t kHypervisorBase = 0x40000000;

uint32_t Mask(uint8_t high, uint8_t low) {
    return high - low >= 31 ? 0xFFFFFFFFu : ((1u << (high - low + 1)) - 1u) << low;
}

const FieldContext::Range* RangeOf(const FieldContext& c, uint32_t leaf) {
    for (const FieldContext::Range& r : c.ranges) {
        const bool hypervisor = (r.base & 0xF0000000u) == kHypervisorBase;
        if (leaf >= r.base && leaf - r.base < (hypervisor ? 0x100u : 0x10000u)) return &r;
    }
    return nullptr;
}

// "64 bytes"; a unit's first word is said in the singular for one ("1 entry", "1 page of 4 KB").
std::string WithUnit(uint64_t n, std::string_view unit) {
    std::string s = Decimal(n);
    if (unit.empty()) return s;
    s += ' ';
    const size_t word = std::min(unit.find(' '), unit.size());
    std::string_view first = unit.substr(0, word);
    if (n == 1 && first.size() >= 4 && first.back() == 's') {  // "bits", not "fs"
        if (first.ends_with("ies")) {
            s += first.substr(0, first.size() - 3);
            s += 'y';
        } else {
            s += first.substr(0, first.size() - 1);
        }
        first = {};
    }
    s += first;
    s += unit.substr(word);
    return s;
}

std::string PageSizes(uint8_t pages) {
    static constexpr std::string_view kNames[] = {"4 KB", "2 MB", "4 MB", "1 GB"};
    std::string s;
    for (unsigned i = 0; i < 4; ++i) {
        if (!(pages & (1u << i))) continue;
        if (!s.empty()) s += (pages >> (i + 1)) == 0 ? " or " : ", ";
        s += kNames[i];
    }
    return s + " pages";
}

std::string WaysText(uint16_t ways) {
    if (ways == 0) return "fully associative";
    return Decimal(ways) + "-way";
}

std::string TlbArray(uint8_t pages, uint16_t ways, uint16_t entries) {
    std::string s = PageSizes(pages);
    if (ways != kWaysUnstated) s += ", " + WaysText(ways);
    return s + ", " + Decimal(entries) + " entries";
}

}  // namespace

FieldVendor FieldVendorOf(Vendor vendor) {
    switch (vendor) {
    case Vendor::Intel: return FieldVendor::Intel;
    case Vendor::AMD:
    case Vendor::AMDSample: return FieldVendor::AMD;
    case Vendor::Hygon: return FieldVendor::Hygon;
    case Vendor::Centaur: return FieldVendor::Centaur;
    case Vendor::Zhaoxin: return FieldVendor::Zhaoxin;
    case Vendor::Transmeta:
    case Vendor::TransmetaEarly: return FieldVendor::Transmeta;
    case Vendor::Cyrix: return FieldVendor::Cyrix;
    case Vendor::NSC: return FieldVendor::NSC;
    case Vendor::UMC: return FieldVendor::UMC;
    case Vendor::Rise: return FieldVendor::Rise;
    case Vendor::SiS: return FieldVendor::SiS;
    case Vendor::NexGen: return FieldVendor::NexGen;
    case Vendor::DMP: return FieldVendor::DMP;
    default: return FieldVendor::Other;
    }
}

HypervisorInterface HypervisorInterfaceOf(std::string_view vendor_text, uint32_t interface_signature) {
    for (const HypervisorVendor& h : kHypervisorVendors)
        if (h.vendor == vendor_text && h.leaves != HypervisorInterface::Other) return h.leaves;
    constexpr uint32_t kHv1 = 0x31237648;  // "Hv#1", low byte first
    return interface_signature == kHv1 ? HypervisorInterface::HyperV : HypervisorInterface::Other;
}

DecodedLeaf DecodeLeaf(const FieldContext& context, uint32_t leaf, uint32_t subleaf, const TCPUIDRegs& regs) {
    DecodedLeaf d{leaf, subleaf, regs, false, {}};
    const FieldContext::Range* range = RangeOf(context, leaf);
    if (range == nullptr || !range->present || leaf > range->top) return d;
    d.decoded = true;
    const bool hypervisor = (range->base & 0xF0000000u) == kHypervisorBase;
    const uint32_t key = hypervisor ? kHypervisorBase + (leaf - range->base) : leaf;
    const uint32_t vendor =
        1u << (hypervisor ? static_cast<unsigned>(range->hypervisor) : static_cast<unsigned>(context.vendor));
    const std::span<const FieldRow> rows = FieldRows();
    const auto [first, last] =
        std::equal_range(rows.begin(), rows.end(), key, [](const auto& a, const auto& b) {
            if constexpr (std::is_same_v<std::decay_t<decltype(a)>, FieldRow>)
                return a.leaf < b;
            else
                return a < b.leaf;
        });
    d.fields.reserve(static_cast<size_t>(last - first) + 8);
    for (uint8_t reg = 0; reg < 4; ++reg) {
        const uint32_t value = RegisterOf(regs, reg);
        uint32_t covered = 0;
        const size_t start = d.fields.size();
        for (auto it = first; it != last; ++it) {
            const FieldRow& row = *it;
            if (row.reg != reg || subleaf < row.first_subleaf || subleaf > row.last_subleaf
                || !(row.vendors & vendor))
                continue;
            const uint32_t mask = Mask(row.high, row.low);
            covered |= mask;
            d.fields.push_back({&row, reg, row.high, row.low, (value & mask) >> row.low});
        }
        for (uint8_t bit = 0; bit < 32; ++bit)
            if (BitSet(value & ~covered, bit)) d.fields.push_back({nullptr, reg, bit, bit, 1});
        std::stable_sort(d.fields.begin() + static_cast<std::ptrdiff_t>(start), d.fields.end(),
                         [](const DecodedField& a, const DecodedField& b) { return a.low < b.low; });
    }
    return d;
}

FieldReading ReadField(const DecodedField& f) {
    using Type = FieldReading::Type;
    if (f.row == nullptr) return {Type::Flag, 1, "set"};
    const FieldRow& row = *f.row;
    const std::string_view unit = FieldText(row.unit);
    switch (row.kind) {
    case FieldKind::Flag: return {Type::Flag, f.raw, f.raw ? "yes" : "no"};
    case FieldKind::Number: return {Type::Number, f.raw, WithUnit(f.raw, unit)};
    case FieldKind::Hex: {
        std::string text = "0x";
        AppendHex(text, f.raw, (row.high - row.low + 4) / 4, HexCase::Upper);
        return {Type::Number, f.raw, text};
    }
    case FieldKind::CountMinusOne:
        return {Type::Number, uint64_t{f.raw} + 1, WithUnit(uint64_t{f.raw} + 1, unit)};
    case FieldKind::Plus:
        return {Type::Number, uint64_t{f.raw} + row.factor, WithUnit(uint64_t{f.raw} + row.factor, unit)};
    case FieldKind::Size:
        return {Type::Number, uint64_t{f.raw} * row.factor, WithUnit(uint64_t{f.raw} * row.factor, unit)};
    case FieldKind::Log2:
        if (f.raw > 63)
            return {Type::None, f.raw, "2^" + Decimal(f.raw) + (unit.empty() ? "" : " ") + std::string(unit)};
        return {Type::Number, uint64_t{1} << f.raw, WithUnit(uint64_t{1} << f.raw, unit)};
    case FieldKind::Enum: {
        const std::span<const FieldValue> values = FieldValues().subspan(row.first_value, row.value_count);
        const auto it = std::lower_bound(values.begin(), values.end(), f.raw,
                                         [](const FieldValue& v, uint32_t raw) { return v.value < raw; });
        if (it == values.end() || it->value != f.raw)
            return {Type::Number, f.raw, "reserved (" + Decimal(f.raw) + ")"};
        return {Type::Number, f.raw, Decimal(f.raw) + " (" + std::string(FieldText(it->meaning)) + ")"};
    }
    case FieldKind::Text: {
        std::string text;
        for (unsigned at = row.low; at < row.high; at += 8) {
            const auto c = static_cast<char>((f.raw >> (at - row.low)) & 0xFF);
            if (c == '\0') continue;
            text += c >= ' ' && c <= '~' ? c : '.';
        }
        return {Type::Text, 0, text};
    }
    case FieldKind::WaysAmd4:
        switch (f.raw) {
        case 0x0: return {Type::Number, 0, "disabled"};
        case 0x1: return {Type::Number, 1, "direct mapped"};
        case 0x9: return {Type::None, f.raw, "described by leaf 0x8000001D"};
        case 0xF: return {Type::None, f.raw, "fully associative"};
        default:
            if (kAmdAssociativity[f.raw] <= 0)
                return {Type::None, f.raw, "reserved (" + Decimal(f.raw) + ")"};
            return {Type::Number, static_cast<uint64_t>(kAmdAssociativity[f.raw]),
                    Decimal(static_cast<uint64_t>(kAmdAssociativity[f.raw])) + "-way"};
        }
    case FieldKind::WaysAmd8:
        switch (f.raw) {
        case 0x00: return {Type::None, f.raw, "reserved (0)"};
        case 0x01: return {Type::Number, 1, "direct mapped"};
        case 0xFF: return {Type::None, f.raw, "fully associative"};
        default: return {Type::Number, f.raw, Decimal(f.raw) + "-way"};
        }
    case FieldKind::Leaf2: {
        std::string text = "0x";
        AppendHex(text, f.raw, 2, HexCase::Upper);
        return {Type::Number, f.raw, text + " (" + Leaf2Meaning(static_cast<uint8_t>(f.raw)) + ")"};
    }
    }
    return {};
}

std::string FieldName(const DecodedField& f) {
    if (f.row == nullptr) return "reserved bit " + Decimal(f.low) + " set";
    return std::string(FieldText(f.row->name));
}

std::string_view FieldAbout(const DecodedField& f) {
    if (f.row == nullptr)
        return "A bit the vendor's documents leave reserved, or that no row of the table describes yet.";
    return FieldText(f.row->about);
}

std::string Leaf2Meaning(uint8_t code) {
    static constexpr std::string_view kCacheNames[] = {"data cache", "instruction cache", "cache",
                                                       "trace cache"};
    if (const Leaf2Descriptor* c = FindLeaf2Descriptor(code, Leaf2Reader::Details)) {
        std::string s =
            "L" + Decimal(c->level) + " " + std::string(kCacheNames[static_cast<size_t>(c->type)]) + ", ";
        if (c->type == CacheType::Trace) return s + Decimal(c->size) + "K micro-ops, " + WaysText(c->ways);
        s += c->size % 1024 == 0 ? Decimal(c->size / 1024) + " MB" : Decimal(c->size) + " KB";
        return s + ", " + WaysText(c->ways) + ", " + Decimal(c->line) + "-byte lines";
    }
    const Leaf2OtherDescriptor* o = FindLeaf2Other(code);
    if (o == nullptr) return "unknown descriptor";
    std::string s;
    switch (o->what) {
    case Leaf2Other::InstructionTlb: s = "instruction TLB"; break;
    case Leaf2Other::DataTlb: s = "data TLB"; break;
    case Leaf2Other::DataTlb0: s = "data TLB0"; break;
    case Leaf2Other::DataTlb1: s = "data TLB1"; break;
    case Leaf2Other::MicroTlb: s = "micro TLB"; break;
    case Leaf2Other::SharedL2Tlb: s = "shared L2 TLB"; break;
    case Leaf2Other::Prefetch: return Decimal(o->entries) + "-byte prefetching";
    case Leaf2Other::Null: return "empty";
    case Leaf2Other::NoCache: return "no L2 cache, or no L3 cache where there is an L2";
    case Leaf2Other::SeeLeaf4: return "the caches are described by leaf 4";
    case Leaf2Other::SeeLeaf0x18: return "the TLBs are described by leaf 0x18";
    }
    s += ", " + TlbArray(o->pages, o->ways, o->entries);
    if (o->pages2 != 0) s += "; and " + TlbArray(o->pages2, o->ways2, o->entries2);
    return s;
}

}  // namespace talvex
