// The one way a worker stops, and the end of the program: every worker sees its stop request wherever
// it waits, the end of the program waits for workers a bounded time whatever they wait on, and a
// thread that cannot be started leaves nothing to wait for.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <future>
#include <mutex>
#include <string>
#include <system_error>

#include "probe/dump/dump.h"
#include "support/files.h"
#include "window_support.h"

namespace talvex {
namespace {

enum ThreadOutcome { kNothingToWait = 0, kWouldWait = 1, kStarted = 2, kNoLimit = 3 };

// The address space this process has mapped, in bytes; 0 when /proc does not say.
rlim_t MappedBytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmSize:", 0) == 0) return static_cast<rlim_t>(std::stoull(line.substr(7))) * 1024;
    return 0;
}

// Fills the address space but for 64 KB, tries to start a worker, and exits with what happened.
[[noreturn]] [[maybe_unused]] void StartAWorkerWithoutRoom() {
    const rlim_t mapped = MappedBytes();
    const rlimit full{mapped + 64 * 1024, mapped + 64 * 1024};
    if (mapped == 0 || setrlimit(RLIMIT_AS, &full) != 0) std::_Exit(kNoLimit);
    try {
        StartWorker([](std::stop_token) {});
    } catch (const std::system_error&) {
        std::_Exit(StopWorkers(std::chrono::milliseconds(0)) ? kNothingToWait : kWouldWait);
    }
    std::_Exit(kStarted);
}

// A process whose address space is full cannot start a thread: StartWorker says so, and the end of
// the program then has nothing to wait for. In a process of its own, where no thread has ended whose
// stack the C library would hand out again without asking for room.
TEST(WorkersDeathTest, AThreadThatCannotStartLeavesNothingToWaitFor) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizers reserve address space of their own";
#else
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    int outcome = -1;
    const auto record = [&outcome](int status) {
        outcome = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return true;
    };
    EXPECT_EXIT(StartAWorkerWithoutRoom(), record, "");
    if (outcome == kStarted || outcome == kNoLimit)
        GTEST_SKIP() << "a limit on the address space did not stop a thread here";
    EXPECT_EQ(outcome, kNothingToWait);
#endif
}

// Every way a worker waits ends at its stop request, and StopWorkers sees each of them end. Nobody
// but StopWorkers asks them to stop; a worker that did not stop would make it return false.
TEST(Workers, StopWorkersReachesAWorkerWhereverItWaits) {
    const testing::TempDir dir;
    const std::string pipe = (dir / "nobody-writes").string();
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);

    struct Wait {
        const char* what;
        std::function<void(std::stop_token)> work;
    };
    std::mutex lock;
    std::condition_variable_any never;
    const Wait waits[] = {
        {"asleep until a far time",
         [&](std::stop_token stop) {
             std::unique_lock hold(lock);
             never.wait_until(hold, stop, std::chrono::steady_clock::now() + std::chrono::hours(1),
                              [] { return false; });
         }},
        {"reading a pipe nobody opened for writing",
         [&](std::stop_token stop) { EXPECT_THROW(ReadDumpFile(pipe, stop), DumpCancelled); }},
        {"looking at its token between steps",
         [](std::stop_token stop) {
             while (!stop.stop_requested()) std::this_thread::yield();
         }},
    };
    std::atomic<int> ended{0};
    for (const Wait& w : waits) {
        StartWorker([&, work = w.work](std::stop_token stop) {
            work(stop);
            ++ended;
        });
    }
    EXPECT_TRUE(StopWorkers(std::chrono::seconds(60)));
    EXPECT_EQ(ended, static_cast<int>(std::size(waits)));
}

// The end of the program waits a bounded time: a worker stuck where no stop request reaches it ends
// with the process, which exits with the program's status; workers that end in time let it return.
TEST(WorkersDeathTest, TheEndOfTheProgramDoesNotWaitForAStuckWorker) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            StartWorker([](std::stop_token) {
                std::promise<void> never;
                never.get_future().wait();
            });
            FinishWorkers(7);
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(7), "");

    StartWorker([](std::stop_token stop) {
        while (!stop.stop_requested()) std::this_thread::yield();
    });
    FinishWorkers(7);  // returns: the worker ended in time
}

}  // namespace
}  // namespace talvex

int main(int argc, char** argv) { return talvex::testing::RunWindowTests(argc, argv); }
