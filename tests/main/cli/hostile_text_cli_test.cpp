// Processor text full of control bytes and bytes 0x80..0xFF, through the real program, both formats:
// the output is valid UTF-8, holds no raw control byte but the line feed, and still says exactly
// what the processor said once the escapes are undone.
#include <gtest/gtest.h>

#include <cstdio>

#include "main/cli/cli.h"
#include "main/cli/cli_support.h"

namespace talvex {
namespace {

using namespace testing;  // talvex::testing: the runner

struct Processor {
    std::string vendor;  // 12 bytes
    std::string brand;   // 48 bytes
};

// Three sections whose brands hold every byte 0x80..0xFF between them, with control bytes around.
std::vector<Processor> HostileProcessors() {
    std::vector<Processor> cpus(3);
    cpus[0].vendor = std::string("\x1B[2J\x07\r\nA\x7F\x80\xE9\xFF", 12);
    cpus[1].vendor = std::string("Gen\r\nuine\x1B\x07\x7F", 12);
    cpus[2].vendor = std::string("\xC0\xC1\r\x1B]0;x\x07\n\x85\xA0", 12);
    for (int i = 0; i < 48; ++i) {
        cpus[0].brand.push_back(static_cast<char>(0x80 + i));
        cpus[1].brand.push_back(static_cast<char>(0xB0 + i));
    }
    for (int i = 0; i < 32; ++i) cpus[2].brand.push_back(static_cast<char>(0xE0 + i));
    cpus[2].brand += std::string("\x1B[31m\x07\r\nX\x7F\r\n\x08\x1B\x01Z", 16);
    return cpus;
}

uint32_t Word(const std::string& s, size_t at) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i)
        v |= static_cast<uint32_t>(static_cast<unsigned char>(s[at + i])) << (8 * i);
    return v;
}

// clang-format off
std::string Row(uint32_t leaf, uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    char line[128];
    std::snprintf(line, sizeof line, "   0x%08x 0x00: eax=0x%08x ebx=0x%08x ecx=0x%08x edx=0x%08x\n",
                  leaf, a, b, c, d);
    return line;
}
// clang-format on

// The dump in `cpuid -r` layout: vendor in EBX, EDX, ECX; brand over 0x80000002..4.
std::string Dump(const std::vector<Processor>& cpus) {
    std::string text;
    for (size_t n = 0; n < cpus.size(); ++n) {
        const Processor& p = cpus[n];
        text += "CPU " + std::to_string(n) + ":\n";
        text += Row(0, 1, Word(p.vendor, 0), Word(p.vendor, 8), Word(p.vendor, 4));
        text += Row(1, 0x00000F43, 0, 0, 0x00800011);
        text += Row(0x80000000, 0x80000004, 0, 0, 0);
        for (uint32_t k = 0; k < 3; ++k) {
            const size_t at = 16 * k;
            text += Row(0x80000002 + k, Word(p.brand, at), Word(p.brand, at + 4), Word(p.brand, at + 8),
                        Word(p.brand, at + 12));
        }
    }
    return text;
}

// UTF-8 of characters U+0000..U+00FF back to the Latin-1 bytes; "?" for anything else.
std::string Latin1Of(const std::string& utf8) {
    std::string bytes;
    for (size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            bytes.push_back(static_cast<char>(c));
        } else if ((c == 0xC2 || c == 0xC3) && i + 1 < utf8.size()) {
            bytes.push_back(static_cast<char>(((c & 0x03) << 6) | (utf8[++i] & 0x3F)));
        } else {
            bytes.push_back('?');
        }
    }
    return bytes;
}

// Undoes the terminal's "\xNN"; only these can be there, since the input holds no backslash.
std::string Unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 2, "\\x") == 0 && i + 3 < text.size()) {
            out.push_back(static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16)));
            i += 3;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

// The string value of `"key": "..."` in the JSON, its escapes undone (\uXXXX below U+0100 only).
std::string JsonValue(const std::string& json, const std::string& key) {
    const std::string opener = "\"" + key + "\": \"";
    size_t i = json.find(opener);
    if (i == std::string::npos) return "<missing>";
    std::string out;
    for (i += opener.size(); i < json.size() && json[i] != '"'; ++i) {
        if (static_cast<unsigned char>(json[i]) < 0x20) return "<raw control byte in a string>";
        if (json[i] != '\\') {
            out.push_back(json[i]);
            continue;
        }
        const char e = json[++i];
        if (e == 'u') {
            const int code = std::stoi(json.substr(i + 1, 4), nullptr, 16);
            i += 4;
            if (code >= 0x80) return "<\\u above ASCII>";  // must have been written as UTF-8
            out.push_back(static_cast<char>(code));
        } else {
            out.push_back(e == 'n' ? '\n' : e == 'r' ? '\r' : e == 't' ? '\t' : e);
        }
    }
    return out;
}

std::string LineAfter(const std::string& text, const std::string& label) {
    const size_t at = text.find("\n" + label);
    if (at == std::string::npos) return "<missing>";
    const size_t start = at + 1 + label.size();
    return text.substr(start, text.find('\n', start) - start);
}

void ExpectHarmless(const std::string& out, const std::string& what) {
    EXPECT_TRUE(IsValidUtf8(out)) << what;
    for (unsigned char c : out) {
        if ((c < 0x20 && c != '\n') || c == 0x7F) {
            ADD_FAILURE() << what << ": raw control byte " << int{c};
            break;
        }
    }
}

TEST(HostileTextCli, EveryByteIsShownHarmlesslyAndCanBeReadBack) {
    const std::vector<Processor> cpus = HostileProcessors();
    TempDir dir;
    Spill(dir / "dump.txt", Dump(cpus));

    for (size_t n = 0; n < cpus.size(); ++n) {
        const std::vector<std::string> replay = {"--replay", (dir / "dump.txt").string(), "--cpu",
                                                 std::to_string(n + 1)};
        const Processor& p = cpus[n];

        const Result text = Exec(replay);
        ASSERT_EQ(text.status, 0) << text.err;
        ExpectHarmless(text.out, "text " + std::to_string(n + 1));
        // The processor's "\r\n" stays inside its line: it cannot start a line of its own.
        EXPECT_EQ(Latin1Of(Unescape(LineAfter(text.out, "VendorID: "))), p.vendor) << n + 1;
        EXPECT_EQ(text.out.find("\nuine"), std::string::npos);

        std::vector<std::string> json_args = replay;
        json_args.insert(json_args.end(), {"--format", "json"});
        const Result json = Exec(json_args);
        ASSERT_EQ(json.status, 0) << json.err;
        ExpectHarmless(json.out, "json " + std::to_string(n + 1));
        EXPECT_EQ(Latin1Of(JsonValue(json.out, "editVendorID")), p.vendor) << n + 1;
        EXPECT_EQ(Latin1Of(JsonValue(json.out, "editNameString")), p.brand) << n + 1;
    }
}

TEST(HostileTextCli, ProcessorTextEscapesEveryControlByte) {
    struct Case {
        std::string bytes, written;
    } cases[] = {
        {"plain \xE9\xFF", "plain \xE9\xFF"},  // 0x80..0xFF is left for the terminal step
        {"a\r\nb", "a\\x0D\\x0Ab"},
        {std::string("\0\x1F\x7F\x20", 4), "\\x00\\x1F\\x7F "},
        {"\x1B[2J\x07", "\\x1B[2J\\x07"},
    };
    for (const Case& c : cases) {
        std::string out = "L: ";
        AppendProcessorText(out, c.bytes);
        EXPECT_EQ(out, "L: " + c.written);
    }
}

}  // namespace
}  // namespace talvex
