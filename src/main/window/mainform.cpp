#include "main/window/mainform.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QLocale>

#include <algorithm>
#include <map>
#include <stdexcept>

#include "main/report/load_data.h"
#include "main/window/application.h"
#include "main/window/copy.h"
#include "main/window/layout.h"
#include "probe/clock.h"
#include "version/version.h"

namespace talvex {

Tmainform* mainform = nullptr;

bool IsWinNT() { return true; }

namespace {

QString Latin1(std::string_view bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// The data load's writes, onto the window's widgets.
class WidgetSink final : public LoadSink {
public:
    explicit WidgetSink(Tmainform& form) : form_(form) {}

    void SetText(LoadField field, std::string_view bytes) override {
        QWidget* w = Widget(field);
        if (auto* edit = qobject_cast<QLineEdit*>(w)) {
            edit->setText(Latin1(bytes));
            edit->setCursorPosition(0);  // a long name shows its beginning
        } else if (auto* label = qobject_cast<QLabel*>(w)) {
            label->setText(Latin1(bytes));
            label->adjustSize();
        }
    }
    std::string Text(LoadField field) const override {
        QWidget* w = Widget(field);
        if (auto* edit = qobject_cast<QLineEdit*>(w)) return edit->text().toLatin1().toStdString();
        if (auto* label = qobject_cast<QLabel*>(w)) return label->text().toLatin1().toStdString();
        return {};
    }
    void SetEnabled(LoadField field, bool enabled) override { Widget(field)->setEnabled(enabled); }

    void ClearFeatureList() override {
        const QString shown = form_.cmbFeature->currentText();
        form_.cmbFeature->clear();
        form_.cmbFeature->setEditText(shown);
    }
    void AddFeatureEntry(const FlagRegisterInfo& entry) override {
        QComboBox* cmb = form_.cmbFeature;
        const QString shown = cmb->currentText();
        cmb->addItem(QString::fromLatin1(entry.entry_text));
        // The first entry added to an empty list would take over the shown text.
        if (cmb->currentText() != shown) {
            cmb->setCurrentIndex(cmb->findText(shown));
            cmb->setEditText(shown);
        }
    }
    void SetFeatureMenuVisible(const FlagRegisterInfo& entry, bool visible) override {
        form_.FlagMenuEntry(entry.id)->setVisible(visible);
    }

private:
    QWidget* Widget(LoadField field) const {
        auto* w = form_.client()->findChild<QWidget*>(QString::fromLatin1(LoadFieldName(field)),
                                                      Qt::FindDirectChildrenOnly);
        if (w == nullptr) throw std::logic_error(std::string("no control ") + LoadFieldName(field));
        return w;
    }

    Tmainform& form_;
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

QString NumberedName(const char* stem, int k) { return QString::asprintf("%s%02d", stem, k); }

}  // namespace

Tmainform::Tmainform(const Probe& probe, QWidget* parent) : QMainWindow(parent), probe_(probe) {
    setObjectName("mainform");
    setWindowTitle(QString::fromUtf8(layout::kTitle));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    QFont font;
    QStringList families;
    for (const char* family : layout::kFontFamilies) families << QString::fromUtf8(family);
    font.setFamilies(families);
    font.setPixelSize(layout::kFontPixels);
    font.setStretch(CaptionStretch(font));
    setFont(font);

    BuildControls();
    BuildMenu();
    BindMembers();
    ConnectEvents();

    setFixedSize(sizeHint());
    move(layout::kWindowLeft, layout::kWindowTop);
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
            p.setColor(QPalette::Base, p.color(QPalette::Light));
            edit->setPalette(p);
            edit->setTextMargins(0, 0, 0, 0);
            widget = edit;
            break;
        }
        case layout::Kind::Button: widget = new QPushButton(caption, client_); break;
        case layout::Kind::Combo: {
            auto* combo = new QComboBox(client_);
            combo->setEditable(true);
            combo->setInsertPolicy(QComboBox::NoInsert);
            combo->lineEdit()->setReadOnly(true);
            combo->lineEdit()->setContextMenuPolicy(Qt::NoContextMenu);
            combo->lineEdit()->setAcceptDrops(false);
            combo->setEditText(caption);
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
        if (c.kind == layout::Kind::Label || c.kind == layout::Kind::SummaryLabel) {
            widget->move(c.left, c.top);
            widget->adjustSize();  // labels take the size their caption needs
        } else {
            widget->setGeometry(c.left, c.top, c.width, c.height);
        }
        if (c.tab >= 0) tab_stops.emplace_back(c.tab, widget);
    }
    std::sort(tab_stops.begin(), tab_stops.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (size_t i = 1; i < tab_stops.size(); ++i)
        QWidget::setTabOrder(tab_stops[i - 1].second, tab_stops[i].second);
}

void Tmainform::BuildMenu() {
    mnuMain = menuBar();
    mnuMain->setObjectName("mnuMain");
    std::map<std::string, QMenu*> menus;
    for (const layout::PlacedMenuEntry& m : layout::AllMenuEntries()) {
        const QString name = QString::fromStdString(m.name);
        const QString caption = QString::fromUtf8(m.caption.c_str());
        QAction* action = nullptr;
        if (m.kind == layout::MenuKind::Menu) {
            QMenu* menu = m.parent.empty() ? mnuMain->addMenu(caption) : menus.at(m.parent)->addMenu(caption);
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
    }
}

namespace {
template <class T>
T* Named(QObject* root, const QString& name) {
    T* found = root->findChild<T*>(name);
    if (found == nullptr) throw std::logic_error("layout lacks " + name.toStdString());
    return found;
}
}  // namespace

#define TALVEX_BIND(member) member = Named<std::remove_pointer_t<decltype(member)>>(this, #member)

void Tmainform::BindMembers() {
    TALVEX_BIND(editCPUName);
    TALVEX_BIND(editVendorID);
    TALVEX_BIND(editNameString);
    TALVEX_BIND(editBrandID);
    TALVEX_BIND(editHT);
    TALVEX_BIND(editFamily);
    TALVEX_BIND(editModel);
    TALVEX_BIND(editStep);
    TALVEX_BIND(editExtFamily);
    TALVEX_BIND(editExtModel);
    TALVEX_BIND(editExtStep);
    TALVEX_BIND(editCPUClock);
    TALVEX_BIND(editFamilyEx);
    TALVEX_BIND(editL1I);
    TALVEX_BIND(editL1D);
    TALVEX_BIND(editL2);
    TALVEX_BIND(editL3);
    TALVEX_BIND(cmd_TSC);
    TALVEX_BIND(editAPICID);
    TALVEX_BIND(cmbProcessorMask);
    TALVEX_BIND(cmbFeature);
    TALVEX_BIND(editProcessorType);
    TALVEX_BIND(editModelEx);
    TALVEX_BIND(Label1);
    TALVEX_BIND(Label2);
    TALVEX_BIND(Label3);
    TALVEX_BIND(Label4);
    TALVEX_BIND(Label5);
    TALVEX_BIND(Label6);
    TALVEX_BIND(Label7);
    TALVEX_BIND(Label8);
    TALVEX_BIND(Label9);
    TALVEX_BIND(Label09);
    TALVEX_BIND(Label10);
    TALVEX_BIND(Label11);
    TALVEX_BIND(Label12);
    TALVEX_BIND(Label14);
    TALVEX_BIND(Label15);
    TALVEX_BIND(Label16);
    TALVEX_BIND(Label17);
    TALVEX_BIND(Label18);
    TALVEX_BIND(lblMMX);
    TALVEX_BIND(lblSSE);
    TALVEX_BIND(lblSSE2);
    TALVEX_BIND(lblSSE3);
    TALVEX_BIND(lblEMMX);
    TALVEX_BIND(lbl3DNOW);
    TALVEX_BIND(lblE3DNOW);
    TALVEX_BIND(lblHT);
    TALVEX_BIND(lblIA64);
    TALVEX_BIND(lblAA64);
    for (int k = 0; k < 32; ++k) {
        edit_bit[k] = Named<QLineEdit>(this, NumberedName("edit_bit", k));
        edit_flag_bit[k] = Named<QLineEdit>(this, NumberedName("edit_flag_bit", k));
        lbl_bit[k] = Named<QLabel>(this, NumberedName("lbl_bit", k));
        mnuMainEditCPUn[k] = Named<QAction>(this, QString("mnuMainEditCPU%1").arg(k + 1));
    }
    TALVEX_BIND(mnuMainFile);
    TALVEX_BIND(mnuMainExit);
    TALVEX_BIND(mnuMainEdit);
    TALVEX_BIND(mnuMainEditCopy);
    TALVEX_BIND(N2);
    TALVEX_BIND(mnuMainEditCPU);
    TALVEX_BIND(mnuMainEditFlag);
    TALVEX_BIND(mnuMainEditFlagStdEDX);
    TALVEX_BIND(mnuMainEditFlagStdECX);
    TALVEX_BIND(mnuMainEditFlagExtended);
    TALVEX_BIND(mnuMainEditFlagTransmeta);
    TALVEX_BIND(mnuMainEditFlagCentaur);
    TALVEX_BIND(mnuMainEditGetClock);
    TALVEX_BIND(mnuMainHelp);
}

#undef TALVEX_BIND

void Tmainform::ConnectEvents() {
    // Errors stop in the slot, before Qt's event delivery: Qt is built without clean-ups for an
    // exception passing through it, so unwinding there leaks the event's data.
    const auto guard = [this](void (Tmainform::*slot)()) {
        return [this, slot] { RunHandler([&] { (this->*slot)(); }); };
    };
    // activated: raised by the user's choice (list or arrow keys), never by a change from code.
    connect(cmbProcessorMask, &QComboBox::activated, this,
            [this](int index) { RunHandler([&] { cmbProcessorMaskChange(index); }); });
    connect(cmbFeature, &QComboBox::activated, this, guard(&Tmainform::cmbFeatureChange));
    connect(cmd_TSC, &QPushButton::clicked, this, guard(&Tmainform::cmd_TSCClick));
    connect(mnuMainEditGetClock, &QAction::triggered, this, guard(&Tmainform::mnuMainEditGetClockClick));
    connect(mnuMainEditCopy, &QAction::triggered, this, guard(&Tmainform::mnuMainEditCopyClick));
    connect(mnuMainExit, &QAction::triggered, this, guard(&Tmainform::mnuMainExitClick));
    connect(mnuMainEditFlagStdEDX, &QAction::triggered, this, guard(&Tmainform::mnuMainEditFlagStdEDXClick));
    connect(mnuMainEditFlagStdECX, &QAction::triggered, this, guard(&Tmainform::mnuMainEditFlagStdECXClick));
    connect(mnuMainEditFlagExtended, &QAction::triggered, this,
            guard(&Tmainform::mnuMainEditFlagExtendedClick));
    connect(mnuMainEditFlagTransmeta, &QAction::triggered, this,
            guard(&Tmainform::mnuMainEditFlagTransmetaClick));
    connect(mnuMainEditFlagCentaur, &QAction::triggered, this,
            guard(&Tmainform::mnuMainEditFlagCentaurClick));
    for (int k = 0; k < 32; ++k) {
        connect(mnuMainEditCPUn[k], &QAction::triggered, this,
                [this, k] { RunHandler([&] { mnuMainEditCPUClick(k); }); });
    }
}

QAction* Tmainform::FlagMenuEntry(FlagRegister id) const {
    switch (id) {
    case FlagRegister::StdEDX: return mnuMainEditFlagStdEDX;
    case FlagRegister::StdECX: return mnuMainEditFlagStdECX;
    case FlagRegister::ExtEDX: return mnuMainEditFlagExtended;
    case FlagRegister::TransmetaEDX: return mnuMainEditFlagTransmeta;
    case FlagRegister::CentaurEDX: return mnuMainEditFlagCentaur;
    }
    return nullptr;
}

std::string Tmainform::DecimalSeparator() const { return QLocale().decimalPoint().toStdString(); }

void Tmainform::FormCreate() {
    setWindowTitle("Talvex v" + QString::fromStdString(ProgramVersion.Text));
    if (!IsWinNT()) {
        cmbProcessorMask->setEnabled(false);
    } else {
        // The menu has 32 entries and the mask 32 bits: further processors are not offered.
        const unsigned n = std::min<unsigned>(probe_.platform.ProcessorCount(), layout::kProcessorEntries);
        cmbProcessorMask->setEnabled(true);
        for (unsigned k = 1; k <= n; ++k) {
            cmbProcessorMask->addItem(QString("CPU%1").arg(k));
            mnuMainEditCPUn[k - 1]->setVisible(true);
        }
        cmbProcessorMask->setCurrentIndex(0);
        probe_.platform.SetThreadAffinityMask(1);
    }
    Refresh();
}

void Tmainform::Refresh() {
    LoadData();
    // The panel shows what the selector names, so the two agree after a reload.
    const QString shown = cmbFeature->currentText();
    for (const FlagRegisterInfo& entry : kFlagRegisters) {
        if (shown == QLatin1String(entry.entry_text)) {
            FillPanel(entry.id);
            return;
        }
    }
    StdEDX();
}

void Tmainform::LoadData() {
    WidgetSink sink(*this);
    talvex::LoadData(probe_, sink, DecimalSeparator());
}

void Tmainform::cmbProcessorMaskChange(int index) {
    if (!IsWinNT()) return;
    // No entry selected names no processor.
    if (index < 0 || index >= layout::kProcessorEntries) return;
    probe_.platform.SetThreadAffinityMask(1u << index);  // a refused mask still reloads
    Refresh();
}

void Tmainform::mnuMainEditCPUClick(int index) {
    if (index < 0 || index >= cmbProcessorMask->count()) return;
    cmbProcessorMask->setCurrentIndex(index);
    cmbProcessorMaskChange(index);
}

void Tmainform::cmd_TSCClick() {
    editCPUClock->setText(Latin1(FormatClock(MeasureClock(probe_), DecimalSeparator())));
}

void Tmainform::mnuMainEditGetClockClick() { cmd_TSCClick(); }

void Tmainform::mnuMainEditCopyClick() { CopyReportToClipboard(probe_); }

void Tmainform::mnuMainExitClick() { close(); }

void Tmainform::FillPanel(FlagRegister id) {
    const std::array<TFlagName, 32>& names = *FlagRegisterOf(id).names;
    for (int k = 0; k < 32; ++k) {
        lbl_bit[k]->setText(QString::fromLatin1(names[k].long_name));
        lbl_bit[k]->adjustSize();
        edit_bit[k]->setText(QString::fromLatin1(names[k].short_name));
    }
    CheckFunction(ReadFlagRegister(probe_, id));
}

void Tmainform::StdEDX() { FillPanel(FlagRegister::StdEDX); }
void Tmainform::StdECX() { FillPanel(FlagRegister::StdECX); }
void Tmainform::ExtEDX() { FillPanel(FlagRegister::ExtEDX); }
void Tmainform::TransmetaEDX() { FillPanel(FlagRegister::TransmetaEDX); }
void Tmainform::CentaurEDX() { FillPanel(FlagRegister::CentaurEDX); }

void Tmainform::CheckFunction(uint32_t flags) {
    for (int k = 0; k < 32; ++k) edit_flag_bit[k]->setText(BitSet(flags, k) ? "YES" : "NO");
}

void Tmainform::cmbFeatureChange() {
    const QString shown = cmbFeature->currentText();
    for (const FlagRegisterInfo& entry : kFlagRegisters) {
        if (shown == QLatin1String(entry.entry_text)) {
            FillPanel(entry.id);
            return;
        }
    }
}

namespace {
void ShowFromMenu(Tmainform& form, FlagRegister id) {
    form.cmbFeature->setEditText(QString::fromLatin1(FlagRegisterOf(id).entry_text));
}
}  // namespace

void Tmainform::mnuMainEditFlagStdEDXClick() {
    ShowFromMenu(*this, FlagRegister::StdEDX);
    StdEDX();
}
void Tmainform::mnuMainEditFlagStdECXClick() {
    ShowFromMenu(*this, FlagRegister::StdECX);
    StdECX();
}
void Tmainform::mnuMainEditFlagExtendedClick() {
    ShowFromMenu(*this, FlagRegister::ExtEDX);
    ExtEDX();
}
void Tmainform::mnuMainEditFlagTransmetaClick() {
    ShowFromMenu(*this, FlagRegister::TransmetaEDX);
    TransmetaEDX();
}
void Tmainform::mnuMainEditFlagCentaurClick() {
    ShowFromMenu(*this, FlagRegister::CentaurEDX);
    CentaurEDX();
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
    for (QComboBox* combo : {cmbProcessorMask, cmbFeature}) {
        if (combo != nullptr && (watched == combo || watched == combo->lineEdit()))
            return editKeyNull(watched, event) || editASCIINull(watched, event);
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace talvex
