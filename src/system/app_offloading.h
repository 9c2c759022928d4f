#pragma once

#include "system/registry_records.h"

#include <string>

namespace Velmora {

// The per-user app offloading override under HKEY_LOCAL_MACHINE: EnableAppOffloading = 0 below
// "Stubification\<user SID>".
[[nodiscard]] RegistryDwordSetting AppOffloadingRecord(const std::wstring& userSid);

// The security identifier of the process token's user, e.g. "S-1-5-21-...", or empty on failure.
[[nodiscard]] std::wstring GetCurrentUserSid();

// disable true writes the override (offloading off), false deletes it. Nothing happens for an empty
// identifier. True when the registry operation succeeded.
bool SetAppOffloadingDisabled(const std::wstring& userSid, bool disable);

} // namespace Velmora
