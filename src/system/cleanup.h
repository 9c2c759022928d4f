#pragma once

#include "system/system_state.h"
#include "system/temp_folder_guard.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace Velmora {

// Disk cleanup. Each operation absorbs every failure, reports nothing to its caller and never throws;
// what it did goes to the diagnostic sink. The system's folders are those of the Windows folder
// (GetSystemWindowsDirectoryW), on whichever drive Windows lives.

// Empties the Recycle Bin of the Windows drive with no confirmation, progress window or sound.
void EmptyRecycleBin() noexcept;

// Cleans "<Windows>\Temp", then the user's temporary folder (GetTempPathW) when it is plainly a
// temporary folder, both as named and as opened; a user folder that is not is left alone with a
// diagnostic line.
void CleanTempFolders() noexcept;

// Given the name the system gives a folder opened for cleaning, why it must not be cleaned; nullopt
// when it may be.
using FolderAdmission = std::function<std::optional<std::wstring>(const std::wstring& openedFinalPath)>;

// Deletes every entry inside `folder`, never the folder itself. The folder is opened once and held;
// `admit`, when given, judges that very folder before anything is deleted. A link is removed as a
// link; its target is never entered. An entry that cannot be removed is left, and the next one is tried.
void CleanFolderContents(const std::wstring& folder, const FolderAdmission& admit = {}) noexcept;

// Cleans "<Windows>\Prefetch" the same way, counting files and folders.
void CleanPrefetchFolder() noexcept;

// ---- What the cleanup would delete: read only, for a plan ----

// The folders CleanTempFolders cleans, in its order: <Windows>\Temp, then the user's temporary
// folder when it plainly is one by name (the cleaning judges it again as opened).
[[nodiscard]] std::vector<std::wstring> TempFoldersToClean();

// The Temp and Prefetch folders and the Recycle Bin root of the Windows folder, where cleanup works;
// nullopt (with a diagnostic line) when the Windows folder cannot be found.
[[nodiscard]] std::optional<SystemCleanupFolders> WindowsCleanupFolders();

// The files below the folder and their size in bytes. A link counts as one file and is never
// entered. Not readable when the folder cannot be listed; an absent folder holds nothing.
[[nodiscard]] FolderContents MeasureFolderContents(const std::wstring& folder) noexcept;

// The items in the Recycle Bin of the Windows drive and their size.
[[nodiscard]] FolderContents MeasureRecycleBin() noexcept;

} // namespace Velmora
