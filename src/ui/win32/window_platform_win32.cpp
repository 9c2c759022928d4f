#include "ui/win32/window_platform.h"

#include "common/win32_handles.h"

#include <commdlg.h>

#include <cwctype>
#include <vector>

namespace Velmora::Win32 {
namespace {

bool EndsWithNoCase(const std::wstring& text, std::wstring_view ending) {
    if (text.size() < ending.size()) {
        return false;
    }
    for (size_t i = 0; i < ending.size(); ++i) {
        if (std::towlower(static_cast<std::wint_t>(text[text.size() - ending.size() + i])) !=
            static_cast<std::wint_t>(ending[i])) {
            return false;
        }
    }
    return true;
}

} // namespace

std::optional<implementation::ExportTarget> AskSaveFileName(HWND owner,
                                                            const implementation::ExportDialog& dialog) {
    // "Name\0*.json\0Name\0*.reg\0\0"
    std::wstring filter = dialog.jsonFilter + L" (*.json)";
    filter += L'\0';
    filter += L"*.json";
    filter += L'\0';
    filter += dialog.registryFilter + L" (*.reg)";
    filter += L'\0';
    filter += L"*.reg";
    filter += L'\0';
    std::vector<wchar_t> file(MAX_PATH * 4, L'\0');
    dialog.suggestedName.copy(file.data(), std::min(dialog.suggestedName.size(), file.size() - 1));
    OPENFILENAMEW ask{};
    ask.lStructSize = sizeof ask;
    ask.hwndOwner = owner;
    ask.lpstrFilter = filter.c_str();
    ask.nFilterIndex = 1;
    ask.lpstrFile = file.data();
    ask.nMaxFile = static_cast<DWORD>(file.size());
    ask.lpstrTitle = dialog.title.c_str();
    ask.lpstrDefExt = L"json";
    ask.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
    if (!::GetSaveFileNameW(&ask)) {
        return std::nullopt;
    }
    implementation::ExportTarget target{file.data(), implementation::ExportFormat::Json};
    if (EndsWithNoCase(target.path, L".reg")) {
        target.format = implementation::ExportFormat::Registry;
    } else if (!EndsWithNoCase(target.path, L".json") && ask.nFilterIndex == 2) {
        target.format = implementation::ExportFormat::Registry;
        target.path += L".reg";
    }
    return target;
}

std::optional<std::wstring> AskJsonFileName(HWND owner, const implementation::ChoicesFileDialog& dialog) {
    std::wstring filter = dialog.filter + L" (*.json)";
    filter += L'\0';
    filter += L"*.json";
    filter += L'\0';
    std::vector<wchar_t> file(MAX_PATH * 4, L'\0');
    OPENFILENAMEW ask{};
    ask.lStructSize = sizeof ask;
    ask.hwndOwner = owner;
    ask.lpstrFilter = filter.c_str();
    ask.nFilterIndex = 1;
    ask.lpstrFile = file.data();
    ask.nMaxFile = static_cast<DWORD>(file.size());
    ask.lpstrTitle = dialog.title.c_str();
    ask.lpstrDefExt = L"json";
    ask.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY |
                (dialog.save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
    const BOOL chosen = dialog.save ? ::GetSaveFileNameW(&ask) : ::GetOpenFileNameW(&ask);
    return chosen ? std::optional<std::wstring>(file.data()) : std::nullopt;
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
    const UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return false;
    }
    DWORD written = 0;
    return ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size() && ::FlushFileBuffers(file.Get());
}

std::wstring SystemErrorMessage(std::uint32_t error, std::int32_t language) {
    const LANGID wanted = language == 1 ? MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)
                                        : MAKELANGID(LANG_ARABIC, SUBLANG_DEFAULT);
    for (const LANGID each : {wanted, LANGID{0}}) {
        wchar_t text[512] = {};
        DWORD length = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                        error, each, text, static_cast<DWORD>(std::size(text)), nullptr);
        while (length > 0 && (text[length - 1] == L'\r' || text[length - 1] == L'\n' ||
                              text[length - 1] == L' ' || text[length - 1] == L'.')) {
            --length;
        }
        if (length > 0) {
            return std::wstring(text, length);
        }
    }
    return {};
}

} // namespace Velmora::Win32
