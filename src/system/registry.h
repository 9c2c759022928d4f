#pragma once

#include "system/registry_records.h"
#include "system/system_state.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Velmora {

// The predefined key of a root index; nullptr for an invalid index.
[[nodiscard]] HKEY RegistryRootKey(RegistryRoot root);

// The four registry primitives. Each makes at most one change in the native registry view,
// composes one diagnostic line for its outcome and reports success; none throws or retries.

// Opens the key for writing, creating it (and its missing parents) when the open fails, and
// writes the value as REG_DWORD. True when the write succeeded.
[[nodiscard]] bool SetRegistryDword(RegistryDwordSetting setting);

// As SetRegistryDword, for a REG_SZ value, or for the key's default value when the spec has no
// value name. Empty data writes an empty string.
bool SetRegistryString(RegistryStringSetting setting);

// Merges the entry into the REG_SZ list value the spec names (see MergedListValue), writing only when it
// changes; a value of another type or form is left as it is and the call fails with ERROR_INVALID_DATA.
bool MergeRegistryListEntry(const RegistryListEntry& entry);

// Deletes the value the spec names, or the key itself when it names none (a key with subkeys is
// not deleted). An absent value counts as deleted; an absent key does not.
bool DeleteRegistryEntry(RegistryDwordSetting setting);

// Deletes the key named by the whole spec with everything below it. An absent key counts as deleted.
bool DeleteRegistryTree(RegistryDwordSetting setting);

// On failure the four primitives above leave the registry's status in the thread's last error.

// ---- State readers: they change nothing, never throw, and report what they cannot read ----

// One value (the key's default value for an empty name); a missing key or value is Absent.
[[nodiscard]] RegistryValueState ReadRegistryValue(RegistryRoot root, const std::wstring& keyPath,
                                                   const std::wstring& valueName);
// One value of a key the caller opened with KEY_QUERY_VALUE.
[[nodiscard]] RegistryValueState ReadRegistryValue(HKEY key, const std::wstring& valueName);
// Whether the key exists.
[[nodiscard]] Presence ReadRegistryKeyPresence(RegistryRoot root, const std::wstring& keyPath);
// The key with every value of its own and the number of its subkeys.
[[nodiscard]] RegistryKeyState ReadRegistryKey(RegistryRoot root, const std::wstring& keyPath);

// While one lives, the readers above on this thread open each key once and keep it open: a plan reads
// several hundred values out of a few dozen keys. Only for reads with no write of this thread between
// them, since a key found absent stays absent for the session. Sessions nest: an inner one uses the
// outer one's keys.
class RegistryReadSession {
public:
    RegistryReadSession();
    ~RegistryReadSession();
    RegistryReadSession(const RegistryReadSession&) = delete;
    RegistryReadSession& operator=(const RegistryReadSession&) = delete;

    struct Cache;

private:
    std::unique_ptr<Cache> cache_;
};

// ---- What a restore writes back: exact types and bytes. Each returns the registry's status ----

// Creates the key (and its missing parents) where needed.
[[nodiscard]] LSTATUS WriteRegistryValue(RegistryRoot root, const std::wstring& keyPath,
                                         const std::wstring& valueName, std::uint32_t type,
                                         const std::vector<std::uint8_t>& data);
// A value or key already absent counts as deleted.
[[nodiscard]] LSTATUS DeleteRegistryValue(RegistryRoot root, const std::wstring& keyPath,
                                          const std::wstring& valueName);
[[nodiscard]] LSTATUS CreateRegistryKey(RegistryRoot root, const std::wstring& keyPath);
// Deletes the key only when it holds no value and no subkey (ERROR_DIR_NOT_EMPTY otherwise); an
// absent key counts as deleted.
[[nodiscard]] LSTATUS DeleteRegistryKeyIfEmpty(RegistryRoot root, const std::wstring& keyPath);

} // namespace Velmora
