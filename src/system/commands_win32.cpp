#include "system/commands.h"

#include "common/diagnostics.h"
#include "common/win32_handles.h"

namespace Velmora {
namespace {

// The interpreter's own copy in the system folder. The command line still names it by its short
// name, but the elevated program never picks up a "cmd.exe" or "powershell.exe" lying next to it or
// in its current folder.
std::wstring SystemFolder() {
    wchar_t buffer[MAX_PATH];
    const UINT length = ::GetSystemDirectoryW(buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return {};
    }
    return std::wstring(buffer, length);
}

// Starts the command line hidden, without redirection, and waits for the child to end.
std::uint32_t RunHidden(std::wstring commandLine, const wchar_t* interpreter, const wchar_t* failureLine) {
    const std::wstring systemFolder = SystemFolder();
    if (systemFolder.empty()) {
        Diagnose(failureLine + std::to_wstring(::GetLastError()));
        return kNoExitCode;
    }
    const std::wstring application = systemFolder + L"\\" + interpreter;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION created{};
    // The child starts in the system folder too, so the interpreter does not look for the commands
    // it runs in whatever folder the program was started from.
    if (!::CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                          nullptr, systemFolder.c_str(), &startup, &created)) {
        Diagnose(failureLine + std::to_wstring(::GetLastError()));
        return kNoExitCode;
    }
    UniqueKernelHandle process(created.hProcess);
    UniqueKernelHandle thread(created.hThread);
    // An exit code that cannot be read is no exit code: 0 would claim that every command succeeded.
    DWORD exitCode = kNoExitCode;
    if (::WaitForSingleObject(process.Get(), INFINITE) != WAIT_OBJECT_0 ||
        !::GetExitCodeProcess(process.Get(), &exitCode)) {
        Diagnose(L"Failed to read the exit code of " + std::wstring(interpreter) + L". Error: " +
                 std::to_wstring(::GetLastError()));
        exitCode = kNoExitCode;
    }
    process.Reset();
    thread.Reset();
    return exitCode;
}

} // namespace

std::uint32_t RunCmdCommands(const std::vector<std::wstring>& commands) {
    std::optional<std::wstring> commandLine = BuildCmdCommandLine(commands);
    if (!commandLine) {
        return kNoExitCode;
    }
    return RunHidden(std::move(*commandLine), L"cmd.exe", L"Failed to create process. Error: ");
}

std::uint32_t RunPowerShellCommands(const std::vector<std::wstring>& commands) {
    std::optional<std::wstring> commandLine = BuildPowerShellCommandLine(commands);
    if (!commandLine) {
        return kNoExitCode;
    }
    return RunHidden(std::move(*commandLine), L"WindowsPowerShell\\v1.0\\powershell.exe",
                     L"Failed to create PowerShell process. Error: ");
}

} // namespace Velmora
