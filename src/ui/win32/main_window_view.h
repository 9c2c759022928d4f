#pragma once

#include "common/win32_handles.h"
#include "ui/control.h"
#include "ui/dispatcher_queue.h"
#include "ui/main_window.h"
#include "ui/win32/theme.h"

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

#include <windows.h>

namespace Velmora::Win32 {

class ConfirmationDialogWindow;

// Shows the main window's controls as real Win32 windows: one child window per visible control,
// mirrored as a whole for right-to-left, laid out at the monitor's DPI, coloured by the theme.
// It is also the window's dispatcher queue and platform.
class MainWindowView final : public ControlPeer,
                             public DispatcherQueue,
                             public implementation::WindowPlatform {
public:
    explicit MainWindowView(HINSTANCE instance);
    ~MainWindowView() override;
    MainWindowView(const MainWindowView&) = delete;
    MainWindowView& operator=(const MainWindowView&) = delete;

    // Creates the top-level window and the controls of `window` (not owned; outlives the view's HWNDs).
    [[nodiscard]] bool Create(implementation::MainWindow& window, int showCommand);
    [[nodiscard]] HWND Handle() const noexcept { return window_; }

    // Lets the dialog manager move the focus with Tab and press buttons with Enter or Space.
    [[nodiscard]] bool PreTranslate(MSG& message);

    // The UI thread's message loop, until WM_QUIT; returns its exit code.
    int RunMessageLoop();

    // ControlPeer
    void PropertyChanged(const Control& control, ControlProperty property) override;
    // DispatcherQueue: closures run on the UI thread, in order.
    bool TryEnqueue(std::function<void()> closure) override;
    // WindowPlatform
    [[nodiscard]] bool HasStyle(std::wstring_view key) const override;
    void ShowDialog(const implementation::ConfirmationDialog& dialog,
                    std::function<void(implementation::DialogResult)> done) override;
    bool StartAppRemoval(std::vector<std::wstring> packageNames) override;
    void RestartComputer() override;

    // Set before Create: how an app removal and a restart are carried out.
    std::function<bool(std::vector<std::wstring>)> startAppRemoval;
    std::function<void()> restartComputer;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void CreateFonts();
    void CreateChildren();
    void DestroyChildren();
    HWND CreateChild(Control& control, int id);
    void UpdateChild(const Control& control, HWND child, ControlProperty property);
    void UpdateAllVisibility();
    void Layout();
    void Place(const Control& control, int x, int y, int width, int height);
    [[nodiscard]] int Scale(int value) const;
    void DrawButton(const DRAWITEMSTRUCT& item);
    void DrawCard(const DRAWITEMSTRUCT& item, const Control& card);
    void RunQueuedClosures();
    [[nodiscard]] Control* ControlOf(HWND child) const;
    [[nodiscard]] HFONT FontFor(const Control& control) const;

    HINSTANCE instance_;
    HWND window_ = nullptr;                       // destroyed with the view
    implementation::MainWindow* model_ = nullptr; // not owned
    Theme theme_;
    UINT dpi_ = 96;
    UniqueGdiObject bodyFont_;
    UniqueGdiObject titleFont_;
    UniqueGdiObject headingFont_;
    UniqueGdiObject cardTitleFont_;
    UniqueGdiObject windowBrush_;
    UniqueGdiObject cardBrush_;
    std::map<const Control*, HWND> children_;
    std::map<HWND, Control*> controlsByHandle_;
    std::unique_ptr<ConfirmationDialogWindow> dialog_;

    std::mutex queueMutex_;
    std::deque<std::function<void()>> queue_;
};

} // namespace Velmora::Win32
