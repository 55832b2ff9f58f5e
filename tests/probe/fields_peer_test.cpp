// The decoded fields against what others decode from the same registers: Debian's `cpuid -f` over every
// real dump (the numbers both define), and the kernel's /proc/cpuinfo on this machine and on the
// recorded ones (signature, address sizes, CLFLUSH line).
#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>

#include "probe/details/capture.h"
#include "probe/details/recorded_leaves.h"
#include "probe/platform/pinning.h"
#include "probe/platform/platform.h"
#include "support/dumps.h"
#include "support/machine_said.h"
#include "support/peer.h"
#include "support/proc_cpuinfo.h"

namespace talvex {
namespace {

using namespace testing;  // talvex::testing: the dumps and the peer's output

enum class Shown : uint8_t { Value, Raw };  // the peer's number is the quantity, or the bits as they are

// A number the peer prints ("label = 0x40 (64)") and the field it comes from. In a section of blocks
// ("--- cache 2 ---", "--- level 1 ---") the n-th block is sub-leaf n.
struct PeerField {
    const char* section;  // the start of the peer's heading
    const char* label;
    uint32_t leaf;
    uint8_t reg, high, low;
    Shown shown;
};

// clang-format off
constexpr PeerField kPeerFields[] = {
    // section                                              label                                    leaf        reg hi  lo  shown
    {"miscellaneous (1/ebx)",                               "CLFLUSH line size",                     0x00000001, 1, 15,  8, Shown::Raw},
    {"miscellaneous (1/ebx)",                               "process local APIC physical ID",        0x00000001, 1, 31, 24, Shown::Value},
    {"deterministic cache parameters (4)",                  "cache level",                           0x00000004, 0,  7,  5, Shown::Value},
    {"deterministic cache parameters (4)",                  "maximum IDs for CPUs sharing cache",    0x00000004, 0, 25, 14, Shown::Raw},
    {"deterministic cache parameters (4)",                  "maximum IDs for cores in pkg",          0x00000004, 0, 31, 26, Shown::Raw},
    {"deterministic cache parameters (4)",                  "system coherency line size",            0x00000004, 1, 11,  0, Shown::Value},
    {"deterministic cache parameters (4)",                  "physical line partitions",              0x00000004, 1, 21, 12, Shown::Value},
    {"deterministic cache parameters (4)",                  "ways of associativity",                 0x00000004, 1, 31, 22, Shown::Value},
    {"MONITOR/MWAIT (5)",                                   "smallest monitor-line size (bytes)",    0x00000005, 0, 15,  0, Shown::Value},
    {"MONITOR/MWAIT (5)",                                   "largest monitor-line size (bytes)",     0x00000005, 1, 15,  0, Shown::Value},
    {"Architecture Performance Monitoring Features (0xa)",  "version ID",                            0x0000000A, 0,  7,  0, Shown::Value},
    {"Architecture Performance Monitoring Features (0xa)",  "number of counters per logical processor", 0x0000000A, 0, 15, 8, Shown::Value},
    {"Architecture Performance Monitoring Features (0xa)",  "bit width of counter",                  0x0000000A, 0, 23, 16, Shown::Value},
    {"Architecture Performance Monitoring Features (0xa)",  "bit width of fixed counters",           0x0000000A, 3, 12,  5, Shown::Value},
    {"x2APIC features / processor topology (0xb)",          "bit width of level",                    0x0000000B, 0,  4,  0, Shown::Value},
    {"x2APIC features / processor topology (0xb)",          "number of logical processors at level", 0x0000000B, 1, 15,  0, Shown::Value},
    {"XSAVE features (0xd/0)",                              "bytes required by fields in XCR0",      0x0000000D, 1, 31,  0, Shown::Value},
    {"XSAVE features (0xd/0)",                              "bytes required by XSAVE/XRSTOR area",   0x0000000D, 2, 31,  0, Shown::Value},
    {"L1 data cache information (0x80000005/ecx)",          "size (KB)",                             0x80000005, 2, 31, 24, Shown::Value},
    {"L1 data cache information (0x80000005/ecx)",          "line size (bytes)",                     0x80000005, 2,  7,  0, Shown::Value},
    {"L1 instruction cache information (0x80000005/edx)",   "size (KB)",                             0x80000005, 3, 31, 24, Shown::Value},
    {"L2 unified cache information (0x80000006/ecx)",       "size (KB)",                             0x80000006, 2, 31, 16, Shown::Value},
    {"L2 unified cache information (0x80000006/ecx)",       "line size (bytes)",                     0x80000006, 2,  7,  0, Shown::Value},
    {"L3 cache information (0x80000006/edx)",               "size (in 512KB units)",                 0x80000006, 3, 31, 18, Shown::Raw},
    {"Physical Address and Linear Address Size (0x80000008/eax)", "maximum physical address bits",   0x80000008, 0,  7,  0, Shown::Value},
    {"Physical Address and Linear Address Size (0x80000008/eax)", "maximum linear (virtual) address bits", 0x80000008, 0, 15, 8, Shown::Value},
    {"Size Identifiers (0x80000008/ecx)",                   "number of threads",                     0x80000008, 2,  7,  0, Shown::Value},
    {"Size Identifiers (0x80000008/ecx)",                   "ApicIdCoreIdSize",                      0x80000008, 2, 15, 12, Shown::Value},
    {"Cache Properties (0x8000001d)",                       "level",                                 0x8000001D, 0,  7,  5, Shown::Value},
    {"Cache Properties (0x8000001d)",                       "line size in bytes",                    0x8000001D, 1, 11,  0, Shown::Value},
    {"Cache Properties (0x8000001d)",                       "number of ways",                        0x8000001D, 1, 31, 22, Shown::Value},
};
// clang-format on

// Every real dump: each number the peer prints for a field the table decodes is the same quantity.
TEST(FieldsAgainstThePeer, TheNumbersBothDecodeAgree) {
    if (!PeerPresent()) GTEST_SKIP() << kPeer << " is missing: apt-get install cpuid";
    size_t compared = 0;
    for (const std::string& file : DumpNames()) {
        SCOPED_TRACE(file);
        const std::string peer = PeerOutput(file);
        const std::vector<DecodedLeaf> leaves = DecodeRecordedLeaves(Normalized(file));
        for (const PeerField& p : kPeerFields) {
            uint32_t block = 0;
            bool blocks = false;
            for (const std::string& line : Section(peer, p.section)) {
                if (line.find(" --- ") != std::string::npos) {  // the next sub-leaf's block
                    block = blocks ? block + 1 : 0;
                    blocks = true;
                    continue;
                }
                const auto [key, value] = KeyValue(line);
                if (key != p.label || value.find('(') == std::string::npos) continue;
                for (const DecodedLeaf& l : leaves) {
                    if (l.leaf != p.leaf || l.subleaf != block || !l.decoded) continue;
                    for (const DecodedField& f : l.fields) {
                        if (f.row == nullptr || f.reg != p.reg || f.high != p.high || f.low != p.low)
                            continue;
                        const FieldReading r = ReadField(f);
                        const uint64_t ours = p.shown == Shown::Raw ? f.raw : r.number;
                        EXPECT_EQ(ours, InParentheses(value))
                            << std::hex << p.leaf << "/" << block << " " << p.label;
                        ++compared;
                    }
                }
            }
        }
    }
    if (compared == 0) GTEST_SKIP() << "the peer's labels are none this test knows: nothing compared";
    RecordProperty("compared", static_cast<int>(compared));
}

// The kernel's reading of the same leaves: on this machine (its own CPUID) and each recorded machine
// (its `cpuid -r`), family, model and stepping, the address sizes and the CLFLUSH line agree.
class FieldsAgainstTheKernel : public ::testing::TestWithParam<std::string> {};

TEST_P(FieldsAgainstTheKernel, SignatureAddressSizesAndLine) {
    const MachineSaid said = Said(GetParam());
    const auto blocks = ProcCpuinfoText(said.proc_cpuinfo);
    if (blocks.empty() || blocks.begin()->second.count("cpu family") == 0)
        GTEST_SKIP() << "no x86 /proc/cpuinfo";
    // This machine is captured here, through the hardware; a recorded one is read from its file.
    unsigned processor = 0;
    DumpProcessor record;
    if (said.live) {
        LinuxPlatform os;
        const HardwareSource hardware;
        processor = AllowedProcessors(os).Numbers().front();
        ProcessorCapture c = std::move(CaptureProcessors(os, hardware, {processor}).at(0));
        if (c.status != PinStatus::Stayed) GTEST_SKIP() << "cannot pin to processor " << processor;
        record = std::move(c.dump);
    } else {
        const auto sections = CpuidRSections(said);
        ASSERT_FALSE(sections.empty());
        std::tie(processor, record) = sections.front();
    }
    const auto block = blocks.find(processor);
    ASSERT_NE(block, blocks.end());
    const std::map<std::string, std::string>& kernel = block->second;

    std::map<std::pair<uint32_t, int>, uint64_t> value;  // (leaf, reg << 8 | low) -> the quantity
    for (const DecodedLeaf& l : DecodeRecordedLeaves(record))
        if (l.subleaf == 0)
            for (const DecodedField& f : l.fields)
                if (f.row != nullptr) value[{l.leaf, f.reg << 8 | f.low}] = ReadField(f).number;
    const auto field = [&](uint32_t leaf, int reg, int low) -> std::optional<uint64_t> {
        const auto it = value.find({leaf, reg << 8 | low});
        return it == value.end() ? std::nullopt : std::optional(it->second);
    };
    // The display family and model, as the vendors' documents form them from the four fields.
    const uint64_t base_family = field(1, 0, 8).value(), base_model = field(1, 0, 4).value();
    const uint64_t family = base_family == 0xF ? base_family + field(1, 0, 20).value() : base_family;
    const uint64_t model =
        base_family == 0xF || base_family == 6 ? field(1, 0, 16).value() << 4 | base_model : base_model;
    EXPECT_EQ(std::to_string(family), kernel.at("cpu family"));
    EXPECT_EQ(std::to_string(model), kernel.at("model"));
    EXPECT_EQ(std::to_string(field(1, 0, 0).value()), kernel.at("stepping"));
    EXPECT_EQ(std::to_string(field(1, 1, 8).value()), kernel.at("clflush size"));
    if (kernel.count("address sizes") && field(0x80000008, 0, 0)) {
        std::ostringstream sizes;
        sizes << *field(0x80000008, 0, 0) << " bits physical, " << *field(0x80000008, 0, 8)
              << " bits virtual";
        EXPECT_EQ(sizes.str(), kernel.at("address sizes"));
    }
}

INSTANTIATE_TEST_SUITE_P(Machines, FieldsAgainstTheKernel, ::testing::ValuesIn(MachineNames()),
                         [](const ::testing::TestParamInfo<std::string>& p) { return TestName(p.param); });

}  // namespace
}  // namespace talvex
