// The complete capture: its enumeration rules against the real dumps and against processors whose
// counts never end, pinning to every processor in turn, and this machine against `cpuid -r`.
#include "probe/capture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>
#include <tuple>

#include "probe/dump/dump_write.h"
#include "support/capture_fakes.h"
#include "support/dumps.h"

namespace talvex {
namespace {

using testing::kDumps;
using Key = std::pair<uint32_t, uint32_t>;

std::map<Key, TCPUIDRegs> ByKey(const DumpProcessor& p) {
    std::map<Key, TCPUIDRegs> m;
    for (const DumpLeaf& l : p.leaves) m.emplace(Key{l.leaf, l.subleaf}, l.regs);
    return m;
}

std::vector<Key> Keys(const DumpProcessor& p) {
    std::vector<Key> k;
    for (const DumpLeaf& l : p.leaves) k.emplace_back(l.leaf, l.subleaf);
    return k;
}

// Whether the capture covers a leaf: inside a range it records, up to that range's top.
bool Covered(const std::map<Key, TCPUIDRegs>& dump, uint32_t leaf) {
    const auto top = [&](uint32_t base) {
        auto it = dump.find({base, 0});
        const uint32_t eax = it == dump.end() ? base : it->second.EAX;
        return eax > base ? std::min(eax, base + 255) : base;
    };
    const auto leaf1 = dump.find({1, 0});
    const bool hypervisor = leaf1 != dump.end() && BitSet(leaf1->second.ECX, 31);
    for (uint32_t base :
         {0x00000000u, 0x20000000u, 0x40000000u, 0x40000100u, 0x80000000u, 0x80860000u, 0xC0000000u}) {
        if ((base & 0xFFFF0000u) == 0x40000000u && !hypervisor) continue;
        if (leaf >= base && leaf <= top(base)) return true;
    }
    return false;
}

// Tools also list sub-leaves past the valid ones: zeros, or for the topology leaves the sub-leaf
// echoed in ECX[7:0] and the x2APIC ID in EDX.
bool IsNull(const TCPUIDRegs& r) { return r.EAX == 0 && r.EBX == 0 && (r.ECX & ~0xFFu) == 0; }

// Replaying each real processor through the capture gives back every leaf and valid sub-leaf its
// dumping tool recorded inside the ranges, with the same values: the rules reach as far as the
// tools that took these dumps. Whatever more the capture asks is answered with zeros by the
// replay (a terminating null sub-leaf the file left out), never invented.
TEST(Capture, RecordsEverythingTheRealDumpsRecorded) {
    for (const std::string& name : testing::DumpNames()) {
        SCOPED_TRACE(name);
        for (const DumpProcessor& cpu : ReadDumpFile(kDumps + "/" + name)) {
            const auto dump = ByKey(cpu);
            const ReplaySource replay(cpu);
            const DumpProcessor captured = CaptureProcessor(replay);
            const auto keys = Keys(captured);
            ASSERT_TRUE(std::is_sorted(keys.begin(), keys.end()));
            ASSERT_TRUE(std::adjacent_find(keys.begin(), keys.end()) == keys.end());
            const auto got = ByKey(captured);
            for (const auto& [key, regs] : dump) {
                if (!Covered(dump, key.first) || (key.second > 0 && IsNull(regs))) continue;
                auto it = got.find(key);
                ASSERT_TRUE(it != got.end())
                    << std::hex << key.first << "." << key.second << " line " << std::dec << cpu.line;
                EXPECT_EQ(it->second, regs) << std::hex << key.first << "." << key.second;
            }
            for (const auto& [key, regs] : got) {
                if (dump.count(key) == 0) {
                    EXPECT_EQ(regs, TCPUIDRegs{}) << std::hex << key.first << "." << key.second;
                }
            }
        }
    }
}

// Processors whose counts are absurd: every leaf and range stays bounded, and nothing is executed
// twice. Each row: what the processor claims, the leaf looked at, how many sub-leaves it gets.
TEST(Capture, AbsurdCountsStayBounded) {
    using testing::SubLeafSource;
    const auto forever = [](uint32_t leaf, TCPUIDRegs regs) {
        return [leaf, regs](uint32_t l, uint32_t) { return l == leaf ? std::optional(regs) : std::nullopt; };
    };
    struct Case {
        const char* what;
        uint32_t max_leaf;
        std::function<std::optional<TCPUIDRegs>(uint32_t, uint32_t)> hostile;
        uint32_t leaf;
        size_t subleaves;
    } cases[] = {
        {"leaf 4 whose cache type never ends", 4, forever(4, {0x121, 0, 0, 0}), 4, 64},
        {"leaf 7 claiming 0xFFFFFFFF sub-leaves", 7, forever(7, {0xFFFFFFFF, 0, 0, 0}), 7, 64},
        {"leaf 0xB repeating one level forever", 0xB, forever(0xB, {1, 2, 0x100, 0}), 0xB, 64},
        {"leaf 0xD naming all 64 state components", 0xD, forever(0xD, {~0u, 0, ~0u, ~0u}), 0xD, 64},
        {"leaf 0x12 whose EPC sections never end", 0x12, forever(0x12, {1, 0, 0, 0}), 0x12, 64},
        {"leaf 0x23 naming every sub-leaf valid", 0x23, forever(0x23, {~0u, 0, 0, 0}), 0x23, 32},
        {"0x8000001D that never ends", 0, forever(0x8000001D, {0x121, 0, 0, 0}), 0x8000001D, 64},
        {"leaf 4 with no caches", 4, nullptr, 4, 1},
        {"leaf 0x12 without SGX: 0 and 1 always, 2 ends", 0x12, nullptr, 0x12, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SubLeafSource source;
        source.Set(0, 0, {c.max_leaf, 0, 0, 0}).Set(0x80000000, 0, {0x8000001F, 0, 0, 0});
        source.hostile = c.hostile;
        const DumpProcessor p = CaptureProcessor(source);
        EXPECT_EQ(std::count_if(p.leaves.begin(), p.leaves.end(),
                                [&](const DumpLeaf& l) { return l.leaf == c.leaf; }),
                  static_cast<long>(c.subleaves));
        EXPECT_EQ(source.executions, static_cast<long>(p.leaves.size()));
    }

    // A processor answering all ones to everything: every range and leaf at its bound, a few
    // hundred kilobytes of text at most.
    SubLeafSource liar;
    liar.hostile = [](uint32_t, uint32_t) { return std::optional(TCPUIDRegs{~0u, ~0u, ~0u, ~0u}); };
    const DumpProcessor p = CaptureProcessor(liar);
    std::map<uint32_t, size_t> per_leaf, per_range;
    for (const DumpLeaf& l : p.leaves) {
        ++per_leaf[l.leaf];
        if (l.subleaf == 0) ++per_range[l.leaf & 0xFFFFFF00u];
    }
    EXPECT_EQ(per_range.size(), 7u);
    for (const auto& [base, leaves] : per_range) EXPECT_EQ(leaves, 256u) << std::hex << base;
    for (const auto& [leaf, subleaves] : per_leaf) EXPECT_LE(subleaves, 64u) << std::hex << leaf;
    EXPECT_EQ(per_leaf[0x0D], 64u);
    EXPECT_LT(FormatCpuidRaw({p}).size(), 300'000u);
}

// Pinning to each processor in turn: every processor gets a row, refused and vanished processors
// are marked, a failure stops the capture, and the original affinity is back on every path.
TEST(Capture, PinsToEachProcessorAndRestoresTheAffinity) {
    using testing::Machine;
    using testing::MachineSource;
    struct Case {
        const char* what;
        std::set<unsigned> refused, vanishing;
        std::optional<unsigned> failing;
        std::vector<CaptureStatus> status;  // empty: the capture throws
    } cases[] = {
        {"all pinned",
         {},
         {},
         {},
         {CaptureStatus::Captured, CaptureStatus::Captured, CaptureStatus::Captured}},
        {"one refused, one gone during the capture",
         {3},
         {5},
         {},
         {CaptureStatus::Captured, CaptureStatus::NotPinned, CaptureStatus::Moved}},
        {"the processor fails", {}, {}, 3, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Machine machine;
        machine.affinity = {1, 3, 5};
        machine.refused = c.refused;
        machine.vanishing = c.vanishing;
        MachineSource source(machine);
        source.failing = c.failing;
        std::vector<ProcessorCapture> got;
        if (c.status.empty()) {
            EXPECT_THROW(CaptureAllowedProcessors(machine, source), std::runtime_error);
        } else {
            got = CaptureAllowedProcessors(machine, source);
            ASSERT_EQ(got.size(), 3u);
        }
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].processor, 1u + 2u * i);
            EXPECT_EQ(got[i].status, c.status[i]);
            if (got[i].status != CaptureStatus::Captured) {
                EXPECT_TRUE(got[i].dump.leaves.empty());
                continue;
            }
            const auto leaves = ByKey(got[i].dump);
            EXPECT_EQ(InitialApicId(leaves.at({1, 0}).EBX), got[i].processor);
        }
        EXPECT_EQ(machine.affinity, (std::vector<unsigned>{1, 3, 5}));
        EXPECT_EQ(machine.affinity_calls.back(), (std::vector<unsigned>{1, 3, 5}));
    }
}

// This machine, every processor the test may run on, against `cpuid -r` run beside it: every line
// `cpuid -r` lists is in the capture of the same processor with the same values.
TEST(Capture, ThisMachineMatchesCpuidR) {
    ASSERT_EQ(testing::RunCommand("command -v cpuid").status, 0) << "the Debian package cpuid is missing";
    LinuxPlatform platform;
    const std::vector<unsigned> before = platform.ThreadAffinity();
    if (before.size() != platform.ProcessorCount())
        GTEST_SKIP() << "this process may not run on every processor; cpuid -r lists them all";
    const HardwareSource hardware;
    const auto captured = CaptureAllowedProcessors(platform, hardware);
    EXPECT_EQ(platform.ThreadAffinity(), before);
    const testing::Output peer = testing::RunCommand("cpuid -r");
    ASSERT_EQ(peer.status, 0);
    std::istringstream in(peer.text);
    const auto listed = ReadDump(in, "cpuid -r");
    ASSERT_EQ(listed.size(), captured.size());
    for (size_t k = 0; k < captured.size(); ++k) {
        SCOPED_TRACE("processor " + std::to_string(captured[k].processor));
        ASSERT_EQ(captured[k].status, CaptureStatus::Captured);
        const auto got = ByKey(captured[k].dump);
        for (const DumpLeaf& l : listed[k].leaves) {
            auto it = got.find({l.leaf, l.subleaf});
            ASSERT_TRUE(it != got.end()) << std::hex << l.leaf << "." << l.subleaf;
            EXPECT_EQ(it->second, l.regs) << std::hex << l.leaf << "." << l.subleaf;
        }
    }
}

}  // namespace
}  // namespace talvex
