#pragma once
// The main window's layout: every control with its place, size, tab order and first caption, and
// the menu tree. The window is built from these tables and the layout tests read them, so a
// control is placed in exactly one spot. Positions are pixels of the client area at 96 dpi.

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "main/report/load_data.h"
#include "probe/tables/flags.h"
#include "probe/text/inline_text.h"

namespace talvex::layout {

inline constexpr int kClientWidth = 933;
inline constexpr int kClientHeight = 335;
inline constexpr int kWindowLeft = 109;
inline constexpr int kWindowTop = 188;
inline constexpr int kFontPixels = 12;
// The first family is the window's own; the others stand in for it where it is not installed.
inline constexpr std::array<const char*, 6> kFontFamilies{
    "ＭＳ Ｐゴシック", "IPAPGothic", "IPAGothic", "Noto Sans CJK JP", "VL PGothic", "Droid Sans Fallback",
};
inline constexpr const char* kTitle = "Talvex";

enum class Kind {
    Edit,  // read-only text field on the 3D-light colour
    Button,
    Combo,         // drop-down with an edit part; keys filtered to Up and Down
    Label,         // fixed caption, sized to it
    SummaryLabel,  // greyed until the data load finds its feature
};

// What the window does with a control or menu entry beyond showing it.
enum class Role { None, ProcessorSelector, FeatureSelector, ClockButton, Copy, Exit, Clock, Details };

struct Control {
    const char* name;
    Kind kind;
    int left, top, width, height;      // a label's width and height are what its caption needed at design
    int tab;                           // -1: no tab stop
    const char* caption;               // a field's or selector's initial text, a label's caption
    std::optional<LoadField> field{};  // the field of the data load it shows
    Role role = Role::None;
};

// clang-format off
inline constexpr Control kControls[] = {
    // name               kind                left  top  width height tab caption, field shown, role
    {"editCPUName",       Kind::Edit,          48,   8, 273, 20,  0, "", LoadField::editCPUName},
    {"editVendorID",      Kind::Edit,          48,  32, 129, 20,  1, "", LoadField::editVendorID},
    {"editNameString",    Kind::Edit,          48,  56, 273, 20,  2, "", LoadField::editNameString},
    {"editBrandID",       Kind::Edit,         136, 200,  41, 20,  3, "", LoadField::editBrandID},
    {"editHT",            Kind::Edit,         136, 152,  41, 20,  4, "", LoadField::editHT},
    {"editFamily",        Kind::Edit,          96,  80,  25, 20,  5, "", LoadField::editFamily},
    {"editModel",         Kind::Edit,         152,  80,  25, 20,  6, "", LoadField::editModel},
    {"editStep",          Kind::Edit,         208,  80,  25, 20,  7, "", LoadField::editStep},
    {"editExtFamily",     Kind::Edit,          96, 104,  25, 20,  8, "", LoadField::editExtFamily},
    {"editExtModel",      Kind::Edit,         152, 104,  25, 20,  9, "", LoadField::editExtModel},
    {"editExtStep",       Kind::Edit,         208, 104,  25, 20, 10, "", LoadField::editExtStep},
    {"editCPUClock",      Kind::Edit,          96, 128,  81, 20, 11, "", LoadField::editCPUClock},
    {"editFamilyEx",      Kind::Edit,         296,  80,  25, 20, 12, "", LoadField::editFamilyEx},
    {"editL1I",           Kind::Edit,         248, 128,  73, 20, 13, "", LoadField::editL1I},
    {"editL1D",           Kind::Edit,         248, 152,  73, 20, 14, "", LoadField::editL1D},
    {"editL2",            Kind::Edit,         248, 176,  73, 20, 15, "", LoadField::editL2},
    {"editL3",            Kind::Edit,         248, 200,  73, 20, 16, "", LoadField::editL3},
    {"cmd_TSC",           Kind::Button,        16, 296, 137, 25, 17, "クロック再測定", {}, Role::ClockButton},
    {"editAPICID",        Kind::Edit,         136, 176,  41, 20, 82, "", LoadField::editAPICID},
    {"cmbProcessorMask",  Kind::Combo,        248, 224,  73, 20, 83, "CPU1", {}, Role::ProcessorSelector},
    {"cmbFeature",        Kind::Combo,        168, 300, 153, 20, 84, FlagRegisterOf(FlagRegister::StdEDX).entry_text,
                                                                   LoadField::cmbFeature, Role::FeatureSelector},
    {"editProcessorType", Kind::Edit,         184,  32, 137, 20, 85, "", LoadField::editProcessorType},
    {"editModelEx",       Kind::Edit,         296, 104,  25, 20, 86, "", LoadField::editModelEx},
    {"Label1",            Kind::Label,         16,  16,  23, 12, -1, "CPU"},
    {"Label2",            Kind::Label,          8,  36,  36, 12, -1, "Vendor"},
    {"Label6",            Kind::Label,         56,  86,  34, 12, -1, "Family"},
    {"Label7",            Kind::Label,        120,  96,  30, 12, -1, "Model"},
    {"Label8",            Kind::Label,        184,  96,  23, 12, -1, "Step"},
    {"Label09",           Kind::Label,         40, 108,  55, 12, -1, "Generation"},
    {"Label11",           Kind::Label,        240,  84,  47, 12, -1, "FamilyEx"},
    {"Label3",            Kind::Label,        240, 108,  43, 12, -1, "ModelEx"},
    {"Label10",           Kind::Label,         64, 132,  29, 12, -1, "Clock"},
    {"Label12",           Kind::Label,        184, 132,  57, 12, -1, "L1 I-Cache", LoadField::Label12},
    {"Label5",            Kind::Label,         48, 156,  86, 12, -1, "Hyper-Threading"},
    {"Label14",           Kind::Label,        184, 156,  62, 12, -1, "L1 D-Cache"},
    {"Label9",            Kind::Label,         92, 180,  41, 12, -1, "APIC ID"},
    {"Label15",           Kind::Label,        192, 180,  48, 12, -1, "L2 Cache"},
    {"Label4",            Kind::Label,         90, 204,  45, 12, -1, "Brand ID"},
    {"Label16",           Kind::Label,        192, 204,  48, 12, -1, "L3 Cache"},
    {"Label17",           Kind::Label,        192, 228,  51, 12, -1, "Processor"},
    {"Label18",           Kind::Label,        168, 282, 109, 12, -1, "CPUID Feature Flags"},
    {"lblMMX",            Kind::SummaryLabel,  32, 248,  25, 12, -1, SummaryText(LoadField::lblMMX), LoadField::lblMMX},
    {"lblSSE",            Kind::SummaryLabel,  72, 248,  21, 12, -1, SummaryText(LoadField::lblSSE), LoadField::lblSSE},
    {"lblSSE2",           Kind::SummaryLabel, 104, 248,  27, 12, -1, SummaryText(LoadField::lblSSE2), LoadField::lblSSE2},
    {"lblSSE3",           Kind::SummaryLabel, 144, 248,  27, 12, -1, SummaryText(LoadField::lblSSE3), LoadField::lblSSE3},
    {"lblEMMX",           Kind::SummaryLabel, 184, 248,  31, 12, -1, SummaryText(LoadField::lblEMMX), LoadField::lblEMMX},
    {"lbl3DNOW",          Kind::SummaryLabel, 224, 248,  39, 12, -1, SummaryText(LoadField::lbl3DNOW), LoadField::lbl3DNOW},
    {"lblE3DNOW",         Kind::SummaryLabel, 272, 248,  45, 12, -1, SummaryText(LoadField::lblE3DNOW), LoadField::lblE3DNOW},
    {"lblHT",             Kind::SummaryLabel,  32, 264,  86, 12, -1, SummaryText(LoadField::lblHT), LoadField::lblHT},
    {"lblIA64",           Kind::SummaryLabel, 144, 264,  29, 12, -1, SummaryText(LoadField::lblIA64), LoadField::lblIA64},
    {"lblAA64",           Kind::SummaryLabel, 184, 264,  34, 12, -1, SummaryText(LoadField::lblAA64), LoadField::lblAA64},
};
// clang-format on

// What a field and the label beside it show, and where it comes from: their tooltip. A row may
// name only a field or only a label. The summary labels and the bit panel's rows say it from their
// registers and bits (ToolTip, BitToolTip).
struct ToolTipRow {
    const char* field;
    const char* label;
    const char* text;
};
// clang-format off
inline constexpr ToolTipRow kToolTips[] = {
    {"editCPUName", "Label1",
     "The processor's name: from the built-in tables (vendor, family, model, stepping, brand index, cache "
     "sizes) for the processors they were made for; beyond them the microarchitecture(codename) of the core "
     "examined"},
    {"editVendorID", "Label2", "Vendor text: leaf 0 EBX, EDX, ECX"},
    {"editProcessorType", "", "Processor type: leaf 1 EAX[13:12] (OEM, OverDrive, dual processor)"},
    {"editNameString", "",
     "Brand text: leaves 0x80000002 to 0x80000004; where there is none, \"x86 Family .. Model .. "
     "Stepping ..\", greyed"},
    {"editFamily", "Label6", "Family: leaf 1 EAX[11:8]"},
    {"editModel", "", "Model: leaf 1 EAX[7:4]; with ModelEx in front of it, the processor's model"},
    {"editStep", "", "Stepping: leaf 1 EAX[3:0]"},
    {"", "Label7", "Model: leaf 1 EAX[7:4] above, leaf 0x80000001 EAX[7:4] below"},
    {"", "Label8", "Stepping: leaf 1 EAX[3:0] above, leaf 0x80000001 EAX[3:0] below"},
    {"editExtFamily", "Label09", "Generation: the family of leaf 0x80000001 EAX[11:8]"},
    {"editExtModel", "", "The model of leaf 0x80000001 EAX[7:4]"},
    {"editExtStep", "", "The stepping of leaf 0x80000001 EAX[3:0]"},
    {"editFamilyEx", "Label11",
     "Extended family: leaf 1 EAX[27:20], shown when the family is F; the processor's family is F plus it"},
    {"editModelEx", "Label3",
     "Extended model: leaf 1 EAX[19:16], shown when the model is F or it is not 0; the processor's model "
     "is ModelEx followed by Model"},
    {"editCPUClock", "Label10",
     "Clock: the time stamp counter's rate over one second; the cores' own clock is in 詳細情報"},
    {"editL1I", "Label12",
     "L1 instruction cache, or L1 T-Cache: the trace cache, in thousands of micro-operations. From the "
     "leaf 2 descriptors (Intel) or leaf 0x80000005 EDX[31:24] (others); a size these leave unknown from "
     "the processor details (leaf 4, 0x8000001D, leaf 2, 0x80000005)"},
    {"editL1D", "Label14",
     "L1 data cache: from the leaf 2 descriptors (Intel) or leaf 0x80000005 ECX[31:24] (others); a size "
     "these leave unknown from the processor details (leaf 4, 0x8000001D, leaf 2, 0x80000005)"},
    {"editL2", "Label15",
     "L2 cache: from the leaf 2 descriptors (Intel) or leaf 0x80000006 ECX[31:16] (others); a size these "
     "leave unknown from the processor details (leaf 4, 0x8000001D, leaf 2, 0x80000006)"},
    {"editL3", "Label16",
     "L3 cache: from the leaf 2 descriptors (Intel); a size these leave unknown from the processor "
     "details (leaf 4, 0x8000001D, leaf 2, 0x80000006 EDX[31:18])"},
    {"editHT", "Label5",
     "Logical processors per package: leaf 1 EBX[23:16], where leaf 1 EDX[28] (Hyper-Threading) is set"},
    {"editAPICID", "Label9", "Initial APIC ID: leaf 1 EBX[31:24]"},
    {"editBrandID", "Label4", "Brand index: leaf 1 EBX[7:0]; empty when 0"},
    {"cmbProcessorMask", "Label17", "The processor examined: Talvex runs on it alone and reloads every field"},
    {"cmbFeature", "Label18", "The flag register the panel on the right shows, bit by bit"},
    {"cmd_TSC", "", "Measures the time stamp counter's rate again"},
};
// clang-format on

// The tooltip of a control outside the bit panel; empty for none.
std::string ToolTip(std::string_view name);
// The tooltip of the bit panel's row `bit` while it shows register `id`: the register, leaf and bit,
// and the name Linux gives the bit where it has one.
std::string BitToolTip(FlagRegister id, int bit);

// A name of the layout held in place (inline_text.h): talvex-report reads the names below for its JSON
// keys, and a table of pointers would cost it a relocation each at every start. Each name is shorter
// than the capacity, so its text ends in a zero byte.
inline constexpr size_t kNameCapacity = 32;
using NameText = InlineText<kNameCapacity>;
constexpr NameText HeldName(const char* name) {
    if (std::string_view(name).size() >= kNameCapacity) throw "name too long to hold with its zero byte";
    return NameText(name);
}

// The names of the rows of `table` that carry a `key`, by key: each key below N on exactly one row, or
// this does not build.
template <size_t N, class Row, size_t Rows, class Key>
constexpr std::array<NameText, N> NamesByKey(const Row (&table)[Rows], std::optional<Key> Row::*key) {
    std::array<NameText, N> names{};
    for (const Row& row : table) {
        if (!(row.*key)) continue;
        NameText& name = names[static_cast<size_t>(*(row.*key))];
        if (!name.empty()) throw "two rows carry one key";
        name = HeldName(row.name);
    }
    for (const NameText& name : names)
        if (name.empty()) throw "a key no row carries";
    return names;
}

// The name of the control that shows each field of the data load, by field: the window's object name
// and the key of talvex-report's JSON.
inline constexpr auto kFieldControlNames = NamesByKey<kLoadFieldCount>(kControls, &Control::field);
inline const char* ControlName(LoadField field) {
    return kFieldControlNames[static_cast<size_t>(field)].data();
}

// The bit panel: bit k in column k / 16, row k % 16; three controls a row.
struct BitPanel {
    static constexpr int kRows = 16;
    static constexpr int kRowStep = 20;
    static constexpr int kColumnStep = 280;
    static constexpr int kNameLeft = 336, kFlagLeft = 386, kLabelLeft = 424;
    static constexpr int kBoxTop = 8, kLabelTop = 12;
    static constexpr int kNameWidth = 51, kFlagWidth = 31, kBoxHeight = 20;
    static constexpr int kFirstTab = 18;  // edit_bitNN at 18 + 2k, edit_flag_bitNN at 19 + 2k
};

// Every control, the bit panel's 96 included, with its name written out. The bit panel's
// controls carry their bit.
enum class PanelPart { None, ShortName, Value, LongName };
struct PlacedControl {
    std::string name;
    Kind kind;
    int left, top, width, height, tab;
    std::string caption;
    Role role = Role::None;
    PanelPart part = PanelPart::None;
    int bit = -1;
    std::optional<LoadField> field{};
};
std::vector<PlacedControl> AllControls();

enum class MenuKind { Menu, Item, Separator };

struct MenuEntry {
    const char* name;
    const char* parent;  // "" for the menu bar
    MenuKind kind;
    const char* caption;  // '&' marks the access key
    bool visible;
    bool enabled;
    Role role = Role::None;
    std::optional<FlagRegister> flag_register{};  // the register whose bits it shows
};

inline constexpr MenuEntry kMenu[] = {
    // name, parent, kind, caption, visible, enabled, role, flag register
    {"mnuMainFile", "", MenuKind::Menu, "ファイル(&C)", true, true},
    {"mnuMainExit", "mnuMainFile", MenuKind::Item, "終了(&E)", true, true, Role::Exit},
    {"mnuMainEdit", "", MenuKind::Menu, "編集(&E)", true, true},
    {"mnuMainEditCopy", "mnuMainEdit", MenuKind::Item, "情報をコピー(&C)", true, true, Role::Copy},
    {"N2", "mnuMainEdit", MenuKind::Separator, "-", true, true},
    {"mnuMainEditCPU", "mnuMainEdit", MenuKind::Menu, "CPU", true, true},
    {"mnuMainEditFlag", "mnuMainEdit", MenuKind::Menu, "Feature Flag", true, true},
    {"mnuMainEditFlagStdEDX", "mnuMainEditFlag", MenuKind::Item,
     FlagRegisterOf(FlagRegister::StdEDX).entry_text, false, true, Role::None, FlagRegister::StdEDX},
    {"mnuMainEditFlagStdECX", "mnuMainEditFlag", MenuKind::Item,
     FlagRegisterOf(FlagRegister::StdECX).entry_text, false, true, Role::None, FlagRegister::StdECX},
    {"mnuMainEditFlagExtended", "mnuMainEditFlag", MenuKind::Item,
     FlagRegisterOf(FlagRegister::ExtEDX).entry_text, false, true, Role::None, FlagRegister::ExtEDX},
    {"mnuMainEditFlagTransmeta", "mnuMainEditFlag", MenuKind::Item,
     FlagRegisterOf(FlagRegister::TransmetaEDX).entry_text, false, true, Role::None,
     FlagRegister::TransmetaEDX},
    {"mnuMainEditFlagCentaur", "mnuMainEditFlag", MenuKind::Item,
     FlagRegisterOf(FlagRegister::CentaurEDX).entry_text, false, true, Role::None, FlagRegister::CentaurEDX},
    {"mnuMainEditGetClock", "mnuMainEdit", MenuKind::Item, "クロック再測定", true, true, Role::Clock},
    {"N3", "mnuMainEdit", MenuKind::Separator, "-", true, true},
    {"mnuMainEditDetails", "mnuMainEdit", MenuKind::Item, "詳細情報(&D)...", true, true, Role::Details},
    {"mnuMainHelp", "", MenuKind::Menu, "ヘルプ(&H)", true, false},
};
// mnuMainEditCPU1..32, captions "CPU1".."CPU32", all hidden until the processor selector is filled.
inline constexpr int kProcessorEntries = 32;

// Every menu entry, the 32 processor entries included (they carry their 0-based processor), in
// menu order.
struct PlacedMenuEntry {
    std::string name;
    std::string parent;
    MenuKind kind;
    std::string caption;
    bool visible;
    bool enabled;
    Role role = Role::None;
    int processor = -1;
    std::optional<FlagRegister> flag_register{};
};
std::vector<PlacedMenuEntry> AllMenuEntries();

// The name of the menu entry that shows each flag register, by register: the window's object name and
// the key of talvex-report's JSON.
inline constexpr auto kFlagMenuNames = NamesByKey<kFlagRegisterCount>(kMenu, &MenuEntry::flag_register);
inline const char* MenuName(FlagRegister id) { return kFlagMenuNames[static_cast<size_t>(id)].data(); }

}  // namespace talvex::layout
