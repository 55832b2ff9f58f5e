// Cost of talvex-report --baseline over many dumps: the real dumps given round and round (a fleet of
// few designs, as fleets are), read, cut down to what the fleet needs and summed up, the text built and
// written to /dev/null. The target is 1,000 dumps in under a second and 10,000 in about ten times the
// time of 1,000. The compiler is left out here (--gcc names no program): asking it costs the same
// whatever the number of dumps. BM_BaselineFolder gives the dumps as one folder of copies, as the
// Ansible playbook gathers them.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "main/cli/cli.h"
#include "support/dumps.h"
#include "support/files.h"

namespace talvex {
namespace {

// The dumps given round and round, `count` of them.
std::vector<std::string> Fleet(int64_t count) {
    const std::vector<std::string> names = testing::DumpNames();
    std::vector<std::string> fleet;
    for (int64_t i = 0; i < count; ++i) fleet.push_back(testing::kDumps + "/" + names[i % names.size()]);
    return fleet;
}

// Times talvex-report with `inputs` after --baseline.
void TimeBaseline(benchmark::State& state, const std::vector<std::string>& inputs) {
    std::vector<std::string> args{"talvex-report", "--baseline", "--gcc", "/nonexistent/gcc"};
    args.insert(args.end(), inputs.begin(), inputs.end());
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

void BM_Baseline(benchmark::State& state) { TimeBaseline(state, Fleet(state.range(0))); }
BENCHMARK(BM_Baseline)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_BaselineFolder(benchmark::State& state) {
    const testing::TempDir dir;
    int64_t n = 0;
    for (const std::string& dump : Fleet(state.range(0)))
        std::filesystem::copy_file(dump, dir / ("host" + std::to_string(n++) + ".txt"));
    TimeBaseline(state, {(dir / "").string()});
}
BENCHMARK(BM_BaselineFolder)->Arg(1000)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
}  // namespace talvex

BENCHMARK_MAIN();
