#include "ui/win32/main_window_view.h"

#include "system/plain_file.h"
#include "ui/layout.h"
#include "ui/win32/confirmation_dialog.h"
#include "ui/win32/theme.h"
#include "ui/win32/window_platform.h"
#include "ui/window_placement.h"

#include <commctrl.h>
#include <shellscalingapi.h>

#include <algorithm>
#include <chrono>

namespace Velmora::Win32 {
namespace {

constexpr wchar_t kClassName[] = L"VelmoraMainWindow";
constexpr wchar_t kPanelClassName[] = L"VelmoraPanel";
constexpr UINT kDispatchMessage = WM_APP + 1;
constexpr UINT kSettleMessage = WM_APP + 2;
// How long one batch of a page's windows is made for: well under what a person notices as a stall.
constexpr std::chrono::milliseconds kWindowBatch{8};

Rect ToRect(const RECT& rect) {
    return {static_cast<int>(rect.left), static_cast<int>(rect.top), static_cast<int>(rect.right - rect.left),
            static_cast<int>(rect.bottom - rect.top)};
}

Rect WorkAreaOf(HMONITOR monitor) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    ::GetMonitorInfoW(monitor, &info);
    return ToRect(info.rcWork);
}

UINT DpiOf(HMONITOR monitor) {
    UINT dpiX = 0;
    UINT dpiY = 0;
    if (FAILED(::GetDpiForMonitor(monitor, MDT_EFFECTIVE_DPI, &dpiX, &dpiY)) || dpiX == 0) {
        return ::GetDpiForSystem();
    }
    return dpiX;
}

bool RegisterWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(1));
    windowClass.hIconSm = windowClass.hIcon;
    windowClass.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    windowClass.lpszClassName = name;
    return ::RegisterClassExW(&windowClass) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

} // namespace

MainWindowView::MainWindowView(HINSTANCE instance)
    : instance_(instance), windows_(instance, painter_, kPanelClassName, this), dispatcher_([](void* window) {
          return ::PostMessageW(static_cast<HWND>(window), kDispatchMessage, 0, 0) != FALSE;
      }) {}

MainWindowView::~MainWindowView() {
    dialog_.reset();
    dispatcher_.Detach();
    if (model_ != nullptr) {
        for (Control* control : model_->AllControls()) {
            control->SetPeer(nullptr);
        }
    }
    windows_.Destroy();
    if (window_ != nullptr) {
        ::SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        ::DestroyWindow(window_);
    }
}

bool MainWindowView::Create(implementation::MainWindow& window, int showCommand) {
    model_ = &window;
    if (!RegisterWindowClass(instance_, kClassName, &MainWindowView::WindowProc) ||
        !RegisterWindowClass(instance_, kPanelClassName, &MainWindowView::WindowProc)) {
        return false;
    }
    // The monitor the user works on, at its own scale.
    POINT cursor{};
    ::GetCursorPos(&cursor);
    const HMONITOR monitor = ::MonitorFromPoint(cursor, MONITOR_DEFAULTTOPRIMARY);
    painter_.SetDpi(DpiOf(monitor));
    const Rect place = InitialWindowRect(WorkAreaOf(monitor), painter_.Dpi());
    const bool rtl = model_->RootGrid.GetFlowDirection() == FlowDirection::RightToLeft;
    ::CreateWindowExW(WS_EX_CONTROLPARENT | (rtl ? WS_EX_LAYOUTRTL : 0), kClassName, L"Velmora",
                      WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, place.left, place.top, place.width, place.height,
                      nullptr, nullptr, instance_, this);
    if (window_ == nullptr) {
        return false;
    }
    if (const UINT dpi = ::GetDpiForWindow(window_); dpi != 0 && dpi != painter_.Dpi()) {
        painter_.SetDpi(dpi);
    }
    windows_.Create(model_->RootGrid, window_);
    for (Control* control : model_->AllControls()) {
        control->SetPeer(this);
    }
    // Focus rectangles and keyboard cues from the start, not only after a key has been pressed.
    ::SendMessageW(window_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
    Relayout();
    ::ShowWindow(window_, showCommand);
    ::UpdateWindow(window_);
    ScheduleSettle(); // the first page's control takes the focus once the page is on screen
    return true;
}

void MainWindowView::PropertyChanged(const Control& control, ControlProperty property) {
    if (window_ == nullptr) {
        return;
    }
    switch (property) {
    case ControlProperty::FlowDirection:
        // Mirroring applies to windows as they are created: they are made anew, later.
        rebuildPending_ = true;
        ScheduleSettle();
        return;
    case ControlProperty::Visibility:
        ScheduleSettle();
        return;
    case ControlProperty::MinWidth:
        return;
    default:
        break;
    }
    windows_.Update(control, property);
    // A new text may need another height; a disabled control may hold the focus.
    if (property == ControlProperty::Text || property == ControlProperty::Enabled) {
        ScheduleSettle(property == ControlProperty::Text);
    }
}

void MainWindowView::ScheduleSettle(bool textOnly) {
    repaintAll_ = repaintAll_ || !textOnly;
    if (!settlePending_ && window_ != nullptr) {
        settlePending_ = ::PostMessageW(window_, kSettleMessage, 0, 0) != FALSE;
    }
}

void MainWindowView::Settle() {
    settlePending_ = false;
    if (window_ == nullptr || model_ == nullptr) {
        return;
    }
    const Control* refocus = nullptr;
    if (rebuildPending_) {
        if (windows_.AnyListDropped()) {
            return; // once the list has closed (CBN_CLOSEUP)
        }
        refocus = Rebuild();
    }
    // A page shown for the first time gets its windows a batch a message, so that the window answers in
    // between; the page before stays on screen until they are all made.
    if (!windows_.MakeShownWindows(kWindowBatch)) {
        ScheduleSettle();
        return;
    }
    const Control* page = model_->ShownPage();
    const bool pageChanged = page != focusedPage_;
    if (pageChanged) {
        windows_.ScrollAllToTop(); // a page opens at its top
    }
    windows_.ApplyVisibility(false);
    Relayout();
    windows_.ApplyVisibility(true);
    if (DialogOpen()) {
        return; // the dialog has the focus; it gives it back when it closes
    }
    const HWND focus = ::GetFocus();
    focusedPage_ = page;
    if (!pageChanged && refocus != nullptr) {
        FocusControl(refocus);
    } else if (pageChanged || !IsReachable(focus)) {
        if (::GetActiveWindow() == window_) {
            FocusControl(model_->FocusTarget());
        } else {
            focusOnActivation_ = model_->FocusTarget();
        }
    }
    AfterMessage();
}

const Control* MainWindowView::Rebuild() {
    rebuildPending_ = false;
    const Control* focused = windows_.ControlOf(::GetFocus());
    const bool rtl = model_->RootGrid.GetFlowDirection() == FlowDirection::RightToLeft;
    const LONG_PTR exStyle = ::GetWindowLongPtrW(window_, GWL_EXSTYLE);
    ::SetWindowLongPtrW(window_, GWL_EXSTYLE,
                        rtl ? (exStyle | WS_EX_LAYOUTRTL) : (exStyle & ~WS_EX_LAYOUTRTL));
    ::SetFocus(nullptr); // not to the frame, which would hand it straight to a dying control
    windows_.Destroy();
    lastFocus_ = nullptr;
    windows_.Create(model_->RootGrid, window_);
    return focused;
}

void MainWindowView::Relayout() {
    RECT client{};
    ::GetClientRect(window_, &client);
    const Arrangement arrangement = ArrangeControls(
        model_->RootGrid, {0, 0, static_cast<int>(client.right), static_cast<int>(client.bottom)}, painter_);
    const bool moved = windows_.Place(arrangement);
    // Laid-out sizes in device-independent pixels, for the controls that follow their size.
    const double scale = 96.0 / painter_.Dpi();
    for (Control* control : model_->AllControls()) {
        if (const Rect* rect = arrangement.Find(*control)) {
            control->SetActualSize(rect->width * scale, rect->height * scale);
        }
    }
    // A new text repaints its own control; what the frame paints follows the layout and the rest. During a
    // run the progress text changes many times a second: repainting everything each time stalls the window.
    if (moved || repaintAll_) {
        ::RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    }
    repaintAll_ = false;
}

int MainWindowView::RunMessageLoop() {
    MSG message{};
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!PreTranslate(message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
        if (window_ != nullptr) {
            AfterMessage();
        }
    }
    return static_cast<int>(message.wParam);
}

bool MainWindowView::TryEnqueue(std::function<void()> closure) {
    return dispatcher_.TryEnqueue(std::move(closure));
}

bool MainWindowView::HasStyle(std::wstring_view key) const {
    return StyleExists(key);
}

void MainWindowView::ShowDialog(const implementation::ConfirmationDialog& dialog,
                                std::function<void(implementation::DialogResult)> done) {
    if (DialogOpen()) {
        done(implementation::DialogResult::None); // one question at a time
        return;
    }
    // The dialog takes the focus; when it closes, the focus goes back to what opened it.
    const Control* opener = windows_.ControlOf(::GetFocus());
    auto answer = [this, opener, done = std::move(done)](implementation::DialogResult result) {
        focusOnActivation_ = opener;
        done(result);
        if (::GetActiveWindow() == window_) {
            RestoreFocus();
        }
    };
    dialog_ = std::make_unique<ConfirmationDialogWindow>(instance_, window_, painter_.Colours(),
                                                         painter_.Dpi(), dialog, answer);
    if (!dialog_->IsOpen()) {
        dialog_.reset();
        answer(implementation::DialogResult::None);
    }
}

bool MainWindowView::StartAppRemoval(std::vector<std::wstring> packageNames) {
    return startAppRemoval && startAppRemoval(std::move(packageNames));
}

void MainWindowView::RestartComputer() {
    if (restartComputer) {
        restartComputer();
    }
}

std::optional<implementation::ExportTarget>
MainWindowView::AskExportFile(const implementation::ExportDialog& dialog) {
    return AskSaveFileName(window_, dialog);
}

bool MainWindowView::SaveFile(const std::wstring& path, const std::string& bytes) {
    return WriteWholeFile(path, bytes);
}

std::optional<std::wstring> MainWindowView::AskChoicesFile(const implementation::ChoicesFileDialog& dialog) {
    return AskJsonFileName(window_, dialog);
}

bool MainWindowView::ReadSmallFile(const std::wstring& path, std::size_t maxBytes, std::string& bytes,
                                   std::wstring& error) {
    return ReadPlainFile(path, maxBytes, bytes, error);
}

void MainWindowView::OpenLogFolder() {
    if (openLogFolder) {
        openLogFolder();
    }
}

std::wstring MainWindowView::ErrorMessage(std::uint32_t error, std::int32_t language) {
    return SystemErrorMessage(error, language);
}

void MainWindowView::HideWindow() {
    if (window_ != nullptr) {
        ::ShowWindow(window_, SW_HIDE);
    }
}

void MainWindowView::EndProgram() {
    if (window_ != nullptr) {
        ::DestroyWindow(window_);
    }
}

LRESULT CALLBACK MainWindowView::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        auto* self = static_cast<MainWindowView*>(create->lpCreateParams);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        if ((create->style & WS_CHILD) == 0) {
            self->window_ = window;
            self->dispatcher_.Attach(window);
        }
    }
    auto* self = reinterpret_cast<MainWindowView*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) {
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    return self->HandleMessage(window, message, wParam, lParam);
}

LRESULT MainWindowView::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        OnCommand(wParam, lParam);
        return 0;
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (const Control* control = windows_.ControlOf(item->hwndItem)) {
            painter_.DrawButton(*item, *control, windows_.Placed());
        }
        return TRUE;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
        if (const Control* control = windows_.ControlOf(reinterpret_cast<HWND>(lParam))) {
            return reinterpret_cast<LRESULT>(
                painter_.ControlColours(reinterpret_cast<HDC>(wParam), *control));
        }
        break;
    case WM_ERASEBKGND: {
        RECT client{};
        ::GetClientRect(window, &client);
        painter_.FillBackground(reinterpret_cast<HDC>(wParam), client);
        return 1;
    }
    case WM_PAINT:
        Paint(window);
        return 0;
    case WM_NOTIFY: {
        auto* request = reinterpret_cast<NMLVDISPINFOW*>(lParam);
        if (request->hdr.code == LVN_GETDISPINFOW) {
            windows_.FillListCell(*request);
            return 0;
        }
        if (request->hdr.code == NM_CUSTOMDRAW) {
            return windows_.DrawListCell(*reinterpret_cast<NMLVCUSTOMDRAW*>(lParam));
        }
        if (request->hdr.code == LVN_ITEMCHANGED || request->hdr.code == LVN_ODSTATECHANGED) {
            windows_.ListSelectionChanged(request->hdr.hwndFrom);
            return 0;
        }
        if (request->hdr.code == NM_CLICK || request->hdr.code == LVN_KEYDOWN) {
            windows_.ListCheckToggled(request->hdr);
            break;
        }
        break;
    }
    case WM_VSCROLL:
        windows_.Scroll(window, LOWORD(wParam));
        return 0;
    case WM_MOUSEWHEEL:
        windows_.Scroll(windows_.ScrollingPanelOf(window), -1, GET_WHEEL_DELTA_WPARAM(wParam));
        return 0;
    default:
        if (window == window_) {
            return HandleFrameMessage(message, wParam, lParam);
        }
        break;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT MainWindowView::HandleFrameMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SIZE:
        ScheduleSettle();
        return 0;
    case WM_GETMINMAXINFO:
        LimitTrackingSize(*reinterpret_cast<MINMAXINFO*>(lParam));
        return 0;
    case WM_DPICHANGED:
        OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            focusOnActivation_ = windows_.ControlOf(::GetFocus());
        } else {
            RestoreFocus();
        }
        return 0;
    case WM_SETFOCUS:
        RestoreFocus(); // the window itself is never where the focus stays
        return 0;
    case WM_SETTINGCHANGE:
    case WM_THEMECHANGED:
        // Light or dark may have changed; the fonts stay.
        painter_.SetTheme(CurrentTheme());
        windows_.ApplyColours();
        ::RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
        break;
    case WM_CLOSE:
        // While a run goes on, the window asks first and closes once the run has stopped.
        if (model_ != nullptr && !model_->OnCloseRequested()) {
            return 0;
        }
        break;
    case kDispatchMessage:
        dispatcher_.RunPending();
        return 0;
    case kSettleMessage:
        Settle();
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY:
        dispatcher_.Detach();
        window_ = nullptr;
        return 0;
    default:
        break;
    }
    return ::DefWindowProcW(window_, message, wParam, lParam);
}

void MainWindowView::OnCommand(WPARAM wParam, LPARAM lParam) {
    Control* control = windows_.ControlOf(reinterpret_cast<HWND>(lParam));
    if (control == nullptr) {
        return;
    }
    const UINT code = HIWORD(wParam);
    switch (control->Kind()) {
    case ControlKind::Button:
        // An owner-drawn button reports the second click of a double click on its own.
        if (code == BN_CLICKED || code == BN_DOUBLECLICKED) {
            control->RaiseClick();
        }
        break;
    case ControlKind::CheckBox:
        if (code == BN_CLICKED) {
            control->RaiseClick();
        }
        break;
    case ControlKind::ComboBox:
        if (code == CBN_SELCHANGE) {
            control->SetSelectedIndex(
                static_cast<int>(::SendMessageW(reinterpret_cast<HWND>(lParam), CB_GETCURSEL, 0, 0)));
        } else if (code == CBN_CLOSEUP && rebuildPending_) {
            ScheduleSettle();
        }
        break;
    default:
        break;
    }
}

void MainWindowView::LimitTrackingSize(MINMAXINFO& limits) const {
    RECT frame{};
    ::AdjustWindowRectExForDpi(&frame, static_cast<DWORD>(::GetWindowLongPtrW(window_, GWL_STYLE)), FALSE,
                               static_cast<DWORD>(::GetWindowLongPtrW(window_, GWL_EXSTYLE)), painter_.Dpi());
    const Size minimum = MinimumWindowSize(painter_.Dpi(), {static_cast<int>(frame.right - frame.left),
                                                            static_cast<int>(frame.bottom - frame.top)});
    // Never more than the monitor can show: the window must fit its work area.
    const Rect work = WorkAreaOf(::MonitorFromWindow(window_, MONITOR_DEFAULTTONEAREST));
    limits.ptMinTrackSize = {std::min(minimum.width, work.width), std::min(minimum.height, work.height)};
}

void MainWindowView::OnDpiChanged(UINT dpi, const RECT& suggested) {
    painter_.SetDpi(dpi);
    windows_.ApplyFonts();
    const Rect fitted = FitIntoWorkArea(ToRect(suggested),
                                        WorkAreaOf(::MonitorFromRect(&suggested, MONITOR_DEFAULTTONEAREST)));
    ::SetWindowPos(window_, nullptr, fitted.left, fitted.top, fitted.width, fitted.height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    ScheduleSettle();
}

} // namespace Velmora::Win32
