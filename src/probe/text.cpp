#include "probe/text.h"

namespace talvex {

std::string Hex(uint64_t value, int width) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    char buf[16];
    int n = 0;
    do {
        buf[n++] = kDigits[value & 0xF];
        value >>= 4;
    } while (value != 0);
    std::string out;
    out.reserve(static_cast<size_t>(width > n ? width : n));
    for (int i = n; i < width; ++i) out.push_back('0');
    while (n > 0) out.push_back(buf[--n]);
    return out;
}

}  // namespace talvex
