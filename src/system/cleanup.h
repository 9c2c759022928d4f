#pragma once

#include <functional>
#include <optional>
#include <string>

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

} // namespace Velmora
