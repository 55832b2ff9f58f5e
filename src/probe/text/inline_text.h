#pragma once
// Text held inside a table row or a record rather than pointed at. The loader relocates every pointer
// of a constexpr table at each start of a position-independent program, whether the table is read or
// not; rows of these are left alone until read. Too long a text for its capacity stops the compilation
// of a table, and is cut to the capacity at run time.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <type_traits>

namespace talvex {

template <size_t N>
class InlineText {
    static_assert(N <= 0xFF);

public:
    constexpr InlineText() = default;
    constexpr explicit InlineText(std::string_view s)
        : size_(static_cast<uint8_t>(s.size() < N ? s.size() : N)) {
        if (std::is_constant_evaluated() && s.size() > N) throw "text too long for its capacity";
        for (size_t i = 0; i < size_; ++i) text_[i] = s[i];
    }
    constexpr InlineText(const char* s) : InlineText(std::string_view(s)) {}

    constexpr std::string_view view() const { return {text_.data(), size_}; }
    constexpr operator std::string_view() const { return view(); }
    constexpr const char* data() const { return text_.data(); }
    constexpr size_t size() const { return size_; }
    constexpr bool empty() const { return size_ == 0; }

    // Sizes first: the tables' constant checks compare thousands of pairs, within every compiler's
    // bound on constant evaluation.
    friend constexpr bool operator==(const InlineText& a, const InlineText& b) {
        return a.size_ == b.size_ && a.view() == b.view();
    }
    friend constexpr bool operator==(const InlineText& a, std::string_view b) { return a.view() == b; }
    // A literal would otherwise match the two above equally well.
    friend constexpr bool operator==(const InlineText& a, const char* b) { return a.view() == b; }

private:
    std::array<char, N> text_{};
    uint8_t size_ = 0;
};

}  // namespace talvex
