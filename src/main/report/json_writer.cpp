#include "main/report/json_writer.h"

#include <stdexcept>

#include "main/report/output_text.h"

namespace talvex {

void JsonWriter::NextMember() {
    if (depth_ == 0) return;
    Level& level = levels_[depth_ - 1];
    if (!level.empty) out_ += level.layout == Layout::Inline ? ", " : ",";
    level.empty = false;
    if (level.layout == Layout::Lines) {
        line_indent_ = static_cast<uint8_t>(level.indent + 2);
        out_ += '\n';
        out_.append(line_indent_, ' ');
    }
}

void JsonWriter::BeforeValue() {
    if (keyed_)
        keyed_ = false;
    else
        NextMember();
}

JsonWriter& JsonWriter::Key(std::string_view key) {
    NextMember();
    AppendJsonString(out_, key);
    out_ += ": ";
    keyed_ = true;
    return *this;
}

JsonWriter& JsonWriter::String(std::string_view bytes) {
    BeforeValue();
    AppendJsonString(out_, bytes);
    return *this;
}

JsonWriter& JsonWriter::Name(std::string_view name) {
    BeforeValue();
    AppendJsonName(out_, name);
    return *this;
}

JsonWriter& JsonWriter::Bool(bool value) {
    BeforeValue();
    out_ += value ? "true" : "false";
    return *this;
}

JsonWriter& JsonWriter::Null() {
    BeforeValue();
    out_ += "null";
    return *this;
}

JsonWriter& JsonWriter::Begin(char open, char close, Layout layout) {
    if (depth_ == levels_.size()) throw std::logic_error("JSON nested too deep");
    BeforeValue();
    out_ += open;
    levels_[depth_++] = Level{close, layout, true, line_indent_};
    return *this;
}

JsonWriter& JsonWriter::End() {
    const Level level = levels_[--depth_];
    if (level.layout == Layout::Lines && !level.empty) {
        line_indent_ = level.indent;
        out_ += '\n';
        out_.append(line_indent_, ' ');
    }
    out_ += level.close;
    return *this;
}

}  // namespace talvex
