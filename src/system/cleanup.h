#pragma once

#include <string>

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

} // namespace Velmora
