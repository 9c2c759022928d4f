// Process entry of velmora-cli.exe: the Windows side of the commands (console, Ctrl+C, the run lock,
// the report file, the app removal, the restart) over the engine the window uses.

#include "cli/cli.h"
#include "cli/elevation.h"
#include "cli/exit_codes.h"
#include "cli/process_user.h"
#include "cli/report_path.h"
#include "cli/report_path_win32.h"
#include "common/diagnostics.h"
#include "common/text_encoding.h"
#include "engine/choices.h"
#include "engine/keep_platform_win32.h"
#include "engine/run_lock.h"
#include "engine/windows_engine.h"
#include "settings/local_settings.h"
#include "system/packages.h"
#include "system/plain_file.h"
#include "system/restart.h"

#include <windows.h>

#include <atomic>
#include <thread>
#include <vector>

namespace Velmora::Cli {
namespace {

std::atomic<bool> cancelRequested{false};
// Set once the command has ended and given back what it held (other users' hives above all).
HANDLE commandEnded = nullptr;
// How long closing the console, signing out or shutting down waits for that: Windows ends the process
// a few seconds after the event in any case.
constexpr DWORD kCloseWaitMs = 4000;

// For the whole life of the process: no event ends it before the command has stopped at its next safe
// point (between two items of a run or a restore, or after a plan) and unloaded the hives it loaded.
// The default handler would end it at once, and a hive left loaded keeps its user from their own
// profile until the next restart.
BOOL WINAPI OnConsoleControl(DWORD event) {
    cancelRequested = true;
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && commandEnded != nullptr) {
        ::WaitForSingleObject(commandEnded, kCloseWaitMs);
    }
    return TRUE;
}

// One standard stream: the console in UTF-16 when it is one, otherwise UTF-8 bytes (a pipe or a file).
class OutputStream {
public:
    explicit OutputStream(DWORD which) : handle_(::GetStdHandle(which)) {
        DWORD mode = 0;
        console_ = handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle_, &mode);
    }
    [[nodiscard]] bool IsConsole() const { return console_; }
    void Write(std::wstring_view text) const {
        if (handle_ == nullptr || handle_ == INVALID_HANDLE_VALUE || text.empty()) {
            return;
        }
        DWORD written = 0;
        if (console_) {
            ::WriteConsoleW(handle_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
            return;
        }
        const std::string bytes = ToUtf8(text);
        ::WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }

private:
    HANDLE handle_;
    bool console_ = false;
};

class WindowsCliPlatform final : public CliPlatform {
public:
    WindowsCliPlatform()
        : settings_(MakeRegistrySettings()), engine_(*settings_, {}, FileOwnerSid, UserSeams()) {}

    bool Elevated() override { return ProcessIsElevated(); }

    RunClaim ClaimRun() override {
        auto lock = std::make_shared<RunLock>(RunLock::TryAcquire());
        switch (lock->State()) {
        case RunLockState::Held:
            return {ClaimOutcome::Held, 0, lock, {}};
        case RunLockState::Busy:
            return {ClaimOutcome::Busy, 0, nullptr, {}};
        case RunLockState::NotHeld:
        case RunLockState::Untrusted:
        case RunLockState::Failed:
            break;
        }
        return {ClaimOutcome::Failed, lock->Error(), nullptr, lock->Problem()};
    }

    EngineServices& Engine() override { return engine_.Services(); }
    KeepPlatform& Keep() override { return keep_; }
    std::wstring JournalFolder() override { return engine_.Journals().Folder(); }

    std::wstring FullPath(const std::wstring& path) override {
        if (path.empty()) {
            return {};
        }
        std::wstring full(MAX_PATH, L'\0');
        DWORD length =
            ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (length >= full.size()) {
            full.resize(length);
            length = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        }
        full.resize(length < full.size() ? length : 0);
        return full;
    }

    bool CheckReportPath(const std::wstring& path, std::wstring& error) override {
        if (const auto why = WhyNotAReportPath(path)) {
            error = *why;
            return false;
        }
        return CheckReportPathOnDisk(path, error);
    }

    bool ReadChoicesFile(const std::wstring& path, std::string& text, std::wstring& error) override {
        return ReadPlainFile(path, kMaxChoicesFileBytes, text, error);
    }

    bool WriteReport(const std::wstring& path, const std::string& document, std::wstring& error) override {
        if (const auto why = WhyNotAReportPath(path)) {
            error = *why;
            return false;
        }
        return WriteReportFile(path, document, error);
    }

    void WriteOut(std::wstring_view text) override { out_.Write(text); }
    void WriteError(std::wstring_view text) override { err_.Write(text); }

    void ShowProgress(std::wstring_view line) override {
        if (!err_.IsConsole()) {
            return;
        }
        std::wstring text = L"\r" + std::wstring(line);
        if (line.size() < shownLength_) {
            text.append(shownLength_ - line.size(), L' ');
        }
        text += line.empty() ? L"\r" : L"";
        shownLength_ = line.size();
        err_.Write(text);
    }

    const std::atomic<bool>& CancelRequested() override { return cancelRequested; }

    bool StartAppRemoval(std::vector<std::wstring> packageNames) override {
        try {
            removal_ = std::thread(
                [names = std::move(packageNames)]() mutable { AppRemovalThread(std::move(names)); });
            return true;
        } catch (...) {
            return false;
        }
    }
    void FinishAppRemoval() override {
        if (removal_.joinable()) {
            removal_.join();
        }
    }

    bool RestartComputer(std::wstring& refusal) override {
        const DWORD error = Velmora::RestartComputer();
        refusal = L"error " + std::to_wstring(error) + L": " + SystemErrorText(error);
        return error == ERROR_SUCCESS;
    }

    ~WindowsCliPlatform() override { FinishAppRemoval(); }

private:
    static UserHiveSeams UserSeams() {
        UserHiveSeams seams;
        if (std::wstring sid = ProcessUserInPlaceOfToken(); !sid.empty()) {
            seams.processUser = [sid] { return sid; };
        }
        return seams;
    }

    std::unique_ptr<LocalSettingsValues> settings_;
    WindowsEngine engine_;
    OutputStream out_{STD_OUTPUT_HANDLE};
    OutputStream err_{STD_ERROR_HANDLE};
    std::size_t shownLength_ = 0;
    std::thread removal_;
    WindowsKeepPlatform keep_{RunningProgramPath()};
};

} // namespace
} // namespace Velmora::Cli

int wmain(int argc, wchar_t** argv) {
    const Velmora::UniqueKernelHandle ended(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    Velmora::Cli::commandEnded = ended.Get();
    ::SetConsoleCtrlHandler(&Velmora::Cli::OnConsoleControl, TRUE);
    std::vector<std::wstring> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    int code = Velmora::Cli::kExitFailed;
    try {
        Velmora::Cli::WindowsCliPlatform platform;
        // COM for the task scheduler and the package manager, once for the whole process.
        const Velmora::ComApartment apartment = Velmora::InitializeComApartment(COINIT_MULTITHREADED);
        Velmora::InitializeComSecurityForSystemRestore();
        code = Velmora::Cli::RunCli(args, platform);
        // Every hive the command loaded is unloaded by now; only an app removal may still be waited for.
        ::SetEvent(ended.Get());
    } catch (...) {
        ::SetEvent(ended.Get());
    }
    return code;
}
