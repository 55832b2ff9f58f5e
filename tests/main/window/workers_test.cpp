// The one way a worker stops, and the end of the program: every worker sees its stop request wherever
// it waits, and the end of the program waits for workers a bounded time whatever they wait on.
#include <sys/stat.h>

#include <condition_variable>
#include <future>
#include <mutex>
#include <string>

#include "probe/dump/dump.h"
#include "support/files.h"
#include "window_support.h"

namespace talvex {
namespace {

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
