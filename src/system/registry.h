#pragma once

#include "system/registry_records.h"

#include <windows.h>

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

// Deletes the value the spec names, or the key itself when it names none (a key with subkeys is
// not deleted). An absent value counts as deleted; an absent key does not.
bool DeleteRegistryEntry(RegistryDwordSetting setting);

// Deletes the key named by the whole spec with everything below it. An absent key counts as deleted.
bool DeleteRegistryTree(RegistryDwordSetting setting);

} // namespace Velmora
