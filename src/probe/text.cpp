#include "probe/text.h"

namespace talvex {

void AppendHex(std::string& out, uint64_t value, int width) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    int digits = 1;
    while (digits < 16 && (value >> (4 * digits)) != 0) ++digits;
    for (int i = (width > digits ? width : digits) - 1; i >= 0; --i)
        out += i < 16 ? kDigits[(value >> (4 * i)) & 0xFu] : '0';
}

}  // namespace talvex
