#pragma once
// Shared by the window tests: the application with the program's error handler, a recorder in
// place of the modal error box, and a window over the fake processor.

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <vector>

#include "main/window/application.h"
#include "main/window/mainform.h"
#include "main/window/workers.h"
#include "support/fakes.h"

// Readable failure messages for Qt texts.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace talvex::testing {

// A control or menu entry of the window by its object name, as a user's tools reach it.
template <class T>
T* Find(const QWidget& form, const QString& name) {
    T* found = form.findChild<T*>(name);
    if (found == nullptr) throw std::logic_error("the window has no " + name.toStdString());
    return found;
}
inline QLineEdit* BitName(const QWidget& form, int bit) {
    return Find<QLineEdit>(form, QString::asprintf("edit_bit%02d", bit));
}
inline QLineEdit* BitValue(const QWidget& form, int bit) {
    return Find<QLineEdit>(form, QString::asprintf("edit_flag_bit%02d", bit));
}
inline QLabel* BitCaption(const QWidget& form, int bit) {
    return Find<QLabel>(form, QString::asprintf("lbl_bit%02d", bit));
}

inline std::vector<QString>& ShownErrors() {
    static std::vector<QString> errors;
    return errors;
}

inline int RunWindowTests(int argc, char** argv) {
    TalvexApplication app(argc, argv, [](const QString& text) { ShownErrors().push_back(text); });
    ::testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    WaitForWorkers();
    return status;
}

// A processor with standard, extended and Transmeta leaves, so every panel has data.
inline void PlainProcessor(FakeSource& cpu) {
    cpu.Vendor("GenuineIntel", 2)
        .Set(1, 0x00000F29, 0x00020809, 0x00004400, 0xBFEBFBFF)
        .Set(2, 0x665B5001, 0, 0, 0x007B7040)
        .Set(0x80000000, 0x80000004)
        .Set(0x80000001, 0, 0, 0, 0x20100000)
        .Set(0x80000002, 0x20202020, 0x20202020, 0x20202020, 0x6E492020)
        .Set(0x80000003, 0x286C6574, 0x50202952, 0x69746E65, 0x52286D75)
        .Set(0x80000004, 0x20342029, 0x20555043, 0x30382E32, 0x007A4847);
}

// Lets the window's event loop run until its clock field shows a result.
inline bool WaitForClock(const Tmainform& form) {
    return QTest::qWaitFor([&] { return !form.ClockMeasuring(); }, 20000);
}

// Declared before the processor and platform that windows use: waits, as they go, for the workers
// the windows left behind.
struct AwaitWorkers {
    AwaitWorkers() = default;
    ~AwaitWorkers() { WaitForWorkers(); }
    AwaitWorkers(const AwaitWorkers&) = delete;
    AwaitWorkers& operator=(const AwaitWorkers&) = delete;
};

struct WindowFixture : ::testing::Test {
    FakeSource cpu;
    FakePlatform os;
    std::unique_ptr<Tmainform> form;

    void SetUp() override { ShownErrors().clear(); }
    // The workers the window left use `cpu` and `os`, which go after this.
    void TearDown() override {
        form.reset();
        WaitForWorkers();
    }

    Tmainform& Create() {
        form = std::make_unique<Tmainform>(Probe{cpu, os});
        return *form;
    }
    // Creates the window and waits for its first clock.
    Tmainform& Open() {
        Create();
        RunHandler([&] { form->FormCreate(); });
        WaitForClock(*form);
        return *form;
    }
    template <class T>
    T* Named(const QString& name) const {
        return form->findChild<T*>(name);
    }
};

}  // namespace talvex::testing
