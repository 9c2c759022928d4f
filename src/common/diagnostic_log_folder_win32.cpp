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

} // namespace Velmora
