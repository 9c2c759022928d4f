// The main window's real view under Wine, with mouse input as the system delivers it.

#include "app/app_launch.h"
#include "settings/local_settings.h"
#include "system/threadpool_delayed_runner.h"
#include "system/win32_system_operations.h"
#include "ui/main_window.h"
#include "ui/text/localized_text_table.h"
#include "ui/win32/main_window_view.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <memory>

namespace {

using namespace Velmora;

// Runs the window's messages until `done` holds (or, should it never, for a while).
template <typename Done>
void PumpUntil(Win32::MainWindowView& view, Done done) {
    const ULONGLONG giveUp = ::GetTickCount64() + 20000;
    while (!done() && ::GetTickCount64() < giveUp) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        MSG message{};
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (!view.PreTranslate(message)) {
                ::TranslateMessage(&message);
                ::DispatchMessageW(&message);
            }
        }
    }
}

// The window as the program shows it. The view goes first: it detaches itself from the controls.
struct ShownWindow {
    std::unique_ptr<Win32::MainWindowView> view;
    std::unique_ptr<implementation::MainWindow> window;
    ~ShownWindow() { view.reset(); }
};

TEST(MainWindowView, ASecondQuickClickOnAButtonIsNotLost) {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&controls);
    const auto settings = MakeInMemorySettings();
    settings->Insert(SettingKeys::AppLanguage, SettingValue{std::int32_t{1}});
    LocalizedTextTable texts;
    implementation::PrepareTextTable(texts);
    Win32SystemOperations system; // no run is started
    ThreadpoolDelayedRunner timer;
    ShownWindow shown;
    shown.view = std::make_unique<Win32::MainWindowView>(::GetModuleHandleW(nullptr));
    auto& view = shown.view;
    shown.window = std::make_unique<implementation::MainWindow>(
        implementation::WindowServices{*settings, texts, system, timer, *view, *view});
    auto& window = shown.window;
    ASSERT_TRUE(view->Create(*window, SW_SHOWNORMAL));
    int clicks = 0;
    window->ContinueButton.Click = [&] { ++clicks; }; // counts instead of turning the page
    const HWND button = ::FindWindowExW(view->Handle(), nullptr, L"Button", L"Continue");
    ASSERT_NE(button, nullptr);
    PumpUntil(*view, [&] { return ::GetFocus() == button; });
    ASSERT_EQ(::GetFocus(), button) << "the first page opens with the focus on its primary button";
    RECT rect{};
    ::GetWindowRect(button, &rect);
    ::SetCursorPos((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    INPUT inputs[4]{};
    for (int i = 0; i < 4; ++i) {
        inputs[i].type = INPUT_MOUSE;
        inputs[i].mi.dwFlags = i % 2 == 0 ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
    }
    ASSERT_EQ(::SendInput(4, inputs, sizeof(INPUT)), 4u);
    PumpUntil(*view, [&] { return clicks == 2; });
    EXPECT_EQ(clicks, 2) << "the second click of a double click is a click too";
}

} // namespace
