// The bit panel's rows against the feature list (Linux's names) over the recorded processors, and
// against what Linux itself shows on this machine and the recorded ones.
#include "probe/tables/flags.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <string_view>

#include "probe/details/details.h"
#include "probe/platform/platform.h"
#include "support/dumps.h"
#include "support/machine_said.h"
#include "support/pinned.h"
#include "support/proc_cpuinfo.h"

namespace talvex {
namespace {

// The feature list's register of a flag register: the same leaf, sub-leaf 0, the register read.
size_t FeatureGroup(const FlagRegisterInfo& info) {
    const FeatureReg reg = info.reads_ecx ? FeatureReg::ECX : FeatureReg::EDX;
    for (size_t g = 0; g < kFeatureRegisters.size(); ++g)
        if (kFeatureRegisters[g].leaf == info.leaf && kFeatureRegisters[g].subleaf == 0
            && kFeatureRegisters[g].reg == reg)
            return g;
    ADD_FAILURE() << info.entry_text << ": not in the feature list";
    return 0;
}

bool Reserved(const TFlagName& name) { return std::string_view(name.long_name) == "Reserved"; }

// On every recorded processor the panel (fresh queries) and the details (one capture) read the same
// five registers, and every bit the feature list names in them has a name on the panel. The rows the
// list names, set somewhere in the corpus, are counted, so the check cannot pass over none.
TEST(FlagRows, NamedWhereTheFeatureListNamesTheBitOnEveryDump) {
    std::set<std::pair<FlagRegister, unsigned>> named_and_set;
    for (const std::string& file : testing::DumpNames()) {
        SCOPED_TRACE(file);
        const testing::Replayed cpu(file);
        const ProcessorDetails d = GetProcessorDetails(cpu.probe);
        for (const FlagRegisterInfo& info : kFlagRegisters) {
            const uint32_t value = ReadFlagRegister(cpu.probe, info.id);
            const size_t group = FeatureGroup(info);
            EXPECT_EQ(value, d.feature_registers[group]) << info.entry_text;
            for (const FeatureName& f : kFeatureNames) {
                if (f.group != group) continue;
                const TFlagName& row = (*info.names)[f.bit];
                EXPECT_FALSE(Reserved(row))
                    << info.entry_text << " bit " << int(f.bit) << " (" << f.name.view() << ")";
                EXPECT_NE(row.short_name[0], '\0') << info.entry_text << " bit " << int(f.bit);
                EXPECT_EQ(FlagFeatureName(info.id, f.bit), f.name.view());
                if (BitSet(value, f.bit)) named_and_set.emplace(info.id, f.bit);
            }
        }
    }
    // SSSE3 to RDRAND, the hypervisor bit, NX, RDTSCP and 1 GB pages, VIA's PadLock units.
    EXPECT_GE(named_and_set.size(), 60u);
}

// Every flag Linux shows that lies in one of the five registers is a named row showing YES, on this
// machine (queried through the hardware) and on each recorded machine (its `cpuid -r`).
class MachineFlags : public ::testing::TestWithParam<std::string> {};

TEST_P(MachineFlags, EveryFlagLinuxShowsIsANamedSetRow) {
    const testing::MachineSaid said = testing::Said(GetParam());
    const auto blocks = testing::ProcCpuinfoText(said.proc_cpuinfo);
    if (blocks.empty() || blocks.begin()->second.count("flags") == 0) GTEST_SKIP() << "no x86 /proc/cpuinfo";
    LinuxPlatform os;
    const HardwareSource hardware;
    std::optional<testing::PinnedThread> pin;
    std::optional<ReplaySource> replay;
    unsigned processor = 0;
    if (said.live) {
        pin.emplace(os);
        if (!pin->pinned()) GTEST_SKIP() << "cannot pin";
        processor = pin->allowed().front();
    } else {
        const auto sections = testing::CpuidRSections(said);
        ASSERT_FALSE(sections.empty());
        processor = sections.front().first;
        replay.emplace(sections.front().second);
    }
    const Probe probe{replay ? static_cast<const RegisterSource&>(*replay) : hardware, os};
    const auto block = blocks.find(processor);
    ASSERT_NE(block, blocks.end());
    std::set<std::string> shown;
    std::istringstream words(block->second.at("flags"));
    for (std::string w; words >> w;) shown.insert(w);

    size_t checked = 0;
    for (const FlagRegisterInfo& info : kFlagRegisters) {
        const uint32_t value = ReadFlagRegister(probe, info.id);
        for (unsigned bit = 0; bit < 32; ++bit) {
            const std::string linux_name(FlagFeatureName(info.id, bit));
            // Xen's paravirtual guests mark themselves as on a hypervisor whatever CPUID says.
            if (linux_name.empty() || shown.count(linux_name) == 0 || linux_name == "hypervisor") continue;
            const TFlagName& row = (*info.names)[bit];
            EXPECT_FALSE(Reserved(row)) << linux_name;
            EXPECT_TRUE(BitSet(value, bit))
                << info.entry_text << " bit " << bit << ": Linux shows " << linux_name;
            ++checked;
        }
    }
    EXPECT_GE(checked, 5u);  // every x86-64 kernel shows at least sse3 (pni), cx16, lm, nx, syscall
}

INSTANTIATE_TEST_SUITE_P(Machines, MachineFlags, ::testing::ValuesIn(testing::MachineNames()),
                         [](const ::testing::TestParamInfo<std::string>& p) {
                             std::string n = p.param;
                             for (char& c : n)
                                 if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                             return n;
                         });

}  // namespace
}  // namespace talvex
