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
using ::testing::HasSubstr;

TEST(RunProgram, EndsWithinItsLimitWhateverTheProgramDoes) {
    // Those that end by themselves have time to spare on a loaded machine; the others are cut short.
    struct Case {
        const char* what;
        std::string script;  // for /bin/sh -c
        std::chrono::milliseconds limit;
        bool ran;
        int status;
        std::string out;
        std::string error;  // held by the error
    } cases[] = {
        {"silent success", "exit 0", 10s, true, 0, "", ""},
        {"output and a status", "echo answer; exit 3", 10s, true, 3, "answer\n", ""},
        {"killed by a signal", "kill -9 $$", 10s, true, -1, "", ""},
        {"never ends", "while :; do sleep 1; done", 300ms, false, -1, "", "did not end within 300 ms"},
        {"closes its output and goes on", "echo early; exec >&-; sleep 30", 300ms, false, -1, "",
         "did not end within 300 ms"},
        {"ends, leaving a child that holds its output", "echo answer; sleep 30 & exit 0", 10s, true, 0,
         "answer\n", ""},
        {"writes more than it may", "head -c 10000000 /dev/zero", 10s, false, -1, "",
         "wrote more than 65536 bytes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ProgramRun run = RunProgram("/bin/sh", {"-c", c.script}, c.limit, 65536);
        EXPECT_EQ(run.ran, c.ran) << run.error;
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.out, c.out);
        EXPECT_THAT(run.error, HasSubstr(c.error));
        EXPECT_EQ(run.error.empty(), c.error.empty()) << run.error;
    }
}

TEST(RunProgram, SaysWhyAProgramCannotRun) {
    const ProgramRun run = RunProgram("/nonexistent/cc", {"--version"});
    EXPECT_FALSE(run.ran);
    EXPECT_EQ(run.error, "cannot run /nonexistent/cc: No such file or directory");
}

// Whether process `pid` has ended: gone, or a zombie its new parent has yet to reap.
bool Ended(const std::string& pid) {
    std::ifstream stat("/proc/" + pid + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return true;
    const size_t state = line.rfind(") ");
    return state != std::string::npos && line.compare(state + 2, 1, "Z") == 0;
}

TEST(RunProgram, EndsWhatTheProgramLeavesRunning) {
    // The child closes its output, so the program's own end is the only sign that the run is over.
    const ProgramRun run = RunProgram("/bin/sh", {"-c", "sleep 30 >&- & echo $!"}, 5s);
    ASSERT_TRUE(run.ran) << run.error;
    const std::string pid = run.out.substr(0, run.out.find('\n'));
    ASSERT_FALSE(pid.empty());
    // SIGKILL is delivered at once, but the end of a process is not: allow it a while.
    for (int i = 0; i < 500 && !Ended(pid); ++i) std::this_thread::sleep_for(10ms);
    EXPECT_TRUE(Ended(pid)) << "the child " << pid << " is still running";
}

}  // namespace
}  // namespace talvex
