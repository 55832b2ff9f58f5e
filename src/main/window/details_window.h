#pragma once
// The processor details window: the identity of the processor the main window examines, with its
// caches, every processor, the feature bits and the recorded leaves on tabs; or the same for the
// sections of a dump. The processors are captured once, when the window opens; switching the
// processor shows another record of that capture. The window maps records onto its views through
// the models of details_models.h and decodes nothing itself. While it is shown, a worker of
// live_clock.h measures each processor's clock once a second for the Processors tab.

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPointF>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QString>
#include <QStringList>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QTreeView>
#include <QWidget>

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "main/window/details_models.h"
#include "main/window/live_clock.h"
#include "main/window/services.h"
#include "main/window/workers.h"
#include "probe/platform/cpuid.h"
#include "probe/platform/pinning.h"

class QChartView;
class QLineSeries;
class QValueAxis;

namespace talvex {

// The save dialog's filters: `cpuid -r`'s layout, or libcpuid's.
inline constexpr const char* kCpuidRawFilter = "cpuid -r (*.txt)";
inline constexpr const char* kLibcpuidFilter = "libcpuid raw dump (*.libcpuid.txt)";

class DetailsWindow final : public QWidget {
    Q_OBJECT

public:
    inline static const char* const kTitle = "Talvex: Processor Details";
    // What the clock column and plot say where no clock runs: a dump, or a recorded processor.
    inline static const char* const kNotMeasured = "not measured (dump)";
    inline static const char* const kUnavailable = "unavailable";

    // Captures `processors` (the operating system's numbers, 0-based; empty: every configured
    // processor) through `probe` before it returns, and shows `examined`. The live clock and Open
    // Dump's reader go on through `probe.platform` from threads of their own: it must be safe to use
    // from there and outlive every worker (FinishWorkers). The desktop is reached through `services`.
    DetailsWindow(const Probe& probe, const std::vector<unsigned>& processors, ProcessorNumber examined,
                  WindowServices services = {}, QWidget* parent = nullptr);

    // The processor the main window examines now; while a dump is shown it is only remembered.
    void ShowProcessor(ProcessorNumber processor);

    void CopyClick();
    // After Open Dump: this machine's processors again, captured afresh, showing the one the main
    // window examines.
    void LiveClick();
    void SaveDumpClick();
    void OpenDumpClick();
    // Starts reading and decoding the dump at `path` on a thread of its own and returns at once; the
    // window keeps painting (with a busy cursor after 100 ms) and then shows its sections. A dump that
    // cannot be read is reported (file and line) and the window keeps what it showed. Refused
    // (false, Open Dump greyed) while another dump is being opened.
    bool OpenDump(const QString& path);
    bool IsOpening() const { return opening_.has_value(); }
    void CompareDumpClick();
    // Compares the processor shown with the dump's processor of the same number (its first when it has
    // fewer), as `talvex-report --compare` does, the dump read on a thread of its own; the result is
    // shown in a dialog of its own ("compareResult"). Refused (false, the button greyed) while another
    // comparison is under way, or a dump is being opened (which replaces the processor shown).
    bool CompareWithDump(const QString& path);
    bool IsComparing() const { return comparing_.has_value(); }
    // Goes at once: a dump being opened or compared stops at its next read, and nothing of it is shown.
    ~DetailsWindow() override;
    // Writes every captured processor shown, in libcpuid's layout or `cpuid -r`'s. A failure is
    // reported and leaves no file behind (nor changes one that was there).
    void SaveDump(const QString& path, bool libcpuid);

    // Whether the live clock is measuring now.
    bool Measuring() const { return live_.Running(); }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    // Escape in the feature filter clears it; the plot's ticks follow its width, the verdicts the
    // Security tab's.
    bool eventFilter(QObject* watched, QEvent* event) override;
    // The live clock runs only while the window is shown: from just after it is drawn until hidden.
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void BuildControls();
    void ConnectEvents();
    // The processor table, the chooser and the title, for the set now shown.
    void ShowSet();
    // The header and the tabs for entry `entry` of the set; -1: a processor outside it.
    void ShowEntry(int entry);
    // This machine's processors, captured now.
    ProcessorSet CaptureLive();
    // The processor whose clock the plot shows: the entry shown, or the one examined outside the set.
    ProcessorNumber Plotted() const;
    // Whether this set has a clock to measure: this machine's processors, not a dump.
    bool Live() const;
    void StartLive();
    void ApplyReadings(unsigned generation, const std::vector<LiveReading>& readings);
    // The clock column as wide as its widest text, measured or not.
    void FitClockColumn();
    // The Security tab's verdicts in the width its view has.
    void FitVerdicts();
    // The plot of the examined processor's last 60 seconds, or why there is none.
    void ShowClockPlot();
    // The tab just shown: the filter where it applies, the leaves' fields decoded when first seen.
    void TabShown();
    void FilterLeaves();
    // The fields of the leaf chosen among the raw registers.
    void ShowLeafFields(const QModelIndex& raw);
    static constexpr int kFeaturesTab = 3;
    static constexpr int kLeavesTab = 4;

    // The dump read on its thread: the processors, or why they cannot be shown.
    struct Opened {
        ProcessorSet set;
        std::string error;
    };
    void DumpOpened(const QString& path, Opened& opened);
    // The comparison's text, or why the dump cannot be read.
    struct Compared {
        std::string text;
        std::string error;
    };
    void ShowComparison(const Compared& compared);
    // Compare with dump... is offered for a processor shown, one comparison at a time, and not while
    // a dump is being opened.
    void EnableCompare();
    // What Save Dump offers: this machine's host name and today's date, or the name of the dump shown.
    QString SuggestedDumpName() const;

    const Probe probe_;  // this machine: its processors and its operating system
    const WindowServices services_;
    AllowedProcessors allowed_;  // the processors captured of it: those the program may use
    Inbox* inbox_ = nullptr;     // where the workers hand their results over
    ProcessorSet set_;
    // The workers reading a dump, to show or to compare with: what stops each. Owned here, and
    // stopped when the window goes.
    std::optional<std::stop_source> opening_, comparing_;
    QTimer* busy_ = nullptr;  // the busy cursor's delay
    bool busy_cursor_ = false;
    QString file_;  // the dump shown; empty while this machine's processors are
    ProcessorNumber examined_;

    QComboBox* chooser_ = nullptr;
    QLabel* status_ = nullptr;
    std::vector<QLabel*> summary_;  // in the order of DetailsSummary
    QTabWidget* tabs_ = nullptr;
    QTableView* security_view_ = nullptr;
    QTableView* cache_view_ = nullptr;
    QTableView* processor_view_ = nullptr;
    QLineEdit* feature_filter_ = nullptr;
    QTreeView* feature_view_ = nullptr;
    QTableView* leaf_view_ = nullptr;
    QTreeView* leaf_field_view_ = nullptr;
    QPushButton* copy_button_ = nullptr;
    QPushButton* save_button_ = nullptr;
    QPushButton* open_button_ = nullptr;
    QPushButton* live_button_ = nullptr;  // shown while a dump is
    QPushButton* compare_button_ = nullptr;
    QPushButton* close_button_ = nullptr;

    CacheModel* caches_ = nullptr;
    ProcessorTableModel* processors_ = nullptr;
    SecurityModel* security_ = nullptr;
    FeatureModel* features_ = nullptr;
    QSortFilterProxyModel* feature_filter_model_ = nullptr;
    LeafModel* leaves_ = nullptr;
    LeafFieldModel* leaf_fields_ = nullptr;
    QSortFilterProxyModel* leaf_filter_model_ = nullptr;

    QChartView* clock_plot_ = nullptr;
    QLineSeries* clock_series_ = nullptr;
    QLineSeries* tsc_series_ = nullptr;
    QValueAxis* time_axis_ = nullptr;
    QValueAxis* clock_axis_ = nullptr;
    bool live_clock_ = true;  // false for a processor recorded elsewhere
    QElapsedTimer live_time_;
    struct ClockHistory {
        std::deque<QPointF> points;  // seconds since live_time_ started, MHz
        double tsc_mhz = 0;          // 0 while unknown
    };
    std::map<ProcessorNumber, ClockHistory> history_;
    LiveClock live_;
    unsigned live_generation_ = 0;  // of the worker started last: readings of an earlier one are dropped
};

}  // namespace talvex
