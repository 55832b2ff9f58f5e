// Runs that cannot succeed: each says why on standard error, names what it could not use, exits
// with its status and leaves standard output empty.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "main/cli/cli_support.h"

namespace talvex {
namespace {

using testing::Exec;
using testing::Result;

TEST(FaultsCli, UnreadableReplayFilesAndMissingProcessors) {
    const std::string dir = std::filesystem::temp_directory_path().string();
    const long count = sysconf(_SC_NPROCESSORS_CONF);
    const std::string one = std::string(TALVEX_DUMPS_DIR) + "/intel-pentium-iii-katmai.txt";
    const std::string hybrid = std::string(TALVEX_DUMPS_DIR) + "/intel-core-i9-12900k-alder-lake.txt";
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message;  // the first line of standard error holds this
    } cases[] = {
        {{"--replay", dir}, 2, dir + ": Is a directory"},
        {{"--replay", one, "--cpu", "2"}, 2, one + ": no processor 2; the dump holds 1 processor"},
        {{"--replay", hybrid, "--cpu", "25", "--details"},
         2,
         hybrid + ": no processor 25; the dump holds 24 processors"},
        {{"--replay", one, "--replay", hybrid}, 2, "--replay is given twice"},
        {{"--format", "json", "--format=text"}, 2, "--format is given twice"},
        {{"--details", "--cpu", "1", "--details"}, 2, "--details is given twice"},
        {{"--replay", "/proc/self/mem"}, 2, "/proc/self/mem:1: cannot read: "},
        {{"--replay", "/nonexistent/dump.txt"}, 2, "/nonexistent/dump.txt: No such file or directory"},
        {{"--replay", "/dev/null"}, 2, "/dev/null:1: empty file"},
        {{"--cpu", std::to_string(count + 1)}, 1, "there is no processor " + std::to_string(count + 1)},
        {{"--cpu", std::to_string(count + 33)}, 1, "there is no processor " + std::to_string(count + 33)},
        {{"--cpu", "99999999999999"},
         1,
         "there is no processor 99999999999999 (this machine has " + std::to_string(count) + ")"},
        {{"--cpu", "all"}, 2, "--cpu all goes with --details, --leaves or a dump format"},
        {{"--details", "--format", "cpuid-r"}, 2, "--details prints text or json, not a dump"},
        {{"--measure"}, 2, "--measure goes with --details"},
        {{"--details", "--measure", "--replay", "/dev/null"},
         2,
         "--measure measures this machine's processors"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        const Result r = Exec(c.args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.out, "");
        EXPECT_THAT(r.err.substr(0, r.err.find('\n')), ::testing::HasSubstr("talvex-report: " + c.message));
    }
}

// taskset leaves the run one processor it may use: it refuses another rather than widen the set the
// user chose, and prints nothing.
TEST(FaultsCli, PinningOutsideTheAllowedProcessorsIsRefused) {
    const std::vector<unsigned> allowed = testing::AllowedProcessors();
    if (allowed.size() < 2) GTEST_SKIP() << "needs two processors this process may run on";
    const std::string only = "taskset -c " + std::to_string(allowed[0]);
    if (std::system((only + " true 2>/dev/null").c_str()) != 0) GTEST_SKIP() << "no taskset";
    const std::string other = std::to_string(allowed[1] + 1);
    const Result refused = Exec({"--cpu", other}, "", only);
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out, "");
    EXPECT_EQ(refused.err, "talvex-report: cannot run on processor " + other
                               + ": this process may run only on processor " + std::to_string(allowed[0] + 1)
                               + "\n");

    const Result json = Exec({"--cpu", other, "--format", "json"}, "", only);
    EXPECT_EQ(json.status, 1);
    EXPECT_EQ(json.out, "");

    const Result allowed_run = Exec({"--cpu", other}, "", "taskset -c " + std::to_string(allowed[1]));
    EXPECT_EQ(allowed_run.status, 0) << allowed_run.err;
    EXPECT_THAT(allowed_run.out, ::testing::HasSubstr("\nVendorID: "));
}

}  // namespace
}  // namespace talvex
