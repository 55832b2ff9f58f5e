// --compare and --baseline as a user runs them: what each prints and its exit status, diff's way for
// a comparison; an input that cannot be read stops the run naming it and its place among the inputs.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "main/cli/cli_support.h"

namespace talvex {
namespace {

using testing::Exec;
using ::testing::HasSubstr;
using testing::Result;
using ::testing::StartsWith;

const std::string kZen3 = std::string(TALVEX_DUMPS_DIR) + "/amd-ryzen-9-5950x-vermeer.txt";
const std::string kZen4 = std::string(TALVEX_DUMPS_DIR) + "/amd-ryzen-7-7700x-raphael.txt";
const std::string kOne = std::string(TALVEX_DUMPS_DIR) + "/intel-pentium-iii-katmai.txt";
const std::string kHaswell = std::string(TALVEX_DUMPS_DIR) + "/intel-core-i7-4770-haswell.txt";
const std::string kAlderLake = std::string(TALVEX_DUMPS_DIR) + "/intel-core-i9-12900k-alder-lake.txt";

TEST(FleetCli, RunsAndTheirStatus) {
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string out;  // standard output holds this
        std::string err;  // the first line of standard error holds this
    } cases[] = {
        {{"--compare", kZen3, kZen3},
         0,
         "No differences between " + kZen3 + ", processor 1 and " + kZen3 + ", processor 1\n",
         ""},
        {{"--compare", kZen3, kZen4},
         1,
         "x86-64 level         A  3 (x86-64-v3)\n                     B  4 (x86-64-v4)\n",
         ""},
        {{"--compare", kZen3, kZen4, "--format", "json"}, 1, "\"x86_64Level\": {\"a\": 3, \"b\": 4}", ""},
        {{"--compare", kZen4, "-", "--cpu", "1"}, 1, "B  stdin, processor 1\n", ""},
        // Intel's one bit for IBRS and IBPB is named once.
        {{"--compare", kHaswell, kAlderLake}, 1, " ibt spec_ctrl intel_stibp ", ""},
        {{"--baseline", kZen4, kZen3, kZen4},
         0,
         "x86-64 level         3 (x86-64-v3), held back by 1 machine\n",
         ""},
        {{"--baseline", "--format=json", "--", kZen3}, 0, "\"x86_64Level\": 3,", ""},
        {{"--baseline", kZen3, "--gcc", "/nonexistent/gcc"},
         0,
         "not checked: cannot run /nonexistent/gcc: No such file or directory\n",
         ""},
        {{"--compare", kZen3, "/nonexistent/b.txt"},
         2,
         "",
         "/nonexistent/b.txt: No such file or directory (input 2 of 2)"},
        {{"--baseline", kZen3, kZen4, "/dev/null"}, 2, "", "/dev/null:1: empty file (input 3 of 3)"},
        {{"--baseline", kZen3, kOne, "--cpu", "2"},
         2,
         "",
         kOne + ": no processor 2; the dump holds 1 processor (input 2 of 2)"},
        // Standard input is read once, however often it is named.
        {{"--compare", "-", "-"},
         0,
         "No differences between stdin, processor 1 and stdin, processor 1\n",
         ""},
        {{"--baseline", "-", kZen4, "-", "--format", "json"}, 0, "\"machines\": [\"stdin\", \"" + kZen4, ""},
        {{"--compare", "--", kZen3, "-"}, 0, "No differences between ", ""},
        {{"--compare", "--format", "json", kZen3, kZen4}, 1, "\"same\": false,", ""},
        {{"--compare", kZen3, kZen4, kZen3}, 2, "", "--compare takes two inputs, not 3"},
        // A compiler that says nothing has not checked anything.
        {{"--baseline", kZen3, "--gcc", "true"},
         0,
         "not checked: true -Q --help=target printed no option list\n",
         ""},
        {{"--baseline", kZen3, "--gcc", "true", "--format", "json"}, 0, "\"checked\": false,", ""},
        {{"--baseline"}, 2, "", "--baseline needs at least one input"},
        {{"--compare", kZen3}, 2, "", "--compare takes two inputs, not 1"},
        {{"--compare"}, 2, "", "--compare needs two inputs"},
        {{"--compare", kZen3, kZen4, "--details"}, 2, "", "--compare takes inputs of its own"},
        {{"--baseline", kZen3, "--cpu", "all"}, 2, "", "--baseline takes inputs of its own"},
        {{"--compare", kZen3, kZen4, "--baseline", kZen3}, 2, "", "--compare and --baseline go separately"},
        {{"--gcc", "gcc"}, 2, "", "--gcc goes with --baseline"},
        {{kZen3}, 2, "", "unknown argument '" + kZen3 + "'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        const Result r = Exec(c.args, testing::Slurp(kZen3));
        EXPECT_EQ(r.status, c.status);
        EXPECT_THAT(r.out, HasSubstr(c.out));
        if (c.status == 2) {
            EXPECT_EQ(r.out, "");
            EXPECT_THAT(r.err.substr(0, r.err.find('\n')), StartsWith("talvex-report: " + c.err));
        } else {
            EXPECT_EQ(r.err, "");
        }
    }
}

// --baseline names each input once, by the number its lists give it, and keeps those lists in one
// column within 100 columns, whatever the lengths of the names.
TEST(FleetCli, BaselineNamesEachInputOnce) {
    const Result r = Exec({"--baseline", kAlderLake, kHaswell, kZen4, "--gcc", "/nonexistent/gcc"});
    EXPECT_THAT(
        r.out, HasSubstr("\nMachines\n  1  " + kAlderLake + "\n  2  " + kHaswell + "\n  3  " + kZen4 + "\n"));
    for (const std::string& input : {kAlderLake, kHaswell, kZen4})
        EXPECT_EQ(r.out.find(input), r.out.rfind(input));
    EXPECT_THAT(r.out, HasSubstr(" lacking on machines 1-2\n"));
    std::set<size_t> columns;  // where "lacking on" starts
    std::istringstream rows(r.out);
    for (std::string row; std::getline(rows, row);) {
        EXPECT_TRUE(row.size() <= 100 || row.find(TALVEX_DUMPS_DIR) != std::string::npos) << row;
        if (row.find(" lacking on ") != std::string::npos) columns.insert(row.find(" lacking on "));
    }
    EXPECT_EQ(columns.size(), 1u);
}

// This machine against its own capture, and in a fleet beside it: the same processor.
TEST(FleetCli, ThisMachineAgainstItsOwnDump) {
    const testing::TempDir dir;
    const Result dump = Exec({"--format", "cpuid-r", "--cpu", "1"}, "", "taskset -c 0");
    if (dump.status != 0) GTEST_SKIP() << "cannot run on processor 1: " << dump.err;
    testing::Spill(dir / "me.txt", dump.out);
    const Result same = Exec({"--compare", "live", (dir / "me.txt").string()}, "", "taskset -c 0");
    EXPECT_EQ(same.status, 0) << same.out;
    EXPECT_EQ(same.out, "No differences between live, processor 1 and " + (dir / "me.txt").string()
                            + ", processor 1\n");
    const Result fleet =
        Exec({"--baseline", "live", (dir / "me.txt").string(), "--format", "json"}, "", "taskset -c 0");
    EXPECT_EQ(fleet.status, 0);
    EXPECT_THAT(fleet.out, HasSubstr("\"heldBack\": [],"));
    EXPECT_THAT(fleet.out, HasSubstr("\"partial\": []\n"));
}

// A folder stands for the dump files in it, in bytewise order of name, named by their file names:
// as if those names were given one by one from inside it. Hidden files, subfolders and what the
// Ansible playbook writes beside the dumps are not dumps.
TEST(FleetCli, FolderIsItsDumpFiles) {
    const testing::TempDir dir;
    std::filesystem::create_directories(dir / "fleet/sub");
    std::filesystem::create_directories(dir / "one");
    std::filesystem::create_directories(dir / "empty");
    for (const auto& [name, dump] : {std::pair{"b.txt", kZen3}, {"B.txt", kZen4}, {"a", kHaswell}})
        std::filesystem::copy_file(dump, dir / "fleet" / name);
    std::filesystem::create_symlink(kAlderLake, dir / "fleet/link.txt");
    for (const char* junk : {".hidden", "sub/c.txt", "baseline.txt", "baseline.json", "compare-b.txt"})
        testing::Spill(dir / "fleet" / junk, "not a dump\n");
    std::filesystem::copy_file(kZen4, dir / "one/only.txt");
    testing::Spill(dir / "empty/.hidden", "not a dump\n");
    const std::string fleet = (dir / "fleet").string();

    // Bytewise: "B.txt" before "a"; the link is followed.
    const std::vector<std::string> one_by_one = {"B.txt", "a", "b.txt", "link.txt"};
    for (const std::string format : {"text", "json"}) {
        const std::vector<std::string> args{"--baseline", "--gcc", "/nonexistent/gcc",
                                            "--format",   format,  "--"};
        std::vector<std::string> files = args, folder = args;
        files.insert(files.end(), one_by_one.begin(), one_by_one.end());
        folder.push_back(fleet);
        const Result by_files = Exec(files, "", "cd '" + fleet + "' &&");
        const Result by_folder = Exec(folder);
        EXPECT_EQ(by_files.status, 0) << by_files.err;
        EXPECT_EQ(by_folder.status, 0) << by_folder.err;
        EXPECT_EQ(by_folder.out, by_files.out) << format;
        if (format == "json") {
            EXPECT_THAT(by_folder.out,
                        HasSubstr("\"machines\": [\"B.txt\", \"a\", \"b.txt\", \"link.txt\"],"));
        }
    }

    const Result pair = Exec({"--compare", kZen3, (dir / "one").string()});
    EXPECT_EQ(pair.status, 1) << pair.err;
    EXPECT_THAT(pair.out, StartsWith("A  " + kZen3 + ", processor 1\nB  only.txt, processor 1\n"));

    struct Case {
        std::vector<std::string> args;
        std::string err;  // standard error's first line, after the program's name
    } faults[] = {
        {{"--baseline", kZen3, (dir / "empty").string()},
         (dir / "empty").string() + " holds no dump files (input 2 of 2)"},
        {{"--baseline", (dir / "fleet/sub").string()}, (dir / "fleet/sub/c.txt").string() + ":1: "},
        {{"--compare", kZen3, fleet}, "--compare takes two inputs, not 5"},
    };
    for (const Case& c : faults) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        const Result r = Exec(c.args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_THAT(r.err, StartsWith("talvex-report: " + c.err));
    }
}

}  // namespace
}  // namespace talvex
