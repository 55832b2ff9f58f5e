// The one layout of the text outputs: rows within 100 columns, broken between a list's items before
// anywhere else, and the details' kernel verdicts laid out by it.
#include "main/report/text_layout.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "main/report/details_text.h"
#include "support/dumps.h"

namespace talvex {
namespace {

TEST(TextLayout, RowsBreakBetweenItemsFirst) {
    const std::string x(48, 'x'), y(90, 'y'), z(120, 'z');
    struct Case {
        const char* what;
        std::string text;
        std::string rows;  // each after the first indented by 2
    } cases[] = {
        {"after the last item that fits, not inside one", x + x + "; aa bb cc", x + x + ";\n  aa bb cc\n"},
        {"an item wider than a row starts on the row before", "aa, b " + y + " cccccc, d",
         "aa, b " + y + "\n  cccccc, d\n"},
        {"a word wider than a row stays whole", "a " + z + " b", "a\n  " + z + "\n  b\n"},
        {"a character is a column, whatever its bytes", x + " \xC3\x97 " + x + "x",
         x + " \xC3\x97 " + x + "x\n"},
    };
    for (const Case& c : cases) {
        std::string out;
        Wrapped(out, "", c.text, 2);
        EXPECT_EQ(out, c.rows) << c.what;
    }
}

// The kernel's verdicts as Linux words them: each row within 100 columns, broken at a "; ".
TEST(TextLayout, KernelVerdictsWrapWithinTheRow) {
    std::vector<ProcessorDetails> one = {
        GetRecordedDetails({ReadDumpFile(testing::kDumps + "/intel-core-i7-4770-haswell.txt").at(0)}, {0})};
    one[0].vulnerabilities = std::make_shared<const std::vector<Vulnerability>>(std::vector<Vulnerability>{
        {"mmio_stale_data", "Vulnerable: Clear CPU buffers attempted, no microcode; SMT Host state unknown"},
        {"spectre_v2",
         "Mitigation: Retpolines; STIBP: disabled; RSB filling; PBRSB-eIBRS: Not affected; BHI: Not "
         "affected"},
    });
    const std::string text = DetailsText(one);
    EXPECT_THAT(text, ::testing::HasSubstr("attempted, no microcode;\n"));
    EXPECT_THAT(text, ::testing::HasSubstr("STIBP: disabled; RSB filling;\n"));
    std::istringstream rows(text);
    for (std::string row; std::getline(rows, row);) EXPECT_LE(row.size(), kWrapColumn) << row;
}

}  // namespace
}  // namespace talvex
