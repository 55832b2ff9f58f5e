// Reading a dump: bounded line reading, recognising the layout from the first lines that
// identify one, and handing every line to that layout's reader.
#include "probe/dump/dump.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "probe/dump/dump_reader.h"
#include "probe/text.h"

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
    seen_.clear();
}

namespace {
constexpr uint64_t Key(uint32_t leaf, uint32_t subleaf) { return (uint64_t{leaf} << 32) | subleaf; }

template <typename Entries>
auto LowerBound(Entries& entries, uint64_t key) {
    return std::lower_bound(entries.begin(), entries.end(), key,
                            [](const auto& entry, uint64_t k) { return entry.first < k; });
}
}  // namespace

bool Sections::CurrentHas(uint32_t leaf, uint32_t subleaf) const {
    const uint64_t key = Key(leaf, subleaf);
    auto it = LowerBound(seen_, key);
    return it != seen_.end() && it->first == key;
}

void Sections::Add(uint32_t leaf, uint32_t subleaf, const TCPUIDRegs& regs, long line) {
    if (cpus_.empty()) cpus_.emplace_back();
    const uint64_t key = Key(leaf, subleaf);
    auto it = seen_.empty() || seen_.back().first < key ? seen_.end() : LowerBound(seen_, key);
    if (it != seen_.end() && it->first == key) {
        if (!(it->second == regs)) {
            Fail(line, "leaf " + Hex(leaf, 8) + " sub-leaf " + std::to_string(subleaf)
                           + " repeated with different values");
        }
        return;
    }
    seen_.insert(it, {key, regs});
    if (cpus_.back().leaves.empty()) cpus_.back().line = line;
    cpus_.back().leaves.push_back(DumpLeaf{leaf, subleaf, regs});
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

// Hands out the lines of a stream one by one through a fixed buffer, so memory stays bounded
// whatever the file's size; a line longer than kMaxLineLength is refused before it is stored.
class LineSource {
public:
    LineSource(std::istream& in, const std::string& file) : in_(in), file_(file), buf_(kChunk) {}

    // The next line without its end (and without a carriage return before it); false at the end.
    bool Next(std::string& line, long number) {
        line.clear();
        bool any = false;
        for (;;) {
            if (pos_ == end_ && !Fill(number)) return any;
            any = true;
            const char* start = buf_.data() + pos_;
            const auto* nl = static_cast<const char*>(std::memchr(start, '\n', end_ - pos_));
            const size_t n = nl != nullptr ? static_cast<size_t>(nl - start) : end_ - pos_;
            if (line.size() + n > kMaxLineLength)
                throw DumpError(file_, number,
                                "line longer than " + std::to_string(kMaxLineLength) + " characters");
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

    // A failing read (a directory, a device that refuses, a stream buffer that throws) ends the
    // whole reading: a dump cut short would otherwise pass for a complete one.
    bool Fill(long number) {
        std::streambuf* sb = in_.rdbuf();
        if (in_.bad()) throw DumpError(file_, number, "cannot read");
        if (sb == nullptr || !in_.good()) return false;
        std::streamsize got = 0;
        try {
            got = sb->sgetn(buf_.data(), static_cast<std::streamsize>(buf_.size()));
        } catch (const std::ios_base::failure& e) {
            // The file buffer's failures carry the system's reason; others only their text.
            const bool system = e.code() && e.code().category() != std::iostream_category();
            throw DumpError(file_, number, "cannot read: " + (system ? e.code().message() : e.what()));
        } catch (const std::exception& e) {
            throw DumpError(file_, number, std::string("cannot read: ") + e.what());
        }
        // What came before a failure is still read; the next Fill reports it at the line reached.
        if (got <= 0 && in_.bad()) throw DumpError(file_, number, "cannot read");
        pos_ = 0;
        end_ = got > 0 ? static_cast<size_t>(got) : 0;
        if (end_ == 0) in_.setstate(std::ios::eofbit);
        return end_ != 0;
    }

    std::istream& in_;
    const std::string& file_;
    std::vector<char> buf_;
    size_t pos_ = 0;
    size_t end_ = 0;
};

enum class Layout { Unknown, CpuidRaw, Libcpuid, InstLat, Report };

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

std::vector<DumpProcessor> ReadDump(std::istream& in, const std::string& file) {
    Sections sections(file);
    std::unique_ptr<FormatReader> reader;
    LineSource lines(in, file);
    std::string raw;
    long number = 0;
    long first_text = 0;     // first line that is neither blank nor a comment, before the layout is known
    long first_comment = 0;  // first '#' line before the layout is known
    // A "CPU n:" line heading the file heads either `cpuid -r` or an InstLatx64 listing: the line
    // after it tells which, and it is handed to that layout's reader.
    std::string header;
    long header_line = 0;
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
        case Layout::Report: reader = MakeReportReader(sections); break;
        case Layout::Unknown:
            if (t.front() == '#') {
                if (first_comment == 0) first_comment = number;
            } else if (first_text == 0) {
                first_text = number;
            }
            break;
        }
        if (reader) reader->Line(raw, number);
    }
    if (in.bad()) throw DumpError(file, number, "cannot read");
    if (number == 0) throw DumpError(file, 1, "empty file");
    if (!reader && header_line != 0) start(MakeCpuidRawReader(sections));
    if (!reader) {
        const long at = first_text != 0 ? first_text : (first_comment != 0 ? first_comment : number);
        throw DumpError(file, at, "not a CPUID dump in any known layout");
    }
    reader->Finish(number);
    return sections.Take(number);
}

std::vector<DumpProcessor> ReadDumpFile(const std::string& path) {
    // A directory opens for reading here and fails only at the first read, which has no line.
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) throw DumpError(path, 0, std::strerror(EISDIR));
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in) throw DumpError(path, 0, errno != 0 ? std::strerror(errno) : "cannot open");
    return ReadDump(in, path);
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

}  // namespace talvex
