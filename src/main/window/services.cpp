#include "main/window/services.h"

#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMimeData>

namespace talvex {

FileChoice AskWithQt(QWidget* parent, bool save, const QString& caption, const QString& suggested,
                     const QStringList& filters) {
    FileChoice choice;
    const QString joined = filters.join(";;");
    choice.path = save ? QFileDialog::getSaveFileName(parent, caption, suggested, joined, &choice.filter)
                       : QFileDialog::getOpenFileName(parent, caption, suggested, joined, &choice.filter);
    return choice;
}

bool WriteToClipboard(const QString& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr) return false;
    auto* data = new QMimeData;  // plain text only; the clipboard owns it
    data->setText(text);
    clipboard->setMimeData(data);
    return clipboard->text() == text;
}

}  // namespace talvex
