// The live processor, read through the hardware source, against what the kernel says of it.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "probe/platform/cpuid.h"
#include "support/pinned.h"
#include "support/proc_cpuinfo.h"

namespace talvex {
namespace {

// The first processor this process may run on, and its block of /proc/cpuinfo.
TEST(LiveProcessor, ReadCPUIDAgreesWithProcCpuinfo) {
    LinuxPlatform os;
    const testing::PinnedThread pin(os);
    const std::vector<unsigned>& allowed = pin.allowed();
    ASSERT_FALSE(allowed.empty());
    const auto blocks = testing::ProcCpuinfo();
    const auto block = blocks.find(allowed[0]);
    auto info = block == blocks.end() ? std::map<std::string, std::string>{} : block->second;
    if (info["vendor_id"].empty()) GTEST_SKIP() << "no x86 /proc/cpuinfo";

    HardwareSource source;
    ASSERT_TRUE(pin.pinned());
    const Probe probe{source, os};

    EXPECT_EQ(QueryVendorText(probe), info["vendor_id"]);
    TCPUIDRegs r;
    ASSERT_EQ(ReadCPUID(probe, 1, r), kCPUIDOk);
    const uint32_t family = SigFamily(r.EAX);
    const uint32_t shown_family = family == 15 ? family + SigExtFamily(r.EAX) : family;
    const uint32_t shown_model =
        family == 6 || family == 15 ? SigExtModel(r.EAX) << 4 | SigModel(r.EAX) : SigModel(r.EAX);
    EXPECT_EQ(std::to_string(shown_family), info["cpu family"]);
    EXPECT_EQ(std::to_string(shown_model), info["model"]);
    EXPECT_EQ(std::to_string(SigStepping(r.EAX)), info["stepping"]);

    std::set<std::string> flags;
    std::istringstream words(info["flags"]);
    for (std::string w; words >> w;) flags.insert(w);
    const struct {
        const char* name;
        unsigned bit;
    } edx_flags[] = {{"fpu", 0},  {"tsc", 4},  {"cx8", 8},   {"cmov", 15},
                     {"mmx", 23}, {"sse", 25}, {"sse2", 26}, {"ht", 28}};
    for (const auto& f : edx_flags) EXPECT_EQ(flags.count(f.name) == 1, BitSet(r.EDX, f.bit)) << f.name;
}

}  // namespace
}  // namespace talvex
