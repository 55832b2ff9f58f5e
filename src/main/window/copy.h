#pragma once
// The copy command: the information report, under a time stamp line, onto the clipboard.

#include <QDateTime>
#include <QString>

#include "probe/cpuid.h"

namespace talvex {

// "***" date " " time "***": the locale's short date and long time; the time is left out at
// exactly midnight.
QString ClipboardStampLine(const QDateTime& now);

// Builds the report from fresh queries and places it on the clipboard as plain text.
// Throws when the clipboard cannot be set.
void CopyReportToClipboard(const Probe& probe);

}  // namespace talvex
