// The examples the documents show are run, and must print what the documents say. An example is a
// fenced block under a line `<!-- example: NAME=DUMP ... -->`: its first line is `$ talvex-report
// ...`, the rest what it prints, where a line of "..." stands for any lines. The command runs in a
// folder that holds each NAME as a copy of DUMP from tests/data/cpuid-dumps (a bare DUMP keeps its
// own name), so only replays of the repository's dumps run, and the result is the same anywhere.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "main/cli/cli_support.h"

namespace talvex {
namespace {

namespace fs = std::filesystem;

struct Example {
    int line = 0;                                            // of the marker
    std::vector<std::pair<std::string, std::string>> files;  // name in the command, dump it stands for
    std::string command;                                     // after "$ "
    std::vector<std::string> expected;
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string Trimmed(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
    return s;
}

// The marked examples of a document, or a failure naming the line where one is malformed.
std::vector<Example> MarkedExamples(const std::string& document) {
    const std::string marker = "<!-- example:";
    const std::vector<std::string> lines = Lines(testing::Slurp(document));
    std::vector<Example> examples;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].rfind(marker, 0) != 0) continue;
        Example e;
        e.line = static_cast<int>(i + 1);
        std::istringstream names(lines[i].substr(marker.size()));
        for (std::string word; names >> word && word != "-->";) {
            const size_t eq = word.find('=');
            e.files.emplace_back(word.substr(0, eq), eq == std::string::npos ? word : word.substr(eq + 1));
        }
        if (i + 2 >= lines.size() || lines[i + 1].rfind("```", 0) != 0
            || lines[i + 2].rfind("$ talvex-report ", 0) != 0) {
            ADD_FAILURE() << document << ":" << e.line << ": not followed by ``` and a $ talvex-report line";
            continue;
        }
        e.command = lines[i + 2].substr(2);
        for (i += 3; i < lines.size() && lines[i].rfind("```", 0) != 0; ++i) e.expected.push_back(lines[i]);
        examples.push_back(e);
    }
    return examples;
}

// A line of "..." (indented or not) stands for any run of lines.
bool IsElision(const std::string& line) {
    const size_t start = line.find_first_not_of(' ');
    return start != std::string::npos && Trimmed(line.substr(start)) == "...";
}

// Whether `got` from line `g` on is `expected` from line `e` on, blanks at line ends aside.
bool Matches(const std::vector<std::string>& expected, size_t e, const std::vector<std::string>& got,
             size_t g) {
    if (e == expected.size()) return g == got.size();
    if (IsElision(expected[e])) {
        for (size_t skip = g; skip <= got.size(); ++skip)
            if (Matches(expected, e + 1, got, skip)) return true;
        return false;
    }
    return g < got.size() && Trimmed(expected[e]) == Trimmed(got[g]) && Matches(expected, e + 1, got, g + 1);
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& l : lines) text += l + "\n";
    return text;
}

// Each document, and how many examples it marks: an example that loses its marker is caught too.
TEST(DocumentedExamples, PrintWhatTheDocumentsSay) {
    const struct {
        const char* document;
        size_t examples;
    } documents[] = {
        {"README.md", 1},
        {"docs/fleet.md", 1},
    };
    const fs::path tree = fs::path(TALVEX_TESTS_DIR).parent_path();
    for (const auto& d : documents) {
        const std::vector<Example> examples = MarkedExamples((tree / d.document).string());
        EXPECT_EQ(examples.size(), d.examples) << d.document;
        for (const Example& e : examples) {
            SCOPED_TRACE(std::string(d.document) + ":" + std::to_string(e.line) + ": " + e.command);
            const testing::TempDir dir;
            for (const auto& [name, dump] : e.files) {
                fs::create_directories((dir / name).parent_path());
                fs::copy_file(fs::path(TALVEX_DUMPS_DIR) / dump, dir / name);
            }
            const std::string out = (dir / ".out").string(), err = (dir / ".err").string();
            const std::string command = "cd '" + (dir / "").string() + "' && '" + TALVEX_REPORT_EXE + "'"
                                        + e.command.substr(std::string("talvex-report").size()) + " >'" + out
                                        + "' 2>'" + err + "'";
            ASSERT_NE(std::system(command.c_str()), -1);
            EXPECT_EQ(testing::Slurp(err), "");
            const std::vector<std::string> got = Lines(testing::Slurp(out));
            EXPECT_TRUE(Matches(e.expected, 0, got, 0)) << "the document says:\n"
                                                        << Joined(e.expected) << "talvex-report prints:\n"
                                                        << Joined(got);
        }
    }
}

}  // namespace
}  // namespace talvex
