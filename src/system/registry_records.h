#pragma once

#include <cstdint>
#include <string>

namespace Velmora {

// Index of a predefined root key: 0 HKEY_CLASSES_ROOT, 1 HKEY_CURRENT_USER, 2 HKEY_LOCAL_MACHINE,
// 3 HKEY_USERS. Anything above 3 is invalid.
using RegistryRoot = std::uint32_t;

// A key path relative to the root, a colon and a value name; split at the last colon.
using RegistrySpec = std::wstring;

// One REG_DWORD value to write, or (for the deleting primitives) the value or key to delete.
struct RegistryDwordSetting {
    RegistryRoot root = 0;
    RegistrySpec spec;
    std::uint32_t data = 0;

    friend bool operator==(const RegistryDwordSetting&, const RegistryDwordSetting&) = default;
};

// One REG_SZ value, or a key's default value when the value name is empty.
struct RegistryStringSetting {
    RegistryRoot root = 0;
    RegistrySpec spec;
    std::wstring data;

    friend bool operator==(const RegistryStringSetting&, const RegistryStringSetting&) = default;
};

// One entry merged into a REG_SZ list that other programs and policies write too, such as the Settings
// page list "hide:a;b": the entry is added where the list lacks it, and nothing else of it changes.
struct RegistryListEntry {
    RegistryRoot root = 0;
    RegistrySpec spec;
    std::wstring entry;

    friend bool operator==(const RegistryListEntry&, const RegistryListEntry&) = default;
};

} // namespace Velmora
