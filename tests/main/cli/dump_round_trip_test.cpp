// Round trip through the dump writers on every processor of every real dump: read, write, read
// again gives the same leaves and sub-leaves, and the same report and JSON. `cpuid -r` holds
// everything; libcpuid's arrays hold what fits them.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "main/cli/cli.h"
#include "main/report/report.h"
#include "probe/dump/dump_write.h"
#include "support/dumps.h"

namespace talvex {
namespace {

using Leaves = std::map<std::pair<uint32_t, uint32_t>, TCPUIDRegs>;

Leaves ByKey(const DumpProcessor& p) {
    Leaves m;
    for (const DumpLeaf& l : p.leaves) m.emplace(std::pair{l.leaf, l.subleaf}, l.regs);
    return m;
}

std::vector<DumpProcessor> Reread(const std::string& text) {
    std::istringstream in(text);
    return ReadDump(in, "written");
}

// The report and the JSON of one processor, as the window and talvex-report describe it.
std::string Describe(const DumpProcessor& cpu) {
    const testing::Replayed replayed(cpu);
    std::string out;
    BuildReport(replayed.probe, out, ".");
    return out + cli::BuildJson(replayed.probe, ".", 0);
}

// Whether libcpuid's arrays hold (leaf, sub-leaf) of a processor whose ranges end at the tops.
bool LibcpuidHolds(uint32_t leaf, uint32_t subleaf, uint32_t std_top, uint32_t ext_top) {
    if (subleaf == 0 && leaf < 32) return leaf <= std_top;
    if (subleaf == 0 && leaf >= 0x80000000 && leaf < 0x80000020)
        return leaf <= std::max(ext_top, 0x80000000u);
    const struct {
        uint32_t leaf, entries;
    } kSubLeafArrays[] = {{4, 8}, {0xB, 4}, {0x12, 4}, {0x14, 4}, {0x8000001D, 4}, {0x80000026, 4}};
    for (const auto& a : kSubLeafArrays) {
        if (a.leaf == leaf && subleaf < a.entries)
            return leaf < 0x80000000 ? leaf <= std_top : leaf <= ext_top;
    }
    return false;
}

TEST(DumpRoundTrip, CpuidRHoldsEveryLeafOfEveryProcessor) {
    for (const std::string& name : testing::DumpNames()) {
        SCOPED_TRACE(name);
        const auto original = ReadDumpFile(testing::kDumps + "/" + name);
        const auto again = Reread(FormatCpuidRaw(original));
        ASSERT_EQ(again.size(), original.size());
        for (size_t i = 0; i < original.size(); ++i) {
            SCOPED_TRACE("processor " + std::to_string(i));
            EXPECT_EQ(ByKey(again[i]), ByKey(original[i]));
            EXPECT_EQ(Describe(again[i]), Describe(original[i]));
        }
    }
}

// libcpuid keeps the leaves inside the ranges its arrays cover and drops a leaf's trailing null
// sub-leaves; an entry the dump did not record comes back as zeros. Where every sub-leaf 0 of the
// processor fits (the report and the window read no other), the report and the JSON are the same
// too.
TEST(DumpRoundTrip, LibcpuidHoldsWhatFitsItsArrays) {
    size_t whole = 0;
    for (const std::string& name : testing::DumpNames()) {
        SCOPED_TRACE(name);
        const auto original = ReadDumpFile(testing::kDumps + "/" + name);
        const auto again = Reread(FormatLibcpuid(original));
        ASSERT_EQ(again.size(), original.size());
        for (size_t i = 0; i < original.size(); ++i) {
            SCOPED_TRACE("processor " + std::to_string(i));
            const Leaves before = ByKey(original[i]);
            const Leaves after = ByKey(again[i]);
            const uint32_t std_top = before.at({0, 0}).EAX;
            const auto ext = before.find({0x80000000, 0});
            const uint32_t ext_top = ext == before.end() ? 0 : ext->second.EAX;
            bool fits = true;
            for (const auto& [key, regs] : before) {
                if (!LibcpuidHolds(key.first, key.second, std_top, ext_top)) {
                    fits = fits && (key.second > 0 || regs == TCPUIDRegs{});
                    continue;
                }
                auto it = after.find(key);
                if (it == after.end()) {
                    EXPECT_TRUE(key.second > 0 && regs == TCPUIDRegs{})
                        << std::hex << key.first << "." << key.second;
                    continue;
                }
                EXPECT_EQ(it->second, regs) << std::hex << key.first << "." << key.second;
            }
            for (const auto& [key, regs] : after) {
                if (before.count(key) == 0) {
                    EXPECT_EQ(regs, TCPUIDRegs{}) << std::hex << key.first << "." << key.second;
                }
            }
            if (fits) {
                ++whole;
                EXPECT_EQ(Describe(again[i]), Describe(original[i]));
            }
        }
    }
    EXPECT_GT(whole, 100u);
}

}  // namespace
}  // namespace talvex
