#include "probe/text/text.h"

namespace talvex {

void AppendHex(std::string& out, uint64_t value, int width, HexCase letters) {
    const char* digits_of = letters == HexCase::Upper ? "0123456789ABCDEF" : "0123456789abcdef";
    int digits = 1;
    while (digits < 16 && (value >> (4 * digits)) != 0) ++digits;
    for (int i = (width > digits ? width : digits) - 1; i >= 0; --i)
        out += i < 16 ? digits_of[(value >> (4 * i)) & 0xFu] : '0';
}

}  // namespace talvex
