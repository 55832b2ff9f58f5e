// Text for a terminal or a JSON reader. What the processor or a dump says is bytes: shown as
// Latin-1, with control bytes made visible, so output is valid UTF-8 and cannot drive a terminal.
#include "main/report/output_text.h"

#include <cstdint>

#include "probe/text.h"

namespace talvex {

namespace {

void AppendLatin1(std::string& out, unsigned char c) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
}

}  // namespace

void AppendTerminalText(std::string& out, std::string_view bytes) {
    out.reserve(out.size() + bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            out.push_back('\n');
            ++i;
        } else if (c < 0x20 || c == 0x7F) {
            out += "\\x";
            AppendHex(out, c, 2);
        } else if (c >= 0x80) {
            AppendLatin1(out, c);
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
}

void AppendProcessorText(std::string& out, std::string_view bytes) {
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F) {
            out += "\\x";
            AppendHex(out, c, 2);
        } else {
            out.push_back(ch);
        }
    }
}

void AppendJsonString(std::string& out, std::string_view bytes) {
    out.push_back('"');
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(ch);
        } else if (c < 0x20 || c == 0x7F) {
            out += "\\u00";
            AppendHex(out, c, 2);
        } else if (c >= 0x80) {
            AppendLatin1(out, c);
        } else {
            out.push_back(ch);
        }
    }
    out.push_back('"');
}

bool IsValidUtf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        size_t n = 0;
        uint32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            n = 1, cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            n = 2, cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            n = 3, cp = c & 0x07;
        } else {
            return false;
        }
        for (size_t k = 1; k <= n; ++k) {
            if (i + k >= s.size()) return false;
            const auto d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        static constexpr uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
        if (cp < kMin[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += n + 1;
    }
    return true;
}

}  // namespace talvex
