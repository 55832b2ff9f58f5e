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
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message;  // the first line of standard error holds this
    } cases[] = {
        {{"--replay", dir}, 2, dir + ":1: cannot read: Is a directory"},
        {{"--replay", "/proc/self/mem"}, 2, "/proc/self/mem:1: cannot read: "},
        {{"--replay", "/nonexistent/dump.txt"}, 2, "/nonexistent/dump.txt: No such file or directory"},
        {{"--replay", "/dev/null"}, 2, "/dev/null:1: empty file"},
        {{"--cpu", std::to_string(count + 1)}, 1, "there is no processor " + std::to_string(count + 1)},
        {{"--cpu", "33"}, 1, "there is no processor 33"},
        {{"--cpu", "99999999999999"},
         1,
         "there is no processor 99999999999999 (this machine has " + std::to_string(count) + ")"},
        {{"--cpu", "1", "--cpu", "all"}, 2, "--cpu all goes with --details or a dump format"},
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

// taskset leaves this process only processor 1: the run refuses processor 2 rather than widen the
// set the user chose, and prints nothing.
TEST(FaultsCli, PinningOutsideTheAllowedProcessorsIsRefused) {
    if (sysconf(_SC_NPROCESSORS_CONF) < 2) GTEST_SKIP() << "one processor";
    if (std::system("taskset -c 0 true 2>/dev/null") != 0) GTEST_SKIP() << "no taskset";
    const Result refused = Exec({"--cpu", "2"}, "", "taskset -c 0");
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out, "");
    EXPECT_EQ(refused.err,
              "talvex-report: cannot run on processor 2: this process may run only on processor(s) 1\n");

    const Result json = Exec({"--cpu", "2", "--format", "json"}, "", "taskset -c 0");
    EXPECT_EQ(json.status, 1);
    EXPECT_EQ(json.out, "");

    const Result allowed = Exec({"--cpu", "2"}, "", "taskset -c 1");
    EXPECT_EQ(allowed.status, 0) << allowed.err;
    EXPECT_THAT(allowed.out, ::testing::HasSubstr("\nVendorID: "));
}

}  // namespace
}  // namespace talvex
