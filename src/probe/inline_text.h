#pragma once
// Text held inside a table row rather than pointed at. The loader relocates every pointer of a
// constexpr table at each start of a position-independent program, whether the table is read or not;
// rows of these are left alone until read. Too long a text for its capacity stops the compilation.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace talvex {

template <size_t N>
class InlineText {
    static_assert(N <= 0xFF);

public:
    constexpr InlineText(std::string_view s) : size_(static_cast<uint8_t>(s.size())) {
        if (s.size() > N) throw "text too long for its capacity";
        for (size_t i = 0; i < s.size(); ++i) text_[i] = s[i];
    }
    constexpr InlineText(const char* s) : InlineText(std::string_view(s)) {}

    constexpr operator std::string_view() const { return {text_.data(), size_}; }
    constexpr const char* data() const { return text_.data(); }
    constexpr size_t size() const { return size_; }
    constexpr bool empty() const { return size_ == 0; }

    friend constexpr bool operator==(const InlineText& a, std::string_view b) {
        return std::string_view(a) == b;
    }

private:
    std::array<char, N> text_{};
    uint8_t size_;
};

}  // namespace talvex
