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
}  // namespace

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
