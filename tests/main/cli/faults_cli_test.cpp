// Runs that cannot succeed: each says why on standard error, names what it could not use, exits
// with its status and leaves standard output empty.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace talvex {
namespace {

namespace fs = std::filesystem;

struct Result {
    int status = -1;
    std::string out, err;
};

std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// `prefix` runs before the program (e.g. taskset); args follow it.
Result Exec(const std::string& prefix, const std::string& args) {
    std::string pattern = (fs::temp_directory_path() / "talvex-faults-XXXXXX").string();
    const fs::path dir = mkdtemp(pattern.data());
    const std::string cmd = prefix + " " + TALVEX_REPORT_EXE + " " + args + " </dev/null >" +
                            (dir / "out").string() + " 2>" + (dir / "err").string();
    const int raw = std::system(cmd.c_str());
    Result r{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Slurp(dir / "out"), Slurp(dir / "err")};
    fs::remove_all(dir);
    return r;
}

TEST(FaultsCli, UnreadableReplayFilesAndMissingProcessors) {
    const std::string dir = fs::temp_directory_path().string();
    const long count = sysconf(_SC_NPROCESSORS_CONF);
    struct Case {
        std::string args;
        int status;
        std::string message;  // the first line of standard error holds this
    } cases[] = {
        {"--replay " + dir, 2, dir + ":1: cannot read: Is a directory"},
        {"--replay /proc/self/mem", 2, "/proc/self/mem:1: cannot read: "},
        {"--replay /nonexistent/dump.txt", 2, "/nonexistent/dump.txt:0: cannot open"},
        {"--replay /dev/null", 2, "/dev/null:1: empty file"},
        {"--cpu " + std::to_string(count + 1), 1, "there is no processor " + std::to_string(count + 1)},
        {"--cpu 33", 1, "there is no processor 33"},
    };
    for (const Case& c : cases) {
        const Result r = Exec("", c.args);
        EXPECT_EQ(r.status, c.status) << c.args;
        EXPECT_EQ(r.out, "") << c.args;
        EXPECT_THAT(r.err.substr(0, r.err.find('\n')), ::testing::HasSubstr("talvex-report: " + c.message))
            << c.args;
    }
}

// taskset leaves this process only processor 1: the run refuses processor 2 rather than widen the
// set the user chose, and prints nothing.
TEST(FaultsCli, PinningOutsideTheAllowedProcessorsIsRefused) {
    if (sysconf(_SC_NPROCESSORS_CONF) < 2) GTEST_SKIP() << "one processor";
    if (std::system("taskset -c 0 true 2>/dev/null") != 0) GTEST_SKIP() << "no taskset";
    const Result refused = Exec("taskset -c 0", "--cpu 2");
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out, "");
    EXPECT_EQ(refused.err,
              "talvex-report: cannot run on processor 2: this process may run only on processor(s) 1\n");

    const Result json = Exec("taskset -c 0", "--cpu 2 --format json");
    EXPECT_EQ(json.status, 1);
    EXPECT_EQ(json.out, "");

    const Result allowed = Exec("taskset -c 1", "--cpu 2");
    EXPECT_EQ(allowed.status, 0) << allowed.err;
    EXPECT_THAT(allowed.out, ::testing::HasSubstr("\nVendorID: "));
}

}  // namespace
}  // namespace talvex
