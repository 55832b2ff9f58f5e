#pragma once
// The copy command: the information report, under a time stamp line, onto the clipboard.

#include <QString>

#include <cstdint>
#include <functional>

#include "probe/platform/cpuid.h"

namespace talvex {

// Places plain text on the clipboard; false when the clipboard refused it. The default writes to
// the application's clipboard and reads it back; tests put a refusing one here.
using ClipboardWriter = std::function<bool(const QString& text)>;
void SetClipboardWriter(ClipboardWriter writer);

// Places `text` on the clipboard through the writer above. Throws when the clipboard cannot be set.
void CopyTextToClipboard(const QString& text);

// Builds the report from fresh queries and places it on the clipboard as plain text, under the
// same time stamp line as talvex-report prints; `hz` is the clock measured for it.
// Throws when the clipboard cannot be set.
void CopyReportToClipboard(const Probe& probe, int64_t hz);

}  // namespace talvex
