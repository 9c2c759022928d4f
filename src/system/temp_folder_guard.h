#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Velmora {

// GetTempPathW follows the TMP and TEMP variables, which a user or an installer may point anywhere.
// Before the contents of that folder are deleted it must be plainly a temporary folder; these are
// the folders it is checked against (full paths; empty entries are ignored).
struct ProtectedFolders {
    // The folder holding every profile (by each of its names); each folder directly inside is a profile.
    std::vector<std::wstring> profileRoots;
    // Neither the folder to clean nor any folder inside it: the Windows folder, profiles, AppData,
    // ProgramData ...
    std::vector<std::wstring> structural;
    // As above, and the folder to clean must not lie inside them either: the user's own files
    // (Documents, Desktop, Downloads, Pictures ...) and the programs (Program Files).
    std::vector<std::wstring> personal;
};

enum class TempFolderVerdict {
    Temporary,       // named Temp or Tmp (or a numbered per-session folder inside one), nothing to protect
    NotAFullPath,    // relative, drive-relative or empty
    DriveRoot,       // "C:\", "\\server\share\"
    NotNamedTemp,    // its name is not Temp or Tmp
    ProfileFolder,   // a folder directly inside the profiles folder
    HoldsProtected,  // it is, or holds, a protected folder
    InsideProtected, // it lies inside a folder of the user's own files or of the programs
};

struct TempFolderCheck {
    TempFolderVerdict verdict = TempFolderVerdict::Temporary;
    std::wstring protectedFolder; // the folder involved, for HoldsProtected and InsideProtected
};

// Decides whether `folder` may have its contents deleted as a temporary folder. Compares paths
// without regard to case, after resolving ".", ".." and the "\\?\" prefix.
[[nodiscard]] TempFolderCheck CheckTempFolder(std::wstring_view folder,
                                              const ProtectedFolders& protectedFolders);

// "Not cleaning the user's temporary folder <folder>: <reason>".
[[nodiscard]] std::wstring TempFolderRefusalLine(std::wstring_view folder, const TempFolderCheck& check);

// A full path in one canonical spelling: backslashes, no "\\?\" prefix, "." and ".." resolved, no
// trailing separator except after a drive ("C:\"), and, as Windows does, no trailing dots or blanks
// on a name. nullopt for anything that is not a full path.
[[nodiscard]] std::optional<std::wstring> CanonicalFullPath(std::wstring_view path);

// The folders disk cleanup works on, all taken from the Windows folder, so that a PC whose Windows
// lives on another drive than C: is cleaned where its Windows is.
struct SystemCleanupFolders {
    std::wstring temp;           // "<Windows>\Temp"
    std::wstring prefetch;       // "<Windows>\Prefetch"
    std::wstring recycleBinRoot; // the root of the Windows drive, "D:\"
};

// nullopt when `windowsFolder` is not a folder on a drive ("C:\Windows").
[[nodiscard]] std::optional<SystemCleanupFolders> SystemCleanupFoldersOf(std::wstring_view windowsFolder);

} // namespace Velmora
