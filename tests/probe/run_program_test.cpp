// Another program run to its end or to its limit, whatever it does with its output and its children:
// stand-ins written as shell one-liners.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "probe/platform/run_program.h"

namespace talvex {
namespace {

using namespace std::chrono_literals;

TEST(RunProgram, EndsWithinItsLimitWhateverTheProgramDoes) {
    // Those that end by themselves have time to spare on a loaded machine; the others are cut short.
    struct Case {
        const char* script;  // for /bin/sh -c
        std::chrono::milliseconds limit;
        bool ran;
        int status;
        std::string out, error;
    } cases[] = {
        // clang-format off
        {"exit 0",                         10s,   true,  0,  "",        ""},
        {"echo answer; exit 3",            10s,   true,  3,  "answer\n", ""},
        {"while :; do sleep 1; done",      300ms, false, -1, "",        "/bin/sh did not end within 300 ms"},
        {"echo early; exec >&-; sleep 30", 300ms, false, -1, "",        "/bin/sh did not end within 300 ms"},
        {"echo answer; sleep 30 & exit 0", 10s,   true,  0,  "answer\n", ""},
        {"head -c 1000000 /dev/zero",      10s,   false, -1, "",        "/bin/sh wrote more than 4096 bytes"},
        // clang-format on
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        const ProgramRun run = RunProgram("/bin/sh", {"-c", c.script}, c.limit, 4096);
        EXPECT_EQ(run.ran, c.ran) << run.error;
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.error, c.error);
    }
}

// Whether process `pid` has ended: gone, or a zombie its new parent has yet to reap.
bool Ended(const std::string& pid) {
    std::ifstream stat("/proc/" + pid + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return true;
    return line.find(") Z ") != std::string::npos;
}

TEST(RunProgram, EndsWhatTheProgramLeavesRunning) {
    // The child closes its output, so the program's own end is the only sign that the run is over.
    const ProgramRun run = RunProgram("/bin/sh", {"-c", "sleep 30 >&- & echo $!"}, 5s);
    ASSERT_TRUE(run.ran) << run.error;
    const std::string pid = run.out.substr(0, run.out.find('\n'));
    // SIGKILL is sent at once, but a process takes a moment to end.
    for (int i = 0; i < 500 && !Ended(pid); ++i) std::this_thread::sleep_for(10ms);
    EXPECT_TRUE(Ended(pid)) << "the child " << pid << " is still running";
}

}  // namespace
}  // namespace talvex
