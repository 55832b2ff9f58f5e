// talvex-report --leaves as a user runs it: every processor of a dump, each leaf's registers, one field a
// line in columns that line up.
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

}  // namespace
}  // namespace talvex
