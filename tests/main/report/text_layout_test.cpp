// The one layout of the text outputs: rows within 100 columns, broken between a list's items before
// anywhere else, and the details' kernel verdicts laid out by it.
#include "main/report/text_layout.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "main/report/details_text.h"
#include "support/dumps.h"

namespace talvex {
namespace {

const std::string k60(60, 'x');
const std::string k90(90, 'y');
const std::string k120(120, 'z');

TEST(TextLayout, RowsBreakBetweenItemsFirst) {
    struct Case {
        const char* what;
        std::string lead;
        std::string text;
        size_t indent;
        std::string rows;
    } cases[] = {
        {"fits", "Key  ", "a, b; c", 5, "Key  a, b; c\n"},
        {"after the last item that fits, not between the words of one", "",
         k60 + "; aa bb cc dd ee ff gg hh ii jj kk ll mm nn", 4,
         k60 + ";\n    aa bb cc dd ee ff gg hh ii jj kk ll mm nn\n"},
        {"one item wider than a row: between its words", "  ", k60 + " " + k60, 2,
         "  " + k60 + "\n  " + k60 + "\n"},
        {"an item wider than a row starts on the row before", "", "aa, b " + k90 + " cccccccccc, d", 0,
         "aa, b " + k90 + "\ncccccccccc, d\n"},
        {"a word wider than a row stays whole", "", "a " + k120 + " b", 0, "a\n" + k120 + "\nb\n"},
        {"a character is a column, whatever its bytes", "",
         std::string(48, 'x') + " \xC3\x97 " + std::string(49, 'x'), 0,
         std::string(48, 'x') + " \xC3\x97 " + std::string(49, 'x') + "\n"},
        {"blanks inside a row kept, at a break dropped", "", "a   b" + std::string(96, ' ') + "c", 1,
         "a   b\n c\n"},
        {"nothing to break at", "", k120, 0, k120 + "\n"},
        {"empty", "Key  ", "", 5, "Key  \n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string out;
        Wrapped(out, c.lead, c.text, c.indent);
        EXPECT_EQ(out, c.rows);
    }
}

TEST(TextLayout, KeysInTheirColumnAndCounts) {
    EXPECT_EQ(Pad("Brand", 8), "Brand   ");
    EXPECT_EQ(Pad("Logical per package", 20), "Logical per package  ");
    EXPECT_EQ(Plural(1, "way", "ways"), "1 way");
    EXPECT_EQ(Plural(0, "way", "ways"), "0 ways");
}

// The kernel's verdicts as Linux words them: a long one breaks at its "; " within the row, and no row
// of the details passes 100 columns.
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
