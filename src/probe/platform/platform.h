#pragma once
// What the probe and the window need of the operating system, behind one small interface,
// so tests can stand in for timers, processor count and affinity.

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace talvex {

// One vulnerability the running kernel knows, by the name of its file in
// /sys/devices/system/cpu/vulnerabilities/ ("spec_rstack_overflow"), with the kernel's verdict
// ("Vulnerable: Safe RET, no microcode").
struct Vulnerability {
    std::string name;
    std::string status;
    friend bool operator==(const Vulnerability&, const Vulnerability&) = default;
};

class Platform {
public:
    virtual ~Platform() = default;

    // The operating system's processor type number (386, 486, 586, 21164, ...).
    virtual uint32_t ProcessorType() const = 0;
    // Number of configured processors.
    virtual unsigned ProcessorCount() const = 0;
    // The processors (0-based, ascending) the calling thread may run on now; empty when the system
    // will not say. Read at start-up, this is the set the user allowed (`taskset`, a cpuset).
    virtual std::vector<unsigned> ThreadAffinity() const = 0;
    // Lets the calling thread run on exactly these processors, any number of them; false when refused.
    virtual bool SetThreadAffinity(const std::vector<unsigned>& processors) = 0;

    // High-resolution counter (counts) and its counts per second.
    virtual int64_t QueryPerformanceCounter() = 0;
    virtual int64_t QueryPerformanceFrequency() = 0;
    // Millisecond timer; wraps at 2^32.
    virtual uint32_t TimeGetTime() = 0;
    virtual uint64_t ReadTimeStampCounter() = 0;
    // False for a replayed processor: there is no live counter to time, so no clock is measured.
    virtual bool HasLiveClock() const { return true; }

    // Processors online now; a capture of that many holds the whole machine.
    virtual unsigned OnlineProcessorCount() const { return ProcessorCount(); }
    // The microcode revision the kernel reports for each processor (0-based), in the order given;
    // nothing where it does not say, or for a processor recorded elsewhere.
    virtual std::vector<std::optional<uint64_t>> MicrocodeRevisions(
        const std::vector<unsigned>& processors) const {
        return std::vector<std::optional<uint64_t>>(processors.size());
    }
    // Every vulnerability the kernel knows, sorted by name; nothing where it does not say, or for a
    // processor recorded elsewhere.
    virtual std::optional<std::vector<Vulnerability>> Vulnerabilities() const { return std::nullopt; }
};

class LinuxPlatform : public Platform {
public:
    // `root` is put before every path the kernel's files are read from ("/proc/cpuinfo"), so that
    // a machine's files copied elsewhere read as that machine; "" for this one.
    explicit LinuxPlatform(std::string root = {}) : root_(std::move(root)) {}

    uint32_t ProcessorType() const override;
    unsigned ProcessorCount() const override;
    std::vector<unsigned> ThreadAffinity() const override;
    bool SetThreadAffinity(const std::vector<unsigned>& processors) override;
    int64_t QueryPerformanceCounter() override;
    int64_t QueryPerformanceFrequency() override;
    uint32_t TimeGetTime() override;
    uint64_t ReadTimeStampCounter() override;
    unsigned OnlineProcessorCount() const override;
    // /sys/devices/system/cpu/cpuN/microcode/version, else the "microcode" line of /proc/cpuinfo.
    std::vector<std::optional<uint64_t>> MicrocodeRevisions(
        const std::vector<unsigned>& processors) const override;
    // The first line of each file of /sys/devices/system/cpu/vulnerabilities/.
    std::optional<std::vector<Vulnerability>> Vulnerabilities() const override;

private:
    std::string root_;
};

// A processor recorded elsewhere: the same operating system answers, but no clock to measure and
// nothing the kernel says of its own processors; pinning is make-believe: it succeeds, and the thread
// reads back the set it asked for.
class ReplayPlatform final : public LinuxPlatform {
public:
    // The set this thread last asked for; before it asked, the system's.
    std::vector<unsigned> ThreadAffinity() const override;
    bool SetThreadAffinity(const std::vector<unsigned>& processors) override;
    bool HasLiveClock() const override { return false; }
    std::vector<std::optional<uint64_t>> MicrocodeRevisions(
        const std::vector<unsigned>& processors) const override {
        return Platform::MicrocodeRevisions(processors);
    }
    std::optional<std::vector<Vulnerability>> Vulnerabilities() const override {
        return Platform::Vulnerabilities();
    }

private:
    mutable std::mutex lock_;
    std::map<std::thread::id, std::vector<unsigned>> pinned_;
};

}  // namespace talvex
