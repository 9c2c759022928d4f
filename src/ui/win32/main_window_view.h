#pragma once

#include "ui/control.h"
#include "common/dispatcher_queue.h"
#include "ui/main_window.h"
#include "ui/posted_closure_queue.h"
#include "ui/win32/control_windows.h"
#include "ui/win32/view_painter.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <windows.h>

namespace Velmora::Win32 {

class ConfirmationDialogWindow;

// The main window on screen: a top-level window sized to its monitor, the controls' windows inside
// it (mirrored as a whole for right to left), the keyboard of each page and the focus. Layouts and
// rebuilds are posted, so that no control is moved or destroyed inside its own notification.
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

    // The page's keys (Enter, Escape, arrows between choices), then the dialog manager (Tab).
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
    std::optional<implementation::ExportTarget>
    AskExportFile(const implementation::ExportDialog& dialog) override;
    bool SaveFile(const std::wstring& path, const std::string& bytes) override;
    std::optional<std::wstring> AskChoicesFile(const implementation::ChoicesFileDialog& dialog) override;
    bool ReadSmallFile(const std::wstring& path, std::size_t maxBytes, std::string& bytes,
                       std::wstring& error) override;
    void OpenLogFolder() override;
    std::wstring ErrorMessage(std::uint32_t error, std::int32_t language) override;
    void HideWindow() override;
    void EndProgram() override;

    // Set before Create: how an app removal, a restart and showing the log folder are carried out.
    std::function<bool(std::vector<std::wstring>)> startAppRemoval;
    std::function<void()> restartComputer;
    std::function<void()> openLogFolder;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // The frame and its scrolling panels share this.
    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleFrameMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnCommand(WPARAM wParam, LPARAM lParam);
    void OnDpiChanged(UINT dpi, const RECT& suggested);
    void LimitTrackingSize(MINMAXINFO& limits) const;
    void Paint(HWND window);

    // `textOnly`: only texts changed, which their controls repaint themselves.
    void ScheduleSettle(bool textOnly = false);
    // Rebuilds when the flow direction changed, shows and places the controls, and moves the focus
    // to the page that opened.
    void Settle();
    [[nodiscard]] const Control* Rebuild();
    void Relayout();
    void RestoreFocus();
    void FocusControl(const Control* control);
    [[nodiscard]] bool IsReachable(HWND window) const;
    void AfterMessage();
    void InvalidateFocusRing(HWND control) const;

    [[nodiscard]] bool HandleKey(const MSG& message);
    void MoveBetweenChoices(const Control& from, WPARAM key);
    void Click(const Control& control);
    [[nodiscard]] bool DialogOpen() const noexcept;

    HINSTANCE instance_;
    HWND window_ = nullptr;                       // destroyed with the view
    implementation::MainWindow* model_ = nullptr; // not owned
    ViewPainter painter_;
    ControlWindows windows_;
    PostedClosureQueue dispatcher_;
    std::unique_ptr<ConfirmationDialogWindow> dialog_;

    bool settlePending_ = false;
    bool repaintAll_ = true; // the next layout repaints the whole window, moved or not
    bool rebuildPending_ = false;
    const Control* focusedPage_ = nullptr;       // the page the focus was last placed for
    const Control* focusOnActivation_ = nullptr; // where the focus returns when the window is activated
    HWND lastFocus_ = nullptr;                   // whose focus ring is drawn
};

} // namespace Velmora::Win32
