#include "main/window/copy.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLocale>
#include <QMimeData>

#include <stdexcept>
#include <string>

#include "main/report/report.h"

namespace talvex {

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
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard != nullptr) {
        auto* data = new QMimeData;  // plain text only
        data->setText(text);
        clipboard->setMimeData(data);
    }
    if (clipboard == nullptr || clipboard->text() != text)
        throw std::runtime_error("クリップボードを開くことができません");
}

}  // namespace talvex
