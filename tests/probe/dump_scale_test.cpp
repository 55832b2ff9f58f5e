// Reading costs in proportion to the dump, whatever order its leaves come in, and a dump beyond the
// bounds is refused whole. Costs are counted (slots the key index looks at), never timed.
#include <gtest/gtest.h>

#include <sstream>
#include <streambuf>
#include <string>
#include <utility>

#include "probe/dump/dump.h"
#include "probe/dump/dump_reader.h"
#include "support/hostile_dumps.h"

namespace talvex {
namespace {

using namespace dump_detail;

struct Read {
    size_t leaves = 0;
    size_t probes = 0;
};

// Hands every line to the layout's reader, as ReadDump does once it knows the layout.
Read ReadThrough(const std::string& text, std::unique_ptr<FormatReader> (*make)(Sections&)) {
    const std::string file = "hostile.txt";
    Sections sections(file);
    auto reader = make(sections);
    std::istringstream in(text);
    std::string line;
    long number = 0;
    while (std::getline(in, line)) reader->Line(line, ++number);
    reader->Finish(number);
    Read r;
    r.probes = sections.Probes();
    for (const DumpProcessor& p : sections.Take(number)) r.leaves += p.leaves.size();
    return r;
}

// 8 times the lines may cost at most 10 times the probes; a sorted insert or a hash that lets one
// run of neighbouring keys collide costs 64 times.
TEST(DumpScale, ReadingIsLinearInEveryOrder) {
    struct Shape {
        const char* name;
        std::string (*text)(size_t);
        std::unique_ptr<FormatReader> (*reader)(Sections&);
    };
    const Shape shapes[] = {
        {"descending sub-leaves", testing::DescendingSubleaves, MakeCpuidRawReader},
        {"shuffled listing", testing::ShuffledListing, MakeInstLatReader},
    };
    for (const Shape& shape : shapes) {
        SCOPED_TRACE(shape.name);
        const Read small = ReadThrough(shape.text(12500), shape.reader);
        const Read large = ReadThrough(shape.text(100000), shape.reader);
        EXPECT_EQ(small.leaves, 12500u);
        EXPECT_EQ(large.leaves, 100000u);
        EXPECT_LE(large.probes, 10 * small.probes);
        EXPECT_LE(large.probes, 3 * large.leaves);
    }
}

// The replay answers every leaf of a hostile dump as recorded.
TEST(DumpScale, HostileDumpsReplayAsRecorded) {
    std::istringstream descending(testing::DescendingSubleaves(1000));
    const ReplaySource deep(ReadDump(descending, "d.txt").at(0));
    for (uint32_t sub : {0u, 1u, 500u, 998u})
        EXPECT_EQ(deep.Execute(0xD, sub), (TCPUIDRegs{sub, ~sub, sub * 3, 1})) << sub;
    EXPECT_EQ(deep.Execute(0xD, 999), TCPUIDRegs{});

    std::istringstream shuffled(testing::ShuffledListing(1000));
    const ReplaySource listing(ReadDump(shuffled, "s.txt").at(0));
    EXPECT_EQ(listing.Execute(0, 0).EAX, 500u);
    EXPECT_EQ(listing.Execute(0x800001F3, 0).EAX, 0x800001F3u);
    EXPECT_EQ(listing.Execute(0x800001F4, 0), TCPUIDRegs{});
}

// One block of bytes over and over, produced as it is read: a file that never ends.
class Endless final : public std::streambuf {
public:
    explicit Endless(std::string block) : block_(std::move(block)) {
        setg(block_.data(), block_.data(), block_.data() + block_.size());
    }

private:
    int_type underflow() override {
        setg(block_.data(), block_.data(), block_.data() + block_.size());
        return traits_type::to_int_type(block_.front());
    }
    std::string block_;
};

// Bytes that are no text, as /dev/urandom gives them: refused at the first line, not read to the
// bytes bound.
TEST(DumpScale, EndlessNoiseIsRefusedAtItsFirstLine) {
    std::string block(4096, '\0');
    uint32_t x = 2463534242u;  // xorshift: the same bytes on every run
    for (char& c : block) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x & 0xFF);
    }
    Endless noise(block);
    std::istream in(&noise);
    try {
        ReadDump(in, "noise.bin");
        ADD_FAILURE() << "read endless noise";
    } catch (const DumpError& e) {
        EXPECT_EQ(std::string(e.what()), "noise.bin:1: not a CPUID dump in any known layout");
    }
}

TEST(DumpScale, BeyondTheBoundsIsRefusedWhole) {
    const std::string message =
        "dump too large: Talvex reads at most 8192 processors, 4194304 leaves and 512 MiB";
    // One processor more than the bound: refused at its first leaf, the lines of the rest taken.
    std::string text;
    for (size_t n = 0; n <= kMaxDumpProcessors; ++n) {
        text += "CPU " + std::to_string(n) + ":\n";
        testing::AppendRawLine(text, 0, 0, 1, 2, 3, 4);
    }
    std::istringstream processors(text);
    try {
        ReadDump(processors, "many.txt");
        ADD_FAILURE() << "read a dump of " << kMaxDumpProcessors + 1 << " processors";
    } catch (const DumpError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "many.txt:" + std::to_string(2 * kMaxDumpProcessors + 2) + ": " + message);
    }
    // Exactly at the bound it is read.
    text.resize(text.rfind("CPU "));
    std::istringstream bounded(text);
    EXPECT_EQ(ReadDump(bounded, "many.txt").size(), kMaxDumpProcessors);

    // Endless comment lines: the bytes bound must stop the reading.
    Endless endless(std::string(7999, '#') + "\n");
    std::istream in(&endless);
    try {
        ReadDump(in, "endless.txt");
        ADD_FAILURE() << "read an endless file";
    } catch (const DumpError& e) {
        // The line being read when the bytes ran over.
        const std::string line = std::to_string(kMaxDumpBytes / 8000 + 1);
        EXPECT_EQ(std::string(e.what()), "endless.txt:" + line + ": " + message);
    }
}

}  // namespace
}  // namespace talvex
