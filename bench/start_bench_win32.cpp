#include "bench/bench_parts_win32.h"

#include "bench/fixtures_win32.h"
#include "common/win32_handles.h"

#include <psapi.h>

#include <cstdio>

namespace Velmora::Bench {
namespace {

struct WindowSearch {
    DWORD processId = 0;
    const std::wstring* windowClass = nullptr;
    HWND found = nullptr;
};

BOOL CALLBACK MatchTopLevel(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<WindowSearch*>(context);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    wchar_t name[128] = {};
    ::GetClassNameW(window, name, 128);
    if (owner == search->processId && *search->windowClass == name) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindProcessWindow(DWORD processId, const std::wstring& windowClass) {
    WindowSearch search{processId, &windowClass, nullptr};
    ::EnumWindows(&MatchTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

BOOL CALLBACK ChildWaitsForPaint(HWND child, LPARAM context) {
    if (::IsWindowVisible(child) && ::GetUpdateRect(child, nullptr, FALSE)) {
        *reinterpret_cast<bool*>(context) = true;
        return FALSE;
    }
    return TRUE;
}

// Shown, and neither the window nor any of its shown controls has anything left to paint.
bool IsPainted(HWND window) {
    if (!::IsWindowVisible(window) || ::GetUpdateRect(window, nullptr, FALSE)) {
        return false;
    }
    bool pending = false;
    ::EnumChildWindows(window, &ChildWaitsForPaint, reinterpret_cast<LPARAM>(&pending));
    return !pending;
}

struct StartSample {
    double visibleMs = 0.0;
    double paintedMs = 0.0;
    PROCESS_MEMORY_COUNTERS memory{};
    bool ok = false;
};

StartSample MeasureOneStart(const std::wstring& exePath, const std::wstring& windowClass) {
    StartSample sample;
    std::wstring commandLine = L"\"" + exePath + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION created{};
    const double start = NowMs();
    if (!::CreateProcessW(exePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &created)) {
        return sample;
    }
    const UniqueKernelHandle process(created.hProcess);
    const UniqueKernelHandle thread(created.hThread);
    HWND window = nullptr;
    // Polled every millisecond; the figures are as fine as the poll.
    while (NowMs() - start < 30000.0) {
        if (window == nullptr) {
            window = FindProcessWindow(created.dwProcessId, windowClass);
        }
        if (window != nullptr && ::IsWindowVisible(window)) {
            const double now = NowMs();
            if (sample.visibleMs == 0.0) {
                sample.visibleMs = now - start;
            }
            if (IsPainted(window)) {
                sample.paintedMs = now - start;
                sample.ok = true;
                break;
            }
        }
        if (::WaitForSingleObject(process.Get(), 1) == WAIT_OBJECT_0) {
            break; // it ended before it painted
        }
    }
    if (sample.ok) {
        // The memory it settles at once started; the first paint is not its peak.
        ::Sleep(1000);
        sample.memory.cb = sizeof sample.memory;
        if (!::GetProcessMemoryInfo(process.Get(), &sample.memory, sizeof sample.memory)) {
            sample.memory = {};
        }
    }
    if (window != nullptr) {
        ::PostMessageW(window, WM_CLOSE, 0, 0);
    }
    if (::WaitForSingleObject(process.Get(), 10000) != WAIT_OBJECT_0) {
        ::TerminateProcess(process.Get(), 1);
        ::WaitForSingleObject(process.Get(), 5000);
    }
    return sample;
}

} // namespace

StartResult BenchStart(const std::wstring& exePath, const std::wstring& windowClass, int launches) {
    StartResult result;
    for (int i = 0; i < launches; ++i) {
        const StartSample sample = MeasureOneStart(exePath, windowClass);
        if (!sample.ok) {
            result.error = "no painted window appeared";
            continue;
        }
        result.visibleMs.push_back(sample.visibleMs);
        result.paintedMs.push_back(sample.paintedMs);
        if (sample.memory.cb != 0) {
            result.workingSetBytes.push_back(static_cast<double>(sample.memory.WorkingSetSize));
        }
    }
    return result;
}

std::optional<double> FileBytes(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        return std::nullopt;
    }
    return static_cast<double>((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

std::optional<std::vector<std::string>> NonSystemImports(const std::wstring& path) {
    const auto bytes = ReadWholeFile(path);
    const auto imports = bytes ? ImportedDllNames(*bytes) : std::nullopt;
    const std::wstring system = SystemFolderPath();
    if (!imports || system.empty()) {
        return std::nullopt;
    }
    std::vector<std::string> foreign;
    for (const std::string& name : *imports) {
        const std::wstring candidate = system + L"\\" + std::wstring(name.begin(), name.end());
        if (::GetFileAttributesW(candidate.c_str()) == INVALID_FILE_ATTRIBUTES) {
            foreign.push_back(name);
        }
    }
    return foreign;
}

std::wstring ExecutableFolder() {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    const size_t slash = folder.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring(L".") : folder.substr(0, slash);
}

} // namespace Velmora::Bench
