// The Windows side of the diagnostics: where run logs live and the system's texts for error codes.

#include "common/diagnostics.h"

#include <windows.h>
#include <shlobj.h>

namespace Velmora {

std::filesystem::path DiagnosticLogFolder() {
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder))) {
        return {};
    }
    return std::filesystem::path(folder) / L"Velmora" / L"Logs";
}

// Wide all the way: the narrow form would turn every non-Latin message into question marks.
std::wstring SystemErrorText(unsigned long error, unsigned short language) {
    wchar_t text[512] = {};
    DWORD length = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                    error, language, text, static_cast<DWORD>(std::size(text)), nullptr);
    while (length > 0 &&
           (text[length - 1] == L'\r' || text[length - 1] == L'\n' || text[length - 1] == L' ')) {
        --length;
    }
    return length > 0 ? std::wstring(text, length) : L"error " + std::to_wstring(error);
}

} // namespace Velmora
