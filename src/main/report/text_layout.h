#pragma once
// The layout every text output of talvex-report shares (the details, --compare, --baseline): rows
// of at most kWrapColumn columns, keys in a column of their own, values and lists broken between
// their items.

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

// `lead`, then `text` in rows of at most kWrapColumn columns (characters, not bytes), the rows after
// the first starting at column `indent`, and a line end. A row breaks at the last space that keeps it
// within the bound after a list's ", " or "; " if there is one, else at the last space that does;
// where none does, at the first space.
void Wrapped(std::string& out, std::string_view lead, std::string_view text, size_t indent);

// `key` (indented as the caller gives it) in a column `width` wide, then `value`, wrapped under itself.
inline void KeyLine(std::string& out, std::string_view key, std::string_view value, size_t width) {
    const std::string head = Pad(key, width);
    Wrapped(out, head, value, head.size());
}

// `words` with `separator` between them.
std::string Joined(const std::vector<std::string>& words, std::string_view separator);
// Words in rows indented by two columns, as the feature lists are; nothing when there are none.
inline void WordRows(std::string& out, const std::vector<std::string>& words) {
    if (!words.empty()) Wrapped(out, "  ", Joined(words, " "), 2);
}

}  // namespace talvex
