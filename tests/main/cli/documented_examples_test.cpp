// The examples the documents show are run, and must print what the documents say. An example is a
// fenced block under a line `<!-- example: NAME=DUMP ... -->`: its first line is `$ talvex-report
// ...`, the rest what it prints, where a line of "..." stands for any lines. The command runs in a
// folder that holds each NAME as a copy of DUMP from tests/data/cpuid-dumps (a bare DUMP keeps its
// own name), so only replays of the repository's dumps run, and the result is the same anywhere.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "main/cli/cli_support.h"

namespace talvex {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        while (!line.empty() && line.back() == ' ') line.pop_back();  // blanks at line ends aside
        lines.push_back(line);
    }
    return lines;
}

// Whether `got` from line `g` on is `expected` from line `e` on.
bool Matches(const std::vector<std::string>& expected, size_t e, const std::vector<std::string>& got,
             size_t g) {
    if (e == expected.size()) return g == got.size();
    const size_t text = expected[e].find_first_not_of(' ');
    if (text != std::string::npos && expected[e].substr(text) == "...") {
        for (size_t skip = g; skip <= got.size(); ++skip)
            if (Matches(expected, e + 1, got, skip)) return true;
        return false;
    }
    return g < got.size() && expected[e] == got[g] && Matches(expected, e + 1, got, g + 1);
}

// Each document, and how many examples it marks: an example that loses its marker is caught too.
TEST(DocumentedExamples, PrintWhatTheDocumentsSay) {
    const std::pair<const char*, size_t> documents[] = {{"README.md", 1}, {"docs/fleet.md", 1}};
    const std::string marker = "<!-- example:";
    for (const auto& [document, count] : documents) {
        const std::vector<std::string> lines =
            Lines(testing::Slurp(fs::path(TALVEX_TESTS_DIR).parent_path() / document));
        size_t examples = 0;
        for (size_t i = 0; i < lines.size(); ++i) {
            if (!lines[i].starts_with(marker)) continue;
            SCOPED_TRACE(std::string(document) + ":" + std::to_string(i + 1));
            ++examples;
            ASSERT_LT(i + 2, lines.size());
            ASSERT_TRUE(lines[i + 1].starts_with("```") && lines[i + 2].starts_with("$ talvex-report "));
            const testing::TempDir dir;
            std::istringstream names(lines[i].substr(marker.size()));
            for (std::string word; names >> word && word != "-->";) {
                const size_t eq = word.find('=');
                fs::create_directories((dir / word.substr(0, eq)).parent_path());
                fs::copy_file(fs::path(TALVEX_DUMPS_DIR) / word.substr(eq == std::string::npos ? 0 : eq + 1),
                              dir / word.substr(0, eq));
            }
            std::vector<std::string> expected;
            for (size_t k = i + 3; k < lines.size() && !lines[k].starts_with("```"); ++k)
                expected.push_back(lines[k]);
            const std::string args = lines[i + 2].substr(std::string("$ talvex-report").size());
            const std::string command =
                "cd '" + (dir / "").string() + "' && '" + TALVEX_REPORT_EXE + "'" + args + " >.out 2>.err";
            ASSERT_NE(std::system(command.c_str()), -1);
            EXPECT_EQ(testing::Slurp(dir / ".err"), "");
            const std::string out = testing::Slurp(dir / ".out");
            EXPECT_TRUE(Matches(expected, 0, Lines(out), 0)) << lines[i + 2] << "\nprints:\n"
                                                             << out << "where the document says otherwise";
        }
        EXPECT_EQ(examples, count) << document;
    }
}

}  // namespace
}  // namespace talvex
