#include "ui/control.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace Velmora;

class RecordingPeer final : public ControlPeer {
public:
    void PropertyChanged(const Control& control, ControlProperty property) override {
        changes.emplace_back(control.Name(), property);
    }
    std::vector<std::pair<std::wstring, ControlProperty>> changes;
};

TEST(ControlLayer, AClickReachesOnlyAnEnabledControlWhosePanelsAreShown) {
    Control page(L"Page", ControlKind::Panel);
    Control button(L"Button", ControlKind::Button, &page);
    int clicks = 0;
    button.Click = [&] { ++clicks; };
    button.RaiseClick();
    button.SetEnabled(false);
    button.RaiseClick();
    button.SetEnabled(true);
    page.SetVisibility(Visibility::Collapsed);
    EXPECT_FALSE(button.IsShown());
    button.RaiseClick();
    EXPECT_EQ(clicks, 1);
}

TEST(ControlLayer, ACheckBoxClickTogglesAndRaisesCheckedOrUncheckedOnce) {
    Control box(L"Box", ControlKind::CheckBox);
    std::vector<std::string> events;
    box.Checked = [&] { events.push_back("checked"); };
    box.Unchecked = [&] { events.push_back("unchecked"); };
    box.Click = [&] { events.push_back("click"); };
    box.RaiseClick();
    box.SetChecked(true); // already checked: nothing
    box.RaiseClick();
    EXPECT_EQ(events, (std::vector<std::string>{"checked", "click", "unchecked", "click"}));
}

TEST(ControlLayer, ThePeerHearsOfRealChangesOnly) {
    RecordingPeer peer;
    Control combo(L"Combo", ControlKind::ComboBox);
    combo.SetPeer(&peer);
    int selections = 0;
    combo.SelectionChanged = [&] { ++selections; };
    combo.SetSelectedIndex(1);
    combo.SetSelectedIndex(1);
    combo.SetText(L"");
    combo.SetVisibility(Visibility::Visible);
    EXPECT_EQ(selections, 1);
    ASSERT_EQ(peer.changes.size(), 1u);
    EXPECT_EQ(peer.changes[0].second, ControlProperty::SelectedIndex);
}

TEST(ControlLayer, RightToLeftOfAPanelAppliesToEverythingInsideIt) {
    Control root(L"Root", ControlKind::Panel);
    Control page(L"Page", ControlKind::Panel, &root);
    Control text(L"Text", ControlKind::TextBlock, &page);
    EXPECT_EQ(text.EffectiveFlowDirection(), FlowDirection::LeftToRight);
    root.SetFlowDirection(FlowDirection::RightToLeft);
    EXPECT_EQ(text.EffectiveFlowDirection(), FlowDirection::RightToLeft);
    EXPECT_EQ(root.Children(), std::vector<Control*>{&page});
}

TEST(ControlLayer, SizeChangedIsRaisedWhenTheLaidOutSizeChanges) {
    Control panel(L"Panel", ControlKind::Panel);
    int changes = 0;
    panel.SizeChanged = [&] { ++changes; };
    panel.SetActualSize(300, 40);
    panel.SetActualSize(300, 40);
    panel.SetActualSize(310, 40);
    EXPECT_EQ(changes, 2);
    EXPECT_DOUBLE_EQ(panel.ActualWidth(), 310);
}

} // namespace
