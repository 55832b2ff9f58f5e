// talvex-report --leaves as a user runs it: every processor of a dump, each leaf's registers, one field a
// line in columns that line up; a leaf a dump holds above its range's top is listed, not decoded.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "main/cli/cli_support.h"
#include "support/dumps.h"

namespace talvex {
namespace {

using testing::Exec;

const std::string kAlderLake = std::string(TALVEX_DUMPS_DIR) + "/intel-core-i9-12900k-alder-lake.txt";

TEST(LeavesCli, EveryProcessorEveryLeafOneFieldALine) {
    const testing::Result r = Exec({"--leaves", "--replay", kAlderLake, "--cpu", "all"});
    ASSERT_EQ(r.status, 0) << r.err;
    static const std::regex heading("Processor [0-9]+");
    static const std::regex registers(
        "0x[0-9A-F]{8}/[0-9]+ +EAX=0x[0-9A-F]{8} EBX=0x[0-9A-F]{8} "
        "ECX=0x[0-9A-F]{8} EDX=0x[0-9A-F]{8}( +\\(.*\\))?");
    static const std::regex field("(0x[0-9A-F]{8}/[0-9]+ +)(E[A-D]X\\[[0-9]+(:[0-9]+)?\\] +)([^ ].*)");
    std::istringstream lines(r.out);
    size_t processors = 0, fields = 0, name_column = 0;
    bool ways = false;
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        if (line.empty() || std::regex_match(line, registers)) continue;
        if (std::regex_match(line, heading)) {
            ++processors;
            continue;
        }
        ASSERT_TRUE(std::regex_match(line, m, field)) << line;
        const size_t column = static_cast<size_t>(m.length(1) + m.length(2));
        if (name_column == 0) name_column = column;
        EXPECT_EQ(column, name_column) << line;
        ++fields;
        // The L1 instruction cache of a Golden Cove core: EBX[31:22] holds 7, ways minus one.
        if (line.starts_with("0x00000004/1 ") && line.find("EBX[31:22]") != std::string::npos) {
            EXPECT_THAT(line, ::testing::MatchesRegex(".*ways of associativity +8"));
            ways = true;
        }
    }
    EXPECT_EQ(processors, 24u);
    EXPECT_GT(fields, 24u * 500);
    EXPECT_TRUE(ways);
}

TEST(LeavesCli, ALeafAboveItsRangesTopIsListedNotDecoded) {
    const testing::TempDir dir;
    const std::string dump = (dir / "short.txt").string();
    testing::Spill(dump,
                   "CPU 0:\n"
                   "   0x00000000 0x00: eax=0x00000001 ebx=0x756e6547 ecx=0x6c65746e edx=0x49656e69\n"
                   "   0x00000001 0x00: eax=0x00000633 ebx=0x00000000 ecx=0x00000000 edx=0x00000001\n"
                   "   0x00000004 0x00: eax=0x00000121 ebx=0x01c0003f ecx=0x0000003f edx=0x00000000\n");
    const testing::Result r = Exec({"--leaves", "--replay", dump});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(std::regex_search(r.out, std::regex("\n0x00000001/0 +EDX\\[0\\] +fpu +yes\n"))) << r.out;
    EXPECT_THAT(r.out, ::testing::HasSubstr("EDX=0x00000000  (beyond the top of its range: not decoded)\n"));
    EXPECT_THAT(r.out, ::testing::Not(::testing::HasSubstr("0x00000004/0  EAX[")));
}

TEST(LeavesCli, GoesWithTextOrJsonOnly) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--leaves", "--details"}, {"--leaves", "--format", "cpuid-r"}, {"--leaves", "--measure"}}) {
        const testing::Result r = Exec(args);
        EXPECT_EQ(r.status, 2) << args[1];
        EXPECT_TRUE(r.out.empty());
    }
}

}  // namespace
}  // namespace talvex
