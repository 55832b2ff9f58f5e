// The field table and its decoder: the table's shape (no bit described twice for one processor), the
// decoder on registers that hold nonsense, and the transforms against values worked out by hand from
// the vendors' documents over the real dumps.
#include "probe/leaves/fields.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>

#include "probe/details/recorded_leaves.h"
#include "support/dumps.h"

namespace talvex {
namespace {

bool Overlap(uint32_t a_first, uint32_t a_last, uint32_t b_first, uint32_t b_last) {
    return a_first <= b_last && b_first <= a_last;
}

// No two rows of a register overlap in their bits for a vendor and a sub-leaf they share: the decoder
// would show one bit twice, with two meanings. Nor does a row leave its table's order, which the
// decoder's search relies on.
TEST(FieldTable, NoBitIsDescribedTwiceForOneProcessor) {
    const std::span<const FieldRow> rows = FieldRows();
    ASSERT_GT(rows.size(), 300u);
    for (size_t i = 0; i < rows.size(); ++i) {
        const FieldRow& a = rows[i];
        SCOPED_TRACE(std::string(FieldText(a.name)));
        if (i > 0) {
            const FieldRow& p = rows[i - 1];
            EXPECT_LE(std::tie(p.leaf, p.reg, p.low), std::tie(a.leaf, a.reg, a.low));
        }
        EXPECT_FALSE(FieldText(a.name).empty());
        EXPECT_FALSE(FieldText(a.about).empty()) << "0x" << std::hex << a.leaf;
        if (a.kind == FieldKind::Enum) {
            EXPECT_GT(a.value_count, 0);
        }
        for (size_t j = i + 1; j < rows.size() && rows[j].leaf == a.leaf; ++j) {
            const FieldRow& b = rows[j];
            if (b.reg != a.reg || !(a.vendors & b.vendors)) continue;
            if (!Overlap(a.first_subleaf, a.last_subleaf, b.first_subleaf, b.last_subleaf)) continue;
            EXPECT_FALSE(Overlap(a.low, a.high, b.low, b.high))
                << "0x" << std::hex << a.leaf << " register " << int(a.reg) << ": " << FieldText(a.name)
                << " and " << FieldText(b.name);
        }
    }
}

FieldContext Context(const std::map<uint32_t, TCPUIDRegs>& leaves) {
    return ReadFieldContext([&](uint32_t leaf) {
        const auto it = leaves.find(leaf);
        return it == leaves.end() ? TCPUIDRegs{} : it->second;
    });
}

constexpr TCPUIDRegs kIntel0{0x16, 0x756E6547, 0x6C65746E, 0x49656E69};  // "GenuineIntel"

const DecodedField* Find(const DecodedLeaf& l, uint8_t reg, uint8_t high, uint8_t low) {
    for (const DecodedField& f : l.fields)
        if (f.reg == reg && f.high == high && f.low == low) return &f;
    return nullptr;
}

// Registers that hold nonsense decode as their bits say: a set bit no row documents is kept, an
// enumeration value no row knows is reserved, a leaf beyond the top of its range is not decoded.
TEST(FieldDecoder, NonsenseDecodesAsTheBitsSay) {
    const FieldContext intel = Context({{0, kIntel0}, {0x80000000, {0x80000008, 0, 0, 0}}});
    const DecodedLeaf leaf1 = DecodeLeaf(intel, 1, 0, {0, 0, 0, 1u << 10});  // EDX[10] is reserved
    ASSERT_TRUE(leaf1.decoded);
    const DecodedField* reserved = Find(leaf1, 3, 10, 10);
    ASSERT_NE(reserved, nullptr);
    EXPECT_EQ(reserved->row, nullptr);
    EXPECT_EQ(FieldName(*reserved), "reserved bit 10 set");

    const DecodedLeaf leaf4 = DecodeLeaf(intel, 4, 0, {0x1F, 0, 0, 0});  // cache type 31
    const DecodedField* type = Find(leaf4, 0, 4, 0);
    ASSERT_NE(type, nullptr);
    EXPECT_EQ(ReadField(*type).text, "reserved (31)");

    EXPECT_FALSE(DecodeLeaf(intel, 0x17, 0, {1, 2, 3, 4}).decoded);
    EXPECT_TRUE(DecodeLeaf(intel, 0x16, 0, {1, 2, 3, 4}).decoded);
    EXPECT_FALSE(DecodeLeaf(intel, 0x80000009, 0, {1, 2, 3, 4}).decoded);
    EXPECT_FALSE(DecodeLeaf(intel, 0xC0000001, 0, {1, 2, 3, 4}).decoded);  // no Centaur range
    EXPECT_FALSE(DecodeLeaf(intel, 0x40000001, 0, {1, 2, 3, 4}).decoded);  // no hypervisor
}

// Fields whose bits the documents transform, on real dumps: each value worked out by hand from the
// dump's register (quoted) and the document named. nullopt: the bits name no quantity.
struct Worked {
    const char* file;
    uint32_t leaf, subleaf;
    uint8_t reg, high, low;
    std::optional<uint64_t> value;
    const char* text;
    const char* how;
};

constexpr const char* kAlderLake = "intel-core-i9-12900k-alder-lake.txt";
constexpr const char* kZen4 = "amd-ryzen-7-7700x-raphael.txt";
constexpr const char* kKatmai = "intel-pentium-iii-katmai.txt";
constexpr const char* kIceLake = "intel-core-i7-1065g7-ice-lake.txt";

// clang-format off
const Worked kWorked[] = {
    // Intel SDM Vol. 2A, CPUID leaf 01H
    {kAlderLake, 0x1,  0, 1, 15,  8, 64,    "64 bytes",              "EBX 0x00800800: [15:8] = 8, the CLFLUSH line in 8-byte units"},
    // Intel SDM Vol. 2A, CPUID leaf 04H: most fields are the number minus one
    {kAlderLake, 0x4,  1, 0,  4,  0, 2,     "2 (instruction cache)", "EAX 0xFC004122: type 2"},
    {kAlderLake, 0x4,  1, 0, 25, 14, 2,     "2",                     "EAX 0xFC004122: [25:14] = 1, plus one"},
    {kAlderLake, 0x4,  1, 0, 31, 26, 64,    "64",                    "EAX 0xFC004122: [31:26] = 0x3F, plus one"},
    {kAlderLake, 0x4,  1, 1, 31, 22, 8,     "8",                     "EBX 0x01C0003F: [31:22] = 7, plus one"},
    {kAlderLake, 0x4,  1, 1, 11,  0, 64,    "64 bytes",              "EBX 0x01C0003F: [11:0] = 0x3F, plus one"},
    {kAlderLake, 0x4,  3, 2, 31,  0, 40960, "40960",                 "ECX 0x00009FFF, plus one"},
    // Intel SDM Vol. 2A, CPUID leaf 18H
    {kAlderLake, 0x18, 1, 3,  4,  0, 2,     "2 (instruction TLB)",   "EDX 0x00004022: type 2"},
    {kAlderLake, 0x18, 1, 3, 25, 14, 2,     "2",                     "EDX 0x00004022: [25:14] = 1, plus one"},
    {kAlderLake, 0x18, 3, 3,  4,  0, 5,     "5 (store-only TLB)",    "EDX 0x00004125: type 5"},
    // Intel SDM Vol. 2A, CPUID leaf 02H, the descriptor table
    {kKatmai,    0x2,  0, 0, 23, 16, 0x02,  "0x02 (instruction TLB, 4 MB pages, fully associative, 2 entries)", "EAX 0x03020101"},
    {kKatmai,    0x2,  0, 3,  7,  0, 0x43,  "0x43 (L2 cache, 512 KB, 4-way, 32-byte lines)",                 "EDX 0x0C040843"},
    {kKatmai,    0x2,  0, 3, 23, 16, 0x04,  "0x04 (data TLB, 4 MB pages, 4-way, 8 entries)",                 "EDX 0x0C040843"},
    // Intel SDM Vol. 2A, CPUID leaves 0AH and 12H
    {kIceLake,   0xA,  0, 3, 12,  5, 48,    "48 bits",               "EDX 0x00008604: [12:5] = 0x30"},
    {kIceLake,   0x12, 0, 3,  7,  0, uint64_t{1} << 31, "2147483648 bytes", "EDX 0x00002F1F: [7:0] = 31, a power of two"},
    {kIceLake,   0x12, 0, 3, 15,  8, uint64_t{1} << 47, "140737488355328 bytes", "EDX 0x00002F1F: [15:8] = 47"},
    // Intel SDM Vol. 2A, CPUID leaf 0FH sub-leaf 1: the counter width is an offset from 24
    {"intel-core-i9-10980xe-cascade-lake-x.txt", 0xF, 1, 0, 7, 0, 24, "24 bits", "EAX 0x00000000: 0 + 24"},
    // AMD APM Vol. 3, appendix E: Fn8000_0005, Fn8000_0006, Fn8000_0008, Fn8000_001E
    {kZen4, 0x80000005, 0, 0, 31, 24, std::nullopt, "fully associative", "EAX 0xFF48FF40: [31:24] = 0xFF"},
    {kZen4, 0x80000005, 0, 2, 31, 24, 32,   "32 KB",                 "ECX 0x20080140: [31:24] = 0x20"},
    {kZen4, 0x80000006, 0, 0, 31, 28, 6,    "6-way",                 "EAX 0x5C002200: code 5 is six ways"},
    {kZen4, 0x80000006, 0, 2, 15, 12, 8,    "8-way",                 "ECX 0x04006140: code 6 is eight ways"},
    {kZen4, 0x80000006, 0, 3, 31, 18, 32768, "32768 KB",             "EDX 0x01009140: [31:18] = 0x40 units of 512 KB"},
    {kZen4, 0x80000006, 0, 3, 15, 12, std::nullopt, "described by leaf 0x8000001D", "EDX 0x01009140: code 9"},
    {kZen4, 0x80000008, 0, 2,  7,  0, 16,   "16",                    "ECX 0x0000400F: [7:0] = 0x0F, plus one"},
    {kZen4, 0x8000001E, 0, 1, 15,  8, 2,    "2",                     "EBX 0x00000100: [15:8] = 1, plus one"},
};
// clang-format on

TEST(FieldDecoder, TransformsAsTheDocumentsGiveThem) {
    for (const Worked& w : kWorked) {
        SCOPED_TRACE(std::string(w.file) + ": " + w.how);
        const DecodedField* field = nullptr;
        const std::vector<DecodedLeaf> leaves = DecodeRecordedLeaves(testing::Normalized(w.file));
        for (const DecodedLeaf& l : leaves)
            if (l.leaf == w.leaf && l.subleaf == w.subleaf) field = Find(l, w.reg, w.high, w.low);
        ASSERT_NE(field, nullptr);
        ASSERT_NE(field->row, nullptr);
        const FieldReading r = ReadField(*field);
        EXPECT_EQ(r.text, w.text);
        if (w.value) {
            EXPECT_EQ(r.type, FieldReading::Type::Number);
            EXPECT_EQ(r.number, *w.value);
        } else {
            EXPECT_EQ(r.type, FieldReading::Type::None);
        }
    }
}

}  // namespace
}  // namespace talvex
