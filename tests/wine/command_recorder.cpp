// A stand-in for the console programs the command lists call (powershell, netsh, w32tm): the command
// test installs copies of it under those names in the test prefix under Wine, and on Windows has Windows
// start it in their place as "<stand-in> --as NAME <their command line>". Each start appends one record
// to the file named by VELMORA_RECORDER_LOG and exits with VELMORA_RECORDER_EXIT_CODE (default 0).
//
// Record, one line of UTF-8, fields separated by tabs:
//   program file name, own command line, parent process id, startup flags, show-window value,
//   own thread id

#include "common/text_encoding.h"
#include "common/win32_handles.h"

#include <tlhelp32.h>

#include <cwchar>
#include <string>

namespace {

using namespace Velmora;

std::wstring Environment(const wchar_t* name) {
    wchar_t buffer[1024];
    const DWORD length = ::GetEnvironmentVariableW(name, buffer, 1024);
    return length == 0 || length >= 1024 ? std::wstring() : std::wstring(buffer, length);
}

DWORD ParentProcessId() {
    const UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = snapshot && ::Process32FirstW(snapshot.Get(), &entry); more;
         more = ::Process32NextW(snapshot.Get(), &entry)) {
        if (entry.th32ProcessID == ::GetCurrentProcessId()) {
            return entry.th32ParentProcessID;
        }
    }
    return 0;
}

} // namespace

int wmain() {
    const std::wstring logPath = Environment(L"VELMORA_RECORDER_LOG");
    const UniqueFileHandle log(::CreateFileW(logPath.c_str(), FILE_APPEND_DATA,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!logPath.empty() && log) {
        wchar_t path[MAX_PATH];
        const std::wstring own(path, ::GetModuleFileNameW(nullptr, path, MAX_PATH));
        std::wstring program = own.substr(own.find_last_of(L'\\') + 1);
        std::wstring commandLine = ::GetCommandLineW();
        if (const std::size_t as = commandLine.find(L" --as "); as != std::wstring::npos) {
            const std::size_t end = commandLine.find(L' ', as + 6);
            program = commandLine.substr(as + 6, end - (as + 6));
            commandLine = end == std::wstring::npos ? std::wstring() : commandLine.substr(end + 1);
        }
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        ::GetStartupInfoW(&startup);
        const std::string record =
            ToUtf8(program + L"\t" + commandLine + L"\t" + std::to_wstring(ParentProcessId()) + L"\t" +
                   std::to_wstring(startup.dwFlags) + L"\t" + std::to_wstring(startup.wShowWindow) + L"\t" +
                   std::to_wstring(::GetCurrentThreadId()) + L"\n");
        DWORD written = 0;
        ::WriteFile(log.Get(), record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
    }
    const std::wstring exitCode = Environment(L"VELMORA_RECORDER_EXIT_CODE");
    return exitCode.empty() ? 0 : static_cast<int>(std::wcstoul(exitCode.c_str(), nullptr, 10));
}
