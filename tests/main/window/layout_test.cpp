// The window against its layout table: what can go wrong when a window is built from data.
#include <QAction>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QWheelEvent>
#include <QWindow>

#include <functional>
#include <map>

#include "main/window/layout.h"
#include "support/paths.h"
#include "window_support.h"

namespace talvex {
namespace {

using testing::BitCaption;
using testing::BitName;
using testing::BitValue;
using testing::Find;
using testing::WindowFixture;
using Kind = layout::Kind;

QRect DesignRect(const layout::PlacedControl& c) { return QRect(c.left, c.top, c.width, c.height); }

struct LayoutTest : WindowFixture {
    void SetUp() override {
        WindowFixture::SetUp();
        testing::PlainProcessor(cpu);
        cpu.Set(0x80860000, 0x80860001).Set(0xC0000000, 0xC0000001);
    }
    QWidget* Control(const std::string& name) const {
        return form->client()->findChild<QWidget*>(QString::fromStdString(name), Qt::FindDirectChildrenOnly);
    }
};

TEST_F(LayoutTest, EveryControlAndMenuEntryExistsUnderItsName) {
    Create();
    for (const layout::PlacedControl& c : layout::AllControls()) {
        QWidget* w = Control(c.name);
        ASSERT_NE(w, nullptr) << c.name;
        const bool right_kind = (c.kind == Kind::Edit && qobject_cast<QLineEdit*>(w))
                                || (c.kind == Kind::Button && qobject_cast<QPushButton*>(w))
                                || (c.kind == Kind::Combo && qobject_cast<QComboBox*>(w))
                                || (c.kind >= Kind::Label && qobject_cast<QLabel*>(w));
        EXPECT_TRUE(right_kind) << c.name;
    }
    for (const layout::PlacedMenuEntry& m : layout::AllMenuEntries()) {
        const QString name = QString::fromStdString(m.name);
        if (m.kind == layout::MenuKind::Menu)
            EXPECT_NE(Named<QMenu>(name), nullptr) << m.name;
        else
            EXPECT_NE(Named<QAction>(name), nullptr) << m.name;
    }
    EXPECT_EQ(layout::AllControls().size(), 51u + 96u);
}

TEST_F(LayoutTest, ControlsStayInsideTheClientAreaAndOverlapOnlyWhereLaidOut) {
    Open();
    EXPECT_EQ(form->client()->size(), QSize(layout::kClientWidth, layout::kClientHeight));
    const auto controls = layout::AllControls();
    // Every register's names, since the long-name labels grow with their text.
    for (const FlagRegisterInfo& reg : kFlagRegisters) {
        Find<QAction>(*form, layout::MenuName(reg.id))->trigger();
        for (size_t i = 0; i < controls.size(); ++i) {
            const QRect a = Control(controls[i].name)->geometry();
            EXPECT_TRUE(QRect(0, 0, layout::kClientWidth, layout::kClientHeight).contains(a))
                << controls[i].name << " " << reg.entry_text;
            for (size_t j = i + 1; j < controls.size(); ++j) {
                const QRect b = Control(controls[j].name)->geometry();
                if (!a.intersects(b)) continue;
                EXPECT_TRUE(DesignRect(controls[i]).intersects(DesignRect(controls[j])))
                    << controls[i].name << " overlaps " << controls[j].name << " " << reg.entry_text;
            }
        }
    }
}

TEST_F(LayoutTest, CaptionsFitTheirControlsInTheFontInUse) {
    Open();
    const QFont font = Find<QLineEdit>(*form, "editCPUName")->font();
    const QString family = QFontInfo(font).family();
    EXPECT_TRUE(family == "IPAPGothic" || family == "ＭＳ Ｐゴシック" || family.contains("Gothic")
                || family.contains("CJK"))
        << family.toStdString();
    const QFontMetrics metrics(font);
    for (const QChar ch : QString::fromUtf8("クロック再測定"))
        EXPECT_TRUE(metrics.inFontUcs4(ch.unicode())) << family.toStdString();
    EXPECT_EQ(QFontInfo(font).pixelSize(), layout::kFontPixels);

    for (const layout::PlacedControl& c : layout::AllControls()) {
        QWidget* w = Control(c.name);
        if (auto* label = qobject_cast<QLabel*>(w)) {
            // Sized to the caption, and within the room the layout gave it.
            EXPECT_GE(label->width(), metrics.horizontalAdvance(label->text())) << c.name;
            if (!c.caption.empty()) {
                EXPECT_LE(label->width(), c.width) << c.name;
            }
        }
    }
    EXPECT_LE(metrics.horizontalAdvance(Find<QPushButton>(*form, "cmd_TSC")->text()) + 8,
              Find<QPushButton>(*form, "cmd_TSC")->width());
    for (const FlagRegisterInfo& reg : kFlagRegisters)
        EXPECT_LE(metrics.horizontalAdvance(reg.entry_text),
                  Find<QComboBox>(*form, "cmbFeature")->lineEdit()->width())
            << reg.entry_text;
    EXPECT_LE(metrics.horizontalAdvance("CPU32"),
              Find<QComboBox>(*form, "cmbProcessorMask")->lineEdit()->width());
    // The YES/NO box and the digit fields hold their widest texts.
    const QRect yes = BitValue(*form, 0)->contentsRect();
    EXPECT_LE(metrics.horizontalAdvance("YES"), yes.width());
    EXPECT_LE(metrics.height(), Find<QLineEdit>(*form, "editFamily")->contentsRect().height());
}

// Every field, label and flag row says what it shows; the flag rows follow the register shown, with
// the name Linux gives the bit where it has one.
TEST_F(LayoutTest, EveryControlHasATooltip) {
    Open();
    for (const layout::PlacedControl& c : layout::AllControls())
        EXPECT_FALSE(Control(c.name)->toolTip().isEmpty()) << c.name;
    for (const layout::ToolTipRow& row : layout::kToolTips)
        for (const char* name : {row.field, row.label})
            EXPECT_TRUE(*name == '\0' || Control(name) != nullptr) << name << ": no such control";
    struct Case {
        FlagRegister reg;
        int bit;
        const char* says;
    } cases[] = {
        {FlagRegister::StdECX, 9, "Standard Flags(ECX): leaf 1 ECX[9]; Linux calls it ssse3"},
        {FlagRegister::ExtEDX, 26, "Extended Flags: leaf 0x80000001 EDX[26]; Linux calls it pdpe1gb"},
        {FlagRegister::ExtEDX, 0, "Extended Flags: leaf 0x80000001 EDX[0]"},  // Linux: only leaf 1's fpu
    };
    for (const Case& c : cases) {
        Find<QAction>(*form, layout::MenuName(c.reg))->trigger();
        for (QWidget* w :
             {static_cast<QWidget*>(BitName(*form, c.bit)), static_cast<QWidget*>(BitValue(*form, c.bit)),
              static_cast<QWidget*>(BitCaption(*form, c.bit))})
            EXPECT_EQ(w->toolTip().replace('\n', ' ').toStdString(), c.says);
    }
}

// Every short name of every register, drawn in its field, keeps clear of the frame on both sides
// (a name wider than its field is scrolled to its end and runs into the left edge).
TEST_F(LayoutTest, EveryShortNameHasAMarginOnBothSides) {
    Open();
    for (const FlagRegisterInfo& reg : kFlagRegisters) {
        Find<QAction>(*form, layout::MenuName(reg.id))->trigger();
        for (int k = 0; k < 32; ++k) {
            QLineEdit* edit = BitName(*form, k);
            if (edit->text().isEmpty()) continue;
            const QImage image = edit->grab().toImage();
            const QColor base = edit->palette().color(QPalette::Base);
            // The columns holding ink: far from the field's colour, inside the frame's two pixels.
            int first = -1, last = -1;
            for (int x = 2; x < image.width() - 2; ++x) {
                for (int y = 2; y < image.height() - 2; ++y) {
                    const QColor c = image.pixelColor(x, y);
                    if (std::abs(c.lightness() - base.lightness()) < 80) continue;
                    if (first < 0) first = x;
                    last = x;
                }
            }
            SCOPED_TRACE(reg.entry_text + std::string(" ") + edit->text().toStdString());
            ASSERT_GE(first, 0);
            EXPECT_GE(first, 3);
            EXPECT_LE(last, image.width() - 4);
        }
    }
}

TEST_F(LayoutTest, TabOrderFollowsTheLayout) {
    Create();
    std::map<int, QWidget*> by_tab;
    for (const layout::PlacedControl& c : layout::AllControls())
        if (c.tab >= 0) by_tab[c.tab] = Control(c.name);
    ASSERT_EQ(by_tab.size(), 87u);
    ASSERT_EQ(by_tab.rbegin()->first, 86);
    std::vector<QWidget*> order;
    for (const auto& [tab, w] : by_tab) order.push_back(w);
    for (size_t i = 0; i + 1 < order.size(); ++i) {
        QWidget* next = order[i]->nextInFocusChain();
        while (std::find(order.begin(), order.end(), next) == order.end()) next = next->nextInFocusChain();
        EXPECT_EQ(next, order[i + 1]) << order[i]->objectName().toStdString();
    }
}

TEST_F(LayoutTest, InitialStatesAreTheLayouts) {
    Create();
    EXPECT_EQ(form->windowTitle(), "Talvex");
    for (const layout::PlacedControl& c : layout::AllControls()) {
        QWidget* w = Control(c.name);
        if (auto* edit = qobject_cast<QLineEdit*>(w)) {
            EXPECT_TRUE(edit->text().isEmpty()) << c.name;
            EXPECT_TRUE(edit->isReadOnly()) << c.name;
            // The 3D-light face, as read-only fields have it; Light or Base would look editable.
            EXPECT_EQ(edit->palette().color(QPalette::Base), edit->palette().color(QPalette::Midlight));
        }
        if (auto* label = qobject_cast<QLabel*>(w)) {
            EXPECT_EQ(label->text().toStdString(), c.caption) << c.name;
            EXPECT_EQ(label->isEnabled(), c.kind == Kind::Label) << c.name;
        }
    }
    EXPECT_EQ(Find<QComboBox>(*form, "cmbProcessorMask")->currentText(), "CPU1");
    EXPECT_EQ(Find<QComboBox>(*form, "cmbProcessorMask")->count(), 0);
    EXPECT_EQ(Find<QComboBox>(*form, "cmbFeature")->currentText(), "Standard Flags(EDX)");
    EXPECT_EQ(Find<QComboBox>(*form, "cmbFeature")->count(), 0);
    for (const layout::PlacedMenuEntry& m : layout::AllMenuEntries()) {
        const QString name = QString::fromStdString(m.name);
        QAction* action =
            m.kind == layout::MenuKind::Menu ? Named<QMenu>(name)->menuAction() : Named<QAction>(name);
        EXPECT_EQ(action->isVisible(), m.visible) << m.name;
        if (m.visible) {  // a hidden action reads as disabled
            EXPECT_EQ(action->isEnabled(), m.enabled) << m.name;
        }
        if (m.kind != layout::MenuKind::Separator) {
            EXPECT_EQ(action->text().toStdString(), m.caption) << m.name;
        }
    }
    EXPECT_TRUE(Find<QMenu>(*form, "mnuMainHelp")->actions().isEmpty());
    EXPECT_TRUE(Find<QAction>(*form, "N2")->isSeparator());
    // Fixed size, no maximise button.
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
    EXPECT_FALSE(form->windowFlags() & Qt::WindowMaximizeButtonHint);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    EXPECT_EQ(form->client()->geometry(),
              QRect(0, form->menuBar()->height(), layout::kClientWidth, layout::kClientHeight));
    EXPECT_EQ(form->height(), form->menuBar()->height() + layout::kClientHeight);
}

TEST_F(LayoutTest, SelectorsTakeOnlyUpAndDownAndRaiseOneChangeEach) {
    os.processor_count = 4;
    Open();
    for (QComboBox* combo :
         {Find<QComboBox>(*form, "cmbProcessorMask"), Find<QComboBox>(*form, "cmbFeature")}) {
        SCOPED_TRACE(combo->objectName().toStdString());
        QSignalSpy changes(combo, &QComboBox::activated);
        const QString text = combo->currentText();
        const int index = combo->currentIndex();
        for (QWidget* target : {static_cast<QWidget*>(combo), static_cast<QWidget*>(combo->lineEdit())}) {
            QTest::keyClicks(target, "cpu2 Extended");
            for (Qt::Key key :
                 {Qt::Key_Backspace, Qt::Key_Delete, Qt::Key_Return, Qt::Key_End, Qt::Key_PageDown})
                QTest::keyClick(target, key);
            QTest::keyClick(target, Qt::Key_V, Qt::ControlModifier);
        }
        EXPECT_EQ(combo->currentText(), text);
        EXPECT_EQ(combo->currentIndex(), index);
        EXPECT_EQ(changes.count(), 0);

        QTest::keyClick(combo, Qt::Key_Down);
        EXPECT_EQ(combo->currentIndex(), index + 1);
        EXPECT_EQ(changes.count(), 1);
        QTest::keyClick(combo, Qt::Key_Up);
        EXPECT_EQ(combo->currentIndex(), index);
        EXPECT_EQ(changes.count(), 2);
        combo->setCurrentIndex(index + 1);  // from code: no change event
        EXPECT_EQ(changes.count(), 2);
    }
    // Each arrow press pinned once: 1 at creation, then 2 and 1 again.
    EXPECT_EQ(os.affinity_calls, (testing::Pinnings{{0}, {1}, {0}}));
    EXPECT_TRUE(testing::ShownErrors().empty());
}

// Whatever set a selector's text (the Feature Flag menu, a reload after a processor change), Up and
// Down move on from the entry the text names.
TEST_F(LayoutTest, UpAndDownMoveFromTheEntryShown) {
    os.processor_count = 3;
    Open();
    QComboBox* features = Find<QComboBox>(*form, "cmbFeature");
    const auto menu = [&](FlagRegister id) { Find<QAction>(*form, layout::MenuName(id))->trigger(); };
    const auto cpu2 = [&] { Find<QAction>(*form, "mnuMainEditCPU2")->trigger(); };
    struct Case {
        const char* what;
        std::function<void()> before, change;
        Qt::Key key;
        const char* expected;
    } cases[] = {
        {"menu ECX, menu Extended, Up", [&] { menu(FlagRegister::StdECX); },
         [&] { menu(FlagRegister::ExtEDX); }, Qt::Key_Up, "Standard Flags(ECX)"},
        {"menu Extended, menu EDX, Down", [&] { menu(FlagRegister::ExtEDX); },
         [&] { menu(FlagRegister::StdEDX); }, Qt::Key_Down, "Standard Flags(ECX)"},
        {"ECX shown, processor change, Down", [&] { menu(FlagRegister::StdECX); }, cpu2, Qt::Key_Down,
         "Extended Flags"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.before();
        c.change();
        QTest::keyClick(features, c.key);
        EXPECT_EQ(features->currentText(), c.expected);
    }
    QComboBox* processors = Find<QComboBox>(*form, "cmbProcessorMask");
    Find<QAction>(*form, "mnuMainEditCPU3")->trigger();
    QTest::keyClick(processors, Qt::Key_Up);
    EXPECT_EQ(processors->currentText(), "CPU2");
}

// The wheel turns a selector only when it has the focus; Return presses the focused clock button.
TEST_F(LayoutTest, WheelNeedsTheFocusAndReturnPressesTheButton) {
    os.processor_count = 2;
    Open();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    QComboBox* processors = Find<QComboBox>(*form, "cmbProcessorMask");
    const auto wheel = [&] {
        const QPointF at(processors->width() / 2, processors->height() / 2);
        QWheelEvent event(at, processors->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(processors, &event);
    };
    Find<QPushButton>(*form, "cmd_TSC")->setFocus();
    wheel();
    EXPECT_EQ(processors->currentIndex(), 0);
    EXPECT_EQ(os.affinity_calls, (testing::Pinnings{{0}}));
    processors->setFocus();
    wheel();
    EXPECT_EQ(processors->currentIndex(), 1);
    EXPECT_EQ(os.affinity_calls, (testing::Pinnings{{0}, {1}}));

    QPushButton* button = Find<QPushButton>(*form, "cmd_TSC");
    button->setFocus();
    QSignalSpy clicked(button, &QPushButton::clicked);
    QTest::keyClick(button, Qt::Key_Return);
    QTest::keyClick(button, Qt::Key_Enter);
    EXPECT_EQ(clicked.count(), 2);
}

TEST(ErrorBoxText, FullStopAppendedWhenTheLastCharacterSortsAfterIt) {
    struct Row {
        const char* message;
        const char* shown;
    } rows[] = {
        {"Integer overflow", "Integer overflow."},
        {"Already ends.", "Already ends."},
        {"Ends with a dash -", "Ends with a dash -"},  // '-' sorts before '.'
        {"Ends with a slash /", "Ends with a slash /."},
        {"Ends in 9", "Ends in 9."},
        {"Ends with a bang!", "Ends with a bang!"},
        {"", ""},
        {"クリップボードを開くことができません", "クリップボードを開くことができません."},
    };
    for (const Row& row : rows) EXPECT_EQ(ErrorBoxText(row.message).toStdString(), row.shown) << row.message;
}

TEST_F(LayoutTest, AnErrorInAHandlerIsShownAndTheProgramGoesOn) {
    Open();
    cpu.throw_on_leaf = 0x80860000;  // the clock measurement's first query
    QTest::mouseClick(Find<QPushButton>(*form, "cmd_TSC"), Qt::LeftButton);
    testing::WaitForClock(*form);
    ASSERT_EQ(testing::ShownErrors().size(), 1u);
    EXPECT_EQ(testing::ShownErrors()[0], "fake processor failure.");

    cpu.throw_on_leaf.reset();
    Find<QLineEdit>(*form, "editCPUClock")->clear();
    QTest::mouseClick(Find<QPushButton>(*form, "cmd_TSC"), Qt::LeftButton);
    testing::WaitForClock(*form);
    EXPECT_EQ(testing::ShownErrors().size(), 1u);
    EXPECT_FALSE(Find<QLineEdit>(*form, "editCPUClock")->text().isEmpty());
}

TEST_F(LayoutTest, ClosingTheWindowEndsTheMessageLoop) {
    Open();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    bool timed_out = false;
    QTimer::singleShot(0, form.get(), [this] { form->windowHandle()->close(); });
    QTimer::singleShot(5000, [&] {
        timed_out = true;
        QCoreApplication::exit(2);
    });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_FALSE(timed_out);
    EXPECT_FALSE(form->isVisible());
}

// The real program on a real (virtual) X server, closed from outside through its File menu.
TEST(Program, ClosedThroughItsMenuItEnds) {
    QProcess program;
    program.start(QString(TALVEX_TESTS_DIR) + "/../tools/with-window", {TALVEX_EXE});
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
}

// A click on a selector's text opens its list and leaves it open, on a real X server under a
// window manager: offscreen, the press and the release reach one widget, and a list that opened on
// the press and closed on the release passed there.
TEST(Program, AClickOnASelectorsTextOpensItsList) {
    QStringList args{TALVEX_EXE, QString::number(layout::kClientHeight)};
    for (const layout::Control& c : layout::kControls)
        if (c.kind == Kind::Combo) args << QString("%1,%2").arg(c.left + 12).arg(c.top + c.height / 2);
    ASSERT_EQ(args.size(), 4);
    QProcess check;
    check.start(QString(TALVEX_TESTS_DIR) + "/../tools/check-selector-clicks", args);
    ASSERT_TRUE(check.waitForFinished(120000));
    const std::string said = check.readAllStandardError().toStdString();
    if (check.exitCode() == 77) GTEST_SKIP() << said;
    EXPECT_EQ(check.exitCode(), 0) << said;
}

// --help and --version answer on the terminal without a window; a display named on the command
// line is the one the failure names.
TEST(Program, CommandLine) {
    struct Case {
        QStringList args;
        int status;
        const char* out;  // standard output holds this
        const char* err;  // standard error holds this
    } cases[] = {
        {{"--help"}, 0, "talvex-report", ""},
        {{"--version"}, 0, "talvex " TALVEX_VERSION "\n", ""},
        {{"-display", ":4918"}, 1, "", "(:4918: "},
        // Qt's and X11's own options pass on to Qt, which then finds no display.
        {{"-display", ":4918", "-geometry", "10x10", "--style=fusion", "-reverse"}, 1, "", "(:4918: "},
        {{"--bogus"}, 2, "", "talvex: unknown argument '--bogus' (talvex --help lists the options)\n"},
        {{"-reverse", "file.txt"}, 2, "", "talvex: unknown argument 'file.txt'"},
        {{"-display"}, 2, "", "talvex: -display needs a value"},
    };
    for (const Case& c : cases) {
        QProcess program;
        QProcessEnvironment env;
        env.insert("PATH", "/usr/bin:/bin");
        env.insert("DISPLAY", ":4917");
        program.setProcessEnvironment(env);
        program.start(TALVEX_EXE, c.args);
        ASSERT_TRUE(program.waitForFinished(15000));
        SCOPED_TRACE(c.args.join(' ').toStdString());
        EXPECT_EQ(program.exitCode(), c.status);
        EXPECT_TRUE(QString::fromLocal8Bit(program.readAllStandardOutput()).contains(c.out));
        EXPECT_TRUE(QString::fromLocal8Bit(program.readAllStandardError()).contains(c.err));
    }
}

TEST(Program, WithoutADisplayItSaysSoInOneLineAndNamesTheReportTool) {
    // No display at all, and one that is named but cannot be reached.
    for (const char* display : {"", ":4917"}) {
        QProcess program;
        QProcessEnvironment env;
        env.insert("PATH", "/usr/bin:/bin");
        if (*display != '\0') env.insert("DISPLAY", display);
        program.setProcessEnvironment(env);
        program.start(TALVEX_EXE, {});
        ASSERT_TRUE(program.waitForFinished(15000));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << display;
        EXPECT_EQ(program.exitCode(), 1) << display;
        const QString err = QString::fromLocal8Bit(program.readAllStandardError());
        EXPECT_TRUE(err.contains("talvex-report")) << err.toStdString();
        EXPECT_EQ(err.count('\n'), 1) << err.toStdString();
    }
}

}  // namespace
}  // namespace talvex

int main(int argc, char** argv) { return talvex::testing::RunWindowTests(argc, argv); }
