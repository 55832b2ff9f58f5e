#pragma once
// Stand-ins for the processor and the operating system, for tests and benchmarks, and how a
// cache record prints.

#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

#include "probe/platform/cpuid.h"
#include "probe/platform/platform.h"
#include "probe/platform/registers.h"
#include "probe/tables/cache.h"

namespace talvex {

// A cache record as a failed expectation shows it.
inline void PrintTo(const TCacheInfo& c, std::ostream* os) {
    *os << "{L1D " << c.L1D << ", L1I " << c.L1I << ", TC " << c.TraceCache << ", L2 " << c.L2 << ", L3 "
        << c.L3 << "}";
}

}  // namespace talvex

namespace talvex::testing {

// A processor given as a table of leaves; records every execution it is asked for. The window's
// clock thread queries it too, so the record is kept under a lock; the table must not change while
// a measurement runs.
class FakeSource : public RegisterSource {
public:
    FakeSource() = default;
    FakeSource(std::initializer_list<std::pair<const uint32_t, TCPUIDRegs>> table) : leaves(table) {}

    bool HasCPUID() const override { return has_cpuid; }
    TCPUIDRegs Execute(uint32_t leaf, uint32_t subleaf) const override {
        {
            const std::lock_guard lock(calls_lock);
            calls.push_back({leaf, subleaf});
        }
        if (throw_on_leaf == leaf) throw std::runtime_error("fake processor failure");
        auto it = leaves.find(leaf);
        return it == leaves.end() ? TCPUIDRegs{} : it->second;
    }

    // Sets one leaf; returns *this so tables read as a chain.
    FakeSource& Set(uint32_t leaf, uint32_t eax, uint32_t ebx = 0, uint32_t ecx = 0, uint32_t edx = 0) {
        leaves[leaf] = TCPUIDRegs{eax, ebx, ecx, edx};
        return *this;
    }
    // Leaf 0 with a vendor text of up to 12 characters and the highest standard leaf.
    FakeSource& Vendor(const char* text, uint32_t max_leaf) {
        uint32_t r[3] = {0, 0, 0};
        for (int i = 0; i < 12 && text[i]; ++i)
            r[i / 4] |= static_cast<uint32_t>(static_cast<unsigned char>(text[i])) << (8 * (i % 4));
        return Set(0, max_leaf, r[0], r[2], r[1]);
    }

    std::map<uint32_t, TCPUIDRegs> leaves;
    bool has_cpuid = true;
    std::optional<uint32_t> throw_on_leaf;
    mutable std::vector<std::pair<uint32_t, uint32_t>> calls;
    mutable std::mutex calls_lock;
};

// The processor sets a thread was pinned to, in order.
using Pinnings = std::vector<std::vector<unsigned>>;

// The operating system, with a clock that plays back scripted readings. Pinning from another
// thread than the one that made it (a window's worker) is recorded in `worker_pins` and holds for that
// thread alone, which then reads its own set back (none before it pins); the clock may be read from
// any thread.
class FakePlatform : public Platform {
public:
    uint32_t ProcessorType() const override { return processor_type; }
    unsigned ProcessorCount() const override { return processor_count; }
    // The set given, or every processor of processor_count when none is.
    std::vector<unsigned> ThreadAffinity() const override {
        if (OnWorker()) {
            const std::lock_guard lock(worker_lock);
            const auto it = worker_affinity_.find(std::this_thread::get_id());
            return it != worker_affinity_.end() ? it->second : std::vector<unsigned>{};
        }
        if (!affinity.empty()) return affinity;
        std::vector<unsigned> all;
        for (unsigned k = 0; k < processor_count; ++k) all.push_back(k);
        return all;
    }
    bool SetThreadAffinity(const std::vector<unsigned>& processors) override {
        if (OnWorker()) return WorkerPin(processors);
        affinity_calls.push_back(processors);
        if (!accept_affinity) return false;
        affinity = processors;
        return true;
    }
    int64_t QueryPerformanceCounter() override { return Next(qpc, qpc_last, qpc_step); }
    int64_t QueryPerformanceFrequency() override { return frequency; }
    uint32_t TimeGetTime() override {
        const std::lock_guard lock(clock_lock_);
        ++ms_reads;
        return static_cast<uint32_t>(Following(ms, ms_last, ms_step));
    }
    uint64_t ReadTimeStampCounter() override { return static_cast<uint64_t>(Next(tsc, tsc_last, tsc_step)); }
    bool HasLiveClock() const override { return live_clock; }

    uint32_t processor_type = 586;
    unsigned processor_count = 1;
    std::atomic<bool> accept_affinity = true;
    bool live_clock = true;
    std::vector<unsigned> affinity;
    std::vector<std::vector<unsigned>> affinity_calls;

    // Scripted readings; once a script runs out, each reading adds its step to the last one.
    std::deque<int64_t> qpc, ms, tsc;
    int64_t qpc_step = 0, ms_step = 1, tsc_step = 0;
    int64_t qpc_last = 0, ms_last = 0, tsc_last = 0;
    int64_t frequency = 1000000000;
    long ms_reads = 0;
    std::vector<std::vector<unsigned>> worker_pins;
    mutable std::mutex worker_lock;

private:
    bool OnWorker() const { return std::this_thread::get_id() != owner_; }
    bool WorkerPin(const std::vector<unsigned>& processors) {
        const std::lock_guard lock(worker_lock);
        worker_pins.push_back(processors);
        if (accept_affinity) worker_affinity_[std::this_thread::get_id()] = processors;
        return accept_affinity;
    }
    std::thread::id owner_ = std::this_thread::get_id();
    std::map<std::thread::id, std::vector<unsigned>> worker_affinity_;

    int64_t Next(std::deque<int64_t>& script, int64_t& last, int64_t step) {
        const std::lock_guard lock(clock_lock_);
        return Following(script, last, step);
    }
    static int64_t Following(std::deque<int64_t>& script, int64_t& last, int64_t step) {
        if (!script.empty()) {
            last = script.front();
            script.pop_front();
        } else {
            last += step;
        }
        return last;
    }
    std::mutex clock_lock_;
};

}  // namespace talvex::testing
