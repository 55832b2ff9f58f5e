#include "version/version.h"

#include "version/build_version.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace talvex {
namespace {

TEST(ParseVersionTextTest, WellFormedTexts) {
    struct Case {
        std::string text;
        uint32_t major, minor, release, build;
    } cases[] = {
        {"0.3.11.63", 0, 3, 11, 63},
        {"1..2.3.4", 1, 2, 3, 4},     // empty piece dropped
        {".1.2.3.4.", 1, 2, 3, 4},    // points at either end
        {"1.2.3.4.5", 1, 2, 3, 4},    // fifth piece ignored
        {"1.2.3.4.x", 1, 2, 3, 4},    // even when it is not a number
        {"1.2.3.4\r\n", 1, 2, 3, 4},  // a line end ends a piece
        {"1.2\n3.4", 1, 2, 3, 4},
        {"007.0.0.0010", 7, 0, 0, 10},
        {"4294967295.0.0.4294967295", 4294967295u, 0, 0, 4294967295u},
    };
    for (const Case& c : cases) {
        const TVersion v = ParseVersionText(c.text);
        EXPECT_EQ(v.Major, c.major) << c.text;
        EXPECT_EQ(v.Minor, c.minor) << c.text;
        EXPECT_EQ(v.Release, c.release) << c.text;
        EXPECT_EQ(v.Build, c.build) << c.text;
        EXPECT_EQ(v.Text, c.text);  // the whole text, points and all
    }
}

TEST(ParseVersionTextTest, MalformedTextsAreRefused) {
    const char* cases[] = {
        "",                   // no pieces
        "1.2.3",              // three pieces
        "1...2.3",            // three after dropping the empty ones
        "1.x.3.4",            // not a number
        "1.-2.3.4",           // negative
        "1.+2.3.4",           // a sign is not a digit
        "1. 2.3.4",           // no trimming
        "1.2.3.99999999999",  // beyond 32 bits
        "1.2.3.4294967296",   // just beyond
        "4294967295",         // a single piece
    };
    for (const char* text : cases) {
        EXPECT_THROW(ParseVersionText(text), std::runtime_error) << '"' << text << '"';
    }
}

TEST(ReadVersionInfoTest, FillsProgramVersionWithTheBuiltInVersion) {
    EXPECT_EQ(ProgramVersion.Text, "");
    EXPECT_EQ(ProgramVersion.Build, 0u);
    ReadVersionInfo();
    EXPECT_EQ(ProgramVersion.Text, kBuildVersionText);
    // The project's version is four plain numbers, so they print back as its text.
    const std::string joined =
        std::to_string(ProgramVersion.Major) + "." + std::to_string(ProgramVersion.Minor) + "."
        + std::to_string(ProgramVersion.Release) + "." + std::to_string(ProgramVersion.Build);
    EXPECT_EQ(joined, kBuildVersionText);
}

}  // namespace
}  // namespace talvex
