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

// "Name (*.ext)\0*.ext\0" for each (name, extension); c_str() adds the "\0" that ends the list.
std::wstring FileFilter(const std::vector<std::pair<std::wstring, std::wstring>>& kinds) {
    std::wstring filter;
    for (const auto& [name, extension] : kinds) {
        filter += name + L" (*." + extension + L")";
        filter += L'\0';
        filter += L"*." + extension;
        filter += L'\0';
    }
    return filter;
}

// A file dialog's question, owned by `owner`; `file` holds the suggested name and receives the chosen one.
OPENFILENAMEW FileQuestion(HWND owner, const std::wstring& filter, std::vector<wchar_t>& file,
                           const std::wstring& title, DWORD flags) {
    OPENFILENAMEW ask{};
    ask.lStructSize = sizeof ask;
    ask.hwndOwner = owner;
    ask.lpstrFilter = filter.c_str();
    ask.nFilterIndex = 1;
    ask.lpstrFile = file.data();
    ask.nMaxFile = static_cast<DWORD>(file.size());
    ask.lpstrTitle = title.c_str();
    ask.lpstrDefExt = L"json";
    ask.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY | flags;
    return ask;
}

} // namespace

std::optional<implementation::ExportTarget> AskSaveFileName(HWND owner,
                                                            const implementation::ExportDialog& dialog) {
    const std::wstring filter = FileFilter({{dialog.jsonFilter, L"json"}, {dialog.registryFilter, L"reg"}});
    std::vector<wchar_t> file(MAX_PATH * 4, L'\0');
    dialog.suggestedName.copy(file.data(), std::min(dialog.suggestedName.size(), file.size() - 1));
    OPENFILENAMEW ask = FileQuestion(owner, filter, file, dialog.title, OFN_OVERWRITEPROMPT);
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
    const std::wstring filter = FileFilter({{dialog.filter, L"json"}});
    std::vector<wchar_t> file(MAX_PATH * 4, L'\0');
    OPENFILENAMEW ask = FileQuestion(owner, filter, file, dialog.title,
                                     dialog.save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
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
