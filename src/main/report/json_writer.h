#pragma once
// The JSON every output of the program writes. A container lays its members out one a line or all on
// the line it opens on; a member on a line of its own is indented two blanks deeper than the line its
// container opened on, where the container closes (right after it opens, when empty). Strings are
// bytes taken as Latin-1 (AppendJsonString). The writer checks nothing: keys go in objects, bare
// values in arrays.

#include <array>
#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>

namespace talvex {

class JsonWriter {
public:
    enum class Layout : uint8_t { Lines, Inline };

    // Appends to `out`.
    explicit JsonWriter(std::string& out) : out_(out) {}

    JsonWriter& BeginObject(Layout layout = Layout::Lines) { return Begin('{', '}', layout); }
    JsonWriter& BeginArray(Layout layout = Layout::Lines) { return Begin('[', ']', layout); }
    JsonWriter& BeginObject(std::string_view key, Layout layout = Layout::Lines) {
        return Key(key).BeginObject(layout);
    }
    JsonWriter& BeginArray(std::string_view key, Layout layout = Layout::Lines) {
        return Key(key).BeginArray(layout);
    }
    JsonWriter& EndObject() { return End(); }
    JsonWriter& EndArray() { return End(); }

    // The key of the next value, in an object.
    JsonWriter& Key(std::string_view key);

    JsonWriter& String(std::string_view bytes);
    // A name the user gave (a file name): kept as it is when it is UTF-8 (AppendJsonName).
    JsonWriter& Name(std::string_view name);
    template <std::integral T>
    JsonWriter& Number(T value) {
        BeforeValue();
        out_ += std::to_string(value);
        return *this;
    }
    JsonWriter& Bool(bool value);
    JsonWriter& Null();

    // A member of an object: its key, then the value.
    JsonWriter& String(std::string_view key, std::string_view bytes) { return Key(key).String(bytes); }
    JsonWriter& Name(std::string_view key, std::string_view name) { return Key(key).Name(name); }
    template <std::integral T>
    JsonWriter& Number(std::string_view key, T value) {
        return Key(key).Number(value);
    }
    JsonWriter& Bool(std::string_view key, bool value) { return Key(key).Bool(value); }
    JsonWriter& Null(std::string_view key) { return Key(key).Null(); }

private:
    struct Level {
        char close;
        Layout layout;
        bool empty;
        uint8_t indent;  // of the line the container opened on
    };

    JsonWriter& Begin(char open, char close, Layout layout);
    JsonWriter& End();
    // The separator and line break before a member of the open container.
    void NextMember();
    void BeforeValue();

    std::string& out_;
    std::array<Level, 8> levels_{};
    size_t depth_ = 0;
    uint8_t line_indent_ = 0;  // of the line being written
    bool keyed_ = false;       // a key was written: its value comes next, on its line
};

}  // namespace talvex
