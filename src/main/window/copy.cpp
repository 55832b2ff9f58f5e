#include "main/window/copy.h"

#include <QLocale>

#include <stdexcept>

#include "main/report/environment_locale.h"
#include "main/report/output_text.h"

namespace talvex {

void CopyTextToClipboard(const ClipboardWriter& write, const QString& text) {
    if (!write(text)) throw std::runtime_error("クリップボードを開くことができません");
}

PendingReport::PendingReport(const Probe& probe)
    : separator_(QLocale().decimalPoint().toStdString()), parts_(BuildReportParts(probe)) {
    // The date comes in the locale's own encoding; anything but UTF-8 is taken byte by byte.
    const std::string stamp = CurrentTimeStampLine();
    stamp_ = IsValidUtf8(stamp) ? QString::fromStdString(stamp) : QString::fromLatin1(stamp);
}

QString PendingReport::Text(int64_t hz) const {
    const std::string report = parts_.name_line + ClockLine(hz, separator_) + parts_.rest;
    return stamp_ + "\r\n" + QString::fromLatin1(report.data(), static_cast<qsizetype>(report.size()));
}

}  // namespace talvex
