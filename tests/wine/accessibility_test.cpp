// What a screen reader reads of a profile card under Wine, through the system's accessibility calls: the
// card's window text is its title, and the texts it paints itself come as its description.

#include "common/win32_handles.h"
#include "ui/control.h"
#include "ui/win32/control_windows.h"
#include "ui/win32/view_painter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <oleacc.h>

namespace {

using namespace Velmora;
using ::testing::HasSubstr;
using ::testing::Not;

// The card's name and description as a screen reader asks for them.
std::pair<std::wstring, std::wstring> ReadOut(HWND card) {
    UniqueComPointer<IAccessible> object;
    EXPECT_EQ(::AccessibleObjectFromWindow(card, OBJID_CLIENT, __uuidof(IAccessible),
                                           reinterpret_cast<void**>(object.Put())),
              S_OK);
    if (!object) {
        return {};
    }
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    UniqueBstr name;
    UniqueBstr description;
    object.Get()->get_accName(self, name.Put());
    object.Get()->get_accDescription(self, description.Put());
    return {name ? name.Get() : L"", description ? description.Get() : L""};
}

TEST(Accessibility, AProfileCardIsReadWithEverythingItPaints) {
    const ComApartment apartment = InitializeComApartment(COINIT_APARTMENTTHREADED);
    Control root{L"Root", ControlKind::Panel};
    Control card{L"Card", ControlKind::Button, &root};
    Control title{L"Title", ControlKind::TextBlock, &card};
    Control about{L"About", ControlKind::TextBlock, &card};
    Control status{L"Status", ControlKind::TextBlock, &card};
    Control changed{L"Changed", ControlKind::TextBlock, &card};
    changed.look.emphasis = Emphasis::Alert; // a notice: a window of its own, and read with the card
    card.SetText(L"Standard Settings");
    title.SetText(L"Standard Settings");
    about.SetText(L"Recommended for most users.");
    status.SetText(L"3 of 5 changes in effect");
    changed.SetText(L"2 settings were changed since you applied it");

    const HWND frame = ::CreateWindowExW(0, L"STATIC", L"frame", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr,
                                         ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(frame, nullptr);
    Win32::ViewPainter painter;
    Win32::ControlWindows windows(::GetModuleHandleW(nullptr), painter, L"STATIC", nullptr);
    windows.Create(root, frame);
    const HWND window = windows.WindowOf(card);
    ASSERT_NE(window, nullptr);

    auto [name, description] = ReadOut(window);
    EXPECT_EQ(name, L"Standard Settings");
    EXPECT_EQ(description, L"Recommended for most users.\n3 of 5 changes in effect\n"
                           L"2 settings were changed since you applied it");

    status.SetText(L"5 of 5 changes in effect");
    changed.SetVisibility(Visibility::Collapsed);
    description = ReadOut(window).second;
    EXPECT_THAT(description, HasSubstr(L"5 of 5 changes in effect"));
    EXPECT_THAT(description, Not(HasSubstr(L"changed since"))) << "only what is shown";
    windows.Destroy();
    ::DestroyWindow(frame);
}

} // namespace
