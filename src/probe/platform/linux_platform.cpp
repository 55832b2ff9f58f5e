#include "probe/platform/platform.h"

#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <string_view>

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
        // Up to the last processor set, not through all the room of the mask (asked at every pin).
        const size_t count = static_cast<size_t>(CPU_COUNT_S(size, set));
        for (size_t k = 0; k < bits && processors.size() < count; ++k)
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

unsigned LinuxPlatform::OnlineProcessorCount() const {
    const long n = sysconf(_SC_NPROCESSORS_ONLN);
    return n > 0 ? static_cast<unsigned>(n) : 1u;
}

namespace {

// A kernel file from its start, up to `limit` bytes, or until enough(text so far) says it has
// enough: the kernel makes such a file up as it is read, record by record while a read asks for
// more (`chunk` bytes at most each), and a sysfs file is whole after its first line. Nothing when it
// cannot be read.
template <typename Enough>
std::optional<std::string> ReadKernelFile(int folder, const std::string& path, size_t limit, size_t chunk,
                                          Enough enough) {
    const int fd = ::openat(folder, path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::string text;
    char buffer[4096];
    bool failed = false;
    while (text.size() < limit) {
        const ssize_t n = ::read(fd, buffer, std::min({sizeof buffer, chunk, limit - text.size()}));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            failed = n < 0;
            break;
        }
        text.append(buffer, static_cast<size_t>(n));
        if (enough(std::string_view(text))) break;
    }
    ::close(fd);
    if (failed) return std::nullopt;
    return text;
}

// A file of one line, such as a sysfs attribute; `path` relative to the open folder `folder`
// (AT_FDCWD: as it stands), which spares the kernel the walk to it for each file of a folder.
std::optional<std::string> ReadKernelLine(const std::string& path, int folder = AT_FDCWD) {
    constexpr size_t kLineFileLimit = 4096;
    return ReadKernelFile(folder, path, kLineFileLimit, kLineFileLimit,
                          [](std::string_view text) { return text.find('\n') != std::string_view::npos; });
}

std::string_view FirstLine(std::string_view text) { return text.substr(0, text.find('\n')); }

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

// "0x1000065" as the kernel writes a revision; nothing for anything else.
std::optional<uint64_t> Revision(std::string_view text) {
    text = Trimmed(text);
    if (text.size() < 3 || text.substr(0, 2) != "0x") return std::nullopt;
    uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data() + 2, text.data() + text.size(), value, 16);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// The "microcode" line of each "processor" block of /proc/cpuinfo, by the processor's number, taken
// line by line as the text comes.
class CpuinfoRevisions {
public:
    void Line(std::string_view line) {
        const size_t colon = line.find(':');
        if (line.empty()) processor_ = kNone;
        if (colon == std::string_view::npos) return;
        const std::string_view key = Trimmed(line.substr(0, colon)), value = Trimmed(line.substr(colon + 1));
        if (key == "processor") {
            unsigned n = 0;
            const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), n);
            processor_ = error == std::errc() && end == value.data() + value.size() ? n : kNone;
        } else if (key == "microcode" && processor_ != kNone) {
            if (const std::optional<uint64_t> r = Revision(value)) found.emplace_back(processor_, *r);
        }
    }

    std::vector<std::pair<unsigned, uint64_t>> found;

private:
    static constexpr unsigned kNone = ~0u;  // outside a processor's block
    unsigned processor_ = kNone;
};

// /proc/cpuinfo of 8192 processors fits.
constexpr size_t kCpuinfoLimit = size_t{64} << 20;

// The revisions /proc/cpuinfo gives, read only as far as the revision of processor `last` (blocks
// come in ascending order), sorted by processor.
std::vector<std::pair<unsigned, uint64_t>> CpuinfoRevisionsUpTo(const std::string& path, unsigned last) {
    CpuinfoRevisions revisions;
    size_t parsed = 0;  // the text before it is whole lines, parsed
    const auto take = [&](std::string_view text) {
        for (size_t end; (end = text.find('\n', parsed)) != std::string_view::npos; parsed = end + 1)
            revisions.Line(text.substr(parsed, end - parsed));
    };
    const auto enough = [&](std::string_view text) {
        take(text);
        return !revisions.found.empty() && revisions.found.back().first >= last;
    };
    // Less than a processor's block a read: the kernel makes up no block beyond the one reached.
    constexpr size_t kChunk = 1024;
    const std::optional<std::string> text = ReadKernelFile(AT_FDCWD, path, kCpuinfoLimit, kChunk, enough);
    if (text && parsed < text->size()) revisions.Line(std::string_view(*text).substr(parsed));
    std::stable_sort(revisions.found.begin(), revisions.found.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    return revisions.found;
}

}  // namespace

std::vector<std::optional<uint64_t>> LinuxPlatform::MicrocodeRevisions(
    const std::vector<unsigned>& processors) const {
    std::vector<std::optional<uint64_t>> revisions(processors.size());
    std::optional<std::vector<std::pair<unsigned, uint64_t>>> cpuinfo;  // read once, if at all
    for (size_t i = 0; i < processors.size(); ++i) {
        const std::string path =
            root_ + "/sys/devices/system/cpu/cpu" + std::to_string(processors[i]) + "/microcode/version";
        if (const std::optional<std::string> text = ReadKernelLine(path)) {
            revisions[i] = Revision(FirstLine(*text));
            if (revisions[i]) continue;
        }
        if (!cpuinfo)
            cpuinfo = CpuinfoRevisionsUpTo(root_ + "/proc/cpuinfo",
                                           *std::max_element(processors.begin(), processors.end()));
        const auto it = std::lower_bound(cpuinfo->begin(), cpuinfo->end(), processors[i],
                                         [](const auto& entry, unsigned k) { return entry.first < k; });
        if (it != cpuinfo->end() && it->first == processors[i]) revisions[i] = it->second;
    }
    return revisions;
}

std::optional<std::vector<Vulnerability>> LinuxPlatform::Vulnerabilities() const {
    const std::string path = root_ + "/sys/devices/system/cpu/vulnerabilities";
    DIR* dir = ::opendir(path.c_str());
    if (dir == nullptr) return std::nullopt;
    const int folder = ::dirfd(dir);
    std::vector<Vulnerability> found;
    // The kernel knows a few dozen; more than this is not its folder.
    constexpr size_t kMost = 256;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.empty() || name[0] == '.' || found.size() == kMost) continue;
        if (const std::optional<std::string> text = ReadKernelLine(name, folder))
            found.push_back({name, std::string(FirstLine(*text))});
    }
    ::closedir(dir);
    std::sort(found.begin(), found.end(),
              [](const Vulnerability& a, const Vulnerability& b) { return a.name < b.name; });
    return found;
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
