#include "main/report/text_layout.h"

#include <algorithm>

namespace talvex {

namespace {

// Whether a byte of UTF-8 starts a character, which takes a column.
bool Starts(char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }

}  // namespace

std::string Plural(uint64_t n, std::string_view one, std::string_view many) {
    return std::to_string(n) + " " + std::string(n == 1 ? one : many);
}

std::string Pad(std::string_view key, size_t width) {
    std::string text(key);
    text.append(text.size() + 2 > width ? 2 : width - text.size(), ' ');
    return text;
}

std::string Joined(const std::vector<std::string>& words, std::string_view separator) {
    std::string text;
    for (const std::string& w : words) (text += text.empty() ? "" : separator) += w;
    return text;
}

void Wrapped(std::string& out, std::string_view lead, std::string_view text, size_t indent) {
    std::vector<size_t> columns(text.size() + 1, 0);  // of text[0, i)
    for (size_t i = 0; i < text.size(); ++i) columns[i + 1] = columns[i] + Starts(text[i]);
    // Where a row may end, at the first blank after a word: after a list's ", " or "; ", and between
    // the words of an item wider than a row.
    std::vector<size_t> breaks, words;
    for (size_t i = 1, item = 0; i <= text.size(); ++i) {
        const bool end = i == text.size();
        if (!end && (text[i] != ' ' || text[i - 1] == ' ')) continue;
        if (!end && text[i - 1] != ',' && text[i - 1] != ';') {
            words.push_back(i);
            continue;
        }
        if (indent + columns[i] - columns[item] > kWrapColumn)
            breaks.insert(breaks.end(), words.begin(), words.end());
        words.clear();
        if (!end) breaks.push_back(i);
        item = i + 1;
    }
    out += lead;
    size_t column = std::count_if(lead.begin(), lead.end(), Starts), start = 0;
    const auto fits = [&](size_t end) { return column + columns[end] - columns[start] <= kWrapColumn; };
    for (size_t k = 0; k < breaks.size() && !fits(text.size()); ++k) {
        while (k + 1 < breaks.size() && fits(breaks[k + 1])) ++k;  // the last that fits, or the first
        (out += text.substr(start, breaks[k] - start)) += '\n';
        out.append(indent, ' ');
        column = indent;
        start = std::min(text.find_first_not_of(' ', breaks[k]), text.size());
    }
    (out += text.substr(start)) += '\n';
}

}  // namespace talvex
