// Text for a terminal or a JSON reader. What the processor or a dump says is bytes: shown as
// Latin-1, with control bytes made visible, so output is valid UTF-8 and cannot drive a terminal.
#include "main/report/output_text.h"

#include <cstdint>

#include "probe/text/text.h"

namespace talvex {

namespace {

// What one kind of output does with the bytes that cannot go out as they are.
struct Escaping {
    std::string_view control;  // written before the two hex digits of a control byte or 0x7F
    bool crlf_is_line_end;     // "\r\n" becomes "\n" (a report's own line ends)
    bool latin1;               // 0x80..0xFF become the UTF-8 of the Latin-1 character
    bool json;                 // '"' and '\\' are escaped too
};

constexpr Escaping kTerminal{"\\x", true, true, false};
constexpr Escaping kProcessor{"\\x", false, false, false};
constexpr Escaping kJson{"\\u00", false, true, true};
constexpr Escaping kJsonUtf8{"\\u00", false, false, true};

bool Plain(unsigned char c, const Escaping& e) {
    return c >= 0x20 && c != 0x7F && (c < 0x80 || !e.latin1) && !(e.json && (c == '"' || c == '\\'));
}

void AppendEscaped(std::string& out, std::string_view bytes, const Escaping& e) {
    out.reserve(out.size() + bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        size_t run = i;  // plain bytes go out in one piece
        while (run < bytes.size() && Plain(static_cast<unsigned char>(bytes[run]), e)) ++run;
        out.append(bytes.substr(i, run - i));
        if (run == bytes.size()) break;
        const auto c = static_cast<unsigned char>(bytes[run]);
        i = run + 1;
        if (e.crlf_is_line_end && c == '\r' && i < bytes.size() && bytes[i] == '\n') {
            out.push_back('\n');
            ++i;
        } else if (c < 0x20 || c == 0x7F) {
            out += e.control;
            AppendHex(out, c, 2);
        } else if (c >= 0x80) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back('\\');
            out.push_back(static_cast<char>(c));
        }
    }
}

}  // namespace

void AppendTerminalText(std::string& out, std::string_view bytes) { AppendEscaped(out, bytes, kTerminal); }

void AppendProcessorText(std::string& out, std::string_view bytes) { AppendEscaped(out, bytes, kProcessor); }

void AppendJsonString(std::string& out, std::string_view bytes) {
    out.push_back('"');
    AppendEscaped(out, bytes, kJson);
    out.push_back('"');
}

void AppendJsonName(std::string& out, std::string_view name) {
    out.push_back('"');
    AppendEscaped(out, name, IsValidUtf8(name) ? kJsonUtf8 : kJson);
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
