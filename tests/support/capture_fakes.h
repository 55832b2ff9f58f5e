#pragma once
// Stand-ins for capture tests: a processor answering by (leaf, sub-leaf) and a machine of several
// processors to pin to.

#include <algorithm>
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "probe/platform/registers.h"
#include "support/fakes.h"

namespace talvex::testing {

// A processor whose answers come from a function of (leaf, sub-leaf); counts its executions.
class FunctionSource : public RegisterSource {
public:
    explicit FunctionSource(std::function<TCPUIDRegs(uint32_t, uint32_t)> answer)
        : answer_(std::move(answer)) {}
    bool HasCPUID() const override { return true; }
    TCPUIDRegs Execute(uint32_t leaf, uint32_t subleaf) const override {
        ++executions;
        return answer_(leaf, subleaf);
    }
    mutable long executions = 0;

private:
    std::function<TCPUIDRegs(uint32_t, uint32_t)> answer_;
};

// Several processors: a set made only of `refused` ones is refused, as the system refuses a set of
// offline processors.
class Machine : public FakePlatform {
public:
    bool SetThreadAffinity(const std::vector<unsigned>& processors) override {
        affinity_calls.push_back(processors);
        if (std::all_of(processors.begin(), processors.end(),
                        [&](unsigned k) { return refused.count(k) != 0; }))
            return false;
        affinity = processors;
        return true;
    }
    std::set<unsigned> refused;
};

}  // namespace talvex::testing
