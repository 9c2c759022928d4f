// A stand-in for the console programs the command lists call (powershell, netsh, w32tm): the Wine
// test installs copies of it under those names in the test prefix. Each start appends one record
// to the file named by VELMORA_RECORDER_LOG and exits with VELMORA_RECORDER_EXIT_CODE (default 0).
//
// Record, one line of UTF-8, fields separated by tabs:
//   program file name, own command line, parent process id, parent command line,
//   startup flags, show-window value, own process id, own thread id

#include "common/text_encoding.h"
#include "common/win32_handles.h"

#include <tlhelp32.h>
#include <winternl.h>

#include <cwchar>
#include <string>

namespace {

using namespace Velmora;

HANDLE ValidOrEmpty(HANDLE handle) {
    return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
}

std::wstring Environment(const wchar_t* name) {
    wchar_t buffer[1024];
    const DWORD length = ::GetEnvironmentVariableW(name, buffer, 1024);
    return length == 0 || length >= 1024 ? std::wstring() : std::wstring(buffer, length);
}

std::wstring OwnFileName() {
    wchar_t path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring full(path, length);
    const size_t slash = full.find_last_of(L"\\/");
    return slash == std::wstring::npos ? full : full.substr(slash + 1);
}

DWORD ParentProcessId() {
    UniqueKernelHandle snapshot(ValidOrEmpty(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0)));
    if (!snapshot) {
        return 0;
    }
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    const DWORD self = ::GetCurrentProcessId();
    for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more;
         more = ::Process32NextW(snapshot.Get(), &entry)) {
        if (entry.th32ProcessID == self) {
            return entry.th32ParentProcessID;
        }
    }
    return 0;
}

// The command line the parent was started with, read from its process parameters.
std::wstring ProcessCommandLine(DWORD processId) {
    UniqueKernelHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
    if (!process) {
        return L"?";
    }
    PROCESS_BASIC_INFORMATION basic{};
    if (::NtQueryInformationProcess(process.Get(), ProcessBasicInformation, &basic, sizeof basic, nullptr) !=
        0) {
        return L"?";
    }
    PEB peb{};
    RTL_USER_PROCESS_PARAMETERS parameters{};
    if (!::ReadProcessMemory(process.Get(), basic.PebBaseAddress, &peb, sizeof peb, nullptr) ||
        !::ReadProcessMemory(process.Get(), peb.ProcessParameters, &parameters, sizeof parameters, nullptr)) {
        return L"?";
    }
    std::wstring text(parameters.CommandLine.Length / sizeof(wchar_t), L'\0');
    if (!::ReadProcessMemory(process.Get(), parameters.CommandLine.Buffer, text.data(),
                             parameters.CommandLine.Length, nullptr)) {
        return L"?";
    }
    return text;
}

void Append(const std::wstring& logPath, const std::wstring& record) {
    UniqueKernelHandle file(
        ValidOrEmpty(::CreateFileW(logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)));
    if (!file) {
        return;
    }
    const std::string bytes = ToUtf8(record);
    DWORD written = 0;
    ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

} // namespace

int wmain() {
    const std::wstring logPath = Environment(L"VELMORA_RECORDER_LOG");
    if (!logPath.empty()) {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        ::GetStartupInfoW(&startup);
        const DWORD parent = ParentProcessId();
        Append(logPath, OwnFileName() + L"\t" + ::GetCommandLineW() + L"\t" + std::to_wstring(parent) +
                            L"\t" + ProcessCommandLine(parent) + L"\t" + std::to_wstring(startup.dwFlags) +
                            L"\t" + std::to_wstring(startup.wShowWindow) + L"\t" +
                            std::to_wstring(::GetCurrentProcessId()) + L"\t" +
                            std::to_wstring(::GetCurrentThreadId()) + L"\n");
    }
    const std::wstring exitCode = Environment(L"VELMORA_RECORDER_EXIT_CODE");
    return exitCode.empty() ? 0 : static_cast<int>(std::wcstoul(exitCode.c_str(), nullptr, 10));
}
