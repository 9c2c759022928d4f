#include "bench/bench_parts_win32.h"

#include "bench/fixtures_win32.h"
#include "common/win32_handles.h"

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <string_view>

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

struct TextSearch {
    const std::wstring* text = nullptr;
    bool found = false;
};

BOOL CALLBACK ChildShowsText(HWND child, LPARAM context) {
    auto* search = reinterpret_cast<TextSearch*>(context);
    wchar_t text[256] = {};
    ::GetWindowTextW(child, text, 256);
    if (::IsWindowVisible(child) && std::wstring_view(text).find(*search->text) != std::wstring_view::npos) {
        search->found = true;
        return FALSE;
    }
    return TRUE;
}

bool ShowsText(HWND window, const std::wstring& text) {
    TextSearch search{&text, false};
    ::EnumChildWindows(window, &ChildShowsText, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string Narrow(const wchar_t* text) {
    std::string out;
    for (; *text != L'\0'; ++text) {
        out += *text < 0x80 ? static_cast<char>(*text) : '?';
    }
    return out;
}

MemorySnapshot TakeSnapshot(HANDLE process, bool withModules) {
    MemorySnapshot snapshot;
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    if (::GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory)) {
        snapshot.workingSetBytes = static_cast<double>(memory.WorkingSetSize);
        // Wine leaves PrivateUsage at zero; the commit charge it reports is the same figure on Windows.
        snapshot.privateBytes =
            static_cast<double>(memory.PrivateUsage != 0 ? memory.PrivateUsage : memory.PagefileUsage);
    }
    HMODULE modules[512] = {};
    DWORD needed = 0;
    if (withModules && ::EnumProcessModulesEx(process, modules, sizeof modules, &needed, LIST_MODULES_ALL)) {
        const DWORD count = std::min<DWORD>(needed / sizeof(HMODULE), 512);
        for (DWORD i = 0; i < count; ++i) {
            wchar_t name[MAX_PATH] = {};
            MODULEINFO info{};
            if (::GetModuleBaseNameW(process, modules[i], name, MAX_PATH) &&
                ::GetModuleInformation(process, modules[i], &info, sizeof info)) {
                snapshot.modules.emplace_back(Narrow(name), static_cast<double>(info.SizeOfImage));
            }
        }
    }
    return snapshot;
}

struct StartSample {
    double visibleMs = 0.0;
    double paintedMs = 0.0;
    PROCESS_MEMORY_COUNTERS memory{};
    std::optional<MemorySnapshot> atPaint;
    std::optional<MemorySnapshot> afterScan;
    double scannedMs = 0.0;
    bool ok = false;
};

StartSample MeasureOneStart(const std::wstring& exePath, const std::wstring& windowClass,
                            const std::wstring& scanningText, bool withModules) {
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
                sample.atPaint = TakeSnapshot(process.Get(), withModules);
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
        // Then the end of the cards' scan: its note is shown while it reads, polled as the paint was.
        while (!scanningText.empty() && NowMs() - start < 60000.0) {
            if (!ShowsText(window, scanningText)) {
                sample.scannedMs = NowMs() - start;
                ::Sleep(200); // what the counts' arrival itself costs
                sample.afterScan = TakeSnapshot(process.Get(), withModules);
                break;
            }
            ::Sleep(5);
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

StartResult BenchStart(const std::wstring& exePath, const std::wstring& windowClass, int launches,
                       const std::wstring& scanningText) {
    StartResult result;
    for (int i = 0; i < launches; ++i) {
        const bool first = i == 0;
        const StartSample sample = MeasureOneStart(exePath, windowClass, first ? scanningText : L"", first);
        if (!sample.ok) {
            result.error = "no painted window appeared";
            continue;
        }
        result.visibleMs.push_back(sample.visibleMs);
        result.paintedMs.push_back(sample.paintedMs);
        if (first) {
            result.atPaint = sample.atPaint;
            result.afterScan = sample.afterScan;
            result.scannedMs = sample.scannedMs;
        }
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
