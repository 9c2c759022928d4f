#pragma once

// The items each call of the SystemOperations seam touches, read the way the primitives read their
// arguments. The planning and the journaling decorators both name items through these.

#include "engine/items.h"
#include "system/registry_records.h"
#include "system/service_records.h"

#include <optional>
#include <string>
#include <vector>

namespace Velmora {

// The value SetRegistryDword writes; nullopt when the primitive refuses the record without a
// registry call (invalid root, a spec that does not split). `userSid` fills in root 1's hive.
[[nodiscard]] std::optional<RegistryValueTarget> DwordWriteTarget(const RegistryDwordSetting& setting,
                                                                  const std::wstring& userSid);
[[nodiscard]] std::optional<RegistryValueTarget> StringWriteTarget(const RegistryStringSetting& setting,
                                                                   const std::wstring& userSid);
[[nodiscard]] std::optional<RegistryValueTarget> ListWriteTarget(const RegistryListEntry& entry,
                                                                 const std::wstring& userSid);
// The value DeleteRegistryEntry deletes, or the key when the spec names no value.
[[nodiscard]] std::optional<ItemTarget> EntryDeleteTarget(const RegistryDwordSetting& setting,
                                                          const std::wstring& userSid);
[[nodiscard]] std::optional<RegistryKeyTarget> TreeDeleteTarget(const RegistryDwordSetting& setting,
                                                                const std::wstring& userSid);

// The service step's list: the table and the expanded per-user templates, in the order both passes
// apply them, without names that are no service key name (the step cannot reach those).
[[nodiscard]] std::vector<ServiceStartEntry>
ServiceStepEntries(const std::vector<ServiceStartEntry>& services,
                   const std::vector<ServiceStartEntry>& templates,
                   const std::vector<std::wstring>& suffixes);

// HKLM\SYSTEM\CurrentControlSet\Control: SvcHostSplitThresholdInKB.
[[nodiscard]] RegistryValueTarget SplitThresholdTarget();

// The app offloading override of the user; nullopt for an empty identifier (nothing is changed).
[[nodiscard]] std::optional<RegistryValueTarget> AppOffloadingTarget(const std::wstring& userSid);

// The registry path of a service's key below HKEY_LOCAL_MACHINE.
[[nodiscard]] std::wstring ServiceKeyPath(const std::wstring& name);

// The key paths from the root down to `keyPath`: "A", "A\B", "A\B\C".
[[nodiscard]] std::vector<std::wstring> KeyPathPrefixes(const std::wstring& keyPath);

} // namespace Velmora
