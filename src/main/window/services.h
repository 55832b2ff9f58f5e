#pragma once
// What the windows ask of the desktop and of the clock besides the processor: handed to them when they
// are made. The program passes the real ones; tests pass stand-ins.

#include <QString>
#include <QStringList>
#include <QWidget>

#include <chrono>
#include <functional>

#include "main/window/live_clock.h"

namespace talvex {

// A file dialog's answer: the path chosen (empty when cancelled) and the filter picked.
struct FileChoice {
    QString path;
    QString filter;
};
// Asks for a file to save (`save`) or to open, offering the name `suggested` (empty: none).
using FileDialog = std::function<FileChoice(QWidget* parent, bool save, const QString& caption,
                                            const QString& suggested, const QStringList& filters)>;
FileChoice AskWithQt(QWidget* parent, bool save, const QString& caption, const QString& suggested,
                     const QStringList& filters);

// Places plain text on the clipboard; false when the clipboard refused it.
using ClipboardWriter = std::function<bool(const QString& text)>;
// The application's clipboard, read back to see that it took the text.
bool WriteToClipboard(const QString& text);

struct WindowServices {
    FileDialog ask_file = AskWithQt;
    ClipboardWriter write_clipboard = WriteToClipboard;
    // How the details window's live clock measures a processor; empty: MeasurePinned through the
    // probe's platform.
    LiveMeasure live_measure;
    // The live clock's first reading, after the window is shown: once it has been drawn, so that
    // opening it costs no measurement.
    std::chrono::milliseconds live_first_reading{200};
};

}  // namespace talvex
