#pragma once
// Processor text on its way out of the program: to a terminal, into the report, into JSON.

#include <string>
#include <string_view>

namespace talvex {

// Report bytes for a terminal: "\r\n" becomes "\n", other control bytes (a bare "\n" included)
// and 0x7F become "\xNN", bytes 0x80..0xFF the UTF-8 of the Latin-1 character. Always valid UTF-8.
void AppendTerminalText(std::string& out, std::string_view bytes);
// Processor text inside the report, before AppendTerminalText sees it: control bytes and 0x7F
// become "\xNN" here, so a "\r\n" from the processor cannot pass for a line end.
void AppendProcessorText(std::string& out, std::string_view bytes);
// A JSON string literal, quotes included, bytes 0x80..0xFF taken as Latin-1.
void AppendJsonString(std::string& out, std::string_view bytes);
// A name the user gave (a file name) as a JSON string literal: kept as it is when it is UTF-8, else
// taken as Latin-1 as AppendJsonString takes it.
void AppendJsonName(std::string& out, std::string_view name);
bool IsValidUtf8(std::string_view bytes);

}  // namespace talvex
