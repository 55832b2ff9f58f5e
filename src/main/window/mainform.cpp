#include "main/window/mainform.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QProxyStyle>
#include <QStandardItemModel>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QWheelEvent>

#include <algorithm>
#include <map>
#include <utility>

#include "main/report/load_data.h"
#include "main/window/application.h"
#include "main/window/layout.h"
#include "probe/clock/clock.h"
#include "probe/platform/processor_number.h"
#include "probe/text/text.h"
#include "version/version.h"

namespace talvex {

namespace {

QString Latin1(std::string_view bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// Shows `text` in a selector with the list position on the entry of that text (none when no entry
// has it), so that Up and Down move on from what the user sees.
void ShowEntry(QComboBox& combo, const QString& text) {
    combo.setCurrentIndex(combo.findText(text));
    combo.setEditText(text);
}

// A field shows processor bytes from their beginning, a label at the size its caption needs.
void SetText(QWidget* w, std::string_view bytes) {
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        edit->setText(Latin1(bytes));
        edit->setCursorPosition(0);
    } else if (auto* label = qobject_cast<QLabel*>(w)) {
        label->setText(Latin1(bytes));
        label->adjustSize();
    }
}

// What the clock field shows while its measurement runs.
constexpr const char* kMeasuringText = "measuring...";

// The data load's writes, onto the window's widgets. The clock field is left to the measurement.
class WidgetSink final : public LoadSink {
public:
    WidgetSink(Tmainform& form, QComboBox& feature_selector,
               const std::array<QAction*, kFlagRegisterCount>& flag_entries)
        : form_(form), features_(feature_selector), flag_entries_(flag_entries) {}

    void SetText(LoadField field, std::string_view bytes) override {
        if (field != LoadField::editCPUClock) talvex::SetText(form_.Field(field), bytes);
    }
    std::string Text(LoadField field) const override {
        QWidget* w = form_.Field(field);
        if (auto* edit = qobject_cast<QLineEdit*>(w)) return edit->text().toLatin1().toStdString();
        if (auto* label = qobject_cast<QLabel*>(w)) return label->text().toLatin1().toStdString();
        return {};
    }
    void SetEnabled(LoadField field, bool enabled) override { form_.Field(field)->setEnabled(enabled); }

    void ClearFeatureList() override {
        const QString shown = features_.currentText();
        features_.clear();
        features_.setEditText(shown);
    }
    void AddFeatureEntry(const FlagRegisterInfo& entry) override {
        // The first entry added to an empty list would take over the shown text.
        const QString shown = features_.currentText();
        features_.addItem(QString::fromLatin1(entry.entry_text));
        ShowEntry(features_, shown);
    }
    void SetFeatureMenuVisible(const FlagRegisterInfo& entry, bool visible) override {
        flag_entries_[static_cast<size_t>(entry.id)]->setVisible(visible);
    }

private:
    Tmainform& form_;
    QComboBox& features_;
    const std::array<QAction*, kFlagRegisterCount>& flag_entries_;
};

// The flag register whose selector entry reads `text`; nullptr for none.
const FlagRegisterInfo* FlagRegisterNamed(const QString& text) {
    for (const FlagRegisterInfo& entry : kFlagRegisters)
        if (text == QLatin1String(entry.entry_text)) return &entry;
    return nullptr;
}

// A tooltip in lines of at most 72 characters, broken at blanks: Qt runs plain text in one line
// across the screen, and wraps rich text into a narrow column.
QString ToolTipText(const std::string& text) {
    constexpr qsizetype kWidth = 72;
    QString wrapped = QString::fromStdString(text);
    for (qsizetype start = 0; wrapped.size() - start > kWidth;) {
        const qsizetype blank = wrapped.lastIndexOf(' ', start + kWidth);
        if (blank <= start) break;
        wrapped[blank] = '\n';
        start = blank + 1;
    }
    return wrapped;
}

// A long name takes the window's font, narrowed just enough to keep within the room the layout
// gives it ("Supplemental Streaming SIMD Extensions 3" would run into the next column).
void FitCaption(QLabel& label, int room) {
    QFont font = label.parentWidget()->font();
    for (int stretch = font.stretch() == 0 ? 100 : font.stretch(); stretch > 50; --stretch) {
        font.setStretch(stretch);
        if (QFontMetrics(font).horizontalAdvance(label.text()) <= room) break;
    }
    label.setFont(font);
    label.adjustSize();
}

// The style of a selector whose text cannot be edited: every point of the control is the list's
// button, as the arrow is.
class WholeButtonStyle final : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    SubControl hitTestComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                     const QPoint& pos, const QWidget* widget) const override {
        const SubControl hit = QProxyStyle::hitTestComplexControl(control, option, pos, widget);
        return control == CC_ComboBox && hit != SC_None ? SC_ComboBoxArrow : hit;
    }
};

// The stand-in fonts run wider than the window's own; narrow the glyphs just enough that every
// fixed caption keeps the width it was laid out for, so no label runs into its field.
int CaptionStretch(QFont font) {
    int stretch = 100;
    for (; stretch > 75; --stretch) {
        font.setStretch(stretch);
        const QFontMetrics metrics(font);
        const auto fits_caption = [&](const layout::Control& c) {
            if (c.kind != layout::Kind::Label && c.kind != layout::Kind::SummaryLabel) return true;
            return metrics.size(0, QString::fromUtf8(c.caption)).width() <= c.width;
        };
        if (std::all_of(std::begin(layout::kControls), std::end(layout::kControls), fits_caption)) break;
    }
    return stretch;
}

}  // namespace

Tmainform::Tmainform(const Probe& probe, WindowServices services, QWidget* parent)
    : QMainWindow(parent), probe_(probe), services_(std::move(services)), inbox_(new Inbox(this)) {
    setObjectName("mainform");
    setWindowTitle(QString::fromUtf8(layout::kTitle));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    QFont font = WindowFont();
    font.setStretch(CaptionStretch(font));
    setFont(font);
    whole_button_style_ = new WholeButtonStyle(QApplication::style()->name());
    whole_button_style_->setParent(this);

    BuildControls();
    BuildMenu();
    ConnectEvents();

    setFixedSize(sizeHint());
    move(layout::kWindowLeft, layout::kWindowTop);
}

void Tmainform::Keep(const layout::PlacedControl& c, QWidget* widget) {
    const auto bit = static_cast<size_t>(c.bit);
    switch (c.part) {
    case layout::PanelPart::ShortName: bit_names_.at(bit) = qobject_cast<QLineEdit*>(widget); return;
    case layout::PanelPart::Value: bit_values_.at(bit) = qobject_cast<QLineEdit*>(widget); return;
    case layout::PanelPart::LongName:
        bit_captions_.at(bit) = qobject_cast<QLabel*>(widget);
        bit_caption_room_.at(bit) = c.width;
        return;
    case layout::PanelPart::None: break;
    }
    switch (c.role) {
    case layout::Role::ProcessorSelector: processor_selector_ = qobject_cast<QComboBox*>(widget); return;
    case layout::Role::FeatureSelector: feature_selector_ = qobject_cast<QComboBox*>(widget); break;
    case layout::Role::ClockButton: clock_button_ = qobject_cast<QPushButton*>(widget); return;
    default: break;
    }
    if (c.field) fields_[static_cast<size_t>(*c.field)] = widget;
}

void Tmainform::BuildControls() {
    client_ = new QWidget(this);
    client_->setObjectName("client");
    client_->setFixedSize(layout::kClientWidth, layout::kClientHeight);
    QPalette face = client_->palette();
    face.setColor(QPalette::Window, face.color(QPalette::Button));
    client_->setPalette(face);
    client_->setAutoFillBackground(true);
    setCentralWidget(client_);

    std::vector<std::pair<int, QWidget*>> tab_stops;
    for (const layout::PlacedControl& c : layout::AllControls()) {
        const QString name = QString::fromStdString(c.name);
        const QString caption = QString::fromUtf8(c.caption.c_str());
        QWidget* widget = nullptr;
        switch (c.kind) {
        case layout::Kind::Edit: {
            auto* edit = new QLineEdit(caption, client_);
            edit->setReadOnly(true);
            QPalette p = edit->palette();
            p.setColor(QPalette::Base, p.color(QPalette::Midlight));  // the 3D-light face: not editable
            edit->setPalette(p);
            edit->setTextMargins(0, 0, 0, 0);
            widget = edit;
            break;
        }
        case layout::Kind::Button:
            widget = new QPushButton(caption, client_);
            widget->installEventFilter(this);  // Return and Enter press it, as Space does
            break;
        case layout::Kind::Combo: {
            auto* combo = new QComboBox(client_);
            combo->setEditable(true);
            combo->setInsertPolicy(QComboBox::NoInsert);
            combo->lineEdit()->setReadOnly(true);
            combo->lineEdit()->setContextMenuPolicy(Qt::NoContextMenu);
            combo->lineEdit()->setAcceptDrops(false);
            combo->setEditText(caption);
            combo->setFocusPolicy(Qt::StrongFocus);  // the wheel alone does not take the focus
            // Nothing can be typed into the text, so the whole control is the list's button: a press
            // anywhere on it reaches the combo box, which opens the list as it does from the arrow
            // (and keeps it open over that press's release, which a list opened by hand would take
            // as a click outside itself and close on).
            combo->lineEdit()->setAttribute(Qt::WA_TransparentForMouseEvents);
            combo->setStyle(whole_button_style_);
            combo->installEventFilter(this);
            combo->lineEdit()->installEventFilter(this);
            widget = combo;
            break;
        }
        case layout::Kind::Label:
        case layout::Kind::SummaryLabel: {
            auto* label = new QLabel(caption, client_);
            label->setEnabled(c.kind == layout::Kind::Label);
            widget = label;
            break;
        }
        }
        widget->setObjectName(name);
        widget->setToolTip(ToolTipText(layout::ToolTip(c.name)));
        if (c.kind == layout::Kind::Label || c.kind == layout::Kind::SummaryLabel) {
            widget->move(c.left, c.top);
            widget->adjustSize();  // labels take the size their caption needs
        } else {
            widget->setGeometry(c.left, c.top, c.width, c.height);
        }
        if (c.tab >= 0) tab_stops.emplace_back(c.tab, widget);
        Keep(c, widget);
    }
    FitShortNames();
    std::sort(tab_stops.begin(), tab_stops.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (size_t i = 1; i < tab_stops.size(); ++i)
        QWidget::setTabOrder(tab_stops[i - 1].second, tab_stops[i].second);
}

// The stand-in fonts run wider still in the bit panel ("MONITOR" in a 51-pixel field): narrow the
// short-name fields' glyphs until the longest name of every register keeps a margin on both sides.
void Tmainform::FitShortNames() {
    QLineEdit* edit = bit_names_[0];
    QStyleOptionFrame frame;
    frame.initFrom(edit);
    frame.rect = edit->rect();
    frame.lineWidth = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &frame, edit);
    // QLineEdit keeps two pixels of its own on either side of the text.
    const int room = edit->style()->subElementRect(QStyle::SE_LineEditContents, &frame, edit).width() - 4;
    QFont font = edit->font();
    for (int stretch = font.stretch() == 0 ? 100 : font.stretch(); stretch > 50; --stretch) {
        font.setStretch(stretch);
        const QFontMetrics metrics(font);
        const auto fits = [&](const FlagRegisterInfo& reg) {
            return std::all_of(reg.names->begin(), reg.names->end(), [&](const TFlagName& n) {
                return metrics.horizontalAdvance(QString::fromLatin1(n.short_name)) <= room;
            });
        };
        if (std::all_of(kFlagRegisters.begin(), kFlagRegisters.end(), fits)) break;
    }
    for (QLineEdit* e : bit_names_) e->setFont(font);
}

void Tmainform::BuildMenu() {
    QMenuBar* bar = menuBar();
    bar->setObjectName("mnuMain");
    std::map<std::string, QMenu*> menus;
    for (const layout::PlacedMenuEntry& m : layout::AllMenuEntries()) {
        const QString name = QString::fromStdString(m.name);
        const QString caption = QString::fromUtf8(m.caption.c_str());
        QAction* action = nullptr;
        if (m.kind == layout::MenuKind::Menu) {
            QMenu* menu = m.parent.empty() ? bar->addMenu(caption) : menus.at(m.parent)->addMenu(caption);
            menu->setObjectName(name);
            menu->setEnabled(m.enabled);
            menus[m.name] = menu;
            action = menu->menuAction();
        } else if (m.kind == layout::MenuKind::Separator) {
            action = menus.at(m.parent)->addSeparator();
            action->setObjectName(name);
        } else {
            action = menus.at(m.parent)->addAction(caption);
            action->setObjectName(name);
        }
        action->setVisible(m.visible);
        action->setEnabled(m.enabled);
        switch (m.role) {
        case layout::Role::Copy: copy_entry_ = action; break;
        case layout::Role::Exit: exit_entry_ = action; break;
        case layout::Role::Clock: clock_entry_ = action; break;
        case layout::Role::Details: details_entry_ = action; break;
        default: break;
        }
        if (m.processor >= 0) processor_entries_.at(static_cast<size_t>(m.processor)) = action;
        if (m.flag_register) flag_entries_[static_cast<size_t>(*m.flag_register)] = action;
    }
}

void Tmainform::ConnectEvents() {
    // Errors stop in the slot, before Qt's event delivery: Qt is built without clean-ups for an
    // exception passing through it, so unwinding there leaks the event's data.
    const auto guarded = [this](auto handler) { return [handler] { RunHandler(handler); }; };
    // activated: raised by the user's choice (list or arrow keys), never by a change from code.
    connect(processor_selector_, &QComboBox::activated, this,
            [this](int index) { RunHandler([&] { cmbProcessorMaskChange(index); }); });
    connect(feature_selector_, &QComboBox::activated, this, guarded([this] { cmbFeatureChange(); }));
    connect(clock_button_, &QPushButton::clicked, this, guarded([this] { cmd_TSCClick(); }));
    connect(clock_entry_, &QAction::triggered, this, guarded([this] { cmd_TSCClick(); }));
    connect(copy_entry_, &QAction::triggered, this, guarded([this] { mnuMainEditCopyClick(); }));
    connect(exit_entry_, &QAction::triggered, this, guarded([this] { close(); }));
    connect(details_entry_, &QAction::triggered, this, guarded([this] { mnuMainEditDetailsClick(); }));
    for (const FlagRegisterInfo& reg : kFlagRegisters) {
        const FlagRegister id = reg.id;
        connect(flag_entries_[static_cast<size_t>(id)], &QAction::triggered, this,
                guarded([this, id] { mnuMainEditFlagClick(id); }));
    }
    for (int k = 0; k < layout::kProcessorEntries; ++k) {
        connect(processor_entries_[static_cast<size_t>(k)], &QAction::triggered, this,
                guarded([this, k] { mnuMainEditCPUClick(k); }));
    }
}

std::string Tmainform::DecimalSeparator() const { return QLocale().decimalPoint().toStdString(); }

void Tmainform::FormCreate() {
    setWindowTitle("Talvex v" + QString::fromStdString(ProgramVersion.Text));
    // The menu has 32 entries: further processors are not offered, in it or in the selector.
    const unsigned n = std::min<unsigned>(probe_.platform.ProcessorCount(), layout::kProcessorEntries);
    processor_selector_->setEnabled(true);
    // The processors the program was started with are the ones it may use (`taskset`, a cpuset);
    // it starts on the first of them, and the others are listed but cannot be chosen.
    allowed_ = AllowedProcessors(probe_.platform);
    auto* entries = qobject_cast<QStandardItemModel*>(processor_selector_->model());
    for (unsigned k = 0; k < n; ++k) {
        processor_selector_->addItem(QString::fromStdString(CpuName(ProcessorNumber(k))));
        processor_entries_[k]->setVisible(true);
        const bool may_run = allowed_.Allows(ProcessorNumber(k));
        processor_entries_[k]->setEnabled(may_run);
        if (entries != nullptr) entries->item(static_cast<int>(k))->setEnabled(may_run);
    }
    const ProcessorNumber first(allowed_.Numbers().empty() ? 0 : allowed_.Numbers().front());
    if (const auto refused = Pin(first)) {
        ReportError(*refused);
    } else {
        examined_ = first;
        ShowEntry(*processor_selector_, QString::fromStdString(CpuName(first)));
    }
    Refresh();
}

std::optional<std::string> Tmainform::Pin(ProcessorNumber processor) {
    if (!allowed_.Allows(processor)) return allowed_.RefusalText(processor);
    if (!probe_.platform.SetThreadAffinity({processor.os()})) return NotPinnedText(processor);
    return std::nullopt;
}

void Tmainform::Refresh() {
    StartClock();
    LoadData();
    // The panel shows what the selector names, so the two agree after a reload.
    const FlagRegisterInfo* shown = FlagRegisterNamed(feature_selector_->currentText());
    ShowFlagRegister(shown != nullptr ? shown->id : FlagRegister::StdEDX);
}

void Tmainform::LoadData() {
    WidgetSink sink(*this, *feature_selector_, flag_entries_);
    talvex::LoadData(probe_, sink, DecimalSeparator(), 0);
}

void Tmainform::StartClock() {
    // A measurement of the processor examined before never reaches the field (a copy asked for
    // meanwhile still waits for it).
    clock_.reset();
    clock_hz_.reset();
    SetText(Field(LoadField::editCPUClock), kMeasuringText);
    clock_ = Measure();
}

std::shared_ptr<PinnedClockMeasurement> Tmainform::Measure() {
    return std::make_shared<PinnedClockMeasurement>(
        probe_, examined_, inbox_->address(),
        [this](const PinnedClockMeasurement& m, const ClockResult& r) { ClockMeasured(m, r); });
}

void Tmainform::ClockMeasured(const PinnedClockMeasurement& measurement, const ClockResult& result) {
    // Everything settled before the error box, which lets other events in.
    std::optional<PendingCopy> copy;
    if (copy_ && copy_->clock.get() == &measurement) {
        copy = std::move(copy_);
        DropCopy();
    }
    if (clock_.get() == &measurement) {
        clock_.reset();
        if (result.error.empty()) clock_hz_ = result.hz;
        SetText(Field(LoadField::editCPUClock),
                result.error.empty() ? FormatClock(result.hz, DecimalSeparator()) : std::string());
    }
    if (!result.error.empty()) {
        ReportError(result.error);  // once, whoever waited; the copy ends with it
        return;
    }
    if (copy) CopyTextToClipboard(services_.write_clipboard, copy->report->Text(result.hz));
}

void Tmainform::DropCopy() {
    if (!copy_) return;
    copy_.reset();
    QGuiApplication::restoreOverrideCursor();
}

void Tmainform::closeEvent(QCloseEvent* event) {
    DropCopy();
    QMainWindow::closeEvent(event);
}

Tmainform::~Tmainform() { DropCopy(); }

void Tmainform::cmbProcessorMaskChange(int index) {
    // No entry selected names no processor.
    if (index < 0 || index >= layout::kProcessorEntries) return;
    // A processor the program may not or cannot run on is refused; the selector goes back to the
    // processor still examined, whose data the window goes on showing.
    const ProcessorNumber chosen(static_cast<unsigned>(index));  // the entries run CPU1, CPU2, ...
    if (const auto refused = Pin(chosen)) {
        ShowEntry(*processor_selector_, QString::fromStdString(CpuName(examined_)));
        ReportError(*refused);
        return;
    }
    examined_ = chosen;
    Refresh();
    emit ProcessorExamined(chosen);
}

void Tmainform::mnuMainEditCPUClick(int index) {
    if (index < 0 || index >= processor_selector_->count()) return;
    processor_selector_->setCurrentIndex(index);
    cmbProcessorMaskChange(index);
}

void Tmainform::cmd_TSCClick() { StartClock(); }

void Tmainform::mnuMainEditCopyClick() {
    // The report is taken now, of the processor shown. Its clock is the one the field shows; one
    // still being measured is waited for with the window live, under a busy cursor, and a copy asked
    // for meanwhile takes the place of this one. After a failed measurement the report's clock is
    // measured anew, and the field keeps what it shows.
    auto report = std::make_shared<const PendingReport>(probe_);
    if (clock_ == nullptr && clock_hz_) {
        DropCopy();
        CopyTextToClipboard(services_.write_clipboard, report->Text(*clock_hz_));
        return;
    }
    std::shared_ptr<PinnedClockMeasurement> clock = clock_;
    if (clock == nullptr && copy_ && copy_->clock->processor() == examined_) clock = copy_->clock;
    if (clock == nullptr) clock = Measure();
    if (!copy_) QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    copy_ = PendingCopy{std::move(report), std::move(clock)};
}

void Tmainform::mnuMainEditDetailsClick() {
    // A closed window is made afresh (it deletes itself on close), so opening it again captures anew.
    if (details_ != nullptr && !details_->isVisible()) delete details_;
    if (details_ == nullptr) {
        details_ = new DetailsWindow(probe_, allowed_.Numbers(), examined_, services_, this);
        connect(this, &Tmainform::ProcessorExamined, details_, &DetailsWindow::ShowProcessor);
    }
    details_->setWindowState(details_->windowState() & ~Qt::WindowMinimized);
    details_->show();
    details_->raise();
    details_->activateWindow();
}

void Tmainform::ShowFlagRegister(FlagRegister id) {
    const std::array<TFlagName, 32>& names = *FlagRegisterOf(id).names;
    for (size_t k = 0; k < 32; ++k) {
        bit_captions_[k]->setText(QString::fromLatin1(names[k].long_name));
        FitCaption(*bit_captions_[k], bit_caption_room_[k]);
        bit_names_[k]->setText(QString::fromLatin1(names[k].short_name));
        const QString tip = ToolTipText(layout::BitToolTip(id, static_cast<int>(k)));
        for (QWidget* w : {static_cast<QWidget*>(bit_names_[k]), static_cast<QWidget*>(bit_values_[k]),
                           static_cast<QWidget*>(bit_captions_[k])})
            w->setToolTip(tip);
    }
    CheckFunction(ReadFlagRegister(probe_, id));
}

void Tmainform::CheckFunction(uint32_t flags) {
    for (unsigned k = 0; k < 32; ++k) bit_values_[k]->setText(BitSet(flags, k) ? "YES" : "NO");
}

void Tmainform::cmbFeatureChange() {
    if (const FlagRegisterInfo* shown = FlagRegisterNamed(feature_selector_->currentText()))
        ShowFlagRegister(shown->id);
}

void Tmainform::mnuMainEditFlagClick(FlagRegister id) {
    ShowEntry(*feature_selector_, QString::fromLatin1(FlagRegisterOf(id).entry_text));
    ShowFlagRegister(id);
}

bool Tmainform::editKeyNull(QObject*, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        const int key = static_cast<QKeyEvent*>(event)->key();
        // Tab stays with focus navigation, as it never reaches a control's own key handler.
        return key != Qt::Key_Up && key != Qt::Key_Down && key != Qt::Key_Tab && key != Qt::Key_Backtab;
    }
    default: return false;
    }
}

bool Tmainform::editASCIINull(QObject*, QEvent* event) {
    // Composed text arrives apart from key presses.
    return event->type() == QEvent::InputMethod;
}

bool Tmainform::eventFilter(QObject* watched, QEvent* event) {
    if (watched == clock_button_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            clock_button_->click();
            return true;
        }
        return false;
    }
    for (QComboBox* combo : {processor_selector_, feature_selector_}) {
        if (combo == nullptr || (watched != combo && watched != combo->lineEdit())) continue;
        // The wheel turns a selector only when it has the keyboard focus; passing over it changes nothing.
        if (event->type() == QEvent::Wheel && !combo->hasFocus()) {
            event->ignore();
            return true;
        }
        return editKeyNull(watched, event) || editASCIINull(watched, event);
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace talvex
