#pragma once

#include "system/system_state.h"

#include <string>
#include <vector>

namespace Velmora {

// Disk cleanup. Each operation absorbs every failure, reports nothing to its caller and never throws;
// what it did goes to the diagnostic sink.

// Empties the Recycle Bin of drive C: with no confirmation, progress window or sound.
void EmptyRecycleBin() noexcept;

// Cleans "C:\Windows\Temp", then the user's temporary folder (GetTempPathW) when it is plainly a
// temporary folder; a user folder that is not is left alone with a diagnostic line.
void CleanTempFolders() noexcept;

// Deletes every entry inside `folder`, never the folder itself. A link is removed as a link; its
// target is never entered. An entry that cannot be removed is left, and the next one is tried.
void CleanFolderContents(const std::wstring& folder) noexcept;

// Cleans "C:\Windows\Prefetch" the same way, counting files and folders.
void CleanPrefetchFolder() noexcept;

// ---- What the cleanup would delete: read only, for a plan ----

inline constexpr wchar_t kPrefetchFolderPath[] = L"C:\\Windows\\Prefetch";

// The folders CleanTempFolders cleans, in its order: C:\Windows\Temp, then the user's temporary
// folder when it plainly is one.
[[nodiscard]] std::vector<std::wstring> TempFoldersToClean();

// The files below the folder and their size in bytes. A link counts as one file and is never
// entered. Not readable when the folder cannot be listed; an absent folder holds nothing.
[[nodiscard]] FolderContents MeasureFolderContents(const std::wstring& folder) noexcept;

// The items in the Recycle Bin of drive C: and their size.
[[nodiscard]] FolderContents MeasureRecycleBin() noexcept;

} // namespace Velmora
