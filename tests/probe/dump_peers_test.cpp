// The peers read what Talvex writes: `cpuid -f` (Debian package cpuid) the `cpuid -r` layout, and
// `cpuid_tool --load` (Debian package cpuidtool) the libcpuid arrays, for this machine's capture
// and for every processor of every real dump. A missing peer fails the test: CI installs both.
#include <gtest/gtest.h>

#include <sstream>

#include "probe/details/capture.h"
#include "probe/dump/dump_write.h"
#include "probe/platform/cpuid.h"
#include "support/capture_fakes.h"
#include "support/dumps.h"
#include "support/files.h"

namespace talvex {
namespace {

using testing::RunCommand;

// Every processor of every real dump, then this machine's, each as one text.
struct Sample {
    std::string name;
    std::vector<DumpProcessor> cpus;
};

std::vector<Sample> Samples() {
    std::vector<Sample> out;
    for (const std::string& name : testing::DumpNames())
        out.push_back({name, ReadDumpFile(testing::kDumps + "/" + name)});
    LinuxPlatform platform;
    const HardwareSource hardware;
    Sample live{"this machine", {}};
    for (ProcessorCapture& c : CaptureProcessors(platform, hardware, platform.ThreadAffinity()))
        if (c.status == PinStatus::Stayed) live.cpus.push_back(std::move(c.dump));
    out.push_back(std::move(live));
    return out;
}

// Writes `text` to a file of its own and runs `command` followed by the file's name and
// `redirect` (by default: standard error alone kept).
testing::Output RunOn(const std::string& text, const std::string& command,
                      const std::string& redirect = " 2>&1 >/dev/null") {
    const testing::TempDir dir;
    const std::string path = (dir / "dump").string();
    testing::Spill(path, text);
    return RunCommand(command + path + redirect);
}

TEST(DumpPeers, CpuidReadsTheCpuidRLayout) {
    if (RunCommand("command -v cpuid").status != 0) GTEST_SKIP() << "the Debian package cpuid is missing";
    for (const Sample& s : Samples()) {
        SCOPED_TRACE(s.name);
        const testing::Output out = RunOn(FormatCpuidRaw(s.cpus), "cpuid -f ");
        EXPECT_EQ(out.status, 0);
        EXPECT_EQ(out.text, "");  // it names any line it does not take
    }
}

// libcpuid also warns about what it decodes ("APIC ID are not supported"), as it does for the
// original files; only its complaints about lines count. The installed version may predate
// amd_fn80000026h, so those lines alone may be "not understood". Where it fails outright, it must
// fail the same on the original file: its own decoding fault (0.6.2 divides by zero on Zhaoxin).
TEST(DumpPeers, CpuidToolReadsTheLibcpuidArrays) {
    if (RunCommand("command -v cpuid_tool").status != 0)
        GTEST_SKIP() << "the Debian package cpuidtool is missing";
    for (const Sample& s : Samples()) {
        SCOPED_TRACE(s.name);
        const std::string text = FormatLibcpuid(s.cpus);
        const testing::Output out = RunOn(text, "cpuid_tool --report --load=");
        if (out.status != 0 && s.name != "this machine") {
            const std::string original = testing::kDumps + "/" + s.name;
            EXPECT_EQ(RunCommand("cpuid_tool --report --load=" + original + " >/dev/null 2>&1").status,
                      out.status);
            continue;
        }
        EXPECT_EQ(out.status, 0);
        std::istringstream lines(out.text);
        for (std::string line; std::getline(lines, line);) {
            if (line.find("not understood") != std::string::npos) {
                EXPECT_NE(line.find("'amd_fn80000026h["), std::string::npos) << line;
            }
        }
        // And it read the right registers: the vendor text of the first processor.
        const std::string vendor = VendorText(ReplaySource(s.cpus.at(0)).Execute(0, 0));
        const testing::Output report = RunOn(text, "cpuid_tool --quiet --vendorstr --load=", " 2>/dev/null");
        EXPECT_NE(report.text.find(vendor), std::string::npos) << report.text;
    }
}

}  // namespace
}  // namespace talvex
