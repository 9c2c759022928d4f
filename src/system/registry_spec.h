#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace Velmora {

// Where a registry primitive acts after its spec was split. An empty value name means the key's
// default value (for writing strings) or the key itself (for deleting).
struct RegistryTarget {
    std::wstring keyPath;
    std::wstring valueName;

    friend bool operator==(const RegistryTarget&, const RegistryTarget&) = default;
};

// Each primitive reads a spec its own way; nullopt means "return false without any registry call".
//   DWORD:  "key:value"; "key:" fails; with no colon, split at the last backslash (none: fails).
//   String: "key:value"; "key:" and no colon address the key's default value.
//   Delete: "key:value" deletes the value; "key:" and no colon delete the key.
// An empty key path fails in every form, and so does an empty DWORD value name.
[[nodiscard]] std::optional<RegistryTarget> SplitSpecForDword(std::wstring_view spec);
[[nodiscard]] std::optional<RegistryTarget> SplitSpecForString(std::wstring_view spec);
[[nodiscard]] std::optional<RegistryTarget> SplitSpecForDelete(std::wstring_view spec);

// "HKCR", "HKCU", "HKLM" or "HKU" for a root index (RegistryRoot); empty for an invalid one.
[[nodiscard]] std::wstring_view RegistryRootName(std::uint32_t root);

} // namespace Velmora
