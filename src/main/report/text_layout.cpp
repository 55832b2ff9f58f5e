#include "main/report/text_layout.h"

#include <algorithm>

namespace talvex {

namespace {

// Characters of UTF-8 text, as a terminal gives each a column.
size_t Columns(std::string_view text) {
    size_t n = 0;
    for (const char c : text) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

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
    // columns[i]: the columns of text[0, i), a character to a column.
    std::vector<size_t> columns(text.size() + 1, 0);
    for (size_t i = 0; i < text.size(); ++i)
        columns[i + 1] = columns[i] + ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80);
    const size_t row = kWrapColumn > indent ? kWrapColumn - indent : 0;
    // Where a row may end (the first blank after a word): after a list's ", " or "; ", and between
    // the words of an item wider than a row.
    std::vector<size_t> breaks, words;
    size_t item = 0;
    const auto close = [&](size_t end) {
        if (columns[end] - columns[item] > row) breaks.insert(breaks.end(), words.begin(), words.end());
        words.clear();
    };
    for (size_t i = 1; i < text.size(); ++i) {
        if (text[i] != ' ' || text[i - 1] == ' ') continue;
        if (text[i - 1] != ',' && text[i - 1] != ';') {
            words.push_back(i);
            continue;
        }
        close(i);
        breaks.push_back(i);
        item = i + 1;
    }
    close(text.size());

    out += lead;
    size_t column = Columns(lead), start = 0;
    const auto fits = [&](size_t end) { return column + columns[end] - columns[start] <= kWrapColumn; };
    for (size_t k = 0; k < breaks.size() && !fits(text.size()); ++k) {
        // The last break that keeps the row within bounds; the first when none does.
        while (k + 1 < breaks.size() && fits(breaks[k + 1])) ++k;
        out += text.substr(start, breaks[k] - start);
        out += '\n';
        out.append(indent, ' ');
        column = indent;
        start = std::min(text.find_first_not_of(' ', breaks[k]), text.size());
    }
    out += text.substr(start);
    out += '\n';
}

}  // namespace talvex
