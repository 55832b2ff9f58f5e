#pragma once
// Stand-ins for capture tests: a processor answering by (leaf, sub-leaf), a machine of several
// processors to pin to, and a peer program run for its output.

#include <sys/wait.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "probe/registers.h"
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

// Standard output of a shell command and its exit status; `status` -1 when it could not run.
struct Output {
    std::string text;
    int status = -1;
};

inline Output RunCommand(const std::string& command) {
    Output out;
    FILE* p = popen(command.c_str(), "r");
    if (p == nullptr) return out;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.text.append(buf, n);
    const int status = pclose(p);
    out.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}

}  // namespace talvex::testing
