#include "app/app.h"

#include "app/app_launch.h"
#include "common/diagnostics.h"
#include "engine/keep_platform_win32.h"
#include "engine/run_lock.h"
#include "engine/windows_engine.h"
#include "settings/local_settings.h"
#include "system/packages.h"
#include "system/restart.h"
#include "system/threadpool_delayed_runner.h"
#include "system/win32_system_operations.h"
#include "ui/main_window.h"
#include "ui/text/localized_text_table.h"
#include "ui/update_notice.h"
#include "ui/win32/main_window_view.h"
#include "ui/win32/update_notice.h"
#include "ui/window_engine.h"
#include "update/background_update_check.h"
#include "update/open_web_page.h"
#include "update/startup_update_check.h"

#include <commctrl.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Velmora::implementation {
namespace {

// The first of the user's preferred UI languages, e.g. "ar-SA" or "en-US"; empty when unknown.
std::wstring FirstPreferredUiLanguage() {
    ULONG count = 0;
    ULONG length = 0;
    if (!::GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &count, nullptr, &length) || length == 0) {
        return {};
    }
    std::wstring buffer(length, L'\0');
    if (!::GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &count, buffer.data(), &length)) {
        return {};
    }
    return std::wstring(buffer.c_str()); // up to the first terminating null
}

} // namespace

int RunApplication(HINSTANCE instance, int showCommand) {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                  ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&controls);

    // Everything the window uses lives until the process ends: an apply run still under way on a
    // worker thread when the window closes keeps using it until the process is gone.
    static const std::unique_ptr<LocalSettingsValues> settings = MakeRegistrySettings();
    static LocalizedTextTable texts;
    static Win32SystemOperations system;
    static ThreadpoolDelayedRunner timer;
    SeedFirstStartSettings(*settings, FirstPreferredUiLanguage());
    PrepareTextTable(texts);

    static Win32::MainWindowView view(instance);
    view.startAppRemoval = [](std::vector<std::wstring> packageNames) {
        return StartAppRemovalThread(std::move(packageNames));
    };
    view.restartComputer = [] { RestartComputer(); };
    view.openLogFolder = [] {
        std::error_code ignored;
        const std::filesystem::path folder = DiagnosticLogFolder();
        std::filesystem::create_directories(folder, ignored);
        if (!folder.empty() && !OpenFolderInExplorer(folder.wstring())) {
            Diagnose(L"The log folder could not be shown: " + folder.wstring());
        }
    };
    // Every run of the window is journaled and preceded by a restore point; the window reads the PC
    // and restores through the same engine.
    static WindowsEngine engine(*settings);
    // Keeping settings in place copies the velmora-cli.exe that came with this program.
    static WindowsKeepPlatform keep(CliBesideRunningProgram());
    // Per-user rows go to the user signed in at this desktop, who may not be the account that elevated:
    // found once, before the first reading of the PC, and not while the window is being made.
    static std::optional<TargetUserSet> windowUsers;
    static EngineForWindow windowEngine(engine.Services(), &keep, [] {
        windowUsers = ResolveWindowTargetUsers(engine.UserHives());
        engine.Services().targetUsers = &*windowUsers;
    });
    // The PC's one run lock: taken on the UI thread when a run or a restore is requested, given back
    // there when its result is shown.
    static RunLock runLock;
    WindowServices services{*settings, texts, system, timer, view, view};
    services.engine = &windowEngine;
    services.claimRun = [] {
        runLock = RunLock::TryAcquire();
        return runLock.Held();
    };
    services.releaseRun = [] { runLock.Release(); };
    static MainWindow window(services);
    // The window's thread has its COM apartment now; System Restore needs to call back into the process.
    InitializeComSecurityForSystemRestore();
    if (!view.Create(window, showCommand)) {
        return 1;
    }
    // Once the window is up, and only when due (once a day), on a thread of its own; a notice opens
    // over the window when it arrives.
    if (const std::optional<UpdateCheckRequest> due = DueStartupUpdateCheck(*settings)) {
        static std::unique_ptr<Win32::UpdateNoticeWindow> notice;
        StartBackgroundUpdateCheck([request = *due] { return RunStartupUpdateCheck(request, *settings); },
                                   view,
                                   [instance](const UpdateOffer& offer) {
                                       notice = std::make_unique<Win32::UpdateNoticeWindow>(
                                           instance, view.Handle(), Win32::CurrentTheme(),
                                           ComposeUpdateNotice(offer, texts), [offer](UpdateChoice choice) {
                                               CarryOutUpdateChoice(choice, offer, *settings, OpenWebPage);
                                           });
                                   });
    }
    const int exitCode = view.RunMessageLoop();
    // Ends the process here, with the window and its run state still alive for any worker thread.
    ::ExitProcess(static_cast<UINT>(exitCode));
}

} // namespace Velmora::implementation
