#pragma once
// The main window: the controls of the layout, the data load onto them, the processor selector
// and the feature flag panel. Every value shown comes from the probe and the data load; the
// window only maps them onto widgets.

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

#include <array>
#include <string>

#include "probe/cpuid.h"
#include "probe/flags.h"

namespace talvex {

// Linux always offers per-thread affinity, so processor selection is always offered.
bool IsWinNT();

class Tmainform final : public QMainWindow {
    Q_OBJECT

public:
    // The window queries the processor through `probe` (a pair of references that must outlive it).
    explicit Tmainform(const Probe& probe, QWidget* parent = nullptr);

    // Creation handler: caption, processor selector, first pinning, Refresh.
    void FormCreate();
    void Refresh();
    void LoadData();

    void cmbProcessorMaskChange(int index);
    void cmd_TSCClick();
    void mnuMainEditGetClockClick();
    void mnuMainEditCPUClick(int index);
    void mnuMainEditCopyClick();
    void mnuMainExitClick();

    // Feature flag panel.
    void StdEDX();
    void StdECX();
    void ExtEDX();
    void TransmetaEDX();
    void CentaurEDX();
    void CheckFunction(uint32_t flags);
    void cmbFeatureChange();
    void mnuMainEditFlagStdEDXClick();
    void mnuMainEditFlagStdECXClick();
    void mnuMainEditFlagExtendedClick();
    void mnuMainEditFlagTransmetaClick();
    void mnuMainEditFlagCentaurClick();

    // The client area under the menu bar.
    QWidget* client() const { return client_; }

    QLineEdit* editCPUName = nullptr;
    QLineEdit* editVendorID = nullptr;
    QLineEdit* editNameString = nullptr;
    QLineEdit* editBrandID = nullptr;
    QLineEdit* editHT = nullptr;
    QLineEdit* editFamily = nullptr;
    QLineEdit* editModel = nullptr;
    QLineEdit* editStep = nullptr;
    QLineEdit* editExtFamily = nullptr;
    QLineEdit* editExtModel = nullptr;
    QLineEdit* editExtStep = nullptr;
    QLineEdit* editCPUClock = nullptr;
    QLineEdit* editFamilyEx = nullptr;
    QLineEdit* editL1I = nullptr;
    QLineEdit* editL1D = nullptr;
    QLineEdit* editL2 = nullptr;
    QLineEdit* editL3 = nullptr;
    QPushButton* cmd_TSC = nullptr;
    QLineEdit* editAPICID = nullptr;
    QComboBox* cmbProcessorMask = nullptr;
    QComboBox* cmbFeature = nullptr;
    QLineEdit* editProcessorType = nullptr;
    QLineEdit* editModelEx = nullptr;

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label8 = nullptr;
    QLabel* Label9 = nullptr;
    QLabel* Label09 = nullptr;
    QLabel* Label10 = nullptr;
    QLabel* Label11 = nullptr;
    QLabel* Label12 = nullptr;
    QLabel* Label14 = nullptr;
    QLabel* Label15 = nullptr;
    QLabel* Label16 = nullptr;
    QLabel* Label17 = nullptr;
    QLabel* Label18 = nullptr;

    QLabel* lblMMX = nullptr;
    QLabel* lblSSE = nullptr;
    QLabel* lblSSE2 = nullptr;
    QLabel* lblSSE3 = nullptr;
    QLabel* lblEMMX = nullptr;
    QLabel* lbl3DNOW = nullptr;
    QLabel* lblE3DNOW = nullptr;
    QLabel* lblHT = nullptr;
    QLabel* lblIA64 = nullptr;
    QLabel* lblAA64 = nullptr;

    // edit_bit00..31, edit_flag_bit00..31, lbl_bit00..31 (their objectNames), index = bit.
    std::array<QLineEdit*, 32> edit_bit{};
    std::array<QLineEdit*, 32> edit_flag_bit{};
    std::array<QLabel*, 32> lbl_bit{};

    QMenuBar* mnuMain = nullptr;
    QMenu* mnuMainFile = nullptr;
    QAction* mnuMainExit = nullptr;
    QMenu* mnuMainEdit = nullptr;
    QAction* mnuMainEditCopy = nullptr;
    QAction* N2 = nullptr;
    QMenu* mnuMainEditCPU = nullptr;
    // mnuMainEditCPU1..32 (their objectNames), index = processor - 1.
    std::array<QAction*, 32> mnuMainEditCPUn{};
    QMenu* mnuMainEditFlag = nullptr;
    QAction* mnuMainEditFlagStdEDX = nullptr;
    QAction* mnuMainEditFlagStdECX = nullptr;
    QAction* mnuMainEditFlagExtended = nullptr;
    QAction* mnuMainEditFlagTransmeta = nullptr;
    QAction* mnuMainEditFlagCentaur = nullptr;
    QAction* mnuMainEditGetClock = nullptr;
    QMenu* mnuMainHelp = nullptr;

    // The menu entry of one flag register.
    QAction* FlagMenuEntry(FlagRegister id) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void BuildMenu();
    void BindMembers();
    void ConnectEvents();
    void FillPanel(FlagRegister id);
    void SelectProcessor(int index);
    std::string DecimalSeparator() const;

    // editKeyNull and editASCIINull: only Up and Down reach a selector, no character is typed.
    bool editKeyNull(QObject* watched, QEvent* event);
    bool editASCIINull(QObject* watched, QEvent* event);

    Probe probe_;
    QWidget* client_ = nullptr;
};

// The one main window of the running program.
extern Tmainform* mainform;

}  // namespace talvex
