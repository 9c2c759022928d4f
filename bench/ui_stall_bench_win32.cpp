#include "bench/bench_parts_win32.h"

#include "app/app_launch.h"
#include "bench/fixtures_win32.h"
#include "bench/responsiveness_probe_win32.h"
#include "common/win32_handles.h"
#include "settings/local_settings.h"
#include "system/threadpool_delayed_runner.h"
#include "system/win32_system_operations.h"
#include "ui/main_window.h"
#include "ui/text/localized_text_table.h"
#include "ui/win32/main_window_view.h"

#include <commctrl.h>

#include <memory>
#include <thread>

namespace Velmora::Bench {
namespace {

// The window's own timer, with the start delay left out: the measurement is about the run itself.
class NoDelayRunner final : public DelayedRunner {
public:
    NoDelayRunner() : done_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    bool RunAfter(std::chrono::seconds, std::function<void()> work) override {
        return inner_.RunAfter(std::chrono::seconds(0), [this, work = std::move(work)] {
            work();
            ::SetEvent(done_.Get());
        });
    }
    [[nodiscard]] HANDLE Done() const noexcept { return done_.Get(); }

private:
    ThreadpoolDelayedRunner inner_;
    UniqueKernelHandle done_;
};

struct CaptionSearch {
    std::wstring caption;
    HWND found = nullptr;
};

BOOL CALLBACK MatchCaption(HWND child, LPARAM context) {
    auto* search = reinterpret_cast<CaptionSearch*>(context);
    wchar_t text[256] = {};
    ::GetWindowTextW(child, text, 256);
    if (search->caption == text && ::IsWindowVisible(child)) {
        search->found = child;
        return FALSE;
    }
    return TRUE;
}

HWND FindChildByCaption(HWND parent, const std::wstring& caption) {
    CaptionSearch search{caption, nullptr};
    ::EnumChildWindows(parent, &MatchCaption, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Watches the window while a user selects Maximum and presses Apply, until the result is shown.
UiStallResult MeasureWithWindow(Win32::MainWindowView& view, implementation::MainWindow& window,
                                const NoDelayRunner& timer, double probeIntervalMs, double limitMs) {
    UiStallResult result;
    const HWND frame = view.Handle();
    const HWND card = FindChildByCaption(frame, window.MaximumCardButton.Text());
    ResponsivenessProbe probe(frame, probeIntervalMs, 200000);
    if (card == nullptr || !probe.IsAttached()) {
        result.error = card == nullptr ? "the Maximum card was not found" : "the window could not be watched";
        ::DestroyWindow(frame);
        return result;
    }
    std::atomic<double> resultShownAt{0.0};
    probe.onProbe = [&window, &resultShownAt] {
        if (resultShownAt.load() == 0.0 && (window.SuccessPanel.IsShown() || window.FailurePanel.IsShown())) {
            resultShownAt = NowMs();
        }
    };
    probe.Start();
    std::atomic<double> clickedAt{0.0};
    const std::wstring applyCaption = window.ApplyButton.Text();
    // Clicks as a user does, through the window's own messages, and closes the window at the end.
    std::thread driver([&] {
        ::Sleep(300);
        ::PostMessageW(card, BM_CLICK, 0, 0);
        ::Sleep(300);
        const HWND apply = FindChildByCaption(frame, applyCaption);
        if (apply == nullptr) {
            result.error = "the Apply button was not shown";
        } else {
            clickedAt = NowMs();
            ::PostMessageW(apply, BM_CLICK, 0, 0);
            result.completed = ::WaitForSingleObject(timer.Done(), 15 * 60 * 1000) == WAIT_OBJECT_0;
            // The result reaches the screen, then a little idle time.
            for (int i = 0; i < 500 && resultShownAt.load() == 0.0; ++i) {
                ::Sleep(10);
            }
            ::Sleep(300);
        }
        probe.Stop();
        ::PostMessageW(frame, WM_CLOSE, 0, 0);
    });
    view.RunMessageLoop();
    driver.join();
    result.whole = SummarizeProbes(probe.Samples(), probe.StoppedAtMs(), limitMs);
    result.worstAfterClickMs = result.whole.worstPostedMs - clickedAt.load();
    if (resultShownAt.load() > 0.0) {
        result.runMs = resultShownAt.load() - clickedAt.load();
    } else {
        result.completed = false;
    }
    return result;
}

} // namespace

UiStallResult BenchUiStall(double probeIntervalMs, double limitMs) {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                  ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&controls);

    // A user who has accepted the terms and reads English; nothing of this is stored.
    const auto settings = MakeInMemorySettings();
    settings->Insert(SettingKeys::AppLanguage, SettingValue{std::int32_t{1}});
    settings->Insert(SettingKeys::AcceptTermsServices, SettingValue{true});
    LocalizedTextTable texts;
    implementation::PrepareTextTable(texts);
    Win32SystemOperations system;
    NoDelayRunner timer;
    auto view = std::make_unique<Win32::MainWindowView>(::GetModuleHandleW(nullptr));
    view->startAppRemoval = [](std::vector<std::wstring>) { return false; };
    view->restartComputer = [] {}; // never restarts the machine
    auto window = std::make_unique<implementation::MainWindow>(
        implementation::WindowServices{*settings, texts, system, timer, *view, *view});
    UiStallResult result;
    if (view->Create(*window, SW_SHOWNOACTIVATE)) {
        result = MeasureWithWindow(*view, *window, timer, probeIntervalMs, limitMs);
    } else {
        result.error = "the window could not be created";
    }
    // The view first: it detaches itself from the window's controls.
    view.reset();
    window.reset();
    return result;
}

} // namespace Velmora::Bench
