#pragma once

// The user profiles of this PC as Windows keeps them: the profile list, the hives loaded below
// HKEY_USERS, the accounts' names, and the user signed in at the desktop. Reads only, except the
// hive load, whose owner unloads it again.

#include "common/win32_handles.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Velmora {

// One entry of HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\ProfileList, as found: the key name and
// its ProfileImagePath expanded (empty when it could not be read). Neither is checked here.
struct ProfileListEntry {
    std::wstring sid;
    std::wstring folder;
};
[[nodiscard]] std::vector<ProfileListEntry> ReadProfileList();

// The Default profile's folder (the profile list's "Default" value, else "Default" in its
// ProfilesDirectory); empty when unknown.
[[nodiscard]] std::wstring DefaultProfileFolder();

// The user of an access token as a SID string; empty when it cannot be read.
[[nodiscard]] std::wstring TokenUserSid(HANDLE token);

// The owner of the shell's process on this desktop (GetShellWindow), the user signed in at the PC;
// nullopt when there is no shell window or its process cannot be asked.
[[nodiscard]] std::optional<std::wstring> ShellOwnerSid();

// "DOMAIN\name" of a SID; empty when the account is unknown.
[[nodiscard]] std::wstring AccountNameOfSid(const std::wstring& sid);
// The SID of an account name; nullopt when no such account exists.
[[nodiscard]] std::optional<std::wstring> SidOfAccountName(const std::wstring& name);

// Whether HKEY_USERS\<keyName> exists, that is, a hive is loaded there.
[[nodiscard]] bool HiveKeyExists(const std::wstring& keyName);

// Unloads the hives a Velmora process loaded below HKEY_USERS ("Velmora-<process id>-<n>") and left
// behind when it was ended from outside, once that process is gone: a hive left loaded keeps its user
// from their own profile at the next sign-in. Each unload, and each failure, is logged.
void UnloadAbandonedHives();

// Loads the hive file below HKEY_USERS\<keyName> with the backup and restore privileges enabled
// only for the call. On failure the owner is empty and `error` holds the Win32 error.
[[nodiscard]] LoadedUserHive LoadUserHive(const std::wstring& file, const std::wstring& keyName,
                                          std::uint32_t& error);

} // namespace Velmora
