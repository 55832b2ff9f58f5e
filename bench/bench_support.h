#pragma once
// Pieces shared by the benchmarks that compare a routine with the CPUID executions it makes.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <utility>
#include <vector>

#include "probe/registers.h"

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
        times.push_back(std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count());
    }
    std::nth_element(times.begin(), times.begin() + runs / 2, times.end());
    return times[static_cast<size_t>(runs / 2)];
}

}  // namespace talvex
