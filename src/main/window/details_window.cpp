#include "main/window/details_window.h"

#include <QChart>
#include <QChartView>
#include <QDate>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineSeries>
#include <QPainter>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QScreen>
#include <QSplitter>
#include <QStyle>
#include <QSysInfo>
#include <QToolTip>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <utility>

#include "main/report/details_cells.h"
#include "main/report/details_text.h"
#include "main/report/fleet_text.h"
#include "main/report/leaves_output.h"
#include "main/window/application.h"
#include "main/window/copy.h"
#include "main/window/layout.h"
#include "probe/dump/dump_write.h"
#include "probe/fleet/fleet.h"

namespace talvex {

namespace {

// `processors`, or every configured processor when none are given, as talvex-report takes them.
std::vector<unsigned> Chosen(const std::vector<unsigned>& processors, const Platform& os) {
    if (!processors.empty()) return processors;
    std::vector<unsigned> all;
    for (unsigned k = 0; k < os.ProcessorCount(); ++k) all.push_back(k);
    return all;
}

// The measurement the services name, or MeasurePinned through `os`.
LiveMeasure LiveMeasureThrough(const WindowServices& services, Platform& os) {
    if (services.live_measure) return services.live_measure;
    return [&os](const LiveProcessor& processor) { return MeasurePinned(os, processor); };
}

// Reads the dump `file` on a worker of its own, makes a Result of it with `make`, and hands that to
// `deliver` on the window's thread through `inbox`; returns what stops the worker. The caller owns
// the worker and stops it when it no longer wants the result. The worker touches its copies of the
// arguments and the platform; it ends when done, or once stopped at its next read (also while it
// waits for a pipe's writer), and then delivers nothing. An error, here or in `make`, is delivered as
// the Result's `error`.
template <class Result, class Make, class Deliver>
std::stop_source ReadDumpOnWorker(Platform& platform, std::vector<unsigned> allowed, std::string file,
                                  Inbox::Address inbox, Make make, Deliver deliver) {
    return StartWorker([&platform, allowed = std::move(allowed), file = std::move(file),
                        inbox = std::move(inbox), make = std::move(make),
                        deliver = std::move(deliver)](std::stop_token stop) {
        // The thread starts on the GUI thread's one processor: a dump is read on any the program may
        // use (refused, it is read where the thread is).
        platform.SetThreadAffinity(allowed);
        auto result = std::make_shared<Result>();
        try {
            make(ReadDumpFile(file, stop), *result);
        } catch (const DumpCancelled&) {
            return;
        } catch (const std::exception& e) {
            result->error = e.what();
        } catch (...) {
            result->error = "Unknown error";
        }
        if (stop.stop_requested()) return;
        inbox.Post([deliver, result] { deliver(*result); });
    });
}

// Seconds of history the plot shows.
constexpr double kPlotSeconds = 60;

// Ctrl+C in a view copies the selected cells as spreadsheets take them: a tab between cells, a line
// a row, rows in the order shown.
class SelectionCopier final : public QObject {
public:
    SelectionCopier(QObject* parent, const ClipboardWriter& write) : QObject(parent), write_(write) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* view = qobject_cast<QAbstractItemView*>(watched);
        if (view == nullptr || event->type() != QEvent::KeyPress
            || !static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy))
            return false;
        RunHandler([&] { CopyTextToClipboard(write_, SelectedText(*view)); });
        return true;
    }

private:
    // A cell's place in the order shown: the rows from the top of the tree down, then its column.
    static std::vector<int> Place(const QModelIndex& index) {
        std::vector<int> place{index.column()};
        for (QModelIndex i = index; i.isValid(); i = i.parent()) place.insert(place.begin(), i.row());
        return place;
    }

    static QString SelectedText(const QAbstractItemView& view) {
        std::vector<std::pair<std::vector<int>, QString>> cells;
        for (const QModelIndex& i : view.selectionModel()->selectedIndexes())
            cells.emplace_back(Place(i), i.data().toString());
        std::sort(cells.begin(), cells.end());
        QString text;
        for (size_t k = 0; k < cells.size(); ++k) {
            const std::vector<int>& place = cells[k].first;
            if (k > 0) {
                const std::vector<int>& before = cells[k - 1].first;
                const bool same_row =
                    std::equal(place.begin(), place.end() - 1, before.begin(), before.end() - 1);
                text += same_row ? '\t' : '\n';
            }
            text += cells[k].second;
        }
        return text;
    }

    const ClipboardWriter& write_;  // the window's, which outlives this child
};

// The horizontal room a view's cell text leaves: the margins of its delegate, and the grid line.
int CellMargin(const QAbstractItemView& view) {
    return 2 * (view.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &view) + 1) + 1;
}

// A cell the view cuts short (its column too narrow, or the view's edge) gives its whole text as its
// tooltip, before what the model says of it; a cell shown whole keeps the model's own.
class CutCellTips final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::ToolTip) return false;
        auto* view = qobject_cast<QAbstractItemView*>(watched->parent());
        if (view == nullptr) return false;
        const auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex index = view->indexAt(help->pos());
        if (!index.isValid()) return false;
        const QString text = index.data().toString();
        QFont font = view->font();
        if (const QVariant own = index.data(Qt::FontRole); own.isValid())
            font = own.value<QFont>().resolve(font);
        const QRect shown = view->visualRect(index) & view->viewport()->rect();
        if (QFontMetrics(font).horizontalAdvance(text) + CellMargin(*view) <= shown.width()) return false;
        const QString about = index.data(Qt::ToolTipRole).toString();
        QToolTip::showText(help->globalPos(), about.isEmpty() ? text : text + "\n\n" + about,
                           view->viewport(), shown);
        return true;
    }
};

// A summary value too long for its place (a small window, a long value such as the counts of a
// hybrid processor) ends in "…", and its tooltip then gives it whole, before what the field is. A
// value that fits is drawn as any label's, selectable. It asks the layout for its whole width, as any
// label does: the layout cuts the longest values first.
class ElidingLabel final : public QLabel {
public:
    ElidingLabel(const QString& about, QWidget* parent) : QLabel(parent), about_(about) { setToolTip(about); }

protected:
    void paintEvent(QPaintEvent* event) override {
        if (!Cut()) {
            QLabel::paintEvent(event);
            return;
        }
        QPainter painter(this);
        const QRect area = contentsRect();
        style()->drawItemText(
            &painter, area, QStyle::visualAlignment(layoutDirection(), alignment()), palette(), isEnabled(),
            fontMetrics().elidedText(text(), Qt::ElideRight, area.width()), foregroundRole());
    }
    bool event(QEvent* event) override {
        if (event->type() == QEvent::ToolTip) setToolTip(Cut() ? text() + "\n\n" + about_ : about_);
        return QLabel::event(event);
    }

private:
    bool Cut() const { return fontMetrics().horizontalAdvance(text()) > contentsRect().width(); }

    QString about_;
};

// A tree of names under their groups, read only, copied as the tables are.
void SetUpTree(QTreeView* view, const char* name, QAbstractItemModel* model, QObject* copier) {
    view->setObjectName(name);
    view->setModel(model);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setUniformRowHeights(true);
    view->setTabKeyNavigation(false);
    view->installEventFilter(copier);
}

void SetUpTable(QTableView* view, QObject* copier) {
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->verticalHeader()->setVisible(false);
    // Rows as high as the text needs, not the style's roomy default.
    view->verticalHeader()->setMinimumSectionSize(view->fontMetrics().height() + 4);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 4);
    view->installEventFilter(copier);
    view->setTabKeyNavigation(false);  // Tab leaves the table; the arrows move within it
}

QString Utf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Where the summary's values stand: two a row, or one across the row (`right` null).
struct SummaryRow {
    const char* left;
    const char* right;
};
// clang-format off
constexpr SummaryRow kSummaryRows[] = {
    //  left            right
    {"Brand",           nullptr},
    {"Vendor",          "Signature"},
    {"Codename",        "Microarchitecture"},
    {"Process",         "Core type"},
    {"Microcode",       "Hypervisor"},
    {"x86-64 level",    "Counts"},
    {"Instructions",    nullptr},
};
// clang-format on

constexpr QSize kMinimumSize(640, 540);

// The plot's tick labels need about this many pixels each to stay legible.
constexpr int kTimeTickPixels = 56;
constexpr int kClockTickPixels = 22;

}  // namespace

DetailsWindow::DetailsWindow(const Probe& probe, const std::vector<unsigned>& processors,
                             ProcessorNumber examined, WindowServices services, QWidget* parent)
    : QWidget(parent, Qt::Window),
      probe_(probe),
      services_(std::move(services)),
      allowed_(Chosen(processors, probe.platform)),
      inbox_(new Inbox(this)),
      examined_(examined),
      live_clock_(probe.platform.HasLiveClock()),
      live_(LiveMeasureThrough(services_, probe.platform)) {
    setObjectName("details");
    setAttribute(Qt::WA_DeleteOnClose);
    setFont(WindowFont());  // the main window's, without its narrowed captions

    BuildControls();
    ConnectEvents();
    TabShown();
    // A dump that opens within 100 ms leaves the cursor as it was.
    busy_ = new QTimer(this);
    busy_->setSingleShot(true);
    busy_->setInterval(100);
    connect(busy_, &QTimer::timeout, this, [this] {
        QApplication::setOverrideCursor(Qt::BusyCursor);
        busy_cursor_ = true;
    });

    set_ = CaptureLive();
    ShowSet();
    ShowProcessor(examined);
    // Within the screen's free area, whatever the scale: at twice the size the buttons would
    // otherwise lie off the screen.
    // The smallest size at which no value is cut and the plot keeps its labels: a top-level layout
    // does not count the wrapped summary lines in its own minimum.
    setMinimumSize(kMinimumSize);
    QSize size(820, 560);
    if (const QScreen* s = parent != nullptr ? parent->screen() : QGuiApplication::primaryScreen()) {
        const QRect area = s->availableGeometry();
        // The frame the window manager adds is not known before the window is shown: leave room.
        size = size.boundedTo(area.size() - QSize(16, 48));
        const QRect placed = QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size, area);
        move(placed.topLeft());
    }
    resize(size);
}

void DetailsWindow::BuildControls() {
    auto* copier = new SelectionCopier(this, services_.write_clipboard);
    auto* tips = new CutCellTips(this);
    auto* header = new QGridLayout;
    header->setColumnStretch(1, 1);
    header->setColumnStretch(3, 1);
    header->setHorizontalSpacing(8);
    header->setVerticalSpacing(2);

    chooser_ = new QComboBox(this);
    chooser_->setObjectName("processorChooser");
    chooser_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    chooser_->setToolTip("The processor shown: its summary, caches, features and leaves, and the plot");
    status_ = new QLabel(this);
    status_->setObjectName("status");
    status_->setWordWrap(true);
    auto* processor_row = new QHBoxLayout;
    processor_row->addWidget(chooser_);
    processor_row->addWidget(status_, 1);
    auto* processor_caption = new QLabel("Processor", this);
    processor_caption->setToolTip(chooser_->toolTip());
    header->addWidget(processor_caption, 0, 0);
    header->addLayout(processor_row, 0, 1, 1, 3);
    // One label a value of the summary, named as the text names it, where kSummaryRows puts it.
    const std::vector<DetailsLine> lines = DetailsSummary(ProcessorDetails{}, SetFacts{});
    summary_.assign(lines.size(), nullptr);
    int row = 1;
    for (const SummaryRow& r : kSummaryRows) {
        for (const char* key : {r.left, r.right}) {
            if (key == nullptr) continue;
            const auto at = std::find_if(lines.begin(), lines.end(), [&](const DetailsLine& l) {
                return std::string_view(l.key) == key;
            });
            const auto k = static_cast<size_t>(at - lines.begin());
            auto* caption = new QLabel(QString::fromUtf8(key), this);
            // A value with a row of its own wraps; one of two in a row ends in "…" where it is cut.
            QLabel* value =
                r.right == nullptr ? new QLabel(this) : new ElidingLabel(QString::fromUtf8(at->about), this);
            value->setObjectName(QString::fromUtf8(key));
            value->setTextInteractionFlags(Qt::TextSelectableByMouse);
            value->setWordWrap(r.right == nullptr);
            caption->setToolTip(QString::fromUtf8(at->about));
            value->setToolTip(QString::fromUtf8(at->about));
            const int column = key == r.left ? 0 : 2;
            header->addWidget(caption, row, column, Qt::AlignTop);
            header->addWidget(value, row, column + 1, 1, r.right == nullptr ? 3 : 1);
            summary_[k] = value;
        }
        ++row;
    }

    tabs_ = new QTabWidget(this);
    tabs_->setObjectName("tabs");

    caches_ = new CacheModel(this);
    cache_view_ = new QTableView(this);
    cache_view_->setObjectName("cacheView");
    cache_view_->setModel(caches_);
    SetUpTable(cache_view_, copier);
    cache_view_->viewport()->installEventFilter(tips);
    tabs_->addTab(cache_view_, "Caches");

    tabs_->setTabToolTip(0, "Each cache of the processor shown, from the richest leaf that describes it");

    processors_ = new ProcessorTableModel(this);
    processor_view_ = new QTableView(this);
    processor_view_->setObjectName("processorView");
    processor_view_->setModel(processors_);
    SetUpTable(processor_view_, copier);
    processor_view_->viewport()->installEventFilter(tips);
    // The examined processor's clock over the last minute, against the time stamp counter's rate.
    auto* chart = new QChart;
    chart->legend()->setAlignment(Qt::AlignRight);
    chart->setMargins(QMargins(4, 2, 4, 2));
    clock_series_ = new QLineSeries(chart);
    clock_series_->setName("Clock");
    tsc_series_ = new QLineSeries(chart);
    tsc_series_->setPen(QPen(Qt::gray, 1, Qt::DashLine));
    chart->addSeries(clock_series_);
    chart->addSeries(tsc_series_);
    time_axis_ = new QValueAxis(chart);
    time_axis_->setRange(-kPlotSeconds, 0);
    time_axis_->setLabelFormat("%d s");
    time_axis_->setTickCount(7);
    clock_axis_ = new QValueAxis(chart);
    clock_axis_->setLabelFormat("%d MHz");
    clock_axis_->setRange(0, 1000);
    // Labels in a smaller face than the window's, so that they keep their room in a small plot.
    QFont small = font();
    small.setPixelSize(std::max(9, QFontInfo(font()).pixelSize() - 2));
    time_axis_->setLabelsFont(small);
    clock_axis_->setLabelsFont(small);
    chart->legend()->setFont(small);
    chart->setTitleFont(small);
    chart->addAxis(time_axis_, Qt::AlignBottom);
    chart->addAxis(clock_axis_, Qt::AlignLeft);
    for (QLineSeries* series : {clock_series_, tsc_series_}) {
        series->attachAxis(time_axis_);
        series->attachAxis(clock_axis_);
    }
    clock_plot_ = new QChartView(chart, this);
    clock_plot_->setObjectName("clockPlot");
    clock_plot_->setRenderHint(QPainter::Antialiasing);
    clock_plot_->setMinimumHeight(150);
    clock_plot_->setMaximumHeight(190);
    clock_plot_->setToolTip(QString::fromUtf8(ProcessorTableModel::kClockAbout));
    clock_plot_->installEventFilter(this);
    auto* processor_page = new QWidget(this);
    auto* processor_layout = new QVBoxLayout(processor_page);
    processor_layout->setContentsMargins(0, 0, 0, 0);
    processor_layout->addWidget(processor_view_, 1);
    processor_layout->addWidget(clock_plot_);
    tabs_->addTab(processor_page, "Processors");
    tabs_->setTabToolTip(1, "Every processor examined, who shares each cache, and each core's clock now");

    security_ = new SecurityModel(this);
    security_view_ = new QTableView(this);
    security_view_->setObjectName("securityView");
    security_view_->setModel(security_);
    SetUpTable(security_view_, copier);
    security_view_->viewport()->installEventFilter(this);  // FitVerdicts as it changes size
    tabs_->addTab(security_view_, "Security");
    tabs_->setTabToolTip(2,
                         "The running kernel's verdict on each vulnerability it knows, and the CPUID bits "
                         "that enumerate mitigations");

    features_ = new FeatureModel(this);
    feature_filter_model_ = new QSortFilterProxyModel(this);
    feature_filter_model_->setSourceModel(features_);
    feature_filter_model_->setFilterKeyColumn(FeatureModel::kName);
    feature_filter_model_->setFilterCaseSensitivity(Qt::CaseInsensitive);
    // A name that matches keeps its register shown; a register that matches shows all its names.
    feature_filter_model_->setRecursiveFilteringEnabled(true);
    feature_filter_model_->setAutoAcceptChildRows(true);
    feature_filter_ = new QLineEdit(this);
    feature_filter_->setObjectName("featureFilter");
    feature_filter_->setPlaceholderText("Filter");
    feature_filter_->setClearButtonEnabled(true);
    feature_filter_->setToolTip(
        "Features: shows the names (or registers) that contain this text. Leaves: shows "
        "the fields whose name, description or meaning contains it. Escape clears it");
    feature_filter_->installEventFilter(this);
    feature_view_ = new QTreeView(this);
    SetUpTree(feature_view_, "featureView", feature_filter_model_, copier);
    feature_view_->viewport()->installEventFilter(tips);
    tabs_->addTab(feature_view_, "Features");
    tabs_->setTabToolTip(3, "Every named feature bit, register by register, set or not");

    leaves_ = new LeafModel(this);
    leaf_view_ = new QTableView(this);
    leaf_view_->setObjectName("leafView");
    leaf_view_->setModel(leaves_);
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPixelSize(layout::kFontPixels);
    leaf_view_->setFont(fixed);
    SetUpTable(leaf_view_, copier);
    leaf_fields_ = new LeafFieldModel(this);
    leaf_filter_model_ = new QSortFilterProxyModel(this);
    leaf_filter_model_->setSourceModel(leaf_fields_);
    leaf_filter_model_->setFilterRole(LeafFieldModel::SearchRole);
    leaf_filter_model_->setFilterCaseSensitivity(Qt::CaseInsensitive);
    leaf_filter_model_->setRecursiveFilteringEnabled(true);
    leaf_field_view_ = new QTreeView(this);
    SetUpTree(leaf_field_view_, "leafFieldView", leaf_filter_model_, copier);
    // The raw registers above their fields, each as wide as the page; choosing a leaf there shows its
    // fields here.
    auto* leaf_page = new QSplitter(Qt::Vertical, this);
    leaf_page->setObjectName("leafPage");
    leaf_page->setChildrenCollapsible(false);
    leaf_page->addWidget(leaf_view_);
    leaf_page->addWidget(leaf_field_view_);
    leaf_page->setStretchFactor(0, 1);
    leaf_page->setStretchFactor(1, 2);
    tabs_->addTab(leaf_page, "Leaves");
    tabs_->setTabToolTip(4,
                         "Every leaf recorded of the processor shown: its registers, and each field decoded");
    // One filter for the two tabs that list names, at the tabs' corner, shown while one of them is.
    tabs_->setCornerWidget(feature_filter_, Qt::TopRightCorner);

    copy_button_ = new QPushButton("&Copy", this);
    copy_button_->setObjectName("copyButton");
    save_button_ = new QPushButton("&Save Dump...", this);
    save_button_->setObjectName("saveButton");
    open_button_ = new QPushButton("&Open Dump...", this);
    open_button_->setObjectName("openButton");
    live_button_ = new QPushButton("&This Machine", this);
    live_button_->setObjectName("liveButton");
    compare_button_ = new QPushButton("Co&mpare with dump...", this);
    compare_button_->setObjectName("compareButton");
    close_button_ = new QPushButton("C&lose", this);
    close_button_->setObjectName("closeButton");
    copy_button_->setToolTip(
        "Puts what talvex-report --details says of the processor shown on the clipboard");
    save_button_->setToolTip("Writes every processor shown to a file, in cpuid -r's layout or libcpuid's");
    open_button_->setToolTip("Shows the processors of a dump file instead of this machine's");
    live_button_->setToolTip("Shows this machine's processors again, captured afresh");
    compare_button_->setToolTip(
        "Says what differs between the processor shown and a dump's processor of the "
        "same number, as talvex-report --compare does");
    close_button_->setToolTip("Closes the window (Escape)");
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(copy_button_);
    buttons->addWidget(save_button_);
    buttons->addWidget(open_button_);
    buttons->addWidget(live_button_);
    buttons->addWidget(compare_button_);
    buttons->addStretch(1);
    buttons->addWidget(close_button_);

    auto* top = new QVBoxLayout(this);
    top->addLayout(header);
    top->addWidget(tabs_, 1);
    top->addLayout(buttons);
}

void DetailsWindow::keyPressEvent(QKeyEvent* event) {
    // Escape reaches the window only when no open list took it: a shortcut would fire even then
    // and close the window with the list.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool DetailsWindow::eventFilter(QObject* watched, QEvent* event) {
    // As a dialog's line does: the first Escape clears the filter, the next one closes the window.
    if (watched == feature_filter_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier
            && !feature_filter_->text().isEmpty()) {
            feature_filter_->clear();
            return true;
        }
    }
    // The views are made one after another, each watched from then on.
    if (security_view_ != nullptr && watched == security_view_->viewport() && event->type() == QEvent::Resize)
        FitVerdicts();
    if (watched == clock_plot_ && event->type() == QEvent::Resize) {
        const QSize size = clock_plot_->size();
        time_axis_->setTickCount(std::clamp(size.width() / kTimeTickPixels, 2, 7));
        clock_axis_->setTickCount(std::clamp(size.height() / kClockTickPixels, 2, 5));
    }
    return QWidget::eventFilter(watched, event);
}

void DetailsWindow::ConnectEvents() {
    // Errors stop in the slot, as in the main window: Qt is built without clean-ups for an exception.
    const auto guarded = [](auto handler) { return [handler] { RunHandler(handler); }; };
    connect(copy_button_, &QPushButton::clicked, this, guarded([this] { CopyClick(); }));
    connect(save_button_, &QPushButton::clicked, this, guarded([this] { SaveDumpClick(); }));
    connect(open_button_, &QPushButton::clicked, this, guarded([this] { OpenDumpClick(); }));
    connect(live_button_, &QPushButton::clicked, this, guarded([this] { LiveClick(); }));
    connect(compare_button_, &QPushButton::clicked, this, guarded([this] { CompareDumpClick(); }));
    connect(close_button_, &QPushButton::clicked, this, guarded([this] { close(); }));
    connect(chooser_, &QComboBox::activated, this,
            [this](int index) { RunHandler([&] { ShowEntry(index); }); });
    connect(feature_filter_, &QLineEdit::textChanged, this, [this](const QString& text) {
        feature_filter_model_->setFilterFixedString(text);
        feature_view_->expandAll();
        FilterLeaves();
    });
    connect(tabs_, &QTabWidget::currentChanged, this, [this] { RunHandler([this] { TabShown(); }); });
    connect(leaf_view_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { RunHandler([&] { ShowLeafFields(current); }); });
}

void DetailsWindow::ShowSet() {
    setWindowTitle(file_.isEmpty() ? QString::fromUtf8(kTitle)
                                   : QString::fromUtf8(kTitle) + " - " + QFileInfo(file_).fileName());
    chooser_->clear();
    for (const ProcessorCapture& c : set_.captures)
        chooser_->addItem(QString::fromStdString(CpuName(c.processor)));
    // One choice is no choice. This machine's processors start at the one the main window examines.
    chooser_->setVisible(set_.captures.size() > 1);
    live_button_->setVisible(!file_.isEmpty());

    processors_->SetProcessors(&set_);
    processor_view_->clearSpans();
    const int columns = processors_->columnCount();
    for (int row = 0; row < processors_->rowCount(); ++row) {
        if (processors_->IsStatusRow(row) && columns > ProcessorTableModel::kFirstValueColumn + 1) {
            processor_view_->setSpan(row, ProcessorTableModel::kFirstValueColumn, 1,
                                     columns - ProcessorTableModel::kFirstValueColumn);
        }
    }
    save_button_->setEnabled(!set_.details.empty());

    history_.clear();
    if (!Live()) {
        live_.Stop();
        processors_->SetClocks(kNotMeasured);
    } else if (isVisible()) {
        StartLive();
    }
    // After the clock column has its text, so that no cell is cut short.
    processor_view_->resizeColumnsToContents();
    if (Live()) FitClockColumn();
}

void DetailsWindow::FitVerdicts() {
    // The kernel's words whole: each verdict wraps in the width the names leave it, in rows as high
    // as they need, rather than run past the view's edge.
    const int verdicts = security_->columnCount() - 1;
    int names = 0;
    for (int column = 0; column < verdicts; ++column) names += security_view_->columnWidth(column);
    const int header = security_view_->horizontalHeader()->sectionSizeHint(verdicts);
    security_view_->setColumnWidth(verdicts, std::max(header, security_view_->viewport()->width() - names));
    security_view_->resizeRowsToContents();
}

void DetailsWindow::FitClockColumn() {
    // Room for the widest figure from the start, so that the column keeps its width as ", noisy"
    // comes and goes; a longer text widens it, and nothing narrows it while the set is shown.
    const int column = processors_->ClockColumn();
    const QString widest = QString::fromStdString(MeasuredClockCell(CoreClock{9999, std::nullopt, true}));
    // A character more than the figure, for the delegate's own rounding of the text's width.
    const QFontMetrics metrics = processor_view_->fontMetrics();
    const int width =
        metrics.horizontalAdvance(widest) + metrics.averageCharWidth() + CellMargin(*processor_view_);
    const int before = processor_view_->columnWidth(column);
    processor_view_->resizeColumnToContents(column);
    processor_view_->setColumnWidth(column, std::max({width, before, processor_view_->columnWidth(column)}));
}

void DetailsWindow::ShowEntry(int entry) {
    const ProcessorDetails* d = set_.DetailsOf(entry);
    if (d != nullptr) {
        const std::vector<DetailsLine> lines = DetailsSummary(*d, set_.facts);
        for (size_t k = 0; k < summary_.size(); ++k) summary_[k]->setText(Utf8(lines[k].value));
        // Without a chooser (one processor), the line names the processor shown.
        const std::string own =
            chooser_->isHidden() ? CpuName(set_.captures[static_cast<size_t>(entry)].processor) : "";
        const std::string lacks = IncompleteText(d->dump_lacks);
        status_->setText(Utf8(own + (!own.empty() && !lacks.empty() ? "; " : "") + lacks));
    } else {
        for (QLabel* value : summary_) value->clear();
        status_->setText(Utf8(entry >= 0 ? set_.Status(entry) : allowed_.RefusalText(examined_)));
    }
    chooser_->setCurrentIndex(entry);
    const DumpGaps lacks = d != nullptr ? d->dump_lacks : DumpGaps();
    tabs_->setTabText(0, CachesUncertain(lacks) ? QString("Caches") + kIncompleteMark : QString("Caches"));
    tabs_->setTabText(3,
                      FeaturesUncertain(lacks) ? QString("Features") + kIncompleteMark : QString("Features"));
    caches_->SetProcessor(set_, entry);
    security_->SetProcessor(d);
    features_->SetProcessor(d);
    leaves_->SetProcessor(d != nullptr ? &set_.captures[static_cast<size_t>(entry)].dump : nullptr);
    leaf_fields_->SetProcessor(d != nullptr ? &set_.captures[static_cast<size_t>(entry)].dump : nullptr);
    if (tabs_->currentIndex() == kLeavesTab) TabShown();
    cache_view_->resizeColumnsToContents();
    security_view_->resizeColumnsToContents();
    FitVerdicts();
    feature_view_->expandAll();
    for (int column = 0; column < FeatureModel::kColumns; ++column)
        feature_view_->resizeColumnToContents(column);
    leaf_view_->resizeColumnsToContents();
    copy_button_->setEnabled(d != nullptr);
    tsc_series_->setName(d != nullptr && d->invariant_tsc ? "Time stamp counter (invariant)"
                                                          : "Time stamp counter");
    EnableCompare();
    ShowClockPlot();
}

void DetailsWindow::TabShown() {
    const int tab = tabs_->currentIndex();
    feature_filter_->setVisible(tab == kFeaturesTab || tab == kLeavesTab);
    // Decoded when first shown, so that opening the window stays quick; shown again, the tree stays
    // as the user left it.
    if (tab != kLeavesTab || !leaf_fields_->Decode()) return;
    FilterLeaves();
    // The names and bits as wide as the longest of them, closed or open; the value as its header.
    const QFontMetrics metrics(leaf_field_view_->font());
    const int indent = 3 * leaf_field_view_->indentation();
    const int margin = CellMargin(*leaf_field_view_);
    leaf_field_view_->setColumnWidth(
        LeafFieldModel::kField,
        indent + margin + metrics.horizontalAdvance(QString::fromStdString(LongestFieldName())));
    leaf_field_view_->setColumnWidth(LeafFieldModel::kBits, margin + metrics.horizontalAdvance("EBX[31:22]"));
    leaf_field_view_->setColumnWidth(LeafFieldModel::kValue,
                                     margin + metrics.horizontalAdvance("0x00000000"));
}

void DetailsWindow::FilterLeaves() {
    leaf_filter_model_->setFilterFixedString(feature_filter_->text());
    // A search shows every field it finds; without one, the leaves stand closed.
    if (feature_filter_->text().isEmpty())
        leaf_field_view_->collapseAll();
    else
        leaf_field_view_->expandAll();
}

void DetailsWindow::ShowLeafFields(const QModelIndex& raw) {
    if (!raw.isValid()) return;
    const std::vector<DumpLeaf>& shown = leaves_->Leaves();
    const DumpLeaf& l = shown[static_cast<size_t>(raw.row())];
    const QModelIndex at = leaf_filter_model_->mapFromSource(leaf_fields_->IndexOf(l.leaf, l.subleaf));
    if (!at.isValid()) return;
    leaf_field_view_->expand(at.parent());
    leaf_field_view_->expand(at);
    leaf_field_view_->scrollTo(at, QAbstractItemView::PositionAtTop);
    leaf_field_view_->setCurrentIndex(at);
}

ProcessorNumber DetailsWindow::Plotted() const {
    const int entry = chooser_->currentIndex();
    if (entry >= 0 && entry < static_cast<int>(set_.captures.size()))
        return set_.captures[static_cast<size_t>(entry)].processor;
    return examined_;
}

ProcessorSet DetailsWindow::CaptureLive() {
    return ProcessorSet(CaptureProcessors(probe_.platform, probe_.source, allowed_.Numbers()),
                        &probe_.platform);
}

void DetailsWindow::LiveClick() {
    if (file_.isEmpty()) return;
    set_ = CaptureLive();
    file_.clear();
    ShowSet();
    ShowEntry(set_.EntryOf(examined_));
}

bool DetailsWindow::Live() const { return file_.isEmpty() && live_clock_; }

void DetailsWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (Live() && !live_.Running()) StartLive();
}

void DetailsWindow::hideEvent(QHideEvent* event) {
    live_.Stop();
    QWidget::hideEvent(event);
}

void DetailsWindow::StartLive() {
    std::vector<LiveProcessor> processors;
    for (size_t i = 0; i < set_.captures.size(); ++i) {
        if (const ProcessorDetails* d = set_.DetailsOf(static_cast<int>(i))) {
            CoreClockSettings settings = ClockSettingsFor(*d);
            settings.windows = kLiveWindows;
            processors.push_back({set_.captures[i].processor, settings});
        }
    }
    if (!live_time_.isValid()) live_time_.start();
    const unsigned generation = ++live_generation_;
    // From the worker thread: the readings are shown on the window's own, while it wants them.
    live_.Start(std::move(processors), services_.live_first_reading,
                [this, generation, inbox = inbox_->address()](std::vector<LiveReading> readings) {
                    inbox.Post([this, generation, r = std::move(readings)] { ApplyReadings(generation, r); });
                });
}

void DetailsWindow::ApplyReadings(unsigned generation, const std::vector<LiveReading>& readings) {
    // Readings queued before the worker stopped (hidden, a dump opened, restarted) are not shown.
    if (!live_.Running() || generation != live_generation_) return;
    const double now = static_cast<double>(live_time_.elapsed()) / 1000.0;
    for (const LiveReading& r : readings) {
        // A processor measured before that can no longer be pinned to has gone offline since; one
        // whose measurement failed or was moved has no figure now.
        const bool seen = history_.count(r.processor) != 0;
        std::string text = kUnavailable;
        if (r.clock) {
            text = MeasuredClockCell(*r.clock);
        } else if (r.status == PinStatus::NotPinned && !seen) {
            text = NotPinnedText(r.processor);
        }
        processors_->SetClock(set_.EntryOf(r.processor), text);
        if (!r.clock) continue;
        ClockHistory& h = history_[r.processor];
        if (r.clock->mhz) h.points.emplace_back(now, *r.clock->mhz);
        if (r.clock->tsc_mhz) h.tsc_mhz = *r.clock->tsc_mhz;
        while (!h.points.empty() && h.points.front().x() < now - kPlotSeconds) h.points.pop_front();
    }
    FitClockColumn();
    ShowClockPlot();
}

void DetailsWindow::ShowClockPlot() {
    QChart* chart = clock_plot_->chart();
    clock_series_->clear();
    tsc_series_->clear();
    if (!Live()) {
        chart->setTitle(kNotMeasured);
        return;
    }
    chart->setTitle(QString::fromStdString("Core clock of " + CpuName(Plotted())));
    const auto it = history_.find(Plotted());
    if (it == history_.end()) return;
    const double now = static_cast<double>(live_time_.elapsed()) / 1000.0;
    double top = it->second.tsc_mhz;
    QList<QPointF> points;
    for (const QPointF& p : it->second.points) {
        points.append({p.x() - now, p.y()});
        top = std::max(top, p.y());
    }
    clock_series_->replace(points);
    if (it->second.tsc_mhz > 0)
        tsc_series_->replace({{-kPlotSeconds, it->second.tsc_mhz}, {0, it->second.tsc_mhz}});
    // Room above the highest value, in steps of 500 MHz.
    clock_axis_->setRange(0, std::max(500.0, std::ceil(top * 1.15 / 500) * 500));
}

void DetailsWindow::ShowProcessor(ProcessorNumber processor) {
    examined_ = processor;
    if (file_.isEmpty()) ShowEntry(set_.EntryOf(processor));
}

void DetailsWindow::CopyClick() {
    const int entry = chooser_->currentIndex();
    if (set_.DetailsOf(entry) == nullptr) return;
    // Told as the set tells it, as the Caches tab does: who shares each cache, the counts.
    CopyTextToClipboard(
        services_.write_clipboard,
        Utf8(DetailsText(set_.details, static_cast<size_t>(set_.record[static_cast<size_t>(entry)]))));
}

QString DetailsWindow::SuggestedDumpName() const {
    // Without a suffix, so that the layout picked in the dialog adds its own.
    if (!file_.isEmpty()) {
        const QString name = QFileInfo(file_).fileName();
        for (const char* suffix : {".libcpuid.txt", ".txt"})
            if (name.endsWith(suffix)) return name.chopped(static_cast<qsizetype>(std::strlen(suffix)));
        return name;
    }
    QString host = QSysInfo::machineHostName().section('.', 0, 0);
    if (host.isEmpty()) host = "talvex";
    return host + "-" + QDate::currentDate().toString(Qt::ISODate);
}

void DetailsWindow::SaveDumpClick() {
    const FileChoice choice =
        services_.ask_file(this, true, "Save Dump", SuggestedDumpName(),
                           {QString::fromUtf8(kCpuidRawFilter), QString::fromUtf8(kLibcpuidFilter)});
    if (choice.path.isEmpty()) return;
    const bool libcpuid = choice.path.endsWith(".libcpuid.txt") || choice.filter == kLibcpuidFilter;
    // A name without a suffix gets the chosen layout's, so that Open Dump's filter shows the file.
    QString path = choice.path;
    if (QFileInfo(path).suffix().isEmpty()) path += libcpuid ? ".libcpuid.txt" : ".txt";
    SaveDump(path, libcpuid);
}

void DetailsWindow::SaveDump(const QString& path, bool libcpuid) {
    const std::vector<DumpProcessor> dumps = set_.Dumps();
    const std::string text = libcpuid ? FormatLibcpuid(dumps) : FormatCpuidRaw(dumps, set_.Numbers());
    // Written beside the target and renamed over it at the end, so a failure leaves no half file.
    // Unbuffered, and each write checked: Qt 6.4 commits a file cut short by a short write (a file
    // size limit, a full disk) as if it were whole.
    QSaveFile file(path);
    QString error;
    if (file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        qint64 done = 0;
        const auto size = static_cast<qint64>(text.size());
        while (done < size) {
            const qint64 n = file.write(text.data() + done, size - done);
            if (n <= 0) break;
            done += n;
        }
        if (done == size && file.commit()) return;
        error = file.errorString();
        file.cancelWriting();
    } else {
        error = file.errorString();
    }
    ReportError((QDir::toNativeSeparators(path) + ": " + error).toStdString());
}

void DetailsWindow::OpenDumpClick() {
    const FileChoice choice =
        services_.ask_file(this, false, "Open Dump", {}, {"CPUID dumps (*.txt)", "All files (*)"});
    if (!choice.path.isEmpty()) OpenDump(choice.path);
}

bool DetailsWindow::OpenDump(const QString& path) {
    if (opening_) return false;
    opening_ = ReadDumpOnWorker<Opened>(
        probe_.platform, allowed_.Numbers(), QFile::encodeName(path).toStdString(), inbox_->address(),
        [](std::vector<DumpProcessor> sections, Opened& opened) {
            opened.set = ProcessorSet::FromDump(std::move(sections));
        },
        [this, path](Opened& opened) { DumpOpened(path, opened); });
    open_button_->setEnabled(false);
    EnableCompare();  // the processor shown is about to change
    busy_->start();
    return true;
}

void DetailsWindow::DumpOpened(const QString& path, Opened& opened) {
    opening_.reset();
    busy_->stop();
    if (busy_cursor_) QApplication::restoreOverrideCursor();
    busy_cursor_ = false;
    open_button_->setEnabled(true);
    EnableCompare();
    if (!opened.error.empty()) {
        ReportError(opened.error);
        return;
    }
    // The models keep copies of what they show, so the records replaced here are read by nothing.
    set_ = std::move(opened.set);
    file_ = path;
    ShowSet();
    ShowEntry(0);
}

void DetailsWindow::CompareDumpClick() {
    const FileChoice choice =
        services_.ask_file(this, false, "Compare with dump", {}, {"CPUID dumps (*.txt)", "All files (*)"});
    if (!choice.path.isEmpty()) CompareWithDump(choice.path);
}

bool DetailsWindow::CompareWithDump(const QString& path) {
    const ProcessorDetails* shown = set_.DetailsOf(chooser_->currentIndex());
    if (comparing_ || opening_ || shown == nullptr) return false;
    comparing_ = ReadDumpOnWorker<Compared>(
        probe_.platform, allowed_.Numbers(), QFile::encodeName(path).toStdString(), inbox_->address(),
        [a = *shown, a_name = (file_.isEmpty() ? QString("this machine") : QDir::toNativeSeparators(file_)),
         b_name = QDir::toNativeSeparators(path)](std::vector<DumpProcessor> sections, Compared& compared) {
            const auto k =
                static_cast<unsigned>(SectionOf(sections.size(), a.cpu.counted(), b_name.toStdString()));
            const std::vector<ProcessorDetails> b = GetRecordedDetails({sections[k]}, {k});
            compared.text = CompareText({a_name.toStdString(), &a}, {b_name.toStdString(), &b[0]},
                                        CompareProcessors(a, b[0]));
        },
        [this](Compared& compared) {
            comparing_.reset();
            EnableCompare();
            ShowComparison(compared);
        });
    EnableCompare();
    return true;
}

void DetailsWindow::EnableCompare() {
    compare_button_->setEnabled(set_.DetailsOf(chooser_->currentIndex()) != nullptr && !comparing_
                                && !opening_);
}

void DetailsWindow::ShowComparison(const Compared& compared) {
    if (!compared.error.empty()) {
        ReportError(compared.error);
        return;
    }
    auto* dialog = new QDialog(this);
    dialog->setObjectName("compareResult");
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle("Talvex: Comparison");
    QString shown = Utf8(compared.text);
    if (shown.endsWith('\n')) shown.chop(1);  // no empty line below the last
    auto* text = new QPlainTextEdit(shown, dialog);
    text->setObjectName("compareText");
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPixelSize(layout::kFontPixels);
    text->setFont(fixed);
    auto* close = new QPushButton("C&lose", dialog);
    connect(close, &QPushButton::clicked, dialog, &QDialog::close);
    auto* column = new QVBoxLayout(dialog);
    column->addWidget(text);
    column->addWidget(close, 0, Qt::AlignRight);
    // Wide enough for the text's lines (at most 100 columns) where the screen allows.
    const int width = text->fontMetrics().horizontalAdvance(QString(104, 'x')) + 48;
    QSize wanted(width, 480);
    if (const QScreen* s = screen()) wanted = wanted.boundedTo(s->availableGeometry().size() - QSize(16, 48));
    dialog->resize(wanted);
    dialog->show();
}

DetailsWindow::~DetailsWindow() {
    for (std::optional<std::stop_source>* reading : {&opening_, &comparing_})
        if (*reading) (*reading)->request_stop();
    if (busy_cursor_) QApplication::restoreOverrideCursor();
}

}  // namespace talvex
