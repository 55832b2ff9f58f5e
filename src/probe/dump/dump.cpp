// Reading a dump: bounded line reading, recognising the layout from the first lines that
// identify one, and handing every line to that layout's reader.
#include "probe/dump/dump.h"

#include <algorithm>
#include <fstream>

#include "probe/dump/dump_reader.h"

namespace talvex {

DumpError::DumpError(const std::string& file, long line, const std::string& what)
    : std::runtime_error(file + ":" + std::to_string(line) + ": " + what), file_(file), line_(line) {}

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

bool Sections::CurrentHas(uint32_t leaf, uint32_t subleaf) const {
    return seen_.find({leaf, subleaf}) != seen_.end();
}

void Sections::Add(uint32_t leaf, uint32_t subleaf, const TCPUIDRegs& regs, long line) {
    if (cpus_.empty()) cpus_.emplace_back();
    auto [it, inserted] = seen_.try_emplace({leaf, subleaf}, regs);
    if (inserted) {
        if (cpus_.back().leaves.empty()) cpus_.back().line = line;
        cpus_.back().leaves.push_back(DumpLeaf{leaf, subleaf, regs});
    } else if (!(it->second == regs)) {
        Fail(line, "leaf " + Hex8(leaf) + " sub-leaf " + std::to_string(subleaf) +
                       " repeated with different values");
    }
}

void Sections::Fail(long line, const std::string& what) const { throw DumpError(file_, line, what); }

std::vector<DumpProcessor> Sections::Take(long last_line) {
    std::erase_if(cpus_, [](const DumpProcessor& p) { return p.leaves.empty(); });
    if (cpus_.empty()) Fail(last_line, "no CPUID data");
    return std::move(cpus_);
}

std::string Hex8(uint32_t value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string s(8, '0');
    for (int i = 7; i >= 0; --i, value >>= 4) s[static_cast<size_t>(i)] = kDigits[value & 0xF];
    return s;
}

}  // namespace dump_detail

namespace {

using namespace dump_detail;

// Reads one line without its end into `line`; false at the end of the input. A line longer
// than kMaxLineLength is refused before it is stored.
bool ReadLine(std::istream& in, std::string& line, long number, const std::string& file) {
    line.clear();
    std::streambuf* buf = in.rdbuf();
    if (buf == nullptr || !in.good()) return false;
    bool any = false;
    for (;;) {
        const int c = buf->sbumpc();
        if (c == std::char_traits<char>::eof()) {
            in.setstate(std::ios::eofbit);
            break;
        }
        any = true;
        if (c == '\n') break;
        if (line.size() == kMaxLineLength)
            throw DumpError(file, number, "line longer than " + std::to_string(kMaxLineLength) + " characters");
        line.push_back(static_cast<char>(c));
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return any;
}

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
    std::string raw;
    long number = 0;
    long first_text = 0;     // first line that is neither blank nor a comment, before the layout is known
    long first_comment = 0;  // first '#' line before the layout is known
    while (ReadLine(in, raw, number + 1, file)) {
        ++number;
        if (reader) {
            reader->Line(raw, number);
            continue;
        }
        const std::string_view t = Trim(raw);
        if (t.empty()) continue;
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
    if (in.bad()) throw DumpError(file, number, "read error");
    if (number == 0) throw DumpError(file, 1, "empty file");
    if (!reader) {
        const long at = first_text != 0 ? first_text : (first_comment != 0 ? first_comment : number);
        throw DumpError(file, at, "not a CPUID dump in any known layout");
    }
    reader->Finish(number);
    return sections.Take(number);
}

std::vector<DumpProcessor> ReadDumpFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw DumpError(path, 0, "cannot open");
    return ReadDump(in, path);
}

namespace {
constexpr uint64_t Key(uint32_t leaf, uint32_t subleaf) { return (uint64_t{leaf} << 32) | subleaf; }
}  // namespace

ReplaySource::ReplaySource(const DumpProcessor& processor) {
    leaves_.reserve(processor.leaves.size());
    for (const DumpLeaf& d : processor.leaves) leaves_.emplace_back(Key(d.leaf, d.subleaf), d.regs);
    // Stable, so that of two entries for one key the first in the file answers.
    std::stable_sort(leaves_.begin(), leaves_.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
}

TCPUIDRegs ReplaySource::Execute(uint32_t leaf, uint32_t subleaf) const {
    const uint64_t key = Key(leaf, subleaf);
    auto it = std::lower_bound(leaves_.begin(), leaves_.end(), key,
                               [](const auto& entry, uint64_t k) { return entry.first < k; });
    return it != leaves_.end() && it->first == key ? it->second : TCPUIDRegs{};
}

}  // namespace talvex
