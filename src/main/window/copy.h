#pragma once
// The copy command: the information report, under a time stamp line, onto the clipboard.

#include <QString>

#include <cstdint>
#include <string>

#include "main/report/report.h"
#include "main/window/services.h"
#include "probe/platform/cpuid.h"

namespace talvex {

// Places `text` on the clipboard through `write`. Throws when the clipboard refuses it.
void CopyTextToClipboard(const ClipboardWriter& write, const QString& text);

// The report as the user asked for it: built at once from fresh queries of the processor `probe`
// reaches, under the same time stamp line as talvex-report prints, and completed with the clock
// measured for it once that is known.
class PendingReport {
public:
    explicit PendingReport(const Probe& probe);
    // The clipboard's text, with `hz` as the report's clock.
    QString Text(int64_t hz) const;

private:
    QString stamp_;
    std::string separator_;
    ReportParts parts_;
};

}  // namespace talvex
