// A second process for the engine tests: runs a profile through the engine and, at the Nth item the run
// reaches, signals the test and waits there, so that the test can end the process at that point.
//   velmora_engine_child PROFILE N EVENT JOURNAL_FOLDER SETTINGS_SUBKEY

#include "engine/windows_engine.h"
#include "settings/local_settings.h"
#include "tweaks/run_controller.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    if (argc != 6) {
        std::fputws(L"usage: velmora_engine_child PROFILE N EVENT JOURNAL_FOLDER SETTINGS_SUBKEY\n", stderr);
        return 2;
    }
    const auto profile = static_cast<Velmora::SettingsProfile>(std::wcstol(argv[1], nullptr, 10));
    const long stopAt = std::wcstol(argv[2], nullptr, 10);
    const HANDLE reached = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[3]);
    const auto settings = Velmora::MakeRegistrySettings(argv[5]);
    Velmora::WindowsEngine engine(*settings, argv[4]);
    const Velmora::RunController controller;
    long items = 0;
    Velmora::RunOptions options;
    options.progress = [&](const Velmora::RunProgress&) {
        if (++items == stopAt) {
            ::SetEvent(reached);
            ::Sleep(INFINITE); // ended here by the test
        }
    };
    const Velmora::RunReport report = Velmora::RunProfile(engine.Services(), controller, profile, options);
    return report.outcome == Velmora::RunOutcome::Succeeded ? 0 : 1;
}
