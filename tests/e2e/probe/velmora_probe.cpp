// velmora_probe: the end-to-end tests' eyes inside the Windows session. It finds top-level windows
// and their controls by caption (window text) and prints their state as one JSON object per line.
// Clicking is done from outside with real X input (xdotool), at the rectangle reported here.
//
//   velmora_probe wait-window TITLE [TIMEOUT_MS]   the top-level window, once it is visible
//   velmora_probe find TITLE CAPTION [TIMEOUT_MS]  a control of that window by exact caption or "class:NAME"
//   velmora_probe list TITLE                       every control of that window
//   velmora_probe focus TITLE                      the control of that window with the keyboard focus
//   velmora_probe rows TITLE CAPTION               the rows of that list view, one JSON array of cells a line
//   velmora_probe close TITLE                      asks the window to close (WM_CLOSE)
//   velmora_probe record FILE TEXT                 appends TEXT and a line end to FILE (as a URL handler)
//
// Captions may be given as "hex:" followed by UTF-8 bytes in hex, independent of the locale.

#include "common/text_encoding.h"
#include "common/win32_handles.h"

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Velmora::FromUtf8;
using Velmora::ToUtf8;

std::wstring DecodeArgument(const std::wstring& argument) {
    if (!argument.starts_with(L"hex:")) {
        return argument;
    }
    std::string bytes;
    for (size_t i = 4; i + 1 < argument.size(); i += 2) {
        bytes += static_cast<char>(std::stoi(argument.substr(i, 2), nullptr, 16));
    }
    return FromUtf8(bytes);
}

std::wstring ClassName(HWND window) {
    wchar_t name[256] = {};
    ::GetClassNameW(window, name, 256);
    return name;
}

// A window's caption as the system keeps it, which asks nothing of a window that may be busy; an edit
// control keeps its text itself, so that one is asked for it (with a time limit).
std::wstring WindowText(HWND window) {
    if (ClassName(window) == L"Edit") {
        DWORD_PTR length = 0;
        if (!::SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length)) {
            return {};
        }
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        DWORD_PTR copied = 0;
        ::SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                              SMTO_ABORTIFHUNG, 2000, &copied);
        text.resize(std::min(static_cast<size_t>(copied), text.size() - 1));
        return text;
    }
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

// Quotes and backslashes escaped, control characters written as \u escapes.
std::string JsonString(const std::wstring& text) {
    std::string out = "\"";
    for (const char c : ToUtf8(text)) {
        if (c == '"' || c == '\\') {
            out += {'\\', c};
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

bool IsRightToLeft(HWND window) {
    for (HWND current = window; current != nullptr; current = ::GetParent(current)) {
        if ((::GetWindowLongPtrW(current, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0) {
            return true;
        }
    }
    return false;
}

// "null" for anything that cannot be checked.
const char* CheckState(HWND window) {
    const auto type = ::GetWindowLongPtrW(window, GWL_STYLE) & BS_TYPEMASK;
    if (ClassName(window) != L"Button" || (type != BS_CHECKBOX && type != BS_AUTOCHECKBOX)) {
        return "null";
    }
    return ::SendMessageW(window, BM_GETCHECK, 0, 0) == BST_CHECKED ? "true" : "false";
}

void PrintWindow(HWND window) {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    std::printf("{\"found\":true,\"class\":%s,\"text\":%s,\"visible\":%s,\"enabled\":%s,\"checked\":%s,"
                "\"rect\":[%ld,%ld,%ld,%ld],\"rtl\":%s}\n",
                JsonString(ClassName(window)).c_str(), JsonString(WindowText(window)).c_str(),
                ::IsWindowVisible(window) ? "true" : "false", ::IsWindowEnabled(window) ? "true" : "false",
                CheckState(window), rect.left, rect.top, rect.right, rect.bottom,
                IsRightToLeft(window) ? "true" : "false");
    std::fflush(stdout);
}

struct Search {
    std::wstring text;
    std::vector<HWND> found;
};

// A text "class:NAME" matches the window class instead of the caption.
BOOL CALLBACK Collect(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<Search*>(parameter);
    const bool byClass = search->text.starts_with(L"class:");
    if ((byClass ? L"class:" + ClassName(window) : WindowText(window)) == search->text) {
        search->found.push_back(window);
    }
    return TRUE;
}

// The visible window of that text, top-level or inside `parent`; for a control, an invisible one
// when no visible one has it (pages that are collapsed keep their captions).
HWND Find(HWND parent, const std::wstring& text) {
    Search search{text, {}};
    if (parent == nullptr) {
        ::EnumWindows(&Collect, reinterpret_cast<LPARAM>(&search));
    } else {
        ::EnumChildWindows(parent, &Collect, reinterpret_cast<LPARAM>(&search));
    }
    for (HWND window : search.found) {
        if (::IsWindowVisible(window)) {
            return window;
        }
    }
    return parent == nullptr || search.found.empty() ? nullptr : search.found.front();
}

HWND WaitFor(HWND parent, const std::wstring& text, DWORD timeoutMs) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    HWND window = Find(parent, text);
    while (window == nullptr && ::GetTickCount64() < deadline) {
        ::Sleep(50);
        window = Find(parent, text);
    }
    return window;
}

// A list view keeps its rows in its own process: each cell is asked for into memory lent there.
void PrintRows(HWND list) {
    DWORD processId = 0;
    ::GetWindowThreadProcessId(list, &processId);
    const Velmora::UniqueKernelHandle process(
        ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId));
    constexpr int kChars = 1024;
    auto* lent = static_cast<char*>(
        ::VirtualAllocEx(process.Get(), nullptr, sizeof(LVITEMW) + kChars * 2, MEM_COMMIT, PAGE_READWRITE));
    const auto rows = ::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
    const auto columns = ::SendMessageW(ListView_GetHeader(list), HDM_GETITEMCOUNT, 0, 0);
    const bool checks = (::SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_CHECKBOXES) != 0;
    for (LRESULT row = 0; lent != nullptr && row < rows; ++row) {
        std::string line = "[";
        for (LRESULT column = 0; column < columns; ++column) {
            LVITEMW item{};
            item.iSubItem = static_cast<int>(column);
            item.cchTextMax = kChars;
            item.pszText = reinterpret_cast<wchar_t*>(lent + sizeof(LVITEMW));
            wchar_t text[kChars] = {};
            ::WriteProcessMemory(process.Get(), lent, &item, sizeof item, nullptr);
            ::SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(lent));
            ::ReadProcessMemory(process.Get(), item.pszText, text, sizeof text - 2, nullptr);
            line += column == 0 ? "" : ",";
            line += JsonString(text);
        }
        if (checks) { // the row's check box last: ticked, clear, or null for a row without one
            const auto image =
                ::SendMessageW(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_STATEIMAGEMASK) >> 12;
            line += image == 2 ? ",true" : image == 1 ? ",false" : ",null";
        }
        std::printf("%s]\n", line.c_str());
    }
    ::VirtualFreeEx(process.Get(), lent, 0, MEM_RELEASE);
    std::fflush(stdout);
}

// Where a row's text is on screen, scrolled into view first as a person would; for a click on it.
void PrintRowRect(HWND list, int row) {
    DWORD processId = 0;
    ::GetWindowThreadProcessId(list, &processId);
    const Velmora::UniqueKernelHandle process(
        ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId));
    auto* lent = static_cast<RECT*>(
        ::VirtualAllocEx(process.Get(), nullptr, sizeof(RECT), MEM_COMMIT, PAGE_READWRITE));
    RECT rect{LVIR_LABEL, 0, 0, 0};
    ::SendMessageW(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
    const bool read =
        lent != nullptr && ::WriteProcessMemory(process.Get(), lent, &rect, sizeof rect, nullptr) &&
        ::SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(lent)) &&
        ::ReadProcessMemory(process.Get(), lent, &rect, sizeof rect, nullptr);
    if (lent != nullptr) {
        ::VirtualFreeEx(process.Get(), lent, 0, MEM_RELEASE);
    }
    if (!read) {
        std::printf("{\"found\":false}\n");
        return;
    }
    ::MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    std::printf(
        "{\"found\":true,\"rect\":[%ld,%ld,%ld,%ld],\"selected\":%d}\n", std::min(rect.left, rect.right),
        rect.top, std::max(rect.left, rect.right), rect.bottom,
        static_cast<int>(::SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED)));
    std::fflush(stdout);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(
            stderr,
            "usage: velmora_probe wait-window|find|list|rows|row-rect|focus|close|record TITLE [...]\n");
        return 2;
    }
    const std::wstring command = argv[1];
    if (command == L"record" && argc > 3) {
        FILE* file = _wfopen(argv[2], L"ab");
        const std::string line = ToUtf8(argv[3]) + "\n";
        const bool written = file != nullptr && std::fwrite(line.data(), 1, line.size(), file) == line.size();
        return file != nullptr && std::fclose(file) == 0 && written ? 0 : 1;
    }
    const auto timeout = [&](int index) {
        return argc > index ? static_cast<DWORD>(std::wcstoul(argv[index], nullptr, 10)) : 0;
    };
    HWND top = WaitFor(nullptr, DecodeArgument(argv[2]), command == L"wait-window" ? timeout(3) : 0);
    HWND shown = top;
    if (top != nullptr && command == L"find" && argc > 3) {
        shown = WaitFor(top, DecodeArgument(argv[3]), timeout(4));
    } else if (top != nullptr && command == L"list") {
        Search search{L"", {}};
        ::EnumChildWindows(
            top,
            [](HWND window, LPARAM all) {
                reinterpret_cast<Search*>(all)->found.push_back(window);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        for (HWND control : search.found) {
            PrintWindow(control);
        }
        return 0;
    } else if (top != nullptr && command == L"focus") {
        GUITHREADINFO thread{};
        thread.cbSize = sizeof thread;
        if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(top, nullptr), &thread) ||
            thread.hwndFocus == nullptr || (thread.hwndFocus != top && !::IsChild(top, thread.hwndFocus))) {
            std::printf("{\"found\":false}\n");
            return 1;
        }
        PrintWindow(thread.hwndFocus);
        return 0;
    } else if (top != nullptr && command == L"rows" && argc > 3) {
        if (HWND list = Find(top, DecodeArgument(argv[3]))) {
            PrintRows(list);
            return 0;
        }
        return 1;
    } else if (top != nullptr && command == L"row-rect" && argc > 4) {
        if (HWND list = Find(top, DecodeArgument(argv[3]))) {
            PrintRowRect(list, static_cast<int>(std::wcstol(argv[4], nullptr, 10)));
            return 0;
        }
        return 1;
    } else if (top != nullptr && command == L"close") {
        ::PostMessageW(top, WM_CLOSE, 0, 0);
        PrintWindow(top); // an answer, so that the close is not asked again
        return 0;
    }
    if (shown == nullptr) {
        std::printf("{\"found\":false}\n");
        return 1;
    }
    PrintWindow(shown);
    return 0;
}
