#pragma once
// The main window: the controls of the layout, the data load onto them, the processor selector
// and the feature flag panel. Every value shown comes from the probe and the data load; the
// window only maps them onto widgets. Controls are named once, in the layout table, which also says
// which field of the data load each shows and which flag register each menu entry; the window keeps
// them in arrays by field and by flag register, and tests and tools reach them by their object names.

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPointer>
#include <QPushButton>
#include <QStyle>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "main/report/load_data.h"
#include "main/window/clock_worker.h"
#include "main/window/copy.h"
#include "main/window/details_window.h"
#include "main/window/layout.h"
#include "main/window/services.h"
#include "main/window/workers.h"
#include "probe/platform/cpuid.h"
#include "probe/platform/pinning.h"
#include "probe/platform/processor_number.h"
#include "probe/tables/flags.h"

namespace talvex {

class Tmainform final : public QMainWindow {
    Q_OBJECT

public:
    // The window queries the processor through `probe`, a pair of references that must outlive it and
    // every worker it starts (FinishWorkers), and reaches the desktop through `services`.
    explicit Tmainform(const Probe& probe, WindowServices services = {}, QWidget* parent = nullptr);
    ~Tmainform() override;

    // Creation handler: caption, processor selector, first pinning, Refresh.
    void FormCreate();
    void Refresh();
    void LoadData();

    void cmbProcessorMaskChange(int index);
    void cmd_TSCClick();
    void mnuMainEditCPUClick(int index);
    void mnuMainEditCopyClick();
    // Opens the details window, or raises the one open.
    void mnuMainEditDetailsClick();

    // True while the clock field waits for a measurement.
    bool ClockMeasuring() const { return clock_ != nullptr; }
    // True while a copy waits for the clock of its report.
    bool CopyPending() const { return copy_.has_value(); }

    // Feature flag panel: the names and values of one register.
    void ShowFlagRegister(FlagRegister id);
    void CheckFunction(uint32_t flags);
    void cmbFeatureChange();
    void mnuMainEditFlagClick(FlagRegister id);

    // The client area under the menu bar.
    QWidget* client() const { return client_; }
    // The control the data load writes to one field.
    QWidget* Field(LoadField field) const { return fields_[static_cast<size_t>(field)]; }

signals:
    // The processor the window now examines, after the selector or the CPU menu.
    void ProcessorExamined(ProcessorNumber processor);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // A copy still waiting for its clock is dropped: the window it was asked in is gone.
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildControls();
    // Keeps a control built from the layout in the array or member its part or role calls for.
    void Keep(const layout::PlacedControl& control, QWidget* widget);
    void BuildMenu();
    void FitShortNames();
    void ConnectEvents();
    std::string DecimalSeparator() const;
    // Measures the clock of the processor examined off the GUI thread; the field says so meanwhile.
    void StartClock();
    std::shared_ptr<PinnedClockMeasurement> Measure();
    // A measurement's result, for the field, the copy waiting for it, or both.
    void ClockMeasured(const PinnedClockMeasurement& measurement, const ClockResult& result);
    void DropCopy();
    // Pins the thread to `processor` alone. A processor outside the allowed set, or one the system
    // refuses, gives the message the error box shows.
    std::optional<std::string> Pin(ProcessorNumber processor);

    // editKeyNull and editASCIINull: only Up and Down reach a selector, no character is typed.
    bool editKeyNull(QObject* watched, QEvent* event);
    bool editASCIINull(QObject* watched, QEvent* event);

    Probe probe_;
    WindowServices services_;
    Inbox* inbox_ = nullptr;                              // where the clock's workers hand their results over
    AllowedProcessors allowed_{std::vector<unsigned>{}};  // the processors the program was started with
    ProcessorNumber examined_;                            // the processor the window shows
    QWidget* client_ = nullptr;
    std::array<QWidget*, kLoadFieldCount> fields_{};
    QComboBox* processor_selector_ = nullptr;  // cmbProcessorMask
    QComboBox* feature_selector_ = nullptr;    // cmbFeature
    QPushButton* clock_button_ = nullptr;      // cmd_TSC
    QStyle* whole_button_style_ = nullptr;     // the selectors' style, owned by the window
    // The bit panel by bit: short name, YES/NO, long name.
    std::array<QLineEdit*, 32> bit_names_{};
    std::array<QLineEdit*, 32> bit_values_{};
    std::array<QLabel*, 32> bit_captions_{};
    std::array<int, 32> bit_caption_room_{};  // the width the layout gives each long name
    // The menu entries with behaviour: the processors by index, the flag registers by FlagRegister.
    std::array<QAction*, layout::kProcessorEntries> processor_entries_{};
    std::array<QAction*, kFlagRegisterCount> flag_entries_{};
    QAction* copy_entry_ = nullptr;
    QAction* exit_entry_ = nullptr;
    QAction* clock_entry_ = nullptr;
    QAction* details_entry_ = nullptr;
    QPointer<DetailsWindow> details_;
    // The measurement under way for the processor examined, and the clock it last gave.
    std::shared_ptr<PinnedClockMeasurement> clock_;
    std::optional<int64_t> clock_hz_;
    // A copy asked for while its clock was being measured: the report taken when asked, and the
    // measurement it waits for (which goes on when the processor changes meanwhile).
    struct PendingCopy {
        std::shared_ptr<const PendingReport> report;
        std::shared_ptr<PinnedClockMeasurement> clock;
    };
    std::optional<PendingCopy> copy_;
};

}  // namespace talvex
