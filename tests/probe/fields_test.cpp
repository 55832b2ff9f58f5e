// The field table and its decoder: the table's shape (no bit described twice for one processor), the
// decoder on registers that hold nonsense, and the transforms against values worked out by hand from
// the vendors' documents over the real dumps.
#include "probe/leaves/fields.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "probe/details/recorded_leaves.h"
#include "probe/leaves/feature_names.h"
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

// Each named bit the other rooms look up is the row that carries its name.
TEST(FieldTable, NamedBitsAreTheirRows) {
    size_t named = 0;
    for (const FieldRow& r : FieldRows()) {
        if (r.feature < 0) continue;
        ++named;
        const FeatureName& f = kFeatureNames[static_cast<size_t>(r.feature)];
        const FeatureRegister& reg = kFeatureRegisters[f.group];
        EXPECT_EQ(f.name.view(), FieldText(r.name));
        EXPECT_EQ(std::tie(reg.leaf, reg.subleaf), std::tie(r.leaf, r.first_subleaf)) << f.name.view();
        EXPECT_EQ(static_cast<uint8_t>(reg.reg), r.reg) << f.name.view();
        EXPECT_EQ(f.bit, r.low) << f.name.view();
    }
    EXPECT_EQ(named, kFeatureNames.size());
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

// What every field of a whole dump says, for every dump: decoding never fails, and each register's
// fields cover its set bits exactly once.
TEST(FieldDecoder, EverySetBitOfEveryDumpIsShownOnce) {
    for (const std::string& file : testing::DumpNames()) {
        SCOPED_TRACE(file);
        for (const DecodedLeaf& l : DecodeRecordedLeaves(testing::Normalized(file))) {
            if (!l.decoded) continue;
            const uint32_t regs[4] = {l.regs.EAX, l.regs.EBX, l.regs.ECX, l.regs.EDX};
            uint32_t seen[4] = {};
            for (const DecodedField& f : l.fields) {
                const uint32_t mask = (f.high - f.low >= 31 ? 0xFFFFFFFFu : ((1u << (f.high - f.low + 1)) - 1))
                                      << f.low;
                EXPECT_EQ(seen[f.reg] & mask, 0u) << std::hex << l.leaf << "/" << l.subleaf;
                seen[f.reg] |= mask;
                EXPECT_EQ((regs[f.reg] & mask) >> f.low, f.raw);
                ReadField(f);
            }
            for (int r = 0; r < 4; ++r) EXPECT_EQ(regs[r] & ~seen[r], 0u) << std::hex << l.leaf << "/" << l.subleaf;
        }
    }
}

}  // namespace
}  // namespace talvex
