#include "main/window/copy.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLocale>
#include <QMimeData>

#include <stdexcept>
#include <string>
#include <utility>

#include "main/report/environment_locale.h"
#include "main/report/output_text.h"
#include "main/report/report.h"

namespace talvex {

namespace {
bool WriteClipboard(const QString& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr) return false;
    auto* data = new QMimeData;  // plain text only; the clipboard owns it
    data->setText(text);
    clipboard->setMimeData(data);
    return clipboard->text() == text;
}

ClipboardWriter& CurrentWriter() {
    static ClipboardWriter writer = WriteClipboard;
    return writer;
}
}  // namespace

void SetClipboardWriter(ClipboardWriter writer) {
    CurrentWriter() = writer ? std::move(writer) : ClipboardWriter(WriteClipboard);
}

void CopyReportToClipboard(const Probe& probe, int64_t hz) {
    std::string report;
    BuildReport(probe, report, QLocale().decimalPoint().toStdString(), nullptr, hz);
    // The date comes in the locale's own encoding; anything but UTF-8 is taken byte by byte.
    const std::string stamp = CurrentTimeStampLine();
    const QString stamp_text =
        IsValidUtf8(stamp) ? QString::fromStdString(stamp) : QString::fromLatin1(stamp);
    const QString text =
        stamp_text + "\r\n" + QString::fromLatin1(report.data(), static_cast<qsizetype>(report.size()));
    CopyTextToClipboard(text);
}

void CopyTextToClipboard(const QString& text) {
    if (!CurrentWriter()(text)) throw std::runtime_error("クリップボードを開くことができません");
}

}  // namespace talvex
