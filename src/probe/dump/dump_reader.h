#pragma once
// Pieces shared by the dump readers: text scanning, the processor sections being collected,
// and the interface each format's reader implements.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "probe/dump/dump.h"
#include "probe/dump/dump_layouts.h"

namespace talvex::dump_detail {

// Longest line read; a longer one is refused rather than buffered.
inline constexpr size_t kMaxLineLength = 8192;

inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }

inline std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

inline void SkipBlanks(std::string_view& s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
}

inline bool ConsumePrefix(std::string_view& s, std::string_view prefix) {
    if (!s.starts_with(prefix)) return false;
    s.remove_prefix(prefix.size());
    return true;
}

// Value of each byte as a hex digit, -1 when it is none: one load per digit on the hot path.
inline constexpr std::array<signed char, 256> kHexValue = [] {
    std::array<signed char, 256> t{};
    for (int c = 0; c < 256; ++c) {
        t[static_cast<size_t>(c)] = static_cast<signed char>(c >= '0' && c <= '9'   ? c - '0'
                                                             : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                             : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                                                    : -1);
    }
    return t;
}();

inline int HexDigit(char c) { return kHexValue[static_cast<unsigned char>(c)]; }

// Takes between `min_digits` and `max_digits` hex digits (either case) from the front of `s`.
// Fails, taking nothing, when there are fewer or when more digits follow.
std::optional<uint32_t> TakeHex(std::string_view& s, size_t min_digits, size_t max_digits);
// Exactly eight hex digits: the form of every register in every layout.
inline std::optional<uint32_t> TakeRegister(std::string_view& s) { return TakeHex(s, 8, 8); }
// Decimal digits, at most `limit`.
std::optional<uint32_t> TakeDecimal(std::string_view& s, uint32_t limit);

// The processors read so far. A processor's (leaf, sub-leaf) may repeat only with the same values.
class Sections {
public:
    explicit Sections(const std::string& file) : file_(file) {}

    // Starts a new processor; an empty current one is reused.
    void Open();
    bool CurrentEmpty() const { return cpus_.empty() || cpus_.back().leaves.empty(); }
    bool CurrentHas(uint32_t leaf, uint32_t subleaf) const;
    // Refuses the whole dump once it goes beyond kMaxDumpProcessors or kMaxDumpLeaves.
    void Add(uint32_t leaf, uint32_t subleaf, const TCPUIDRegs& regs, long line);
    // What the current processor's report says beside its registers (Talvex's own report).
    void SetReported(ReportedLines lines);
    [[noreturn]] void Fail(long line, const std::string& what) const;
    std::vector<DumpProcessor> Take(long last_line);

    // Slots of the key index looked at so far: about one a lookup whatever order the leaves come in.
    size_t Probes() const { return probes_; }

private:
    // One slot of the index: the key, and where the record sits among the current processor's leaves.
    // A slot belongs to the current processor only when it carries the current generation, so
    // opening the next processor clears the index at no cost.
    struct Slot {
        uint64_t key = 0;
        uint32_t index = 0;
        uint32_t generation = 0;
    };
    // The index of the slot holding `key`, or of the free slot where it would go (the index is never
    // full); adds the slots looked at to `probes`.
    size_t SlotIndex(uint64_t key, size_t& probes) const;
    void Grow();

    const std::string& file_;
    std::vector<DumpProcessor> cpus_;
    size_t leaves_ = 0;  // in every processor
    // The current processor's (leaf << 32 | sub-leaf) keys: open addressing with linear probing, at
    // most half full, so each record costs about one probe whatever order the file lists them in.
    std::vector<Slot> slots_;
    size_t used_ = 0;
    uint32_t generation_ = 1;
    mutable size_t probes_ = 0;
};

// Where the bytes of a dump come from: a stream (dump_stream.cpp), or a file descriptor (no stream
// at all, so the command line links none of the C++ stream library, nor its start-up).
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Up to `size` bytes; 0 at the end. A failing read throws DumpError at line `number`: a dump cut
    // short would otherwise pass for a complete one.
    virtual size_t Read(char* to, size_t size, long number) = 0;
    // The number of bytes expected, when known before reading (a regular file); 0 when not.
    virtual uint64_t ExpectedSize() const { return 0; }
};

// Every line of `bytes` through the layout it turns out to be in: ReadDump's work.
std::vector<DumpProcessor> ReadLines(ByteSource& bytes, const std::string& file);

// One layout's reader: gets every line from the one that identified the layout on.
class FormatReader {
public:
    virtual ~FormatReader() = default;
    // `line` has no line end and no trailing carriage return.
    virtual void Line(std::string_view line, long number) = 0;
    virtual void Finish(long last_line) = 0;
};

std::unique_ptr<FormatReader> MakeCpuidRawReader(Sections& sections);
std::unique_ptr<FormatReader> MakeLibcpuidReader(Sections& sections);
std::unique_ptr<FormatReader> MakeInstLatReader(Sections& sections);
std::unique_ptr<FormatReader> MakeReportReader(Sections& sections);

// Line shapes that identify a layout, used both by the readers and to recognise the layout.
bool IsCpuidRawHeader(std::string_view trimmed);
bool IsCpuidRawData(std::string_view trimmed);
bool IsLibcpuidLine(std::string_view trimmed);
bool IsInstLatData(std::string_view trimmed);
// A line of Talvex's report before its marker that names the processor or a cache size.
bool IsReportHeaderLine(std::string_view trimmed);

}  // namespace talvex::dump_detail
