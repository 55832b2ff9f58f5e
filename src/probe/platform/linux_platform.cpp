#include "probe/platform/platform.h"

#include <sched.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>

#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#endif

namespace talvex {

// A 32-bit x86 program is told 586 on any Pentium-class or later processor.
uint32_t LinuxPlatform::ProcessorType() const { return 586; }

namespace {
// The configured processors, read once per run: the C library reads /sys/devices/system/cpu/possible
// again on every call, and a capture asks for every processor it pins to.
long ConfiguredProcessors() {
    static const long n = sysconf(_SC_NPROCESSORS_CONF);
    return n;
}
}  // namespace

unsigned LinuxPlatform::ProcessorCount() const {
    const long n = ConfiguredProcessors();
    return n > 0 ? static_cast<unsigned>(n) : 1u;
}

namespace {
// Room for every processor the kernel may number, not only the 1024 of a plain cpu_set_t.
size_t CpuSetBits() {
    const long n = ConfiguredProcessors();
    return std::max<size_t>(n > 0 ? static_cast<size_t>(n) : 1u, 8192u);
}
}  // namespace

std::vector<unsigned> LinuxPlatform::ThreadAffinity() const {
    const size_t bits = CpuSetBits();
    const size_t size = CPU_ALLOC_SIZE(bits);
    cpu_set_t* set = CPU_ALLOC(bits);
    std::vector<unsigned> processors;
    if (set == nullptr) return processors;
    CPU_ZERO_S(size, set);
    if (sched_getaffinity(0, size, set) == 0) {
        for (size_t k = 0; k < bits; ++k)
            if (CPU_ISSET_S(k, size, set)) processors.push_back(static_cast<unsigned>(k));
    }
    CPU_FREE(set);
    return processors;
}

bool LinuxPlatform::SetThreadAffinity(const std::vector<unsigned>& processors) {
    size_t bits = CpuSetBits();
    for (unsigned k : processors) bits = std::max<size_t>(bits, size_t{k} + 1);
    const size_t size = CPU_ALLOC_SIZE(bits);
    cpu_set_t* set = CPU_ALLOC(bits);
    if (set == nullptr) return false;
    CPU_ZERO_S(size, set);
    for (unsigned k : processors) CPU_SET_S(k, size, set);
    const bool ok = !processors.empty() && sched_setaffinity(0, size, set) == 0;
    CPU_FREE(set);
    return ok;
}

int64_t LinuxPlatform::QueryPerformanceCounter() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC_RAW, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

int64_t LinuxPlatform::QueryPerformanceFrequency() { return 1000000000; }

uint32_t LinuxPlatform::TimeGetTime() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);  // wraps like the Windows timer
}

uint64_t LinuxPlatform::ReadTimeStampCounter() {
#if defined(__x86_64__) || defined(__i386__)
    return __rdtsc();
#else
    return 0;
#endif
}

std::vector<unsigned> ReplayPlatform::ThreadAffinity() const {
    {
        const std::lock_guard hold(lock_);
        const auto it = pinned_.find(std::this_thread::get_id());
        if (it != pinned_.end()) return it->second;
    }
    return LinuxPlatform::ThreadAffinity();
}

bool ReplayPlatform::SetThreadAffinity(const std::vector<unsigned>& processors) {
    const std::lock_guard hold(lock_);
    pinned_[std::this_thread::get_id()] = processors;
    return true;
}

}  // namespace talvex
