#include "bench/bench_parts_win32.h"

#include "app/app_launch.h"
#include "bench/fixtures_win32.h"
#include "bench/responsiveness_probe_win32.h"
#include "common/win32_handles.h"
#include "engine/windows_engine.h"
#include "settings/local_settings.h"
#include "system/threadpool_delayed_runner.h"
#include "system/win32_system_operations.h"
#include "ui/main_window.h"
#include "ui/text/localized_text_table.h"
#include "ui/win32/main_window_view.h"
#include "ui/window_engine.h"

#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <functional>
#include <string>
#include <iterator>
#include <memory>
#include <thread>
#include <utility>

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

BOOL CALLBACK MatchOwnedWindow(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<std::pair<HWND, HWND>*>(context);
    if (::GetWindow(window, GW_OWNER) == search->first && ::IsWindowVisible(window)) {
        search->second = window;
        return FALSE;
    }
    return TRUE;
}

// The question the window asks over itself (Apply asks first what a run turns off), or null.
HWND FindOpenQuestion(HWND frame) {
    std::pair<HWND, HWND> search{frame, nullptr};
    ::EnumThreadWindows(::GetWindowThreadProcessId(frame, nullptr), &MatchOwnedWindow,
                        reinterpret_cast<LPARAM>(&search));
    return search.second;
}

// After Apply: answers the question, when one is asked, with its first button as a person goes on, and
// waits for the run to end. False when it did not end within the time.
bool AnswerAndWaitForRun(HWND frame, const NoDelayRunner& timer, std::atomic<double>* answeredAt = nullptr) {
    constexpr int kQuestionButtonId = 101; // the question's own button, before Cancel
    const ULONGLONG until = ::GetTickCount64() + 15 * 60 * 1000;
    bool answered = false;
    while (::GetTickCount64() < until) {
        if (::WaitForSingleObject(timer.Done(), 50) == WAIT_OBJECT_0) {
            return true;
        }
        const HWND question = answered ? nullptr : FindOpenQuestion(frame);
        if (const HWND button = question != nullptr ? ::GetDlgItem(question, kQuestionButtonId) : nullptr) {
            if (answeredAt != nullptr) {
                *answeredAt = NowMs();
            }
            ::PostMessageW(button, BM_CLICK, 0, 0);
            answered = true;
        }
    }
    return false;
}

// Waits up to a minute for `done`.
bool WaitFor(const std::atomic<double>& done) {
    for (int i = 0; i < 6000 && done.load() == 0.0; ++i) {
        ::Sleep(10);
    }
    return done.load() > 0.0;
}

constexpr double kQuestionCloseSpanMs = 2100.0;
constexpr double kProbeSlackMs = 50.0; // a probe posted just before the answer waits through the closing too

// Asks on the window's thread, through its own queue, and waits up to ten seconds for the answer.
bool AskWindow(Win32::MainWindowView& view, std::function<bool()> read) {
    auto answer = std::make_shared<std::atomic<int>>(-1);
    if (!view.TryEnqueue([answer, read = std::move(read)] { *answer = read() ? 1 : 0; })) {
        return false;
    }
    for (int i = 0; i < 1000 && answer->load() < 0; ++i) {
        ::Sleep(10);
    }
    return answer->load() == 1;
}

double OwnWorkingSetBytes() {
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    return ::GetProcessMemoryInfo(::GetCurrentProcess(), &memory, sizeof memory)
               ? static_cast<double>(memory.WorkingSetSize)
               : 0.0;
}

// Watches the window while it scans the PC, a user selects Maximum, reviews it and presses Apply,
// until the result is shown.
UiStallResult MeasureWithWindow(Win32::MainWindowView& view, implementation::MainWindow& window,
                                const NoDelayRunner& timer, double createdAt, double probeIntervalMs,
                                double limitMs, int soakRuns) {
    UiStallResult result;
    const HWND frame = view.Handle();
    const HWND card = FindChildByCaption(frame, window.MaximumCardButton.Text());
    ResponsivenessProbe probe(frame, probeIntervalMs, 200000);
    if (card == nullptr || !probe.IsAttached()) {
        result.error = card == nullptr ? "the Maximum card was not found" : "the window could not be watched";
        ::DestroyWindow(frame);
        return result;
    }
    // Seen on the window's thread at each probe.
    std::atomic<double> resultShownAt{0.0};
    std::atomic<double> scannedAt{0.0};
    std::atomic<double> plannedAt{0.0};
    std::atomic<double> endedAt{0.0};
    std::size_t lastDone = 0;
    probe.onProbe = [&] {
        const double now = NowMs();
        if (scannedAt.load() == 0.0 && window.pcStatus) {
            scannedAt = now;
        }
        if (plannedAt.load() == 0.0 && window.reviewPlan) {
            plannedAt = now;
        }
        if (window.progress && window.progress->done != lastDone) {
            lastDone = window.progress->done;
            ++result.progressShown;
        }
        if (resultShownAt.load() == 0.0 && (window.SuccessPanel.IsShown() || window.FailurePanel.IsShown())) {
            resultShownAt = now;
        }
        if (endedAt.load() == 0.0 && resultShownAt.load() > 0.0 &&
            window.activity == implementation::WindowActivity::None) {
            endedAt = now; // closing now asks nothing
        }
    };
    probe.Start();
    std::atomic<double> clickedAt{0.0};
    std::atomic<double> answeredAt{0.0};
    std::atomic<double> reviewAt{0.0};
    const std::wstring applyCaption = window.ApplyButton.Text();
    const std::wstring reviewCaption = window.ReviewButton.Text();
    const std::wstring tryAgainCaption = window.TryAgainButton.Text();
    const std::wstring doneCaption = window.DoneButton.Text();
    const std::wstring reapplyCaption = window.ReapplyButton.Text();
    // The same window runs the profile again and again, as a person does with Try Again after a failure or
    // Done and Reapply after a success; its memory is read after each run.
    const auto runAgain = [&] {
        ::ResetEvent(timer.Done());
        const bool failed = AskWindow(view, [&] { return window.FailurePanel.IsShown(); });
        if (failed) {
            ::PostMessageW(FindChildByCaption(frame, tryAgainCaption), BM_CLICK, 0, 0);
        } else {
            ::PostMessageW(FindChildByCaption(frame, doneCaption), BM_CLICK, 0, 0);
            ::Sleep(300);
            const HWND reapply = FindChildByCaption(frame, reapplyCaption);
            ::PostMessageW(reapply != nullptr ? reapply : FindChildByCaption(frame, applyCaption), BM_CLICK,
                           0, 0);
        }
        if (!AnswerAndWaitForRun(frame, timer)) {
            return false;
        }
        for (int i = 0; i < 600; ++i) {
            if (AskWindow(view, [&] {
                    return window.activity == implementation::WindowActivity::None &&
                           (window.SuccessPanel.IsShown() || window.FailurePanel.IsShown());
                })) {
                ::Sleep(300);
                result.soakWorkingSetBytes.push_back(OwnWorkingSetBytes());
                return true;
            }
            ::Sleep(100);
        }
        return false;
    };
    // Clicks as a user does, through the window's own messages, and closes the window at the end.
    std::thread driver([&] {
        WaitFor(scannedAt);
        ::PostMessageW(card, BM_CLICK, 0, 0);
        ::Sleep(300);
        reviewAt = NowMs();
        ::PostMessageW(FindChildByCaption(frame, reviewCaption), BM_CLICK, 0, 0);
        WaitFor(plannedAt);
        ::Sleep(300);
        const HWND apply = FindChildByCaption(frame, applyCaption);
        if (apply == nullptr) {
            result.error = "the Apply button was not shown";
        } else {
            clickedAt = NowMs();
            ::PostMessageW(apply, BM_CLICK, 0, 0);
            result.completed = AnswerAndWaitForRun(frame, timer, &answeredAt);
            // The result reaches the screen, then a little idle time.
            WaitFor(endedAt);
            ::Sleep(300);
        }
        probe.Stop();
        if (result.completed) {
            result.soakWorkingSetBytes.push_back(OwnWorkingSetBytes());
            for (int run = 1; run < soakRuns; ++run) {
                if (!runAgain()) {
                    result.error = "run " + std::to_string(run + 1) + " of the soak did not end";
                    break;
                }
            }
        }
        ::PostMessageW(frame, WM_CLOSE, 0, 0);
    });
    view.RunMessageLoop();
    driver.join();
    const std::vector<ProbeSample> samples = probe.Samples();
    result.whole = SummarizeProbes(samples, probe.StoppedAtMs(), limitMs);
    std::vector<ProbeSample> fromClick;
    std::copy_if(samples.begin(), samples.end(), std::back_inserter(fromClick),
                 [&](const ProbeSample& sample) { return sample.postedMs >= clickedAt.load(); });
    result.run = SummarizeProbes(fromClick, probe.StoppedAtMs(), limitMs);
    // Closing the question, a captioned window, Wine's X11 driver waits up to 2 s for a window manager to
    // take it off the screen; Xvfb has none. What the window itself does is measured around that span.
    const auto closing = [&](const ProbeSample& sample) {
        return answeredAt.load() > 0.0 && sample.postedMs >= answeredAt.load() - kProbeSlackMs &&
               sample.postedMs < answeredAt.load() + kQuestionCloseSpanMs;
    };
    std::vector<ProbeSample> around;
    std::vector<ProbeSample> during;
    for (const ProbeSample& sample : samples) {
        (closing(sample) ? during : around).push_back(sample);
    }
    result.wholeOutsideClosing = SummarizeProbes(around, probe.StoppedAtMs(), limitMs);
    result.questionClosing = SummarizeProbes(during, probe.StoppedAtMs(), limitMs);
    std::vector<ProbeSample> runAround;
    std::copy_if(around.begin(), around.end(), std::back_inserter(runAround),
                 [&](const ProbeSample& sample) { return sample.postedMs >= clickedAt.load(); });
    result.runOutsideClosing = SummarizeProbes(runAround, probe.StoppedAtMs(), limitMs);
    result.worstAfterClickMs = result.whole.worstPostedMs - clickedAt.load();
    result.scanMs = scannedAt.load() > 0.0 ? scannedAt.load() - createdAt : 0.0;
    result.planMs = plannedAt.load() > 0.0 ? plannedAt.load() - reviewAt.load() : 0.0;
    if (resultShownAt.load() > 0.0) {
        result.runMs = resultShownAt.load() - clickedAt.load();
    } else {
        result.completed = false;
    }
    return result;
}

} // namespace

UiStallResult BenchUiStall(double probeIntervalMs, double limitMs, int soakRuns) {
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
    // The program's engine: the run is journaled and tells the window its progress.
    WindowsEngine engine(*settings);
    EngineForWindow windowEngine(engine.Services());
    auto view = std::make_unique<Win32::MainWindowView>(::GetModuleHandleW(nullptr));
    view->startAppRemoval = [](std::vector<std::wstring>) { return false; };
    view->restartComputer = [] {}; // never restarts the machine
    implementation::WindowServices services{*settings, texts, system, timer, *view, *view};
    services.engine = &windowEngine;
    const double createdAt = NowMs();
    auto window = std::make_unique<implementation::MainWindow>(services);
    UiStallResult result;
    if (view->Create(*window, SW_SHOWNOACTIVATE)) {
        result = MeasureWithWindow(*view, *window, timer, createdAt, probeIntervalMs, limitMs, soakRuns);
    } else {
        result.error = "the window could not be created";
    }
    // The view first: it detaches itself from the window's controls.
    view.reset();
    window.reset();
    return result;
}

} // namespace Velmora::Bench
