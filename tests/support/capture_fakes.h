#pragma once
// Stand-ins for capture tests: a processor that answers by (leaf, sub-leaf), several processors
// behind one pinning platform, and a peer program run for its output.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <sys/wait.h>

#include "probe/registers.h"
#include "support/fakes.h"

namespace talvex::testing {

// A processor given as a table of (leaf, sub-leaf) answers, zeros elsewhere. `hostile`, when set,
// answers first (for processors whose answers follow a pattern rather than a table).
class SubLeafSource : public RegisterSource {
public:
    bool HasCPUID() const override { return true; }
    TCPUIDRegs Execute(uint32_t leaf, uint32_t subleaf) const override {
        ++executions;
        if (hostile) {
            if (auto r = hostile(leaf, subleaf)) return *r;
        }
        auto it = leaves.find({leaf, subleaf});
        return it == leaves.end() ? TCPUIDRegs{} : it->second;
    }
    SubLeafSource& Set(uint32_t leaf, uint32_t subleaf, TCPUIDRegs regs) {
        leaves[{leaf, subleaf}] = regs;
        return *this;
    }

    std::map<std::pair<uint32_t, uint32_t>, TCPUIDRegs> leaves;
    std::function<std::optional<TCPUIDRegs>(uint32_t, uint32_t)> hostile;
    mutable long executions = 0;
};

// A machine of several processors: pinning to `refused` ones only fails (as the system refuses a
// set of offline processors), and pinning to `vanishing` succeeds but the processor goes away at
// its first execution (the system moves the thread off).
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
    // The processor the thread runs on: the one it is pinned to, or none.
    std::optional<unsigned> Current() const {
        return affinity.size() == 1 ? std::optional<unsigned>(affinity[0]) : std::nullopt;
    }

    std::set<unsigned> refused, vanishing;
};

// Answers as the processor the machine's thread is pinned to: leaf 0 says the highest leaf is 1,
// leaf 1 EBX[31:24] is the processor's number. Throws when asked on `failing`.
class MachineSource : public RegisterSource {
public:
    explicit MachineSource(Machine& machine) : machine_(machine) {}
    bool HasCPUID() const override { return true; }
    TCPUIDRegs Execute(uint32_t leaf, uint32_t) const override {
        // Not pinned, the thread runs wherever the system puts it: processor 0 here.
        const unsigned k = machine_.Current().value_or(0);
        if (machine_.vanishing.count(k) != 0) machine_.affinity = {0, 1, 2, 3, 4, 5, 6, 7};
        if (failing == k) throw std::runtime_error("processor failure");
        if (leaf == 0) return {1, 0, 0, 0};
        if (leaf == 1) return {0x00800F12, k << 24, 0, 0};
        return {};
    }
    std::optional<unsigned> failing;

private:
    Machine& machine_;
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
