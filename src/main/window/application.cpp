#include "main/window/application.h"

#include <QMessageBox>

#include <cstdlib>
#include <utility>

#include "main/window/layout.h"

namespace talvex {

namespace {
void ShowErrorBox(const QString& text) {
    QMessageBox box(QMessageBox::Critical, QString::fromUtf8(layout::kTitle), text, QMessageBox::Ok);
    box.exec();
}
}  // namespace

QString ErrorBoxText(std::string_view message) {
    QString text = QString::fromUtf8(message.data(), static_cast<qsizetype>(message.size()));
    if (!message.empty() && static_cast<unsigned char>(message.back()) > static_cast<unsigned char>('.'))
        text += QLatin1Char('.');
    return text;
}

void ReportError(std::string_view message) {
    const QString text = ErrorBoxText(message);
    if (const auto* app = dynamic_cast<const TalvexApplication*>(QCoreApplication::instance()))
        app->Report(text);
    else
        ShowErrorBox(text);
}

TalvexApplication::TalvexApplication(int& argc, char** argv, ErrorReporter reporter)
    : QApplication(argc, argv), reporter_(reporter ? std::move(reporter) : ErrorReporter(ShowErrorBox)) {}

void TalvexApplication::Report(const QString& text) const { reporter_(text); }

bool TalvexApplication::notify(QObject* receiver, QEvent* event) {
    bool handled = false;
    RunHandler([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

bool DisplayConfigured() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return true;
    }
    return false;
}

QFont WindowFont() {
    QFont font;
    QStringList families;
    for (const char* family : layout::kFontFamilies) families << QString::fromUtf8(family);
    font.setFamilies(families);
    font.setPixelSize(layout::kFontPixels);
    return font;
}

}  // namespace talvex
