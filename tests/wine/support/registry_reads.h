#pragma once

// What the Wine tests read back from the registry to see what a step did.

#include "common/win32_handles.h"

#include <optional>
#include <string>

namespace Velmora::Testing {

// A REG_DWORD value; nullopt when it is absent or of another type.
inline std::optional<DWORD> ReadDword(HKEY root, const std::wstring& key, const wchar_t* value) {
    DWORD data = 0;
    DWORD size = sizeof data;
    return ::RegGetValueW(root, key.c_str(), value, RRF_RT_REG_DWORD, nullptr, &data, &size) == ERROR_SUCCESS
               ? std::optional<DWORD>(data)
               : std::nullopt;
}

inline bool KeyExists(HKEY root, const std::wstring& key) {
    UniqueRegistryKey handle;
    return ::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, handle.Put()) == ERROR_SUCCESS;
}

} // namespace Velmora::Testing
