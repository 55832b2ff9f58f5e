// The details window against talvex-report: every real dump opened in it, and this machine's
// processors, show in the models exactly the values `--details --format json` gives, Copy is the
// command's text, the leaves are what `--format cpuid-r` writes. Then the main window's entry, a
// refused pinning, saving and its failures, a dump that cannot be read.
#include <QChart>
#include <QChartView>
#include <QDate>
#include <QDialog>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSortFilterProxyModel>
#include <QStyle>
#include <QSysInfo>
#include <QTabWidget>
#include <QTableView>
#include <QToolTip>
#include <QTreeView>
#include <QValueAxis>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <functional>
#include <regex>
#include <sstream>
#include <thread>

#include "main/cli/cli_support.h"
#include "main/window/details_window.h"
#include "probe/details/capture.h"
#include "support/dumps.h"
#include "support/hostile_dumps.h"
#include "support/paths.h"
#include "window_support.h"

namespace talvex {
namespace {

using testing::Exec;
using testing::Find;
using testing::ShownErrors;

QString Cell(const QAbstractItemModel& m, int row, int column, const QModelIndex& parent = {}) {
    return m.index(row, column, parent).data().toString();
}

// "32 KB", "2 MB", "12 K-uops": the number in KB (or thousands of micro-operations).
double Size(const QString& text) {
    const QStringList parts = text.split(' ');
    return parts[0].toDouble() * (parts.value(1) == "MB" ? 1024 : 1);
}
QJsonValue Number(const QString& text, const char* none, QJsonValue value_of_none) {
    return text == none ? value_of_none : QJsonValue(text.toDouble());
}
QString OrDash(const QJsonValue& v) { return v.isNull() ? "-" : v.toString(); }

// "  Key                  value" lines of the text, as the header labels name them; a value's
// further rows (indented to the value) joined to it.
std::map<QString, QString> TextLines(const std::string& text) {
    std::map<QString, QString> lines;
    std::istringstream in(text);
    QString last;
    for (std::string line; std::getline(in, line);) {
        if (line.size() > 23 && line.compare(0, 23, std::string(23, ' ')) == 0 && !last.isEmpty()) {
            lines[last] += " " + QString::fromStdString(line.substr(23));
        } else if (line.size() > 23 && line.compare(0, 2, "  ") == 0 && line[2] != ' ') {
            last = QString::fromStdString(line.substr(2, 21)).trimmed();
            lines[last] = QString::fromStdString(line.substr(23));
        } else {
            last.clear();
        }
    }
    return lines;
}

// Whether two processors of the JSON are of another kind: core type, microarchitecture, cache sizes.
bool OtherKind(const QJsonObject& a, const QJsonObject& b) {
    const auto sizes = [](const QJsonObject& p) {
        QStringList s;
        for (const QJsonValue& c : p["caches"].toArray())
            s << c["type"].toString() + QString::number(c["level"].toInt()) + ":"
                     + QString::number(c[c["type"] == "trace" ? "kuops" : "sizeKB"].toDouble());
        return s;
    };
    return a["coreType"] != b["coreType"] || a["microarchitecture"] != b["microarchitecture"]
           || sizes(a) != sizes(b);
}

struct DetailsWindowTest : ::testing::Test {
    testing::FakeSource cpu;
    testing::FakePlatform os;
    QString copied;
    FileChoice answer;  // the file dialogs' answer
    QString suggested;  // the name the last file dialog offered
    WindowServices services;

    void SetUp() override {
        ShownErrors().clear();
        testing::PlainProcessor(cpu);
        services.write_clipboard = [this](const QString& text) {
            copied = text;
            return true;
        };
        services.ask_file = [this](QWidget*, bool, const QString&, const QString& name, const QStringList&) {
            suggested = name;
            return answer;
        };
        // The fake platform's clock cannot time a chain of additions: a shown window's live clock
        // reads from here.
        services.live_measure = [](const LiveProcessor& p) {
            return LiveReading{p.processor, PinStatus::Stayed, CoreClock{}};
        };
    }
    // The workers the windows left use `cpu` and `os`, which go after this.
    void TearDown() override { WaitForWorkers(); }
    // The next file dialog answers `path`, with `filter` picked.
    void Answer(const QString& path, const QString& filter = kCpuidRawFilter) { answer = {path, filter}; }

    // Open Dump answered with `path`, and the reading on its own thread waited for.
    void Open(DetailsWindow& w, const std::string& path) {
        Answer(QString::fromStdString(path));
        QTest::mouseClick(Find<QPushButton>(w, "openButton"), Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !w.IsOpening(); }, 60000));
    }

    // Every value the window shows for the processor chosen, against the JSON object and the text of
    // the same processor.
    void ExpectShows(const DetailsWindow& w, const QJsonObject& p, const std::string& text) {
        SCOPED_TRACE("processor " + std::to_string(p["cpu"].toInt()));
        for (const auto& [key, value] : TextLines(text)) {
            if (auto* label = w.findChild<QLabel*>(key)) {
                EXPECT_EQ(label->text(), value) << key.toStdString();
            }
        }
        EXPECT_EQ(Find<QLabel>(w, "Vendor")->text(), p["vendor"].toString());
        EXPECT_TRUE(Find<QLabel>(w, "Signature")->text().startsWith(p["signature"].toString()));

        const QAbstractItemModel& caches = *Find<QTableView>(w, "cacheView")->model();
        const QJsonArray expected = p["caches"].toArray();
        ASSERT_EQ(caches.rowCount(), expected.size());
        for (int r = 0; r < caches.rowCount(); ++r) {
            const QJsonObject c = expected[r].toObject();
            EXPECT_EQ(Cell(caches, r, 0), "L" + QString::number(c["level"].toInt()));
            EXPECT_EQ(Cell(caches, r, 1), c["type"].toString());
            EXPECT_EQ(Size(Cell(caches, r, 2)), c[c["type"] == "trace" ? "kuops" : "sizeKB"].toDouble());
            const QString ways = Cell(caches, r, 3);  // "-": a size alone, from a report's lines
            EXPECT_EQ(ways == "-" ? QJsonValue() : Number(ways, "full", 0), c["ways"]);
            EXPECT_EQ(ways == "-" ? QJsonValue() : Number(Cell(caches, r, 4), "-", 0), c["lineBytes"]);
            const QString shared = Cell(caches, r, 5);
            if (!c["sharedWith"].isNull()) {
                const QJsonArray with = c["sharedWith"].toArray();
                EXPECT_TRUE(shared.startsWith("[" + QString::number(with.first().toInt())));
                EXPECT_TRUE(shared.endsWith(QString::number(with.last().toInt()) + "]"))
                    << shared.toStdString();
            } else {
                EXPECT_EQ(shared, c["sharedBy"].isNull()
                                      ? "-"
                                      : "[up to " + QString::number(c["sharedBy"].toInt()) + "]");
            }
        }

        // The window shows each bit under its register; the JSON lists each name once (Linux's mba has
        // two bits), so the two compare as sets of names.
        const QAbstractItemModel& features = *Find<QTreeView>(w, "featureView")->model();
        QStringList set;
        int names = 0;
        for (int g = 0; g < features.rowCount(); ++g) {
            const QModelIndex group = features.index(g, 0);
            for (int k = 0; k < features.rowCount(group); ++k, ++names)
                if (Cell(features, k, FeatureModel::kValue, group) == "yes")
                    set.append(Cell(features, k, 0, group));
        }
        EXPECT_EQ(names, static_cast<int>(kListedFeatures));
        QStringList listed;
        for (const QJsonValue& name : p["features"].toArray()) listed.append(name.toString());
        set.removeDuplicates();
        set.sort();
        listed.sort();
        EXPECT_EQ(set, listed);
    }

    // The leaves shown, as `cpuid -r` lines.
    static std::string LeafLines(const DetailsWindow& w) {
        const QAbstractItemModel& m = *Find<QTableView>(w, "leafView")->model();
        std::string out;
        for (int r = 0; r < m.rowCount(); ++r) {
            out += QString("   0x%1 0x%2: eax=0x%3 ebx=0x%4 ecx=0x%5 edx=0x%6\n")
                       .arg(Cell(m, r, 0), Cell(m, r, 1), Cell(m, r, 2), Cell(m, r, 3), Cell(m, r, 4),
                            Cell(m, r, 5))
                       .toLower()
                       .toStdString();
        }
        return out;
    }

    // The processor table against the JSON, and against the text's per-processor table.
    static void ExpectProcessors(const DetailsWindow& w, const QJsonArray& all, const std::string& text) {
        const QAbstractItemModel& m = *Find<QTableView>(w, "processorView")->model();
        ASSERT_EQ(m.rowCount(), all.size());
        const size_t table = text.find("\nPer processor");
        std::istringstream rows(table == std::string::npos ? "" : text.substr(table + 1));
        std::string line;
        std::getline(rows, line);  // the title
        std::getline(rows, line);  // the column names
        for (int r = 0; r < m.rowCount(); ++r) {
            const QJsonObject p = all[r].toObject();
            EXPECT_EQ(Cell(m, r, 1), QString::number(p["cpu"].toInt()));
            EXPECT_EQ(Cell(m, r, 2), QString::number(p["apicId"].toInt()));
            EXPECT_EQ(Cell(m, r, 3), OrDash(p["coreType"]));
            EXPECT_EQ(Cell(m, r, 4), OrDash(p["microarchitecture"]));
            EXPECT_EQ(Cell(m, r, 0), OtherKind(all[0].toObject(), p) ? "≠" : "") << r;
            if (all.size() > 1 && std::getline(rows, line)) {
                QStringList cells;
                // The last column is the live clock, which the text has not.
                for (int c = 1; c < m.columnCount() - 1; ++c) cells << Cell(m, r, c);
                EXPECT_EQ(cells.join(' ').simplified(), QString::fromStdString(line).simplified());
            }
        }
    }
};

TEST_F(DetailsWindowTest, EveryDumpShowsWhatTalvexReportPrints) {
    DetailsWindow w(Probe{cpu, os}, {0}, ProcessorNumber(0), services);
    for (const std::string& name : testing::DumpNames()) {
        SCOPED_TRACE(name);
        const std::string path = testing::kDumps + "/" + name;
        Open(w, path);
        ASSERT_TRUE(ShownErrors().empty()) << ShownErrors()[0].toStdString();
        EXPECT_EQ(w.windowTitle(), QString("Talvex: Processor Details - ") + name.c_str());

        const QJsonArray all = QJsonDocument::fromJson(QByteArray::fromStdString(
            Exec({"--replay", path, "--details", "--cpu", "all", "--format", "json"}).out))["processors"]
                                   .toArray();
        ExpectProcessors(w, all, Exec({"--replay", path, "--details", "--cpu", "all"}).out);
        const std::string raw = Exec({"--replay", path, "--format", "cpuid-r"}).out;
        QComboBox* chooser = Find<QComboBox>(w, "processorChooser");
        ASSERT_EQ(chooser->count(), all.size());
        EXPECT_EQ(chooser->isHidden(), all.size() == 1);  // one choice is none
        EXPECT_FALSE(Find<QPushButton>(w, "liveButton")->isHidden());
        for (int k = 0; k < all.size(); ++k) {
            if (k > 0) QTest::keyClick(chooser, Qt::Key_Down);
            ASSERT_EQ(chooser->currentIndex(), k);
            const std::string text =
                Exec({"--replay", path, "--details", "--cpu", std::to_string(k + 1)}).out;
            ExpectShows(w, all[k].toObject(), text);
            QTest::mouseClick(Find<QPushButton>(w, "copyButton"), Qt::LeftButton);
            EXPECT_EQ(copied.toStdString(), text);
            const size_t from = raw.find('\n', raw.find("CPU " + std::to_string(k) + ":")) + 1;
            EXPECT_EQ(LeafLines(w), raw.substr(from, raw.find("CPU ", from) - from));
        }
    }
    EXPECT_TRUE(ShownErrors().empty());
}

TEST_F(DetailsWindowTest, ThisMachineShowsWhatTalvexReportPrints) {
    const HardwareSource hardware;
    LinuxPlatform machine;
    DetailsWindow w(Probe{hardware, machine}, machine.ThreadAffinity(), ProcessorNumber(0), services);
    const QJsonArray all = QJsonDocument::fromJson(QByteArray::fromStdString(
        Exec({"--details", "--cpu", "all", "--format", "json"}).out))["processors"]
                               .toArray();
    ExpectProcessors(w, all, Exec({"--details", "--cpu", "all"}).out);
    EXPECT_TRUE(Find<QPushButton>(w, "liveButton")->isHidden());
    for (const QJsonValue& p : all) {
        const int number = p["cpu"].toInt();
        w.ShowProcessor(ProcessorNumber::FromCounted(static_cast<unsigned>(number)).value());
        // Copy tells the processor as the window does, with what every processor shown tells of it;
        // talvex-report --cpu N examines that one alone. They agree on everything else.
        QTest::mouseClick(Find<QPushButton>(w, "copyButton"), Qt::LeftButton);
        ExpectShows(w, p.toObject(), copied.toStdString());
        const auto own = [](const std::string& text) {
            std::string kept;
            std::istringstream in(text);
            bool skipping = false;  // a set's line, and its further rows
            for (std::string line; std::getline(in, line);) {
                if (line.starts_with("  Counts ") || line.starts_with("  Cache instances "))
                    skipping = true;
                else if (!line.starts_with(std::string(23, ' ')))
                    skipping = false;
                if (skipping) continue;
                static const std::regex sharing(" +\\[[^\\]]*\\]$");
                kept += std::regex_replace(line, sharing, "") + "\n";
            }
            return kept;
        };
        EXPECT_EQ(own(copied.toStdString()), own(Exec({"--details", "--cpu", std::to_string(number)}).out));
    }
    EXPECT_TRUE(ShownErrors().empty());
}

// Processors 1 and 2 of a fake machine answer as two recorded processors; 2 refuses pinning when
// `refuse_second` is set.
struct TwoProcessors : testing::FakePlatform {
    bool refuse_second = false;
    bool SetThreadAffinity(const std::vector<unsigned>& p) override {
        return !(refuse_second && p == std::vector<unsigned>{1}) && FakePlatform::SetThreadAffinity(p);
    }
};
struct PinnedSource final : RegisterSource {
    const testing::FakePlatform& os;
    ReplaySource first{testing::Normalized("intel-pentium-4-northwood-2.80.txt")};
    ReplaySource second{testing::Normalized("amd-ryzen-7-7700x-raphael.txt")};
    explicit PinnedSource(const testing::FakePlatform& platform) : os(platform) {}
    bool HasCPUID() const override { return true; }
    // As the processor the calling thread is pinned to (the window's, or a clock worker's) answers.
    TCPUIDRegs Execute(uint32_t leaf, uint32_t sub) const override {
        return (os.ThreadAffinity() == std::vector<unsigned>{1} ? second : first).Execute(leaf, sub);
    }
};

TEST_F(DetailsWindowTest, OneWindowFollowsTheMainWindowFromOneCapture) {
    const testing::AwaitWorkers await;  // before the machine, which the window's workers use
    TwoProcessors machine;
    machine.processor_count = 3;
    machine.affinity = {0, 1};  // started on two of three
    const PinnedSource source(machine);
    Tmainform form(Probe{source, machine}, services);
    form.FormCreate();
    testing::WaitForClock(form);
    QAction* entry = Find<QAction>(form, "mnuMainEditDetails");
    EXPECT_EQ(entry->text(), "詳細情報(&D)...");
    entry->trigger();
    entry->trigger();
    ASSERT_EQ(form.findChildren<DetailsWindow*>().size(), 1);
    DetailsWindow& w = *form.findChild<DetailsWindow*>();
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.windowTitle(), "Talvex: Processor Details");
    EXPECT_EQ(w.font().families(), form.font().families());
    const size_t pinnings = machine.affinity_calls.size();

    EXPECT_EQ(Find<QLabel>(w, "Vendor")->text(), "GenuineIntel");
    // The third processor is not among those the program was started on: not offered, the window stays.
    for (const auto& [menu, vendor] : {std::pair{"mnuMainEditCPU2", "AuthenticAMD"},
                                       {"mnuMainEditCPU3", "AuthenticAMD"},
                                       {"mnuMainEditCPU1", "GenuineIntel"}}) {
        Find<QAction>(form, menu)->trigger();
        EXPECT_EQ(Find<QLabel>(w, "Vendor")->text(), vendor) << menu;
    }
    EXPECT_EQ(Find<QLabel>(w, "status")->text(), "");
    // The chooser shows another processor of the capture, and its clock in the plot.
    QComboBox* chooser = Find<QComboBox>(w, "processorChooser");
    EXPECT_FALSE(chooser->isHidden());
    chooser->setFocus();
    QTest::keyClick(chooser, Qt::Key_Down);
    EXPECT_EQ(Find<QLabel>(w, "Vendor")->text(), "AuthenticAMD");
    EXPECT_EQ(Find<QChartView>(w, "clockPlot")->chart()->title(), "Core clock of CPU2");
    QTest::keyClick(chooser, Qt::Key_Up);
    EXPECT_EQ(Find<QLabel>(w, "Vendor")->text(), "GenuineIntel");
    // Switching shows another record, no capture: the only pinnings are the main window's own.
    EXPECT_EQ(testing::Pinnings(machine.affinity_calls.begin() + static_cast<std::ptrdiff_t>(pinnings),
                                machine.affinity_calls.end()),
              (testing::Pinnings{{1}, {0}}));

    // The filter narrows the names as one types; each name keeps its register.
    auto* features = Find<QTreeView>(w, "featureView")->model();
    QTest::keyClicks(Find<QLineEdit>(w, "featureFilter"), "AVX5");
    ASSERT_GT(features->rowCount(), 0);
    for (int g = 0; g < features->rowCount(); ++g)
        for (int k = 0; k < features->rowCount(features->index(g, 0)); ++k)
            EXPECT_TRUE(Cell(*features, k, 0, features->index(g, 0)).startsWith("avx5"));
    Find<QLineEdit>(w, "featureFilter")->clear();
    EXPECT_EQ(features->rowCount(), static_cast<int>(kListedFeatureRegisters));

    // Selected leaves copy as tab-separated lines.
    auto* leaves = Find<QTableView>(w, "leafView");
    leaves->selectAll();
    QTest::keyClick(leaves, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(copied.count('\n') + 1, leaves->model()->rowCount());
    EXPECT_TRUE(copied.startsWith(Cell(*leaves->model(), 0, 0) + '\t' + Cell(*leaves->model(), 0, 1) + '\t'));

    // Closed, it is gone; opened again, it captures afresh.
    QTest::mouseClick(Find<QPushButton>(w, "closeButton"), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(form.findChild<DetailsWindow*>(), nullptr);
    testing::WaitForClock(form);
    entry->trigger();
    EXPECT_GT(machine.affinity_calls.size(), pinnings);
    EXPECT_FALSE(Find<QAction>(form, "mnuMainEditCPU3")->isEnabled());
    EXPECT_TRUE(ShownErrors().empty());
}

// The Leaves tab decodes when first shown, then shows every field talvex-report --leaves prints for
// the processor shown: the same names, bits and meanings, each field's description as its tooltip.
// The features' filter finds fields by name, description or meaning; choosing a leaf among the raw
// registers shows its fields; another processor shows its own.
TEST_F(DetailsWindowTest, TheLeavesTabShowsWhatTalvexReportPrints) {
    const std::string dump = testing::kDumps + "/intel-core-i9-12900k-alder-lake.txt";
    DetailsWindow w(Probe{cpu, os}, {0}, ProcessorNumber(0), services);
    Open(w, dump);
    auto* tree = Find<QTreeView>(w, "leafFieldView");
    const QAbstractItemModel& m = *tree->model();
    EXPECT_EQ(m.rowCount(), 0);  // not shown yet: nothing decoded
    auto* tabs = Find<QTabWidget>(w, "tabs");
    tabs->setCurrentWidget(tree->parentWidget());
    ASSERT_GT(m.rowCount(), 0);

    // Processor 17 is an efficiency core: leaf 0x1A says so, where processor 1 says the opposite.
    for (const int entry : {0, 16}) {
        SCOPED_TRACE(entry);
        QComboBox* chooser = Find<QComboBox>(w, "processorChooser");
        chooser->setCurrentIndex(entry);
        emit chooser->activated(entry);  // as a choice in the list gives it
        const QJsonObject json =
            QJsonDocument::fromJson(
                QByteArray::fromStdString(Exec({"--leaves", "--replay", dump, "--cpu",
                                                std::to_string(entry + 1), "--format", "json"})
                                              .out))
                .object()["processors"]
                .toArray()[0]
                .toObject();
        QStringList expected, shown;
        for (const QJsonValue& leaf : json["leaves"].toArray())
            for (const QJsonValue& f : leaf["fields"].toArray()) {
                const QJsonObject o = f.toObject();
                if (o["name"].toString().startsWith("reserved bit")) continue;
                expected.append(leaf["leaf"].toString() + "/" + QString::number(leaf["subleaf"].toInt()) + " "
                                + o["register"].toString().toUpper() + " " + o["name"].toString() + " = "
                                + o["text"].toString() + " | " + o["description"].toString());
            }
        for (int l = 0; l < m.rowCount(); ++l) {
            const QModelIndex leaf = m.index(l, 0);
            for (int s = 0; s < m.rowCount(leaf); ++s) {
                const QModelIndex sub = m.index(s, 0, leaf);
                for (int r = 0; r < m.rowCount(sub); ++r) {
                    const QModelIndex reg = m.index(r, 0, sub);
                    for (int k = 0; k < m.rowCount(reg); ++k) {
                        const QString name = Cell(m, k, LeafFieldModel::kField, reg);
                        if (name.startsWith("reserved bit")) continue;
                        shown.append(Cell(m, l, 0) + "/" + Cell(m, s, 0, leaf).section(' ', 1) + " "
                                     + Cell(m, r, 0, sub) + " " + name + " = "
                                     + Cell(m, k, LeafFieldModel::kMeaning, reg) + " | "
                                     + m.index(k, 0, reg).data(Qt::ToolTipRole).toString());
                    }
                }
            }
        }
        EXPECT_GT(shown.size(), 500);
        EXPECT_EQ(shown, expected);
    }

    // One filter for features and fields: "TLB" leaves the fields that speak of TLBs, under their leaves.
    tabs->setCurrentWidget(tree->parentWidget());
    QTest::keyClicks(Find<QLineEdit>(w, "featureFilter"), "TLB");
    ASSERT_GT(m.rowCount(), 0);
    for (int l = 0; l < m.rowCount(); ++l) {  // each leaf left has a field that speaks of TLBs
        const QModelIndex reg = m.index(0, 0, m.index(0, 0, m.index(l, 0)));
        ASSERT_TRUE(reg.isValid());
        EXPECT_TRUE(m.index(0, 0, reg)
                        .data(LeafFieldModel::SearchRole)
                        .toString()
                        .contains("tlb", Qt::CaseInsensitive));
    }
    Find<QLineEdit>(w, "featureFilter")->clear();

    // A leaf chosen among the raw registers is the current row of the fields.
    auto* raw = Find<QTableView>(w, "leafView");
    raw->setCurrentIndex(raw->model()->index(3, 0));
    const QModelIndex current = tree->currentIndex();
    ASSERT_TRUE(current.isValid());
    EXPECT_EQ(Cell(m, current.parent().row(), 0), "0x" + Cell(*raw->model(), 3, 0));
    EXPECT_EQ(current.data().toString(),
              "sub-leaf " + QString::number(Cell(*raw->model(), 3, 1).toInt(nullptr, 16)));
    EXPECT_TRUE(ShownErrors().empty());
}

// Escape in the open processor list closes the list alone; with no list open, it closes the window.
TEST_F(DetailsWindowTest, EscapeInAnOpenListClosesOnlyTheList) {
    QPointer<DetailsWindow> window =
        new DetailsWindow(Probe{cpu, os}, {0}, ProcessorNumber(0), services);  // deletes itself on close
    DetailsWindow& w = *window;
    Open(w, testing::kDumps + "/intel-core-i9-12900k-alder-lake.txt");
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    QComboBox* chooser = Find<QComboBox>(w, "processorChooser");
    chooser->setFocus();
    chooser->showPopup();
    QWidget* list = chooser->view();
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->isVisible(); }));
    QTest::keyClick(list->window()->windowHandle(), Qt::Key_Escape);  // as the system delivers it
    EXPECT_TRUE(QTest::qWaitFor([&] { return !list->isVisible(); }));
    QTest::qWait(20);
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.windowTitle().endsWith("intel-core-i9-12900k-alder-lake.txt"));

    // In the feature filter, as in a dialog's line: the first Escape clears it, the next closes.
    auto* filter = Find<QLineEdit>(w, "featureFilter");
    Find<QTabWidget>(w, "tabs")->setCurrentWidget(Find<QTreeView>(w, "featureView"));
    filter->setFocus();
    QTest::keyClicks(filter, "avx");
    QTest::keyClick(filter, Qt::Key_Escape);
    EXPECT_EQ(filter->text(), "");
    EXPECT_TRUE(w.isVisible());
    QTest::keyClick(filter, Qt::Key_Escape);
    EXPECT_FALSE(w.isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
}

// After Open Dump, This Machine shows this machine's processors again, captured afresh; a choice of
// one is no choice and is not offered.
TEST_F(DetailsWindowTest, BackToThisMachineAfterADump) {
    DetailsWindow w(Probe{cpu, os}, {0}, ProcessorNumber(0), services);
    QPushButton* live = Find<QPushButton>(w, "liveButton");
    QComboBox* chooser = Find<QComboBox>(w, "processorChooser");
    EXPECT_TRUE(live->isHidden());
    EXPECT_TRUE(chooser->isHidden());
    Open(w, testing::kDumps + "/intel-core-i9-12900k-alder-lake.txt");
    EXPECT_FALSE(live->isHidden());
    EXPECT_FALSE(chooser->isHidden());
    EXPECT_EQ(Find<QLabel>(w, "Codename")->text(), "Alder Lake");
    const size_t calls = cpu.calls.size();
    QTest::mouseClick(live, Qt::LeftButton);
    EXPECT_EQ(w.windowTitle(), DetailsWindow::kTitle);
    EXPECT_GT(cpu.calls.size(), calls);  // captured again
    EXPECT_EQ(Find<QLabel>(w, "Vendor")->text(), "GenuineIntel");
    EXPECT_EQ(Find<QLabel>(w, "Microcode")->text(), "not reported by the kernel");
    EXPECT_TRUE(live->isHidden());
    EXPECT_TRUE(chooser->isHidden());
    EXPECT_TRUE(ShownErrors().empty());
}

// At the default size every cell of every tab shows whole, and every field, column and control says
// what it is; at the smallest size the plot keeps room for each of its labels.
TEST_F(DetailsWindowTest, NothingCutShortAndEverythingExplained) {
    QPointer<DetailsWindow> window = new DetailsWindow(Probe{cpu, os}, {0}, ProcessorNumber(0), services);
    DetailsWindow& w = *window;
    Open(w, testing::kDumps + "/amd-ryzen-7-7700x-raphael.txt");  // the longest instruction line
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    auto* tabs = Find<QTabWidget>(w, "tabs");
    for (int t = 0; t < tabs->count(); ++t) {
        SCOPED_TRACE(tabs->tabText(t).toStdString());
        tabs->setCurrentIndex(t);
        QCoreApplication::processEvents();
        EXPECT_FALSE(tabs->tabToolTip(t).isEmpty());
        for (QAbstractItemView* view : tabs->currentWidget()->findChildren<QAbstractItemView*>()) {
            if (view->objectName().isEmpty()) continue;  // a combo box's list
            const QAbstractItemModel& m = *view->model();
            const QFontMetrics metrics(view->font());
            const int margin =
                2 * (view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1);
            auto* table = qobject_cast<QTableView*>(view);
            for (int c = 0; c < m.columnCount(); ++c) {
                EXPECT_FALSE(m.headerData(c, Qt::Horizontal, Qt::ToolTipRole).toString().isEmpty())
                    << view->objectName().toStdString() << " column " << c;
                if (table == nullptr) continue;
                for (int r = 0; r < m.rowCount(); ++r) {
                    if (table->columnSpan(r, c) > 1) continue;
                    const QString text = m.index(r, c).data().toString();
                    EXPECT_LE(metrics.horizontalAdvance(text) + margin, table->columnWidth(c))
                        << view->objectName().toStdString() << " " << text.toStdString();
                }
            }
        }
    }
    for (QLabel* label : w.findChildren<QLabel*>()) {
        if (label->objectName() == "status" || label->parent() != &w) continue;
        EXPECT_FALSE(label->toolTip().isEmpty()) << label->text().toStdString();
        if (label->wordWrap())
            EXPECT_LE(label->heightForWidth(label->width()), label->height()) << label->text().toStdString();
        else
            EXPECT_LE(label->sizeHint().width(), label->width()) << label->text().toStdString();
    }
    for (QPushButton* button : w.findChildren<QPushButton*>())
        EXPECT_FALSE(button->toolTip().isEmpty()) << button->text().toStdString();

    w.resize(w.minimumSize());
    tabs->setCurrentIndex(1);
    auto* plot = Find<QChartView>(w, "clockPlot");
    QTRY_COMPARE(w.size(), w.minimumSize());
    QCoreApplication::processEvents();
    EXPECT_GE(plot->height(), plot->minimumHeight());
    const QRectF area = plot->chart()->plotArea();
    for (QAbstractAxis* axis : plot->chart()->axes()) {
        const auto* values = qobject_cast<QValueAxis*>(axis);
        ASSERT_NE(values, nullptr);
        const QFontMetrics metrics(values->labelsFont());
        if (values->orientation() == Qt::Horizontal)  // "-60 s" and its neighbours, side by side
            EXPECT_GE(area.width() / (values->tickCount() - 1), metrics.horizontalAdvance("-60 s") + 4);
        else
            EXPECT_GE(area.height() / (values->tickCount() - 1), metrics.height());
    }
    w.close();
}

TEST_F(DetailsWindowTest, AProcessorThatRefusesPinningSaysSoAndTheOthersShow) {
    TwoProcessors machine;
    machine.processor_count = 3;
    machine.refuse_second = true;
    const PinnedSource source(machine);
    DetailsWindow w(Probe{source, machine}, {0, 1, 2}, ProcessorNumber(1), services);
    EXPECT_EQ(Find<QLabel>(w, "status")->text(), "cannot run on processor 2");
    EXPECT_EQ(Find<QLabel>(w, "Vendor")->text(), "");
    EXPECT_FALSE(Find<QPushButton>(w, "copyButton")->isEnabled());
    EXPECT_EQ(Find<QTableView>(w, "cacheView")->model()->rowCount(), 0);

    auto* view = Find<QTableView>(w, "processorView");
    ASSERT_EQ(view->model()->rowCount(), 3);
    EXPECT_EQ(Cell(*view->model(), 1, 2), "cannot run on processor 2");
    EXPECT_GT(view->columnSpan(1, 2), 1);
    for (int row : {0, 2}) EXPECT_FALSE(Cell(*view->model(), row, 2).isEmpty()) << row;  // APIC IDs
    w.ShowProcessor(ProcessorNumber(2));
    EXPECT_EQ(Find<QLabel>(w, "Vendor")->text(), "GenuineIntel");
    EXPECT_TRUE(ShownErrors().empty());
}

TEST_F(DetailsWindowTest, SaveThenReplayGivesTheSameCapture) {
    os.processor_count = 2;
    const ReplaySource source(testing::Normalized("intel-core-i7-4770-haswell.txt"));
    DetailsWindow w(Probe{source, os}, {0, 1}, ProcessorNumber(0), services);
    const DumpProcessor capture = CaptureProcessor(source);
    const testing::TempDir dir;
    const struct {
        const char* name;
        const char* filter;
        const char* first_line;
        const char* saved = nullptr;  // the file written, when not the name given
    } kCases[] = {
        {"a.txt", kCpuidRawFilter, "CPU 0:"},
        {"b.libcpuid.txt", kCpuidRawFilter, "_________________ Logical CPU #0"},  // the name decides
        {"c.txt", kLibcpuidFilter, "_________________ Logical CPU #0"},           // or the filter
        {"mydump", kCpuidRawFilter, "CPU 0:", "mydump.txt"},  // a bare name gets the filter's suffix
        {"d", kLibcpuidFilter, "_________________ Logical CPU #0", "d.libcpuid.txt"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        Answer(QString::fromStdString((dir / c.name).string()), c.filter);
        const std::string path = (dir / (c.saved != nullptr ? c.saved : c.name)).string();
        QTest::mouseClick(Find<QPushButton>(w, "saveButton"), Qt::LeftButton);
        const std::string saved = testing::Slurp(path);
        EXPECT_EQ(saved.rfind(c.first_line, 0), 0u);
        const bool libcpuid = c.first_line[0] == '_';
        const auto again = ReadDumpFile(path);
        ASSERT_EQ(again.size(), 2u);
        for (const DumpProcessor& p : again) {  // every leaf of the capture, or all libcpuid keeps
            if (!libcpuid) {
                EXPECT_EQ(p.leaves.size(), capture.leaves.size());
            }
            for (const DumpLeaf& l : p.leaves) EXPECT_EQ(source.Execute(l.leaf, l.subleaf), l.regs);
        }
        // talvex-report writes the saved file back as it is.
        EXPECT_EQ(Exec({"--replay", path, "--format", libcpuid ? "libcpuid" : "cpuid-r"}).out, saved);
    }
    EXPECT_TRUE(ShownErrors().empty());
}

TEST_F(DetailsWindowTest, AFailedSaveIsReportedAndLeavesNoFile) {
    DetailsWindow w(Probe{cpu, os}, {0}, ProcessorNumber(0), services);
    const testing::TempDir dir;
    const std::string kept = (dir / "kept.txt").string();
    testing::Spill(kept, "old\n");

    // No such folder; then a write that fails half-way, as on a full disk.
    w.SaveDump(QString::fromStdString((dir / "missing" / "x.txt").string()), false);
    ASSERT_EQ(ShownErrors().size(), 1u);
    EXPECT_TRUE(
        ShownErrors()[0].startsWith(QString::fromStdString((dir / "missing" / "x.txt").string() + ": ")));

    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old_limit{};
    getrlimit(RLIMIT_FSIZE, &old_limit);
    rlimit small = old_limit;
    small.rlim_cur = 100;
    setrlimit(RLIMIT_FSIZE, &small);
    w.SaveDump(QString::fromStdString(kept), false);
    setrlimit(RLIMIT_FSIZE, &old_limit);
    ASSERT_EQ(ShownErrors().size(), 2u);
    EXPECT_TRUE(ShownErrors()[1].startsWith(QString::fromStdString(kept + ": ")));
    EXPECT_EQ(testing::Slurp(kept), "old\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / ""), {}), 1);  // no temporary file left
}

TEST_F(DetailsWindowTest, ADumpThatCannotBeReadIsReportedAsTalvexReportSaysIt) {
    DetailsWindow w(Probe{cpu, os}, {0}, ProcessorNumber(0), services);
    const testing::TempDir dir;
    const std::string bad = (dir / "bad.txt").string();
    testing::Spill(bad, "CPU 0:\n   0x00000000 0x00: eax=0x00000001 ebx=0x756e6547\n");
    const QString title = w.windowTitle();
    const QString vendor = Find<QLabel>(w, "Vendor")->text();
    for (const std::string& path : {bad, (dir / "absent.txt").string()}) {
        ShownErrors().clear();
        Open(w, path);
        const std::string err =
            Exec({"--replay", path, "--details"}).err;  // "talvex-report: file:line: ...\n"
        ASSERT_EQ(ShownErrors().size(), 1u);
        EXPECT_EQ(ShownErrors()[0], ErrorBoxText(err.substr(15, err.size() - 16)));
        EXPECT_EQ(w.windowTitle(), title);
        EXPECT_EQ(Find<QLabel>(w, "Vendor")->text(), vendor);
    }
}

// The models keep what they show: once the records they were set from are gone (a dump opened in
// their place), every cell still reads as before, and nothing reads freed memory (make check-sanitize).
TEST_F(DetailsWindowTest, TheModelsKeepWhatTheyShowWhenTheRecordsGo) {
    const auto cells = [](const QAbstractItemModel& m) {
        QStringList all;
        const std::function<void(const QModelIndex&)> walk = [&](const QModelIndex& parent) {
            for (int r = 0; r < m.rowCount(parent); ++r)
                for (int c = 0; c < m.columnCount(parent); ++c) {
                    all << m.index(r, c, parent).data().toString();
                    if (c == 0) walk(m.index(r, 0, parent));
                }
        };
        walk({});
        return all;
    };
    auto set = std::make_unique<ProcessorSet>(
        ProcessorSet::FromDump(ReadDumpFile(testing::kDumps + "/intel-core-i9-12900k-alder-lake.txt")));
    CacheModel caches;
    FeatureModel features;
    caches.SetProcessor(*set, 0);
    features.SetProcessor(set->DetailsOf(0));
    const QStringList cache_cells = cells(caches), feature_cells = cells(features);
    ASSERT_GT(cache_cells.size(), 0);
    set.reset();  // its memory free for the next records
    set = std::make_unique<ProcessorSet>(
        ProcessorSet::FromDump(ReadDumpFile(testing::kDumps + "/amd-ryzen-7-7700x-raphael.txt")));
    EXPECT_EQ(cells(caches), cache_cells);
    EXPECT_EQ(cells(features), feature_cells);
}

// Compare with dump... shows what talvex-report --compare says of the processor shown and the dump,
// read on a thread of its own; a dump that cannot be read is reported.
TEST_F(DetailsWindowTest, CompareWithDumpShowsWhatTheCommandSays) {
    const testing::TempDir dir;
    const std::string mine = (dir / "mine.txt").string();
    DetailsWindow w(Probe{cpu, os}, {0}, ProcessorNumber(0), services);
    w.SaveDump(QString::fromStdString(mine), false);
    for (const std::string& other : {mine, testing::kDumps + "/amd-ryzen-9-5950x-vermeer.txt"}) {
        SCOPED_TRACE(other);
        Answer(QString::fromStdString(other));
        QTest::mouseClick(Find<QPushButton>(w, "compareButton"), Qt::LeftButton);
        EXPECT_FALSE(Find<QPushButton>(w, "compareButton")->isEnabled());
        ASSERT_TRUE(QTest::qWaitFor([&] { return !w.IsComparing(); }, 60000));
        EXPECT_TRUE(Find<QPushButton>(w, "compareButton")->isEnabled());
        auto* result = w.findChild<QDialog*>("compareResult");
        ASSERT_NE(result, nullptr);
        std::string expected = Exec({"--compare", mine, other}).out;
        expected.replace(expected.find(mine), mine.size(), "this machine");
        EXPECT_EQ(Find<QPlainTextEdit>(*result, "compareText")->toPlainText().toStdString() + "\n", expected);
        delete result;
    }
    Answer("/nonexistent/dump.txt");
    QTest::mouseClick(Find<QPushButton>(w, "compareButton"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.IsComparing(); }, 60000));
    ASSERT_EQ(ShownErrors().size(), 1u);
    EXPECT_EQ(ShownErrors()[0], ErrorBoxText("/nonexistent/dump.txt: No such file or directory"));
    EXPECT_EQ(w.findChild<QDialog*>("compareResult"), nullptr);
}

// The dump's processor compared is the one --cpu picks: a dump without the number of the processor
// shown is refused in the command's words, not exchanged for its first processor.
TEST_F(DetailsWindowTest, CompareRefusesADumpWithoutTheProcessorShown) {
    const std::string hybrid = testing::kDumps + "/intel-core-i9-12900k-alder-lake.txt";
    const std::string one = testing::kDumps + "/intel-pentium-iii-katmai.txt";
    DetailsWindow w(Probe{cpu, os}, {0}, ProcessorNumber(0), services);
    Open(w, hybrid);
    Find<QComboBox>(w, "processorChooser")->setCurrentIndex(19);
    ASSERT_TRUE(w.CompareWithDump(QString::fromStdString(one)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.IsComparing(); }, 60000));
    EXPECT_EQ(w.findChild<QDialog*>("compareResult"), nullptr);
    const std::string err =
        Exec({"--compare", hybrid, one, "--cpu", "20"}).err;  // "talvex-report: ... (input 2 of 2)"
    ASSERT_EQ(ShownErrors().size(), 1u);
    EXPECT_EQ(ShownErrors()[0], ErrorBoxText(err.substr(15, err.find(" (input 2 of 2)") - 15)));
}

// A large dump is read on its own thread: the window answers meanwhile, a second Open Dump and a
// comparison (of a processor about to be replaced) are refused until the first is shown, and the
// cursor is given back.
TEST_F(DetailsWindowTest, ALargeDumpOpensWhileTheWindowGoesOn) {
    const testing::TempDir dir;
    const std::string large = (dir / "large.txt").string();
    testing::Spill(large, testing::ManyProcessors(4096));
    const std::string small = testing::kDumps + "/intel-core-i7-4770-haswell.txt";
    DetailsWindow w(Probe{cpu, os}, {0}, ProcessorNumber(0), services);
    const QString title = w.windowTitle();
    ASSERT_TRUE(w.OpenDump(QString::fromStdString(large)));
    EXPECT_TRUE(w.IsOpening());
    EXPECT_FALSE(Find<QPushButton>(w, "openButton")->isEnabled());
    EXPECT_FALSE(Find<QPushButton>(w, "compareButton")->isEnabled());
    EXPECT_FALSE(w.OpenDump(QString::fromStdString(small)));
    EXPECT_FALSE(w.CompareWithDump(QString::fromStdString(small)));
    EXPECT_EQ(w.windowTitle(), title);  // nothing shown before the reading is done
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.IsOpening(); }, 60000));
    EXPECT_TRUE(ShownErrors().empty());
    EXPECT_EQ(w.windowTitle(), title + " - large.txt");
    EXPECT_EQ(Find<QComboBox>(w, "processorChooser")->count(), 4096);
    EXPECT_TRUE(Find<QPushButton>(w, "openButton")->isEnabled());
    EXPECT_TRUE(Find<QPushButton>(w, "compareButton")->isEnabled());
    EXPECT_FALSE(w.IsComparing());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// Save Dump offers a name: this machine's short host name and today's date, or the name of the dump
// shown; without a suffix, so that the layout picked adds its own.
TEST_F(DetailsWindowTest, SaveDumpOffersTheHostAndTheDateOrTheDumpsName) {
    DetailsWindow w(Probe{cpu, os}, {0}, ProcessorNumber(0), services);
    QString host = QSysInfo::machineHostName().section('.', 0, 0);
    if (host.isEmpty()) host = "talvex";
    const QString before = QDate::currentDate().toString(Qt::ISODate);
    Answer("");  // cancelled
    w.SaveDumpClick();
    const QString after = QDate::currentDate().toString(Qt::ISODate);  // past midnight meanwhile
    EXPECT_TRUE(suggested == host + "-" + before || suggested == host + "-" + after)
        << suggested.toStdString();

    Open(w, testing::kDumps + "/intel-core-i7-4770-haswell.txt");
    Answer("");
    w.SaveDumpClick();
    EXPECT_EQ(suggested, "intel-core-i7-4770-haswell");
    EXPECT_TRUE(ShownErrors().empty());
}

// At the smallest size nothing is cut without a way to read it: a summary value too long for its
// place gives itself whole in its tooltip, a table cell cut by the view's edge too, and the kernel's
// verdicts wrap within the Security tab. The clock column keeps its width as ", noisy" comes and goes.
TEST_F(DetailsWindowTest, AtTheSmallestSizeEveryValueCanBeRead) {
    struct Vulnerable final : testing::FakePlatform {
        std::optional<std::vector<Vulnerability>> Vulnerabilities() const override {
            return std::vector<Vulnerability>{{"spectre_v2",
                                               "Mitigation: Enhanced / Automatic IBRS; IBPB: conditional; "
                                               "RSB filling; PBRSB-eIBRS: SW sequence; BHI: BHI_DIS_S"}};
        }
    } machine;
    machine.processor_count = 2;
    std::atomic<int> readings{0};
    services.live_first_reading = {};
    services.live_measure = [&](const LiveProcessor& p) {
        const bool noisy = ++readings > 2;  // the first second's two readings steady, then noisy
        return LiveReading{p.processor, PinStatus::Stayed, CoreClock{3000, 2600, noisy}};
    };
    DetailsWindow& w = *new DetailsWindow(Probe{cpu, machine}, {0, 1}, ProcessorNumber(0), services);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    w.resize(w.minimumSize());
    QTRY_COMPARE(w.size(), w.minimumSize());
    auto* tabs = Find<QTabWidget>(w, "tabs");

    tabs->setCurrentIndex(2);
    QCoreApplication::processEvents();
    auto* security = Find<QTableView>(w, "securityView");
    const QAbstractItemModel& verdicts = *security->model();
    const int status = verdicts.columnCount() - 1;
    const int margin =
        2 * (security->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, security) + 1);
    EXPECT_LE(security->columnViewportPosition(status) + security->columnWidth(status),
              security->viewport()->width());
    const QRect needed =
        security->fontMetrics().boundingRect(QRect(0, 0, security->columnWidth(status) - margin, 10000),
                                             Qt::TextWordWrap, Cell(verdicts, 0, status));
    EXPECT_LE(needed.height(), security->rowHeight(0));

    tabs->setCurrentIndex(1);
    auto* processors = Find<QTableView>(w, "processorView");
    const QAbstractItemModel& m = *processors->model();
    const int clock = m.columnCount() - 1;
    QTRY_COMPARE_WITH_TIMEOUT(Cell(m, 0, clock), QString("3000 MHz"), 5000);
    const int steady = processors->columnWidth(clock);
    QTRY_COMPARE_WITH_TIMEOUT(Cell(m, 0, clock), QString("3000 MHz, noisy"), 5000);
    EXPECT_EQ(processors->columnWidth(clock), steady);
    w.close();

    // A dump of a hybrid processor: the longest values, and the widest processor table.
    DetailsWindow dump(Probe{cpu, os}, {0}, ProcessorNumber(0), services);
    Open(dump, testing::kDumps + "/intel-core-i9-12900k-alder-lake.txt");
    dump.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dump));
    dump.resize(dump.minimumSize());
    QTRY_COMPARE(dump.size(), dump.minimumSize());
    Find<QTabWidget>(dump, "tabs")->setCurrentIndex(1);
    QCoreApplication::processEvents();
    int cut = 0;
    // The summary's values that share a row with another: those that do not wrap.
    for (QLabel* value : dump.findChildren<QLabel*>()) {
        if (value->objectName().isEmpty() || value->wordWrap()) continue;
        if (value->fontMetrics().horizontalAdvance(value->text()) <= value->contentsRect().width()) continue;
        ++cut;
        const std::string key = value->objectName().toStdString();
        QHelpEvent help(QEvent::ToolTip, QPoint(1, 1), value->mapToGlobal(QPoint(1, 1)));
        QApplication::sendEvent(value, &help);
        EXPECT_TRUE(value->toolTip().contains(value->text())) << key << ": " << value->text().toStdString();
        EXPECT_TRUE(value->toolTip().contains(QString::fromUtf8(FieldAbout(key)))) << key;
    }
    EXPECT_GE(cut, 1) << "no summary value is cut at the smallest size: this test checks nothing";

    auto* table = Find<QTableView>(dump, "processorView");
    const QAbstractItemModel& cells = *table->model();
    const int edge = table->viewport()->width();
    int column = 0;
    while (column < cells.columnCount()
           && table->columnViewportPosition(column) + table->columnWidth(column) <= edge)
        ++column;
    ASSERT_LT(column, cells.columnCount()) << "the processor table fits: this test checks nothing";
    const QRect cell = table->visualRect(cells.index(0, column)) & table->viewport()->rect();
    QHelpEvent help(QEvent::ToolTip, cell.center(), table->viewport()->mapToGlobal(cell.center()));
    QApplication::sendEvent(table->viewport(), &help);
    EXPECT_TRUE(QToolTip::text().contains(Cell(cells, 0, column))) << QToolTip::text().toStdString();
    QToolTip::hideText();
    EXPECT_TRUE(ShownErrors().empty());
}

// Closing never waits for a worker. The reader here waits for the writer of a pipe nobody opens, and
// the live clock is in a measurement that does not end until released, yet the window goes at once
// and gives the cursor back; the reader then ends on its own, the live clock once released, and
// nothing of theirs is shown. The reader runs on the processors the window captured, not on the GUI
// thread's one.
TEST_F(DetailsWindowTest, ClosingDuringOpenDumpAndALiveMeasurementGoesAtOnce) {
    const testing::TempDir dir;
    const std::string pipe = (dir / "dump").string();
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    // Relaxed: like a real measurement, this one shares no order with the window's thread, so the
    // thread sanitizer sees whether the live clock's own stop is ordered (make check-tsan).
    std::atomic<bool> measuring{false}, released{false};
    services.live_measure = [&](const LiveProcessor& p) {
        measuring.store(true, std::memory_order_relaxed);
        while (!released.load(std::memory_order_relaxed)) std::this_thread::yield();
        return LiveReading{p.processor, PinStatus::Stayed, CoreClock{3000, 2600, false}};
    };
    services.live_first_reading = {};
    os.processor_count = 3;
    QPointer<DetailsWindow> w = new DetailsWindow(Probe{cpu, os}, {0, 1, 2}, ProcessorNumber(0), services);
    w->show();
    ASSERT_TRUE(w->OpenDump(QString::fromStdString(pipe)));
    QTRY_VERIFY_WITH_TIMEOUT(
        measuring.load(std::memory_order_relaxed) && QApplication::overrideCursor() != nullptr, 5000);

    w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(w.isNull());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    released.store(true, std::memory_order_relaxed);
    EXPECT_TRUE(WaitForWorkers(std::chrono::seconds(60)));  // nobody but the window asked them to stop
    QTest::qWait(20);                                       // anything the workers posted would arrive now
    EXPECT_TRUE(ShownErrors().empty());
    EXPECT_EQ(os.worker_pins, (testing::Pinnings{{0, 1, 2}}));
}

// The live clock measures only while the window is shown, on its worker: nothing before the window
// is shown, nothing once it is hidden, nothing after it closed; a dump has no clock to measure.
TEST_F(DetailsWindowTest, LiveClockMeasuresOnlyWhileShown) {
    // Processor 1 measures; 2 is measured once, then goes offline; 3 never lets the worker in; the
    // measurement of 4 fails, which costs that row its figure and nothing more.
    std::atomic<int> measured{0};
    std::atomic<bool> second_seen{false};
    services.live_measure = [&](const LiveProcessor& p) {
        ++measured;
        if (p.processor == ProcessorNumber(3)) throw std::runtime_error("counter failure");
        const bool pinned = p.processor == ProcessorNumber(0)
                            || (p.processor == ProcessorNumber(1) && !second_seen.exchange(true));
        if (!pinned) return LiveReading{p.processor, PinStatus::NotPinned, std::nullopt};
        return LiveReading{p.processor, PinStatus::Stayed, CoreClock{3000, 2600, false}};
    };
    os.processor_count = 4;
    QPointer<DetailsWindow> w = new DetailsWindow(Probe{cpu, os}, {0, 1, 2, 3}, ProcessorNumber(0), services);
    const QAbstractItemModel& m = *Find<QTableView>(*w, "processorView")->model();
    const int clock = m.columnCount() - 1;
    EXPECT_EQ(m.headerData(clock, Qt::Horizontal).toString(), "Core clock");
    QTest::qWait(400);
    EXPECT_EQ(measured, 0);

    w->show();
    QTRY_COMPARE_WITH_TIMEOUT(Cell(m, 0, clock), QString("3000 MHz"), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(Cell(m, 1, clock), QString("unavailable"), 5000);
    EXPECT_EQ(Cell(m, 2, clock), "cannot run on processor 3");
    EXPECT_EQ(Cell(m, 3, clock), "unavailable");
    EXPECT_EQ(Find<QChartView>(*w, "clockPlot")->chart()->title(), "Core clock of CPU1");
    w->hide();
    EXPECT_FALSE(w->Measuring());
    WaitForWorkers();  // a measurement under way as it was hidden ends
    const int hidden = measured;
    QTest::qWait(1500);
    EXPECT_EQ(measured, hidden);

    w->show();
    QTRY_VERIFY_WITH_TIMEOUT(measured > hidden, 5000);
    w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(w.isNull());
    WaitForWorkers();
    const int closed = measured;
    QTest::qWait(1500);
    EXPECT_EQ(measured, closed);

    DetailsWindow dump(Probe{cpu, os}, {0}, ProcessorNumber(0), services);
    Open(dump, testing::kDumps + "/intel-core-i7-4770-haswell.txt");  // shown still reading, it measures
    dump.show();
    QTest::qWait(400);
    EXPECT_FALSE(dump.Measuring());
    EXPECT_EQ(measured, closed);
    const QAbstractItemModel& d = *Find<QTableView>(dump, "processorView")->model();
    EXPECT_EQ(Cell(d, 0, d.columnCount() - 1), DetailsWindow::kNotMeasured);
    EXPECT_EQ(Find<QChartView>(dump, "clockPlot")->chart()->title(), DetailsWindow::kNotMeasured);
    EXPECT_TRUE(ShownErrors().empty());
}

}  // namespace
}  // namespace talvex

int main(int argc, char** argv) { return talvex::testing::RunWindowTests(argc, argv); }
