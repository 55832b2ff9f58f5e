// Reading a dump: bounded line reading, recognising the layout from the first lines that
// identify one, and handing every line to that layout's reader.
#include "probe/dump/dump.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>

#include "probe/dump/dump_reader.h"
#include "probe/text/text.h"

namespace talvex {

// Line 0: nothing was read yet (the file did not open), so there is no line to name.
DumpError::DumpError(const std::string& file, long line, const std::string& what)
    : std::runtime_error(file + (line > 0 ? ":" + std::to_string(line) : "") + ": " + what),
      file_(file),
      line_(line) {}

namespace dump_detail {

std::optional<uint32_t> TakeHex(std::string_view& s, size_t min_digits, size_t max_digits) {
    size_t n = 0;
    uint32_t v = 0;
    while (n < s.size() && HexDigit(s[n]) >= 0) {
        if (n == max_digits) return std::nullopt;
        v = (v << 4) | static_cast<uint32_t>(HexDigit(s[n]));
        ++n;
    }
    if (n < min_digits) return std::nullopt;
    s.remove_prefix(n);
    return v;
}

std::optional<uint32_t> TakeDecimal(std::string_view& s, uint32_t limit) {
    size_t n = 0;
    uint64_t v = 0;
    while (n < s.size() && s[n] >= '0' && s[n] <= '9') {
        v = v * 10 + static_cast<uint64_t>(s[n] - '0');
        if (v > limit) return std::nullopt;
        ++n;
    }
    if (n == 0) return std::nullopt;
    s.remove_prefix(n);
    return static_cast<uint32_t>(v);
}

void Sections::Open() {
    if (!CurrentEmpty()) cpus_.emplace_back();
    if (cpus_.empty()) cpus_.emplace_back();
    used_ = 0;
    // Each Open takes a line (or the end) of a dump of at most kMaxDumpBytes: the stamps never wrap.
    static_assert(kMaxDumpBytes < UINT32_MAX - 2);
    ++generation_;
}

namespace {
constexpr uint64_t Key(uint32_t leaf, uint32_t subleaf) { return (uint64_t{leaf} << 32) | subleaf; }

// Every bit of the key moves the slot: leaves and sub-leaves both come in runs of neighbours.
constexpr uint64_t Mix(uint64_t k) {
    k ^= k >> 30;
    k *= 0xBF58476D1CE4E5B9u;
    k ^= k >> 27;
    k *= 0x94D049BB133111EBu;
    return k ^ (k >> 31);
}

template <typename Entries>
auto LowerBound(Entries& entries, uint64_t key) {
    return std::lower_bound(entries.begin(), entries.end(), key,
                            [](const auto& entry, uint64_t k) { return entry.first < k; });
}

constexpr std::string_view kNotADump = "not a CPUID dump in any known layout";
constexpr const char* kUtf16 = ": UTF-16 text (Talvex reads ASCII or UTF-8)";
constexpr const char* kBareCarriageReturns =
    ": its lines end in a carriage return alone (Talvex reads LF or CR LF line ends)";

std::string TooLarge() {
    return "dump too large: Talvex reads at most " + std::to_string(kMaxDumpProcessors) + " processors, "
           + std::to_string(kMaxDumpLeaves) + " leaves and " + std::to_string(kMaxDumpBytes >> 20) + " MiB";
}
}  // namespace

size_t Sections::SlotIndex(uint64_t key, size_t& probes) const {
    const size_t mask = slots_.size() - 1;
    for (size_t i = Mix(key) & mask;; i = (i + 1) & mask) {
        ++probes;
        const Slot& s = slots_[i];
        if (s.generation != generation_ || s.key == key) return i;
    }
}

void Sections::Grow() {
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(std::max<size_t>(64, old.size() * 2), Slot{});
    size_t moves = 0;  // not lookups: Probes() leaves them out
    for (const Slot& s : old)
        if (s.generation == generation_) slots_[SlotIndex(s.key, moves)] = s;
}

bool Sections::CurrentHas(uint32_t leaf, uint32_t subleaf) const {
    return !slots_.empty() && slots_[SlotIndex(Key(leaf, subleaf), probes_)].generation == generation_;
}

void Sections::Add(uint32_t leaf, uint32_t subleaf, const TCPUIDRegs& regs, long line) {
    if (cpus_.empty()) cpus_.emplace_back();
    if (slots_.empty()) Grow();
    const uint64_t key = Key(leaf, subleaf);
    size_t i = SlotIndex(key, probes_);
    if (slots_[i].generation == generation_) {
        if (!(cpus_.back().leaves[slots_[i].index].regs == regs)) {
            Fail(line, "leaf " + Hex(leaf, 8) + " sub-leaf " + std::to_string(subleaf)
                           + " repeated with different values");
        }
        return;
    }
    // Checked before the record is stored, so memory stays bounded by the limits.
    if (leaves_ == kMaxDumpLeaves || (cpus_.back().leaves.empty() && cpus_.size() > kMaxDumpProcessors))
        Fail(line, TooLarge());
    if ((used_ + 1) * 2 > slots_.size()) {
        Grow();
        i = SlotIndex(key, probes_);
    }
    DumpProcessor& cpu = cpus_.back();
    slots_[i] = Slot{key, static_cast<uint32_t>(cpu.leaves.size()), generation_};
    ++used_;
    ++leaves_;
    if (cpu.leaves.empty()) cpu.line = line;
    cpu.leaves.push_back(DumpLeaf{leaf, subleaf, regs});
}

void Sections::SetReported(ReportedLines lines) {
    if (cpus_.empty()) cpus_.emplace_back();
    cpus_.back().reported = std::move(lines);
}

void Sections::Fail(long line, const std::string& what) const { throw DumpError(file_, line, what); }

std::vector<DumpProcessor> Sections::Take(long last_line) {
    std::erase_if(cpus_, [](const DumpProcessor& p) { return p.leaves.empty(); });
    if (cpus_.empty()) Fail(last_line, "no CPUID data");
    return std::move(cpus_);
}

}  // namespace dump_detail

namespace {

using namespace dump_detail;

class DescriptorBytes final : public ByteSource {
public:
    // `status` is the descriptor's own, when fstat could give it. With a `stop` that can be requested,
    // the descriptor is waited on with poll(), which the request interrupts: a pipe nobody writes to
    // then holds the reader no longer than until it is stopped.
    DescriptorBytes(int fd, const std::string& file, const struct stat* status, std::stop_token stop)
        : fd_(fd),
          file_(file),
          stop_(std::move(stop)),
          expected_(status != nullptr && S_ISREG(status->st_mode) ? static_cast<uint64_t>(status->st_size)
                                                                  : 0) {
        if (!stop_.stop_possible()) return;
        wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (wake_ < 0) throw DumpError(file_, 0, std::string("cannot wait: ") + std::strerror(errno));
        woken_.emplace(stop_, Wake{wake_});
    }
    ~DescriptorBytes() override {
        woken_.reset();  // no stop request writes to the event once it is closed
        if (wake_ >= 0) ::close(wake_);
    }
    DescriptorBytes(const DescriptorBytes&) = delete;
    DescriptorBytes& operator=(const DescriptorBytes&) = delete;

    size_t Read(char* to, size_t size, long number) override {
        for (;;) {
            if (stop_.stop_requested()) throw DumpCancelled();
            if (wake_ >= 0 && !Readable(number)) continue;
            const ssize_t got = ::read(fd_, to, size);
            if (got >= 0) return static_cast<size_t>(got);
            // EAGAIN: a descriptor opened without blocking had nothing after all; wait again.
            if (errno != EINTR && errno != EAGAIN)
                throw DumpError(file_, number, std::string("cannot read: ") + std::strerror(errno));
        }
    }

    uint64_t ExpectedSize() const override { return expected_; }

private:
    struct Wake {
        int fd;
        void operator()() const noexcept {
            const uint64_t one = 1;
            [[maybe_unused]] const ssize_t n = ::write(fd, &one, sizeof one);
        }
    };

    // Waits until the descriptor has something to say (data, its end, an error) or a stop is
    // requested; true in the first case. Before a read, also of a pipe opened without blocking,
    // whose read would otherwise end at once while no writer has come yet.
    bool Readable(long number) const {
        pollfd fds[] = {{fd_, POLLIN, 0}, {wake_, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) return false;
            throw DumpError(file_, number, std::string("cannot wait: ") + std::strerror(errno));
        }
        return fds[0].revents != 0 && fds[1].revents == 0;
    }

    int fd_;
    const std::string& file_;
    std::stop_token stop_;
    uint64_t expected_ = 0;
    int wake_ = -1;  // an eventfd the stop request writes to
    std::optional<std::stop_callback<Wake>> woken_;
};

// Hands out the lines of a dump one by one through a fixed buffer, so memory stays bounded
// whatever the file's size; a line longer than kMaxLineLength is refused before it is stored.
class LineSource {
public:
    // The buffer is left uninitialised, and a file of known size gets one just large enough (and a
    // byte more, to see its end in the same read): a small dump touches only the pages it needs.
    LineSource(ByteSource& bytes, const std::string& file)
        : bytes_(bytes),
          file_(file),
          chunk_(static_cast<size_t>(
              std::min<uint64_t>(kChunk, bytes.ExpectedSize() == 0 ? kChunk : bytes.ExpectedSize() + 1))),
          buf_(std::make_unique_for_overwrite<char[]>(chunk_)) {}

    // The next line without its end (and without a carriage return before it); false at the end.
    bool Next(std::string& line, long number) {
        line.clear();
        bool any = false;
        for (;;) {
            if (pos_ == end_ && !Fill(number)) return any;
            any = true;
            const char* start = buf_.get() + pos_;
            const auto* nl = static_cast<const char*>(std::memchr(start, '\n', end_ - pos_));
            const size_t n = nl != nullptr ? static_cast<size_t>(nl - start) : end_ - pos_;
            if (line.size() + n > kMaxLineLength) {
                // A file whose lines end in a carriage return alone is one long line.
                if (std::memchr(start, '\r', n) != nullptr || line.find('\r') != std::string::npos)
                    throw DumpError(file_, number, std::string(kNotADump) + kBareCarriageReturns);
                throw DumpError(file_, number,
                                "line longer than " + std::to_string(kMaxLineLength) + " characters");
            }
            line.append(start, n);
            pos_ += n;
            if (nl != nullptr) {
                ++pos_;
                break;
            }
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return true;
    }

private:
    static constexpr size_t kChunk = 64 * 1024;

    bool Fill(long number) {
        if (done_) return false;
        const size_t got = bytes_.Read(buf_.get(), chunk_, number);
        read_ += got;
        if (read_ > kMaxDumpBytes) throw DumpError(file_, number, TooLarge());
        pos_ = 0;
        end_ = got;
        done_ = got == 0;
        return got != 0;
    }

    ByteSource& bytes_;
    const std::string& file_;
    size_t chunk_;
    std::unique_ptr<char[]> buf_;
    size_t pos_ = 0;
    size_t end_ = 0;
    uint64_t read_ = 0;
    bool done_ = false;
};

enum class Layout { Unknown, CpuidRaw, Libcpuid, InstLat, Report };

// Why a line read before any layout is known cannot be text a dump sits in, or nullptr when it can:
// every layout is text, so a control byte other than a blank, a form feed or an escape (a terminal's
// colours) means the file is no dump at all, found on its first line rather than at the size bound.
// Two kinds of text are named, for they are turned into a dump by saving them again: UTF-16 (a NUL
// byte beside every character) and line ends of a carriage return alone (a line holding one).
const char* NotText(std::string_view line, long number) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(line[i]); };
    const bool bom =
        line.size() >= 2 && ((byte(0) == 0xFF && byte(1) == 0xFE) || (byte(0) == 0xFE && byte(1) == 0xFF));
    if (number == 1 && bom) return kUtf16;
    size_t nuls = 0;
    bool control = false, cr = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const unsigned char c = byte(i);
        if (c == 0) ++nuls;
        if (c == '\r')
            cr = true;
        else if (c < 0x20 && c != '\t' && c != '\v' && c != '\f' && c != 0x1B)
            control = true;
    }
    if (line.size() >= 4 && nuls * 2 + 1 >= line.size() && nuls * 2 <= line.size() + 1) return kUtf16;
    if (control) return "";
    if (cr) return kBareCarriageReturns;
    return nullptr;
}

// The layout a line proves. The strict layouts (`cpuid -r`, libcpuid) must begin the file, after
// blank lines and comments only; the report and the listing may sit inside other text.
Layout Recognise(std::string_view t, bool text_before) {
    if (!text_before && (IsCpuidRawHeader(t) || IsCpuidRawData(t))) return Layout::CpuidRaw;
    if (!text_before && IsLibcpuidLine(t)) return Layout::Libcpuid;
    if (t == kReportDumpMarker) return Layout::Report;
    if (IsInstLatData(t)) return Layout::InstLat;
    return Layout::Unknown;
}

}  // namespace

std::vector<DumpProcessor> dump_detail::ReadLines(ByteSource& bytes, const std::string& file) {
    Sections sections(file);
    std::unique_ptr<FormatReader> reader;
    LineSource lines(bytes, file);
    std::string raw;
    long number = 0;
    long first_text = 0;     // first line that is neither blank nor a comment, before the layout is known
    long first_comment = 0;  // first '#' line before the layout is known
    // A "CPU n:" line heading the file heads either `cpuid -r` or an InstLatx64 listing: the line
    // after it tells which, and it is handed to that layout's reader.
    std::string header;
    long header_line = 0;
    // Talvex's report names its processor and caches before its marker: the last lines of that kind,
    // for the report's reader should the marker follow.
    std::vector<std::pair<std::string, long>> report_head;
    const auto start = [&](std::unique_ptr<FormatReader> r) {
        reader = std::move(r);
        if (header_line != 0) reader->Line(header, header_line);
    };
    while (lines.Next(raw, number + 1)) {
        ++number;
        if (reader) {
            reader->Line(raw, number);
            continue;
        }
        if (const char* cause = NotText(raw, number))
            throw DumpError(file, number, std::string(kNotADump) + cause);
        const std::string_view t = Trim(raw);
        if (t.empty()) continue;
        if (header_line != 0) {
            start(IsInstLatData(t) ? MakeInstLatReader(sections) : MakeCpuidRawReader(sections));
            reader->Line(raw, number);
            continue;
        }
        if (first_text == 0 && IsCpuidRawHeader(t)) {
            header = raw;
            header_line = number;
            continue;
        }
        switch (Recognise(t, first_text != 0)) {
        case Layout::CpuidRaw: reader = MakeCpuidRawReader(sections); break;
        case Layout::Libcpuid:
            // libcpuid's files have no comment syntax.
            if (first_comment != 0) throw DumpError(file, first_comment, "not a line of a libcpuid dump");
            reader = MakeLibcpuidReader(sections);
            break;
        case Layout::InstLat: reader = MakeInstLatReader(sections); break;
        case Layout::Report:
            reader = MakeReportReader(sections);
            for (const auto& [line, at] : report_head) reader->Line(line, at);
            break;
        case Layout::Unknown:
            if (IsReportHeaderLine(t)) {
                constexpr size_t kHeadLines = 6;  // the name and five cache lines
                if (report_head.size() == kHeadLines) report_head.erase(report_head.begin());
                report_head.emplace_back(raw, number);
            }
            if (t.front() == '#') {
                if (first_comment == 0) first_comment = number;
            } else if (first_text == 0) {
                first_text = number;
            }
            break;
        }
        if (reader) reader->Line(raw, number);
    }
    if (number == 0) throw DumpError(file, 1, "empty file");
    if (!reader && header_line != 0) start(MakeCpuidRawReader(sections));
    if (!reader) {
        const long at = first_text != 0 ? first_text : (first_comment != 0 ? first_comment : number);
        throw DumpError(file, at, std::string(kNotADump));
    }
    reader->Finish(number);
    return sections.Take(number);
}

namespace {

std::vector<DumpProcessor> ReadDescriptor(int fd, const std::string& file, const struct stat* status,
                                          std::stop_token stop = {}) {
    DescriptorBytes bytes(fd, file, status, std::move(stop));
    return dump_detail::ReadLines(bytes, file);
}

}  // namespace

std::vector<DumpProcessor> ReadDumpDescriptor(int fd, const std::string& file) {
    struct stat status {};
    return ReadDescriptor(fd, file, ::fstat(fd, &status) == 0 ? &status : nullptr);
}

std::vector<DumpProcessor> ReadDumpFile(const std::string& path, std::stop_token stop) {
    // A reader that may be stopped does not wait in open() for a pipe's writer: it waits in poll(),
    // which the stop request ends.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | (stop.stop_possible() ? O_NONBLOCK : 0));
    if (fd < 0) throw DumpError(path, 0, std::strerror(errno));
    try {
        // A directory opens for reading here and fails only at the first read, which has no line.
        struct stat status {};
        const bool known = ::fstat(fd, &status) == 0;
        if (known && S_ISDIR(status.st_mode)) throw DumpError(path, 0, std::strerror(EISDIR));
        std::vector<DumpProcessor> cpus =
            ReadDescriptor(fd, path, known ? &status : nullptr, std::move(stop));
        ::close(fd);
        return cpus;
    } catch (...) {
        ::close(fd);
        throw;
    }
}

size_t SectionOf(size_t sections, uint64_t counted, const std::string& file) {
    if (counted == 0 || counted > sections) {
        throw DumpError(file, 0,
                        "no processor " + Decimal(counted) + "; the dump holds " + Decimal(sections)
                            + (sections == 1 ? " processor" : " processors"));
    }
    return counted - 1;
}

std::vector<DumpLeaf> SortedLeaves(const DumpProcessor& processor) {
    const auto key = [](const DumpLeaf& d) { return dump_detail::Key(d.leaf, d.subleaf); };
    std::vector<DumpLeaf> leaves = processor.leaves;
    // Stable, so that of two records of one key the first in the file stays.
    std::stable_sort(leaves.begin(), leaves.end(),
                     [&](const DumpLeaf& a, const DumpLeaf& b) { return key(a) < key(b); });
    leaves.erase(std::unique(leaves.begin(), leaves.end(),
                             [&](const DumpLeaf& a, const DumpLeaf& b) { return key(a) == key(b); }),
                 leaves.end());
    return leaves;
}

ReplaySource::ReplaySource(const DumpProcessor& processor) {
    const std::vector<DumpLeaf> sorted = SortedLeaves(processor);
    leaves_.reserve(sorted.size());
    for (const DumpLeaf& d : sorted) leaves_.emplace_back(dump_detail::Key(d.leaf, d.subleaf), d.regs);
}

TCPUIDRegs ReplaySource::Execute(uint32_t leaf, uint32_t subleaf) const {
    const uint64_t key = dump_detail::Key(leaf, subleaf);
    auto it = dump_detail::LowerBound(leaves_, key);
    return it != leaves_.end() && it->first == key ? it->second : TCPUIDRegs{};
}

bool ReplaySource::Recorded(uint32_t leaf, uint32_t subleaf) const {
    const uint64_t key = dump_detail::Key(leaf, subleaf);
    auto it = dump_detail::LowerBound(leaves_, key);
    return it != leaves_.end() && it->first == key;
}

}  // namespace talvex
