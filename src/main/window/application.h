#pragma once
// The application object and the program's one error handler: an error escaping any event
// handler ends that handler, is shown in the "Talvex" error box, and the program goes on.

#include <QApplication>
#include <QFont>
#include <QString>

#include <exception>
#include <functional>
#include <string_view>

namespace talvex {

// The box text: the message, with a full stop appended when its last character sorts after "."
// (compared as an unsigned byte, so any non-ASCII ending gets one too).
QString ErrorBoxText(std::string_view message);

// Shows one error box's text. The application's is the modal box.
using ErrorReporter = std::function<void(const QString& text)>;
// Shows one error through the application's reporter (the modal box without a TalvexApplication).
void ReportError(std::string_view message);

// Runs `handler`; an error escaping it is reported, and the program goes on.
template <class Handler>
void RunHandler(Handler&& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        ReportError(e.what());
    } catch (...) {
        ReportError("Unknown error");
    }
}

class TalvexApplication final : public QApplication {
public:
    // `reporter` shows the errors; empty: the modal "Talvex" box.
    TalvexApplication(int& argc, char** argv, ErrorReporter reporter = {});
    void Report(const QString& text) const;
    // Every event handler is reached through here, so this is where errors stop.
    bool notify(QObject* receiver, QEvent* event) override;

private:
    ErrorReporter reporter_;
};

// The windows' font: the layout's families (the first installed one wins) at the layout's size.
QFont WindowFont();

// True when Qt has somewhere to draw: an X or Wayland display, or a platform chosen explicitly.
bool DisplayConfigured();

}  // namespace talvex
