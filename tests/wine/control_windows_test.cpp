// The control layer's windows under Wine: a hidden part of the tree gets its windows when it is first shown,
// in the places the Tab order would have given them had they been made at the start.

#include "ui/control.h"
#include "ui/layout.h"
#include "ui/win32/control_windows.h"
#include "ui/win32/view_painter.h"

#include <gtest/gtest.h>

#include <chrono>

#include <string>
#include <vector>

namespace {

using namespace Velmora;

// The texts of the frame's child windows, top of the z-order (the first in Tab order) first.
std::vector<std::wstring> TabOrder(HWND frame) {
    std::vector<std::wstring> texts;
    for (HWND child = ::GetWindow(frame, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        wchar_t text[64] = {};
        ::GetWindowTextW(child, text, 64);
        texts.emplace_back(text);
    }
    return texts;
}

TEST(ControlWindows, AHiddenPartIsMadeWhenFirstShownAndTakesItsPlaceInTheTabOrder) {
    Control root{L"Root", ControlKind::Panel};
    Control first{L"First", ControlKind::Button, &root};
    Control page{L"Page", ControlKind::Panel, &root}; // arranges only: its buttons are the frame's children
    Control inside{L"Inside", ControlKind::Button, &page};
    Control later{L"Later", ControlKind::Button, &page};
    Control also{L"Also", ControlKind::Button, &page};
    Control last{L"Last", ControlKind::Button, &root};
    for (Control* button : {&first, &inside, &later, &also, &last}) {
        button->SetText(button->Name());
    }
    page.SetVisibility(Visibility::Collapsed);
    later.SetVisibility(Visibility::Collapsed);

    const HWND frame = ::CreateWindowExW(WS_EX_CONTROLPARENT, L"STATIC", L"frame", WS_POPUP, 0, 0, 400, 300,
                                         nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(frame, nullptr);
    Win32::ViewPainter painter;
    Win32::ControlWindows windows(::GetModuleHandleW(nullptr), painter, L"STATIC", nullptr);
    windows.Create(root, frame);
    // Placing makes whatever shown window is still unmade, as after a resize.
    const auto placeShown = [&] {
        windows.Place(ArrangeControls(root, {0, 0, 400, 300}, painter));
        windows.ApplyVisibility(true);
    };
    EXPECT_EQ(windows.WindowOf(inside), nullptr);
    inside.SetText(L"Inside, renamed while hidden");
    windows.Update(inside, ControlProperty::Text);

    page.SetVisibility(Visibility::Visible); // its windows made in batches, as the view makes them
    EXPECT_FALSE(windows.MakeShownWindows(std::chrono::milliseconds(0))) << "one window a batch at least";
    EXPECT_TRUE(windows.MakeShownWindows(std::chrono::milliseconds(0)));
    placeShown();
    ASSERT_NE(windows.WindowOf(inside), nullptr);
    EXPECT_NE(::GetWindowLongPtrW(windows.WindowOf(inside), GWL_STYLE) & WS_VISIBLE, 0)
        << "shown with its page";
    EXPECT_EQ(TabOrder(frame),
              (std::vector<std::wstring>{L"First", L"Inside, renamed while hidden", L"Also", L"Last"}));
    EXPECT_EQ(windows.WindowOf(later), nullptr) << "still hidden inside the shown page";

    later.SetVisibility(Visibility::Visible);
    placeShown();
    EXPECT_EQ(TabOrder(frame), (std::vector<std::wstring>{L"First", L"Inside, renamed while hidden", L"Later",
                                                          L"Also", L"Last"}));
    EXPECT_EQ(windows.ControlOf(windows.WindowOf(later)), &later);
    windows.Destroy();
    ::DestroyWindow(frame);
}

} // namespace
