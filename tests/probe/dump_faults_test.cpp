// A dump whose stream fails part way: the reading ends with an error naming the file and the line
// it had reached, never with the processors read so far passed off as the whole dump.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <streambuf>

#include "probe/dump/dump.h"
#include "support/files.h"

namespace talvex {
namespace {

enum class Failure { Throws, SetsBadbit };

// Serves `text` in small pieces and fails once `cut` bytes have been handed out.
class FailingBuffer : public std::streambuf {
public:
    FailingBuffer(std::string text, size_t cut, Failure failure)
        : text_(std::move(text)), cut_(cut), failure_(failure) {}
    void Attach(std::istream* stream) { stream_ = stream; }

protected:
    int_type underflow() override {
        if (served_ >= cut_) {
            if (failure_ == Failure::Throws) throw std::ios_base::failure("device went away");
            stream_->setstate(std::ios::badbit);
            return traits_type::eof();
        }
        const size_t n = std::min<size_t>(97, cut_ - served_);
        char* at = text_.data() + served_;
        setg(at, at, at + n);
        served_ += n;
        return traits_type::to_int_type(*at);
    }

private:
    std::string text_;
    size_t cut_;
    size_t served_ = 0;
    Failure failure_;
    std::istream* stream_ = nullptr;
};

long LineAt(const std::string& text, size_t offset) {
    return 1 + std::count(text.begin(), text.begin() + static_cast<long>(offset), '\n');
}

TEST(DumpFaults, AStreamFailingPartWayIsAnErrorNamingTheFileAndLine) {
    // A real dump, and one with two processor sections that a cut could make look like one.
    for (const std::string& file :
         {std::string(TALVEX_DUMPS_DIR) + "/normalized/intel-core2-quad-q6600-kentsfield.txt",
          std::string(TALVEX_TESTS_DIR) + "/main/cli/data/everest-pentium-4-640-two-cpus.txt"}) {
        const std::string text = testing::Slurp(file);
        ASSERT_GT(text.size(), 1000u) << file;
        std::istringstream whole(text);
        ASSERT_FALSE(ReadDump(whole, file).empty()) << file;

        const std::vector<size_t> cuts{0, 1, text.size() / 2, text.size() - 1};
        for (size_t cut : cuts) {
            for (Failure failure : {Failure::Throws, Failure::SetsBadbit}) {
                FailingBuffer buffer(text, cut, failure);
                std::istream in(&buffer);
                buffer.Attach(&in);
                try {
                    const auto cpus = ReadDump(in, file);
                    ADD_FAILURE() << "read " << cpus.size() << " processors from a stream cut at " << cut;
                } catch (const DumpError& e) {
                    EXPECT_EQ(e.file(), file);
                    // A failing buffer stops with the line it was at; a throwing one loses the piece
                    // it was filling, so its line is that piece's first.
                    if (failure == Failure::SetsBadbit) {
                        EXPECT_EQ(e.line(), LineAt(text, cut)) << cut;
                    }
                    EXPECT_GE(e.line(), 1);
                    EXPECT_LE(e.line(), LineAt(text, cut));
                    EXPECT_THAT(e.what(), ::testing::HasSubstr(": cannot read")) << cut;
                    if (failure == Failure::Throws) {
                        EXPECT_THAT(e.what(), ::testing::HasSubstr("device went away"));
                    }
                }
            }
        }
    }
}

TEST(DumpFaults, PathsThatOpenButCannotBeRead) {
    struct Case {
        std::string path, message;
    } cases[] = {
        {"/", "/: Is a directory"},  // opens, but no line of it can be read
        {"/proc/self/mem", "/proc/self/mem:1: cannot read: Input/output error"},
        {"/nonexistent/x.txt", "/nonexistent/x.txt: No such file or directory"},
    };
    for (const Case& c : cases) {
        try {
            ReadDumpFile(c.path);
            ADD_FAILURE() << c.path << " was read";
        } catch (const DumpError& e) {
            EXPECT_EQ(std::string(e.what()), c.message);
        }
    }
}

}  // namespace
}  // namespace talvex
