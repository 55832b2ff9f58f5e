// Reading, replaying and describing hostile dumps at two sizes eight times apart: the times should
// grow about eight-fold (one processor's sub-leaves in descending order, a shuffled InstLatx64
// listing, many processors through the details of every one).
#include <benchmark/benchmark.h>

#include <sstream>

#include "main/report/details_text.h"
#include "probe/details/details.h"
#include "probe/dump/dump.h"
#include "probe/dump/dump_write.h"
#include "support/hostile_dumps.h"

namespace talvex {
namespace {

std::vector<DumpProcessor> Read(const std::string& text) {
    std::istringstream in(text);
    return ReadDump(in, "bench");
}

void BM_ReadDescendingSubleaves(benchmark::State& state) {
    const std::string text = testing::DescendingSubleaves(static_cast<size_t>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(Read(text));
}
BENCHMARK(BM_ReadDescendingSubleaves)->Arg(12500)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_ReadShuffledListing(benchmark::State& state) {
    const std::string text = testing::ShuffledListing(static_cast<size_t>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(Read(text));
}
BENCHMARK(BM_ReadShuffledListing)->Arg(12500)->Arg(100000)->Unit(benchmark::kMillisecond);

// The replay's sorting and the `cpuid -r` writer over the shuffled listing.
void BM_CpuidRawOfShuffledListing(benchmark::State& state) {
    const auto cpus = Read(testing::ShuffledListing(static_cast<size_t>(state.range(0))));
    for (auto _ : state) benchmark::DoNotOptimize(FormatCpuidRaw(cpus));
}
BENCHMARK(BM_CpuidRawOfShuffledListing)->Arg(12500)->Arg(100000)->Unit(benchmark::kMillisecond);

// `--details --cpu all`: reading, decoding every processor, the text with its per-processor table.
void BM_DetailsOfManyProcessors(benchmark::State& state) {
    const std::string text = testing::ManyProcessors(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        const auto cpus = Read(text);
        std::vector<unsigned> numbers(cpus.size());
        for (unsigned k = 0; k < numbers.size(); ++k) numbers[k] = k;
        benchmark::DoNotOptimize(DetailsText(GetRecordedDetails(cpus, numbers)));
    }
}
BENCHMARK(BM_DetailsOfManyProcessors)->Arg(512)->Arg(4096)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace talvex

BENCHMARK_MAIN();
