// The bit panel's rows against the feature list (Linux's names) over the recorded processors, and
// against what Linux itself shows on this machine and the recorded ones.
#include "probe/tables/flags.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <string_view>

#include "probe/details/details.h"
#include "probe/leaves/fields.h"
#include "probe/platform/platform.h"
#include "support/dumps.h"
#include "support/machine_said.h"
#include "support/pinned.h"
#include "support/proc_cpuinfo.h"

namespace talvex {
namespace {

bool Reserved(const TFlagName& name) { return std::string_view(name.long_name) == "Reserved"; }

// On every recorded processor, each bit of the five registers that the field table gives a name the
// details list has that name on the panel (its own or the table's), never "Reserved"; the panel reads
// fresh what the table decodes from the dump. The named bits set somewhere in the corpus are counted,
// so the check cannot pass over none.
TEST(FlagRows, NamedWhereTheFieldTableNamesTheBitOnEveryDump) {
    std::set<std::pair<FlagRegister, unsigned>> named_and_set;
    for (const std::string& file : testing::DumpNames()) {
        SCOPED_TRACE(file);
        const testing::Replayed cpu(file);
        const FieldContext context =
            ReadFieldContext([&](uint32_t leaf) { return cpu.source.Execute(leaf, 0); });
        for (const FlagRegisterInfo& info : kFlagRegisters) {
            const uint8_t reg = info.reads_ecx ? 2 : 3;
            const DecodedLeaf leaf = DecodeLeaf(context, info.leaf, 0, cpu.source.Execute(info.leaf, 0));
            if (!leaf.decoded) continue;
            const uint32_t value = ReadFlagRegister(cpu.probe, info.id);
            EXPECT_EQ(value, reg == 2 ? leaf.regs.ECX : leaf.regs.EDX) << info.entry_text;
            for (const DecodedField& f : leaf.fields) {
                if (f.reg != reg || f.row == nullptr || f.row->feature < 0 || !ListsItsName(f.row->feature))
                    continue;
                const TFlagName& row = (*info.names)[f.low];
                EXPECT_FALSE(Reserved(row))
                    << info.entry_text << " bit " << int(f.low) << " (" << FieldName(f) << ")";
                EXPECT_NE(row.short_name[0], '\0') << info.entry_text << " bit " << int(f.low);
                EXPECT_EQ(FlagFeatureName(info.id, f.low), FieldName(f));
                if (f.raw != 0) named_and_set.emplace(info.id, f.low);
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
