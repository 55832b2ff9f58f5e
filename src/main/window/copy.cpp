#include "main/window/copy.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLocale>
#include <QMimeData>

#include <stdexcept>
#include <string>
#include <utility>

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

QString ClipboardStampLine(const QDateTime& now) {
    const QLocale locale;
    QString stamp = "***" + locale.toString(now.date(), QLocale::ShortFormat);
    if (now.time() != QTime(0, 0)) stamp += " " + locale.toString(now.time(), QLocale::LongFormat);
    return stamp + "***";
}

void CopyReportToClipboard(const Probe& probe) {
    std::string report;
    BuildReport(probe, report, QLocale().decimalPoint().toStdString());
    const QString text = ClipboardStampLine(QDateTime::currentDateTime()) + "\r\n"
                         + QString::fromLatin1(report.data(), static_cast<qsizetype>(report.size()));
    if (!CurrentWriter()(text)) throw std::runtime_error("クリップボードを開くことができません");
}

}  // namespace talvex
