// Reports of real processors, replayed from their dumps, against reports checked by hand.
// Set TALVEX_UPDATE_GOLDEN=1 to rewrite the expected files (then check every changed line).

#include "main/report/report.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "support/dumps.h"
#include "support/files.h"

namespace talvex {
namespace {

const std::string kGoldenDir = std::string(TALVEX_TESTS_DIR) + "/main/report/golden/";

// The report with its lines ended by "\n" (the files are plain text) and the clock line left
// out; fails when a line does not end in "\r\n".
std::string Comparable(const std::string& report) {
    std::string text;
    size_t line = 0;
    for (size_t start = 0; start < report.size(); ++line) {
        const size_t end = report.find("\r\n", start);
        if (end == std::string::npos) {
            ADD_FAILURE() << "line " << line + 1 << " does not end in CR LF";
            break;
        }
        const std::string_view content(report.data() + start, end - start);
        EXPECT_EQ(content.find_first_of("\r\n"), std::string_view::npos) << "line " << line + 1;
        if (line != 1) {
            text += content;
            text += '\n';
        }
        start = end + 2;
    }
    return text;
}

std::string UnifiedDiff(const std::string& expected_path, const std::string& actual) {
    const testing::TempDir dir;
    const std::string actual_path = (dir / "actual.txt").string();
    testing::Spill(actual_path, actual);
    const std::string diff =
        testing::RunCommand("diff -u '" + expected_path + "' '" + actual_path + "'").text;
    return diff.empty() ? actual : diff;
}

class GoldenReportTest : public ::testing::TestWithParam<const char*> {};

TEST_P(GoldenReportTest, MatchesTheCheckedReport) {
    const std::string name = GetParam();
    std::string report;
    BuildReport(testing::Replayed(name + ".txt").probe, report, ".");

    // Replayed, the clock is not measured: the line is there, and always the same.
    ASSERT_NE(report.find("\r\nClock: .000MHz\r\n"), std::string::npos);
    const std::string actual = Comparable(report);
    const std::string path = kGoldenDir + name + ".txt";
    if (std::getenv("TALVEX_UPDATE_GOLDEN")) {
        std::ofstream(path, std::ios::binary) << actual;
        GTEST_SKIP() << "rewrote " << path;
    }
    const std::string expected = testing::Slurp(path);
    ASSERT_FALSE(expected.empty()) << "missing " << path;
    EXPECT_TRUE(actual == expected) << UnifiedDiff(path, actual);
}

INSTANTIATE_TEST_SUITE_P(Dumps, GoldenReportTest,
                         ::testing::Values("intel-pentium-4-northwood-2.80", "intel-pentium-iii-katmai",
                                           "intel-core-i7-8700k-coffee-lake", "amd-athlon-xp-palomino",
                                           "amd-k6-2-chomper", "amd-ryzen-7-7700x-raphael",
                                           "via-c3-nehemiah"),
                         [](const ::testing::TestParamInfo<const char*>& param) {
                             std::string n = param.param;
                             for (char& c : n)
                                 if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                             return n;
                         });

}  // namespace
}  // namespace talvex
