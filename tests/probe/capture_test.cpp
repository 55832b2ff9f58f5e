// The complete capture: its enumeration rules against the real dumps and against processors whose
// counts never end, pinning to every processor in turn, and this machine against `cpuid -r`.
#include "probe/capture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>

#include "probe/dump/dump_write.h"
#include "support/capture_fakes.h"
#include "support/dumps.h"

namespace talvex {
namespace {

using testing::FunctionSource;
using Leaves = std::map<std::pair<uint32_t, uint32_t>, TCPUIDRegs>;

Leaves ByKey(const DumpProcessor& p) {
    Leaves m;
    for (const DumpLeaf& l : p.leaves) m.emplace(std::pair{l.leaf, l.subleaf}, l.regs);
    return m;
}

// Whether the capture covers a leaf: inside a range it records, up to that range's top.
bool Covered(const Leaves& dump, uint32_t leaf) {
    const auto leaf1 = dump.find({1, 0});
    const bool hypervisor = leaf1 != dump.end() && BitSet(leaf1->second.ECX, 31);
    for (uint32_t base :
         {0x0u, 0x20000000u, 0x40000000u, 0x40000100u, 0x80000000u, 0x80860000u, 0xC0000000u}) {
        const auto head = dump.find({base, 0});
        const uint32_t top = head == dump.end() || head->second.EAX <= base ? base : head->second.EAX;
        if ((base >> 16 != 0x4000 || hypervisor) && leaf >= base && leaf - base <= std::min(top - base, 255u))
            return true;
    }
    return false;
}

// Replaying each real processor through the capture gives back, with the same values, every leaf
// and sub-leaf its dumping tool recorded inside the ranges, but for the null sub-leaves tools list
// past the valid ones (zeros; for the topology leaves the sub-leaf echoed in ECX[7:0] and the
// x2APIC ID in EDX). Whatever more the capture asks, the replay answers with zeros: nothing is
// invented, and the capture is sorted and executes each (leaf, sub-leaf) once.
TEST(Capture, RecordsEverythingTheRealDumpsRecorded) {
    for (const std::string& name : testing::DumpNames()) {
        SCOPED_TRACE(name);
        for (const DumpProcessor& cpu : ReadDumpFile(testing::kDumps + "/" + name)) {
            const Leaves dump = ByKey(cpu);
            const DumpProcessor captured = CaptureProcessor(ReplaySource(cpu));
            const Leaves got = ByKey(captured);
            ASSERT_EQ(got.size(), captured.leaves.size());
            ASSERT_TRUE(std::is_sorted(captured.leaves.begin(), captured.leaves.end(), [](auto& a, auto& b) {
                return std::pair{a.leaf, a.subleaf} < std::pair{b.leaf, b.subleaf};
            }));
            for (const auto& [key, r] : dump) {
                const bool null = key.second > 0 && r.EAX == 0 && r.EBX == 0 && (r.ECX & ~0xFFu) == 0;
                if (null || !Covered(dump, key.first)) continue;
                const auto it = got.find(key);
                ASSERT_TRUE(it != got.end()) << std::hex << key.first << "." << key.second;
                EXPECT_EQ(it->second, r) << std::hex << key.first << "." << key.second;
            }
            for (const auto& [key, r] : got) {
                if (dump.count(key) == 0) {
                    EXPECT_EQ(r, TCPUIDRegs{}) << std::hex << key.first << "." << key.second;
                }
            }
        }
    }
}

// Processors whose counts never end: every leaf stays within 64 sub-leaves and every range within
// 256 leaves, each executed once.
TEST(Capture, AbsurdCountsStayBounded) {
    struct Case {
        const char* what;
        uint32_t leaf;
        TCPUIDRegs answer;  // to every sub-leaf of `leaf`
    } cases[] = {
        {"leaf 4 whose cache type never ends", 4, {0x121, 0, 0, 0}},
        {"leaf 7 claiming 0xFFFFFFFF sub-leaves", 7, {0xFFFFFFFF, 0, 0, 0}},
        {"leaf 0xB repeating one level forever", 0xB, {1, 2, 0x100, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const FunctionSource source([&](uint32_t leaf, uint32_t) {
            return leaf == 0 ? TCPUIDRegs{c.leaf, 0, 0, 0} : leaf == c.leaf ? c.answer : TCPUIDRegs{};
        });
        const Leaves got = ByKey(CaptureProcessor(source));
        EXPECT_EQ(std::count_if(got.begin(), got.end(), [&](auto& e) { return e.first.first == c.leaf; }),
                  64);
        EXPECT_EQ(source.executions, static_cast<long>(got.size()));
    }

    // All ones to everything: every range at 256 leaves, every leaf at 64 sub-leaves at most.
    const FunctionSource liar([](uint32_t, uint32_t) { return TCPUIDRegs{~0u, ~0u, ~0u, ~0u}; });
    const DumpProcessor p = CaptureProcessor(liar);
    std::map<uint32_t, size_t> per_leaf, per_range;
    for (const DumpLeaf& l : p.leaves) {
        ++per_leaf[l.leaf];
        per_range[l.leaf & 0xFFFFFF00u] += l.subleaf == 0;
    }
    EXPECT_EQ(per_range.size(), 7u);
    for (const auto& [base, leaves] : per_range) EXPECT_EQ(leaves, 256u) << std::hex << base;
    for (const auto& [leaf, subleaves] : per_leaf) EXPECT_LE(subleaves, 64u) << std::hex << leaf;
    EXPECT_EQ(per_leaf[0xD], 64u);
    EXPECT_LT(FormatCpuidRaw({p}).size(), 300'000u);
}

// Pinning to each allowed processor in turn (here 1, 3 and 5, the thread's own set): each gets a
// row with its own registers, a refused or vanished one is marked, a failing one ends the capture,
// and the original set is back on every path.
TEST(Capture, PinsToEachProcessorAndRestoresTheAffinity) {
    constexpr unsigned kNone = 99;
    struct Case {
        const char* what;
        unsigned refused, vanishing, failing;
        std::vector<CaptureStatus> status;  // empty: the capture throws
    } cases[] = {
        {"all pinned",
         kNone,
         kNone,
         kNone,
         {CaptureStatus::Captured, CaptureStatus::Captured, CaptureStatus::Captured}},
        {"3 refused, 5 gone",
         3,
         5,
         kNone,
         {CaptureStatus::Captured, CaptureStatus::NotPinned, CaptureStatus::Moved}},
        {"3 fails", kNone, kNone, 3, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testing::Machine machine;
        machine.affinity = {1, 3, 5};
        machine.refused = {c.refused};
        // Answers as the processor pinned to; one going offline moves the thread to all of them.
        const FunctionSource source([&](uint32_t leaf, uint32_t) {
            const unsigned k = machine.affinity.size() == 1 ? machine.affinity[0] : 0;
            if (k == c.vanishing) machine.affinity = {0, 1, 2, 3, 4, 5};
            if (k == c.failing) throw std::runtime_error("processor failure");
            return leaf == 0 ? TCPUIDRegs{1, 0, 0, 0} : TCPUIDRegs{0, k << 24, 0, 0};
        });
        if (c.status.empty()) {
            EXPECT_THROW(CaptureAllowedProcessors(machine, source), std::runtime_error);
        } else {
            const auto got = CaptureAllowedProcessors(machine, source);
            ASSERT_EQ(got.size(), 3u);
            for (size_t i = 0; i < got.size(); ++i) {
                EXPECT_EQ(got[i].processor.os(), 1 + 2 * i);
                EXPECT_EQ(got[i].status, c.status[i]);
                const Leaves leaves = ByKey(got[i].dump);
                if (got[i].status == CaptureStatus::Captured) {
                    EXPECT_EQ(InitialApicId(leaves.at({1, 0}).EBX), got[i].processor.os());
                } else {
                    EXPECT_TRUE(leaves.empty());
                }
            }
        }
        EXPECT_EQ(machine.affinity_calls.back(), (std::vector<unsigned>{1, 3, 5}));
        EXPECT_EQ(machine.affinity, (std::vector<unsigned>{1, 3, 5}));
    }
}

// This machine, every processor, against `cpuid -r` run beside it: every line `cpuid -r` lists is
// in the capture of the same processor with the same values (the APIC IDs differ per processor).
TEST(Capture, ThisMachineMatchesCpuidR) {
    ASSERT_EQ(testing::RunCommand("command -v cpuid").status, 0) << "the Debian package cpuid is missing";
    LinuxPlatform platform;
    const std::vector<unsigned> before = platform.ThreadAffinity();
    if (before.size() != platform.ProcessorCount())
        GTEST_SKIP() << "this process may not run on every processor, and cpuid -r lists them all";
    const auto captured = CaptureAllowedProcessors(platform, HardwareSource());
    EXPECT_EQ(platform.ThreadAffinity(), before);
    const testing::Output peer = testing::RunCommand("cpuid -r");
    ASSERT_EQ(peer.status, 0);
    std::istringstream in(peer.text);
    const auto listed = ReadDump(in, "cpuid -r");
    ASSERT_EQ(listed.size(), captured.size());
    for (size_t k = 0; k < captured.size(); ++k) {
        SCOPED_TRACE("processor " + std::to_string(captured[k].processor.os()));
        ASSERT_EQ(captured[k].status, CaptureStatus::Captured);
        const Leaves got = ByKey(captured[k].dump);
        for (const DumpLeaf& l : listed[k].leaves) {
            const auto it = got.find({l.leaf, l.subleaf});
            ASSERT_TRUE(it != got.end()) << std::hex << l.leaf << "." << l.subleaf;
            EXPECT_EQ(it->second, l.regs) << std::hex << l.leaf << "." << l.subleaf;
        }
    }
}

}  // namespace
}  // namespace talvex
