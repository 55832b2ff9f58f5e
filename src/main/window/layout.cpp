#include "main/window/layout.h"

#include <cstdio>

#include "probe/platform/processor_number.h"

namespace talvex::layout {

namespace {
std::string Numbered(const char* stem, int k) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%02d", k);
    return stem + std::string(digits);
}

// "leaf 1 EDX", "leaf 0x80000001 EDX".
std::string RegisterText(uint32_t leaf, const char* reg) {
    char text[32];
    std::snprintf(text, sizeof text, leaf < 10 ? "leaf %u %s" : "leaf 0x%08X %s", leaf, reg);
    return text;
}

std::string SummaryToolTip(const SummaryFeature& f) {
    const auto reg = [](FlagRegister id) {
        const FlagRegisterInfo& info = FlagRegisterOf(id);
        return RegisterText(info.leaf, info.reads_ecx ? "ECX" : "EDX");
    };
    std::string text = f.text;
    switch (f.reg) {
    case SummaryRegister::None:
        text += ": two or more logical processors per package (leaf 1 EBX[23:16])";
        break;
    case SummaryRegister::StdEDX: text += ": " + reg(FlagRegister::StdEDX); break;
    case SummaryRegister::StdECX: text += ": " + reg(FlagRegister::StdECX); break;
    case SummaryRegister::ExtEDX: text += ": " + reg(FlagRegister::ExtEDX); break;
    }
    if (f.reg != SummaryRegister::None) text += "[" + std::to_string(f.bit) + "]";
    return text + "; greyed when the processor lacks it";
}

}  // namespace

std::string ToolTip(std::string_view name) {
    for (const ToolTipRow& row : kToolTips)
        if (!name.empty() && (name == row.field || name == row.label)) return row.text;
    for (const SummaryFeature& f : kSummaryFeatures)
        if (name == ControlName(f.label)) return SummaryToolTip(f);
    return {};
}

std::string BitToolTip(FlagRegister id, int bit) {
    const FlagRegisterInfo& info = FlagRegisterOf(id);
    std::string text = std::string(info.entry_text) + ": "
                       + RegisterText(info.leaf, info.reads_ecx ? "ECX" : "EDX") + "[" + std::to_string(bit)
                       + "]";
    const std::string_view linux_name = FlagFeatureName(id, static_cast<unsigned>(bit));
    if (!linux_name.empty()) text += "; Linux calls it " + std::string(linux_name);
    return text;
}

std::vector<PlacedControl> AllControls() {
    std::vector<PlacedControl> all;
    for (const Control& c : kControls)
        all.push_back({c.name, c.kind, c.left, c.top, c.width, c.height, c.tab, c.caption, c.role,
                       PanelPart::None, -1, c.field});
    using P = BitPanel;
    for (int k = 0; k < 32; ++k) {
        const int dx = P::kColumnStep * (k / P::kRows);
        const int dy = P::kRowStep * (k % P::kRows);
        all.push_back({Numbered("edit_bit", k), Kind::Edit, P::kNameLeft + dx, P::kBoxTop + dy, P::kNameWidth,
                       P::kBoxHeight, P::kFirstTab + 2 * k, "", Role::None, PanelPart::ShortName, k});
        all.push_back({Numbered("edit_flag_bit", k), Kind::Edit, P::kFlagLeft + dx, P::kBoxTop + dy,
                       P::kFlagWidth, P::kBoxHeight, P::kFirstTab + 2 * k + 1, "", Role::None,
                       PanelPart::Value, k});
        // The design width of a long name runs up to the next column (or the window's edge).
        const int right = k < P::kRows ? P::kNameLeft + P::kColumnStep : kClientWidth;
        all.push_back({Numbered("lbl_bit", k), Kind::Label, P::kLabelLeft + dx, P::kLabelTop + dy,
                       right - (P::kLabelLeft + dx), 12, -1, "", Role::None, PanelPart::LongName, k});
    }
    return all;
}

std::vector<PlacedMenuEntry> AllMenuEntries() {
    std::vector<PlacedMenuEntry> all;
    for (const MenuEntry& m : kMenu) {
        all.push_back(
            {m.name, m.parent, m.kind, m.caption, m.visible, m.enabled, m.role, -1, m.flag_register});
        if (std::string(m.name) == "mnuMainEditCPU") {
            for (int k = 1; k <= kProcessorEntries; ++k) {
                const std::string caption = CpuName(ProcessorNumber::FromCounted(k).value());
                all.push_back({"mnuMainEdit" + caption, m.name, MenuKind::Item, caption, false, true,
                               Role::None, k - 1});
            }
        }
    }
    return all;
}

}  // namespace talvex::layout
