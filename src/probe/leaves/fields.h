#pragma once
// Every field of every leaf: the field table (src/probe/leaves/fields/*.tsv, made into C++ at build time
// by tools/gen-fields) and the decoder that reads a leaf's registers through it. A row names its leaf,
// the sub-leaves and vendors it applies to, its register and bits, what kind of quantity the bits hold
// and how the documents turn them into one (a count given minus one, a size in units, an enumeration,
// text bytes...), a short name and a one-line description. A set bit no row documents is kept as
// "reserved bit N set", so a new processor's new bits are seen.
//
// The decoder takes registers that were read already (a capture, a dump): it never executes CPUID.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "probe/leaves/vendor.h"
#include "probe/platform/cpuid.h"
#include "probe/platform/registers.h"

namespace talvex {

enum class FieldKind : uint8_t {
    Flag,           // one bit: yes or no
    Number,         // the bits as they are, in the row's unit
    Hex,            // an identifier, a mask or an address part: shown in hex
    CountMinusOne,  // the count is the bits + 1
    Plus,           // the quantity is the bits + factor
    Size,           // the quantity is the bits × factor, in the row's unit
    Log2,           // the quantity is 2 to the power of the bits, in the row's unit
    Enum,           // a code whose meaning is in the row's value table
    Text,           // character bytes, low byte first
    WaysAmd4,       // AMD's 4-bit associativity code of the L2 and L3 caches and TLBs
    WaysAmd8,       // AMD's 8-bit associativity of the L1 caches and TLBs (FFh: fully associative)
    Leaf2,          // a descriptor byte of leaf 2
};

struct FieldTextRef {
    uint32_t at;
    uint16_t size;
};

// One row of the field table.
struct FieldRow {
    uint32_t leaf;  // a hypervisor leaf as 0x400000NN: it applies at every hypervisor base
    uint32_t first_subleaf, last_subleaf;
    uint32_t vendors;  // processor vendors (or, in the hypervisor range, hypervisors), one bit each
    uint8_t reg;       // 0 EAX, 1 EBX, 2 ECX, 3 EDX
    uint8_t high, low;
    FieldKind kind;
    uint32_t factor;                    // Size: the multiplier; Plus: the addend
    uint16_t first_value, value_count;  // Enum: its values in FieldValues()
    int16_t feature;                    // its row of kFeatureNames; -1 for a bit no room names
    FieldTextRef name, unit, about;
};

struct FieldValue {
    uint32_t value;
    FieldTextRef meaning;
};

// The whole table, sorted by leaf, register and lowest bit.
std::span<const FieldRow> FieldRows();
// The values of every enumeration, each table's ascending.
std::span<const FieldValue> FieldValues();
std::string_view FieldText(FieldTextRef ref);

// The vendor bits of the rows: processor vendors, and hypervisors in their own range.
enum class FieldVendor : uint8_t {
    Intel,
    AMD,
    Hygon,
    Centaur,
    Zhaoxin,
    Transmeta,
    Cyrix,
    NSC,
    UMC,
    Rise,
    SiS,
    NexGen,
    DMP,
    Other
};
FieldVendor FieldVendorOf(Vendor vendor);
// Whose leaves a hypervisor answers: by its vendor text, or Hyper-V's where leaf base + 1 EAX says
// "Hv#1": the vendor-neutral interface Microsoft defined for Hyper-V, which other hypervisors offer too.
HypervisorInterface HypervisorInterfaceOf(std::string_view vendor_text, uint32_t interface_signature);

// What the decoder needs to know of a processor beyond a leaf's registers: its vendor, the top of
// each range and who answers the hypervisor leaves. Read once per processor, from its leaves.
struct FieldContext {
    FieldVendor vendor = FieldVendor::Other;
    struct Range {
        uint32_t base = 0, top = 0;  // a leaf above top is not decoded
        bool present = false;
        HypervisorInterface hypervisor = HypervisorInterface::Other;  // hypervisor ranges only
    };
    std::vector<Range> ranges;
};

// From a processor's answers: `read(leaf)` gives sub-leaf 0 of `leaf` (four zeros where there is none).
template <typename Read>
FieldContext ReadFieldContext(Read read);

// One field of a leaf as a processor answered it.
struct DecodedField {
    const FieldRow* row = nullptr;  // nullptr: a set bit that no row documents
    uint8_t reg = 0, high = 0, low = 0;
    uint32_t raw = 0;  // the bits, shifted down
};

struct DecodedLeaf {
    uint32_t leaf = 0, subleaf = 0;
    TCPUIDRegs regs;
    bool decoded = false;              // false beyond the top of its range, or in a range that is not there
    std::vector<DecodedField> fields;  // register by register, lowest bit first
};

DecodedLeaf DecodeLeaf(const FieldContext& context, uint32_t leaf, uint32_t subleaf, const TCPUIDRegs& regs);

// A field's value as the documents mean it, typed; `text` says it in words, with the row's unit.
struct FieldReading {
    enum class Type : uint8_t { Flag, Number, Text, None } type = Type::None;
    uint64_t number = 0;  // Flag: 0 or 1
    std::string text;     // "8", "64 bytes", "yes", "1 (data cache)", "GenuineIntel" ...
};
FieldReading ReadField(const DecodedField& field);

// The name, unit and description of a decoded field; a reserved bit's name is "reserved bit N set".
std::string FieldName(const DecodedField& field);
std::string_view FieldAbout(const DecodedField& field);

// The meaning of a leaf 2 descriptor byte: the cache or TLB it describes, or what else it says.
std::string Leaf2Meaning(uint8_t code);

template <typename Read>
FieldContext ReadFieldContext(Read read) {
    FieldContext c;
    c.vendor = FieldVendorOf(VendorOf(VendorText(read(0u))));
    const TCPUIDRegs leaf1 = read(1u);
    // Zhaoxin's processors of VIA's lineage still answer "CentaurHauls"; they are family 7 and up,
    // VIA's own family 6 (and 5).
    if (c.vendor == FieldVendor::Centaur && SigFamily(leaf1.EAX) >= 7) c.vendor = FieldVendor::Zhaoxin;
    const bool hypervisor = BitSet(leaf1.ECX, 31);
    for (const LeafRange& range : kLeafRanges) {
        const uint32_t base = range.base;
        FieldContext::Range r;
        r.base = base;
        const TCPUIDRegs top = read(base);
        r.top = top.EAX;
        r.present = top.EAX >= base && top.EAX - base < 0x10000;
        if (range.presence != RangePresence::Always) {
            r.present = r.present && hypervisor && top.EAX - base < 0x100;
            r.hypervisor = HypervisorInterfaceOf(
                RegisterText({top.EBX, top.ECX, top.EDX}, TextEnd::Whole).view(), read(base + 1).EAX);
            // KVM once answered 0 here, which its documentation reads as 0x40000001.
            if (hypervisor && !r.present && r.hypervisor == HypervisorInterface::KVM && top.EAX == 0) {
                r.top = base + 1;
                r.present = true;
            }
        }
        c.ranges.push_back(r);
    }
    return c;
}

}  // namespace talvex
