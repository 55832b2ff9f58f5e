// What the loader must do before talvex-report's first instruction, counted rather than timed: the
// libraries it maps and the pointers it relocates. Either creeping back (a maths function bringing
// libm, a constexpr table of pointers) costs every replay a measurable share of its start-up.
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>

#include "support/files.h"

namespace talvex {
namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_UNDEFINED__)
constexpr bool kSanitized = true;  // the sanitizer runtimes are shared libraries of their own
#else
constexpr bool kSanitized = false;
#endif

std::string ReadElf(const std::string& option) {
    return testing::RunCommand("readelf " + option + " '" + TALVEX_REPORT_EXE + "' 2>/dev/null").text;
}

TEST(StartUp, NeedsOnlyTheCLibraryAndTheLoader) {
    if (kSanitized) GTEST_SKIP() << "sanitized build";
    const std::string dynamic = ReadElf("-dW");
    if (dynamic.empty()) GTEST_SKIP() << "readelf is not installed";
    const std::set<std::string> allowed = {"libc.so.6", "ld-linux-x86-64.so.2", "ld-linux.so.2"};
    const std::regex needed(R"(\(NEEDED\)\s+Shared library: \[([^\]]+)\])");
    for (std::sregex_iterator it(dynamic.begin(), dynamic.end(), needed), end; it != end; ++it)
        EXPECT_TRUE(allowed.count((*it)[1])) << (*it)[1];
}

// Today about 1,000, two thirds of them the C++ runtime's own; the tables of names held pointers
// to 2,200 more.
TEST(StartUp, RelocatesFewPointers) {
    if (kSanitized) GTEST_SKIP() << "sanitized build";
    const std::string relocations = ReadElf("-rW");
    if (relocations.empty()) GTEST_SKIP() << "readelf is not installed";
    size_t count = 0;
    // Packed (".relr.dyn ... contains N entries:\n  M offsets"), or one line a relocation.
    const std::regex packed(R"(\n\s*(\d+) offsets\n)");
    for (std::sregex_iterator it(relocations.begin(), relocations.end(), packed), end; it != end; ++it)
        count += std::stoul((*it)[1]);
    for (size_t at = 0; (at = relocations.find("_RELATIVE", at)) != std::string::npos; ++at) ++count;
    EXPECT_LT(count, 1500u);
}

}  // namespace
}  // namespace talvex
