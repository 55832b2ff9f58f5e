#pragma once
// CPUID dumps recorded elsewhere, and the register source that replays one processor of them.

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <stdexcept>
#include <stop_token>
#include <string>
#include <utility>
#include <vector>

#include "probe/platform/cpuid.h"
#include "probe/platform/registers.h"

namespace talvex {

struct DumpLeaf {
    uint32_t leaf = 0;
    uint32_t subleaf = 0;
    TCPUIDRegs regs;
};

// One logical processor of a dump, its leaves in file order.
struct DumpProcessor {
    std::vector<DumpLeaf> leaves;
    long line = 0;                          // where its first leaf was read
    std::optional<ReportedLines> reported;  // a report of Talvex's own: its lines before the registers
};

// A dump that cannot be read; the message names the file and, once one was read, the line.
class DumpError : public std::runtime_error {
public:
    DumpError(const std::string& file, long line, const std::string& what);
    const std::string& file() const { return file_; }
    long line() const { return line_; }

private:
    std::string file_;
    long line_;
};

// The reading of a dump was stopped on request: nothing is wrong with the file.
class DumpCancelled : public std::runtime_error {
public:
    DumpCancelled() : std::runtime_error("reading cancelled") {}
};

// The largest dump Talvex reads; anything beyond is refused whole, with one message, before it is
// stored: the most processors Linux configures, 512 records for each of them in all (only the
// totals are bounded: one processor may hold more), and the bytes those take with room for comments.
inline constexpr size_t kMaxDumpProcessors = 8192;
inline constexpr size_t kMaxDumpLeaves = kMaxDumpProcessors * 512;
inline constexpr uint64_t kMaxDumpBytes = uint64_t{512} << 20;

// Reads every processor section of a dump, recognising the layout from the content: Talvex's own
// report, `cpuid -r`, libcpuid's raw arrays, or the InstLatx64 / AIDA64 / EVEREST listing.
// Throws DumpError on anything it does not understand.
std::vector<DumpProcessor> ReadDump(std::istream& in, const std::string& file);
// A file is read 64 KB at a time; once `stop` is requested, the next read throws DumpCancelled, also
// while it waits for data (a pipe nobody writes to, a terminal).
std::vector<DumpProcessor> ReadDumpFile(const std::string& path, std::stop_token stop = {});
// The same from an open file descriptor (standard input), read to its end; `file` names it.
std::vector<DumpProcessor> ReadDumpDescriptor(int fd, const std::string& file);

// The section of a dump of `sections` processors that is its processor `counted` (from 1, as --cpu
// and the details window count a dump's processors). A dump that holds fewer is refused, naming the
// number: an answer about another processor than the one asked for would pass for it.
size_t SectionOf(size_t sections, uint64_t counted, const std::string& file);

// The leaves of a processor in ascending (leaf, sub-leaf) order, one per (leaf, sub-leaf): of two
// records of one the first in the dump, the one a replay answers with.
std::vector<DumpLeaf> SortedLeaves(const DumpProcessor& processor);

// Answers from a recorded processor: a leaf missing from the dump answers four zero registers.
// A query is a binary search in a sorted array: no allocation, no locking.
class ReplaySource final : public RegisterSource {
public:
    explicit ReplaySource(const DumpProcessor& processor);
    bool HasCPUID() const override { return true; }
    TCPUIDRegs Execute(uint32_t leaf, uint32_t subleaf) const override;
    // Whether the dump holds this (leaf, sub-leaf), as opposed to answering zeros for it.
    bool Recorded(uint32_t leaf, uint32_t subleaf) const;

private:
    // Key: leaf in the high 32 bits, sub-leaf in the low ones.
    std::vector<std::pair<uint64_t, TCPUIDRegs>> leaves_;
};

}  // namespace talvex
