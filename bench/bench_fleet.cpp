// Cost of talvex-report --baseline over many dumps: the real dumps given round and round (a fleet of
// few designs, as fleets are), read, cut down to what the fleet needs and summed up, the text built and
// written to /dev/null. The target is 1,000 dumps in under a second and 10,000 in about ten times the
// time of 1,000. The compiler is left out here (--gcc names no program): asking it costs the same
// whatever the number of dumps.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "main/cli/cli.h"
#include "support/dumps.h"

namespace talvex {
namespace {

void BM_Baseline(benchmark::State& state) {
    const std::vector<std::string> names = testing::DumpNames();
    std::vector<std::string> args{"talvex-report", "--baseline", "--gcc", "/nonexistent/gcc"};
    for (int64_t i = 0; i < state.range(0); ++i)
        args.push_back(testing::kDumps + "/" + names[i % names.size()]);
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    for (auto _ : state) {
        if (cli::Run(static_cast<int>(argv.size()), argv.data(), null, null) != 0)
            state.SkipWithError("failed");
    }
    close(null);
    state.counters["us_per_dump"] =
        benchmark::Counter(static_cast<double>(state.range(0)),
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_Baseline)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
}  // namespace talvex

BENCHMARK_MAIN();
