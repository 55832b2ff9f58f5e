// Reading a dump from a C++ stream, apart from the rest so that a program reading only files
// (talvex-report) links none of the stream library.
#include <istream>

#include "probe/dump/dump.h"
#include "probe/dump/dump_reader.h"

namespace talvex {

namespace {

using namespace dump_detail;

class StreamBytes final : public ByteSource {
public:
    StreamBytes(std::istream& in, const std::string& file) : in_(in), file_(file) {}

    // A failing read (a directory, a device that refuses, a stream buffer that throws) ends the
    // whole reading.
    size_t Read(char* to, size_t size, long number) override {
        std::streambuf* sb = in_.rdbuf();
        if (in_.bad()) throw DumpError(file_, number, "cannot read");
        if (sb == nullptr || !in_.good()) return 0;
        std::streamsize got = 0;
        try {
            got = sb->sgetn(to, static_cast<std::streamsize>(size));
        } catch (const std::ios_base::failure& e) {
            // The file buffer's failures carry the system's reason; others only their text.
            const bool system = e.code() && e.code().category() != std::iostream_category();
            throw DumpError(file_, number, "cannot read: " + (system ? e.code().message() : e.what()));
        } catch (const std::exception& e) {
            throw DumpError(file_, number, std::string("cannot read: ") + e.what());
        }
        // What came before a failure is still read; the next Read reports it at the line reached.
        if (got <= 0 && in_.bad()) throw DumpError(file_, number, "cannot read");
        if (got <= 0) in_.setstate(std::ios::eofbit);
        return got > 0 ? static_cast<size_t>(got) : 0;
    }

private:
    std::istream& in_;
    const std::string& file_;
};

}  // namespace

std::vector<DumpProcessor> ReadDump(std::istream& in, const std::string& file) {
    StreamBytes bytes(in, file);
    return dump_detail::ReadLines(bytes, file);
}

}  // namespace talvex
