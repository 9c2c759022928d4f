// velmora_probe: the end-to-end tests' eyes inside the Windows session. It finds top-level windows
// and their controls by caption (window text) and prints their state as one JSON object per line.
// Clicking is done from outside with real X input (xdotool), at the rectangle reported here.
//
//   velmora_probe wait-window TITLE [TIMEOUT_MS]   the top-level window, once it is visible
//   velmora_probe find TITLE CAPTION [TIMEOUT_MS]  a control of that window by exact caption
//   velmora_probe list TITLE                       every control of that window
//   velmora_probe focus TITLE                      the control of that window with the keyboard focus
//   velmora_probe close TITLE                      asks the window to close (WM_CLOSE)
//
// Captions may be given as "hex:" followed by UTF-8 bytes in hex, independent of the locale.

#include "common/text_encoding.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using Velmora::FromUtf8;
using Velmora::ToUtf8;

std::wstring DecodeArgument(const std::wstring& argument) {
    if (argument.rfind(L"hex:", 0) != 0) {
        return argument;
    }
    std::string bytes;
    for (size_t i = 4; i + 1 < argument.size(); i += 2) {
        bytes += static_cast<char>(std::stoi(
            std::string(argument.begin() + static_cast<long>(i), argument.begin() + static_cast<long>(i) + 2),
            nullptr, 16));
    }
    return FromUtf8(bytes);
}

std::wstring WindowText(HWND window) {
    const int length = ::GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(window, text.data(), length + 1)));
    return text;
}

std::wstring ClassName(HWND window) {
    wchar_t name[256] = {};
    ::GetClassNameW(window, name, 256);
    return name;
}

std::string JsonString(const std::wstring& text) {
    std::string out = "\"";
    for (const char c : ToUtf8(text)) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                out += escaped;
            } else {
                out += c;
            }
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

int CheckState(HWND window) {
    if (ClassName(window) != L"Button") {
        return -1;
    }
    const auto type = ::GetWindowLongPtrW(window, GWL_STYLE) & BS_TYPEMASK;
    const bool checkable = type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON ||
                           type == BS_AUTORADIOBUTTON || type == BS_3STATE || type == BS_AUTO3STATE;
    return checkable ? static_cast<int>(::SendMessageW(window, BM_GETCHECK, 0, 0)) : -1;
}

void PrintWindow(HWND window) {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    const int checked = CheckState(window);
    std::printf("{\"found\":true,\"hwnd\":%llu,\"class\":%s,\"text\":%s,\"visible\":%s,\"enabled\":%s,"
                "\"checked\":%s,\"rect\":[%ld,%ld,%ld,%ld],\"rtl\":%s}\n",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)),
                JsonString(ClassName(window)).c_str(), JsonString(WindowText(window)).c_str(),
                ::IsWindowVisible(window) ? "true" : "false", ::IsWindowEnabled(window) ? "true" : "false",
                checked < 0 ? "null" : (checked == BST_CHECKED ? "true" : "false"), rect.left, rect.top,
                rect.right, rect.bottom, IsRightToLeft(window) ? "true" : "false");
    std::fflush(stdout);
}

struct Search {
    std::wstring text;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<Search*>(parameter);
    if (WindowText(window) == search->text) {
        search->found.push_back(window);
    }
    return TRUE;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<Search*>(parameter);
    if (search->text.empty() || WindowText(window) == search->text) {
        search->found.push_back(window);
    }
    return TRUE;
}

HWND FindTopLevel(const std::wstring& title) {
    Search search{title, {}};
    ::EnumWindows(&CollectTopLevel, reinterpret_cast<LPARAM>(&search));
    for (HWND window : search.found) {
        if (::IsWindowVisible(window)) {
            return window;
        }
    }
    return nullptr;
}

// Prefers a visible control when several share a caption (pages that are collapsed keep theirs).
HWND FindChild(HWND parent, const std::wstring& caption) {
    Search search{caption, {}};
    ::EnumChildWindows(parent, &CollectChild, reinterpret_cast<LPARAM>(&search));
    for (HWND window : search.found) {
        if (::IsWindowVisible(window)) {
            return window;
        }
    }
    return search.found.empty() ? nullptr : search.found.front();
}

template <typename Find>
HWND WaitFor(Find find, DWORD timeoutMs) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        if (HWND window = find()) {
            return window;
        }
        if (::GetTickCount64() >= deadline) {
            return nullptr;
        }
        ::Sleep(50);
    }
}

int NotFound() {
    std::printf("{\"found\":false}\n");
    return 1;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: velmora_probe wait-window|find|list|focus|close TITLE [...]\n");
        return 2;
    }
    const std::wstring command = argv[1];
    const std::wstring title = DecodeArgument(argv[2]);
    if (command == L"wait-window") {
        const DWORD timeout = argc > 3 ? static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10)) : 10000;
        HWND window = WaitFor([&] { return FindTopLevel(title); }, timeout);
        if (window == nullptr) {
            return NotFound();
        }
        PrintWindow(window);
        return 0;
    }
    HWND top = FindTopLevel(title);
    if (top == nullptr) {
        return NotFound();
    }
    if (command == L"find" && argc > 3) {
        const std::wstring caption = DecodeArgument(argv[3]);
        const DWORD timeout = argc > 4 ? static_cast<DWORD>(std::wcstoul(argv[4], nullptr, 10)) : 0;
        HWND control = WaitFor([&] { return FindChild(top, caption); }, timeout);
        if (control == nullptr) {
            return NotFound();
        }
        PrintWindow(control);
        return 0;
    }
    if (command == L"list") {
        Search search{L"", {}};
        ::EnumChildWindows(top, &CollectChild, reinterpret_cast<LPARAM>(&search));
        for (HWND control : search.found) {
            PrintWindow(control);
        }
        return 0;
    }
    if (command == L"focus") {
        GUITHREADINFO thread{};
        thread.cbSize = sizeof thread;
        if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(top, nullptr), &thread) ||
            thread.hwndFocus == nullptr || (thread.hwndFocus != top && !::IsChild(top, thread.hwndFocus))) {
            return NotFound();
        }
        PrintWindow(thread.hwndFocus);
        return 0;
    }
    if (command == L"close") {
        ::PostMessageW(top, WM_CLOSE, 0, 0);
        return 0;
    }
    std::fprintf(stderr, "velmora_probe: unknown command\n");
    return 2;
}
