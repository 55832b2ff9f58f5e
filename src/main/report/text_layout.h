#pragma once
// The layout every text output of talvex-report shares (the details, --compare, --baseline): rows of
// at most kWrapColumn columns, keys in a column of their own, lists broken between their items.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace talvex {

inline constexpr size_t kWrapColumn = 100;

// "1 core", "3 cores".
std::string Plural(uint64_t n, std::string_view one, std::string_view many);
// `key` and the blanks up to column `width`; at least two.
std::string Pad(std::string_view key, size_t width);
std::string Joined(const std::vector<std::string>& words, std::string_view separator);

// `lead`, then `text` in rows of at most kWrapColumn characters, the rows after the first starting at
// column `indent`, and a line end. A row ends at the last blank that keeps it within the bound after
// a list's ", " or "; ", and inside an item only where the item is wider than a row; a word wider
// than a row stays whole.
void Wrapped(std::string& out, std::string_view lead, std::string_view text, size_t indent);

// `key` in a column `width` wide, then `value`, its rows lined up under the first.
inline void KeyLine(std::string& out, std::string_view key, std::string_view value, size_t width) {
    const std::string head = Pad(key, width);
    Wrapped(out, head, value, head.size());
}
// Words in rows indented by two columns, as the feature lists are; nothing when there are none.
inline void WordRows(std::string& out, const std::vector<std::string>& words) {
    if (!words.empty()) Wrapped(out, "  ", Joined(words, " "), 2);
}

}  // namespace talvex
