#pragma once
// Pieces shared by the benchmarks that compare a routine with the CPUID executions it makes.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <utility>
#include <vector>

#include "probe/platform/registers.h"

namespace talvex {

// Passes every execution through and remembers it.
class CountingSource final : public RegisterSource {
public:
    explicit CountingSource(const RegisterSource& inner) : inner_(inner) {}
    bool HasCPUID() const override { return inner_.HasCPUID(); }
    TCPUIDRegs Execute(uint32_t leaf, uint32_t subleaf) const override {
        executed.emplace_back(leaf, subleaf);
        return inner_.Execute(leaf, subleaf);
    }
    mutable std::vector<std::pair<uint32_t, uint32_t>> executed;

private:
    const RegisterSource& inner_;
};

// Median nanoseconds of `runs` calls of `work`.
template <typename Work>
double MedianNs(int runs, Work work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        const auto took = std::chrono::steady_clock::now() - start;
        times.push_back(std::chrono::duration<double, std::nano>(took).count());
    }
    std::nth_element(times.begin(), times.begin() + runs / 2, times.end());
    return times[static_cast<size_t>(runs / 2)];
}

// What a routine's cost on the hardware is held against: its CPUID executions alone, and their
// count times one execution of leaf 0.
struct Floor {
    double floor_ns, sequence_ns;
};

// Times and prints the floor of `what`, whose executions are `executions`.
inline Floor PrintFloor(const char* what, const std::vector<std::pair<uint32_t, uint32_t>>& executions) {
    HardwareSource hardware;
    constexpr int kCalls = 1000;
    const double one = MedianNs(101,
                                [&] {
                                    for (int i = 0; i < kCalls; ++i)
                                        benchmark::DoNotOptimize(hardware.Execute(0, 0));
                                })
                       / kCalls;
    const double sequence = MedianNs(101, [&] {
        for (const auto& [leaf, subleaf] : executions)
            benchmark::DoNotOptimize(hardware.Execute(leaf, subleaf));
    });
    const double floor = static_cast<double>(executions.size()) * one;
    std::printf("CPUID executions per %s: %zu\n", what, executions.size());
    std::printf("one CPUID (leaf 0): %.1f ns; floor count x one: %.1f us\n", one, floor / 1000);
    std::printf("the %s's own executions alone: %.1f us\n", what, sequence / 1000);
    return {floor, sequence};
}

// Runs the benchmarks the command line selects, then `summary`.
inline int RunThenSummarize(int argc, char** argv, void (*summary)()) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    summary();
    return 0;
}

}  // namespace talvex
