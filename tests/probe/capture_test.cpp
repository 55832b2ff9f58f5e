// The complete capture: its enumeration rules against the real dumps and against processors whose
// counts never end, pinning to every processor in turn, and this machine and the recorded ones against
// `cpuid -r`.
#include "probe/details/capture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>

#include "probe/dump/dump_write.h"
#include "support/capture_fakes.h"
#include "support/dumps.h"
#include "support/files.h"
#include "support/machine_said.h"

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
        std::vector<PinStatus> status;  // empty: the capture throws
    } cases[] = {
        {"all pinned", kNone, kNone, kNone, {PinStatus::Stayed, PinStatus::Stayed, PinStatus::Stayed}},
        {"3 refused, 5 gone", 3, 5, kNone, {PinStatus::Stayed, PinStatus::NotPinned, PinStatus::Moved}},
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
            EXPECT_THROW(CaptureProcessors(machine, source, machine.ThreadAffinity()), std::runtime_error);
        } else {
            const auto got = CaptureProcessors(machine, source, machine.ThreadAffinity());
            ASSERT_EQ(got.size(), 3u);
            for (size_t i = 0; i < got.size(); ++i) {
                EXPECT_EQ(got[i].processor.os(), 1 + 2 * i);
                EXPECT_EQ(got[i].status, c.status[i]);
                const Leaves leaves = ByKey(got[i].dump);
                if (got[i].status == PinStatus::Stayed) {
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

// Which (leaf, sub-leaf) pairs hold data, by the rule published with each leaf (Intel's CPUID
// reference, AMD's CPUID appendix), asked of the registers either reader recorded. Readers differ
// in what they list beyond that, and neither is wrong: past a range's top, past a leaf's last
// sub-leaf, the sub-leaves of a leaf that has none.
class Enumeration {
public:
    explicit Enumeration(const Leaves& read) : read_(read) {}

    bool HoldsData(uint32_t leaf, uint32_t sub) const {
        if (!InRange(leaf)) return false;
        if (sub == 0) return true;
        const auto field = [&](uint32_t s, uint32_t TCPUIDRegs::*reg, unsigned high, unsigned low) {
            const auto it = read_.find({leaf, s});
            return it == read_.end() ? 0u : Bits(it->second.*reg, high, low);
        };
        // sub-leaves up to the highest one sub-leaf 0 names in EAX
        const auto highest = [&] { return sub <= field(0, &TCPUIDRegs::EAX, 31, 0); };
        // sub-leaves until the first whose field is 0; those below `from` always
        const auto until_null = [&](uint32_t TCPUIDRegs::*reg, unsigned high, unsigned low, uint32_t from) {
            for (uint32_t s = from; s <= sub; ++s)
                if (field(s, reg, high, low) == 0) return false;
            return true;
        };
        // sub-leaf i for each bit i set in a field of sub-leaf 0
        const auto bit_of_sub0 = [&](uint32_t TCPUIDRegs::*reg) { return BitSet(field(0, reg, 31, 0), sub); };
        switch (leaf) {
        case 0x4: return until_null(&TCPUIDRegs::EAX, 4, 0, 0);  // cache type
        case 0x7: return highest();
        case 0xB: return until_null(&TCPUIDRegs::ECX, 15, 8, 0);  // level type
        case 0xD: {  // state components of XCR0 (sub-leaf 0 EDX:EAX) and IA32_XSS (sub-leaf 1 EDX:ECX)
            const uint64_t user =
                uint64_t{field(0, &TCPUIDRegs::EDX, 31, 0)} << 32 | field(0, &TCPUIDRegs::EAX, 31, 0);
            const uint64_t super =
                uint64_t{field(1, &TCPUIDRegs::EDX, 31, 0)} << 32 | field(1, &TCPUIDRegs::ECX, 31, 0);
            return sub == 1 || (sub < 64 && ((user | super) >> sub & 1u) != 0);
        }
        case 0xF: return bit_of_sub0(&TCPUIDRegs::EDX);           // monitored resources
        case 0x10: return bit_of_sub0(&TCPUIDRegs::EBX);          // allocated resources
        case 0x12: return until_null(&TCPUIDRegs::EAX, 3, 0, 2);  // EPC sections from sub-leaf 2
        case 0x14:
        case 0x17:
        case 0x18:
        case 0x1D:
        case 0x1E:
        case 0x20:
        case 0x24: return highest();
        case 0x1B: return until_null(&TCPUIDRegs::EAX, 11, 0, 0);  // PCONFIG sub-leaf type
        case 0x1F: return until_null(&TCPUIDRegs::ECX, 15, 8, 0);  // level type
        case 0x23: return bit_of_sub0(&TCPUIDRegs::EAX);           // valid sub-leaves
        case 0x8000001D: return until_null(&TCPUIDRegs::EAX, 4, 0, 0);
        case 0x80000020: return bit_of_sub0(&TCPUIDRegs::EBX);
        case 0x80000026: return until_null(&TCPUIDRegs::ECX, 15, 8, 0);
        default: return false;  // sub-leaf 0 alone
        }
    }

private:
    // A leaf of a range whose base names a top within it (up to 256 leaves); the hypervisor
    // ranges only under a hypervisor (leaf 1 ECX[31]), the second one only when it names a vendor.
    bool InRange(uint32_t leaf) const {
        const uint32_t base = leaf >= 0x40000100u && leaf < 0x40000200u ? 0x40000100u : leaf & 0xFFFF0000u;
        const auto head = read_.find({base, 0});
        if (head == read_.end() || head->second.EAX < base) return false;
        if (base >> 16 == 0x4000) {
            const auto leaf1 = read_.find({1, 0});
            if (leaf1 == read_.end() || !BitSet(leaf1->second.ECX, 31)) return false;
            const TCPUIDRegs& r = head->second;
            if (base == 0x40000100u && (r.EBX | r.ECX | r.EDX) == 0) return false;
        }
        return leaf - base <= std::min(head->second.EAX - base, 255u);
    }

    const Leaves& read_;
};

// The capture of a processor against what `cpuid -r` listed for it: equal registers on every
// (leaf, sub-leaf) both list, and whatever only one lists holds no data by the leaf's rule. A peer
// older than a leaf lists its sub-leaf 0 alone: sub-leaves it never asked for are not missing.
void ExpectSameAsCpuidR(const Leaves& captured, const Leaves& peer) {
    Leaves both = captured;
    both.insert(peer.begin(), peer.end());
    const Enumeration rules(both);
    size_t compared = 0;
    for (const auto& [key, regs] : peer) {
        const auto ours = captured.find(key);
        if (ours != captured.end()) {
            EXPECT_EQ(ours->second, regs) << std::hex << key.first << "." << key.second;
            ++compared;
        } else {
            EXPECT_FALSE(rules.HoldsData(key.first, key.second))
                << std::hex << key.first << "." << key.second << " holds data, and the capture left it out";
        }
    }
    for (const auto& [key, regs] : captured) {
        if (peer.count(key) != 0 || !rules.HoldsData(key.first, key.second)) continue;
        const bool peer_enumerates = peer.upper_bound({key.first, 0}) != peer.end()
                                     && peer.upper_bound({key.first, 0})->first.first == key.first;
        EXPECT_TRUE(key.second > 0 && !peer_enumerates)
            << std::hex << key.first << "." << key.second << " holds data, and cpuid -r left it out";
    }
    EXPECT_GT(compared, 10u);
}

class CaptureOf : public ::testing::TestWithParam<std::string> {};

// Each processor this process may run on, captured through the hardware, against `cpuid -r` run
// beside it; each recorded machine's capture through the replay of its `cpuid -r`, against that.
TEST_P(CaptureOf, MachineMatchesCpuidR) {
    const testing::MachineSaid said = testing::Said(GetParam());
    if (said.live && testing::RunCommand("command -v cpuid").status != 0)
        GTEST_SKIP() << "the Debian package cpuid is missing";
    const auto sections = testing::CpuidRSections(said);
    std::map<unsigned, Leaves> listed;
    for (const auto& [number, section] : sections) listed[number] = ByKey(section);
    std::vector<ProcessorCapture> captured;
    if (said.live) {
        LinuxPlatform platform;
        const std::vector<unsigned> before = platform.ThreadAffinity();
        captured = CaptureProcessors(platform, HardwareSource(), before);
        EXPECT_EQ(platform.ThreadAffinity(), before);
    } else {
        for (const auto& [number, section] : sections)
            captured.push_back(
                {ProcessorNumber(number), PinStatus::Stayed, CaptureProcessor(ReplaySource(section))});
    }
    size_t compared = 0;
    for (const ProcessorCapture& c : captured) {
        SCOPED_TRACE("processor " + std::to_string(c.processor.os()));
        ASSERT_EQ(c.status, PinStatus::Stayed);
        const auto peer = listed.find(c.processor.os());
        if (peer == listed.end()) continue;  // the peer could not run there
        ExpectSameAsCpuidR(ByKey(c.dump), peer->second);
        ++compared;
    }
    if (compared == 0) GTEST_SKIP() << "cpuid -r listed none of the processors this process may run on";
}

INSTANTIATE_TEST_SUITE_P(Machines, CaptureOf, ::testing::ValuesIn(testing::MachineNames()),
                         [](const ::testing::TestParamInfo<std::string>& machine) {
                             return testing::TestName(machine.param);
                         });

// A machine in both the repository and the extra folder is tested once, the repository's copy; a
// file a machine lacks, a listing that cannot be read or a folder that is not there fails naming it.
TEST(RecordedMachines, EachOnceAndEveryFaultNamed) {
    namespace fs = std::filesystem;
    const auto repository = testing::RecordedMachines({testing::kMachines});
    ASSERT_GE(repository.size(), 2u);
    const auto& [name, dir] = *repository.begin();
    const testing::TempDir extra;
    fs::copy(dir, extra / name);
    fs::copy(dir, extra / "lacking");
    fs::remove(extra / "lacking" / "lscpu.txt");
    fs::copy(dir, extra / "garbled");
    testing::Spill(extra / "garbled" / "cpuid-r.txt", "CPU 0:\n   0x00000000 0x00: eax=0xnothex\n");
    const auto all = testing::RecordedMachines({testing::kMachines, (extra / "").string()});
    EXPECT_EQ(all.size(), repository.size() + 2);
    EXPECT_EQ(all.at(name), dir);

    const auto fault = [&](const std::function<void()>& f) {
        try {
            f();
        } catch (const std::exception& e) {
            return std::string(e.what());
        }
        return std::string("no fault");
    };
    const std::string lscpu = (extra / "lacking" / "lscpu.txt").string();
    EXPECT_EQ(fault([&] { testing::Said("lacking", all); }), lscpu + ": No such file or directory");
    const std::string listing = (extra / "garbled" / "cpuid-r.txt").string();
    EXPECT_EQ(
        fault([&] { testing::CpuidRSections(testing::Said("garbled", all)); }).rfind(listing + ":2: ", 0),
        0u);
    const auto missing = testing::RecordedMachines({(extra / "none").string()});
    ASSERT_EQ(missing.size(), 1u);
    EXPECT_EQ(fault([&] { testing::Said(missing.begin()->first, missing); }),
              (extra / "none").string() + ": No such file or directory");
}

}  // namespace
}  // namespace talvex
