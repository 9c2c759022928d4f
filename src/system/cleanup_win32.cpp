#include "system/cleanup.h"

#include "common/diagnostics.h"
#include "common/win32_handles.h"
#include "system/entry_removal_win32.h"
#include "system/temp_folder_guard.h"

#include <knownfolders.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdint>
#include <exception>
#include <optional>
#include <stdexcept>
#include <string>

namespace Velmora {
namespace {

// A folder that cannot be tested, opened or listed; ends the cleaning of that folder.
class FolderFailure : public std::exception {
public:
    FolderFailure(const std::wstring& what, DWORD error) : text_(what + L": " + SystemErrorText(error)) {}
    [[nodiscard]] const char* what() const noexcept override { return "folder failure"; }
    [[nodiscard]] const std::wstring& Text() const noexcept { return text_; }

private:
    std::wstring text_;
};

// Exception texts are narrow; each byte becomes one wide character. A folder failure carries the
// system's wide text as it is.
std::wstring ExceptionText(const std::exception& failure) {
    if (const auto* folder = dynamic_cast<const FolderFailure*>(&failure)) {
        return folder->Text();
    }
    std::wstring wide;
    for (const char* text = failure.what(); *text != '\0'; ++text) {
        wide += static_cast<wchar_t>(static_cast<unsigned char>(*text));
    }
    return wide;
}

bool IsMissing(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_NOT_READY:
        return true;
    default:
        return false;
    }
}

// The existence test; throws for any error but a missing path.
bool FolderExists(const std::wstring& folder) {
    if (folder.empty()) {
        return false; // an empty path would name the current folder
    }
    if (::GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES) {
        return true;
    }
    const DWORD error = ::GetLastError();
    if (IsMissing(error)) {
        return false;
    }
    throw FolderFailure(L"cannot test whether the folder exists", error);
}

struct Tally {
    std::uint32_t deleted = 0;
    std::uint32_t errors = 0;
    std::uint32_t files = 0;
    std::uint32_t folders = 0;
};

// The folder to clean, opened by its name once and held: everything after works on this handle.
HeldFolder OpenFolderToClean(const std::wstring& folder) {
    HeldFolder held;
    held.handle.Reset(::CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!held.handle) {
        throw FolderFailure(L"cannot open the folder", ::GetLastError());
    }
    held.finalPath = FinalPathOf(held.handle.Get());
    if (held.finalPath.empty()) {
        throw FolderFailure(L"cannot tell which folder it is", ::GetLastError());
    }
    return held;
}

// Removes each direct entry of the held folder in turn. Throws when the folder cannot be listed, or
// when its listing breaks off; the entries not reached by then stay.
void CleanEntries(const HeldFolder& folder, Tally& tally) {
    const FolderListing listing = ListFolder(folder.handle.Get());
    if (listing.entries.empty() && listing.error != ERROR_SUCCESS) {
        throw FolderFailure(L"cannot list the folder", listing.error);
    }
    for (const ListedEntry& entry : listing.entries) {
        try {
            const EntryRemoval removal = RemoveFolderEntry(folder, entry);
            if (removal.removed) {
                ++tally.deleted;
                if (removal.removedItems > 0) {
                    ++((entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? tally.folders : tally.files);
                }
            } else {
                ++tally.errors;
            }
        } catch (...) {
            ++tally.errors;
        }
    }
    if (listing.error != ERROR_SUCCESS) {
        throw FolderFailure(L"cannot read the next entry of the folder", listing.error);
    }
}

std::wstring KnownFolder(REFKNOWNFOLDERID id) {
    PWSTR raw = nullptr;
    const HRESULT result = ::SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, &raw);
    const UniqueCoTaskMemory owned(raw);
    return SUCCEEDED(result) && raw != nullptr ? std::wstring(raw) : std::wstring();
}

// The folder a path really leads to, past any link on its way; empty when it cannot be opened.
std::wstring FinalPathOfPath(const std::wstring& path) {
    const UniqueFileHandle handle(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return handle ? FinalPathOf(handle.Get()) : std::wstring();
}

// Each folder as named and, when a link leads elsewhere, as it really is.
void AddWithFinalPath(std::vector<std::wstring>& list, std::wstring folder) {
    if (folder.empty()) {
        return;
    }
    std::wstring final = FinalPathOfPath(folder);
    list.push_back(std::move(folder));
    if (!final.empty()) {
        list.push_back(std::move(final));
    }
}

ProtectedFolders CollectProtectedFolders() {
    ProtectedFolders folders;
    AddWithFinalPath(folders.profileRoots, KnownFolder(FOLDERID_UserProfiles));
    for (const KNOWNFOLDERID* id : {&FOLDERID_Windows, &FOLDERID_System, &FOLDERID_SystemX86,
                                    &FOLDERID_Profile, &FOLDERID_RoamingAppData, &FOLDERID_LocalAppData,
                                    &FOLDERID_LocalAppDataLow, &FOLDERID_ProgramData, &FOLDERID_Public}) {
        AddWithFinalPath(folders.structural, KnownFolder(*id));
    }
    wchar_t profile[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        AddWithFinalPath(folders.structural, profile);
    }
    for (const KNOWNFOLDERID* id : {&FOLDERID_Desktop,
                                    &FOLDERID_Documents,
                                    &FOLDERID_Downloads,
                                    &FOLDERID_Pictures,
                                    &FOLDERID_Music,
                                    &FOLDERID_Videos,
                                    &FOLDERID_Favorites,
                                    &FOLDERID_Links,
                                    &FOLDERID_Contacts,
                                    &FOLDERID_SavedGames,
                                    &FOLDERID_SavedSearches,
                                    &FOLDERID_Objects3D,
                                    &FOLDERID_SkyDrive,
                                    &FOLDERID_PublicDesktop,
                                    &FOLDERID_PublicDocuments,
                                    &FOLDERID_PublicDownloads,
                                    &FOLDERID_PublicMusic,
                                    &FOLDERID_PublicPictures,
                                    &FOLDERID_PublicVideos,
                                    &FOLDERID_ProgramFiles,
                                    &FOLDERID_ProgramFilesX86,
                                    &FOLDERID_ProgramFilesCommon,
                                    &FOLDERID_ProgramFilesCommonX86}) {
        AddWithFinalPath(folders.personal, KnownFolder(*id));
    }
    return folders;
}

// The refusal line when the user's temporary folder, as named, is not plainly one; nullopt when it
// may be opened.
std::optional<std::wstring> RefuseUserTempFolderAsNamed(const std::wstring& folder,
                                                        const ProtectedFolders& folders) {
    std::wstring named = folder;
    wchar_t buffer[MAX_PATH] = {};
    DWORD length = ::GetFullPathNameW(named.c_str(), MAX_PATH, buffer, nullptr);
    if (length > 0 && length < MAX_PATH) {
        named.assign(buffer, length);
    }
    // A short 8.3 name ("PROGRA~1") must not hide which folder this is.
    length = ::GetLongPathNameW(named.c_str(), buffer, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        named.assign(buffer, length);
    }
    const TempFolderCheck asNamed = CheckTempFolder(named, folders);
    if (asNamed.verdict != TempFolderVerdict::Temporary) {
        return TempFolderRefusalLine(folder, asNamed);
    }
    return std::nullopt;
}

// The Windows folder every user shares (GetWindowsDirectoryW may be a per-user one on a terminal
// server), and what cleanup takes from it.
std::optional<SystemCleanupFolders> SystemFolders() {
    wchar_t buffer[MAX_PATH] = {};
    UINT length = ::GetSystemWindowsDirectoryW(buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        length = ::GetWindowsDirectoryW(buffer, MAX_PATH);
    }
    if (length == 0 || length >= MAX_PATH) {
        Diagnose(L"Cannot find the Windows folder: " + SystemErrorText(::GetLastError()));
        return std::nullopt;
    }
    const std::optional<SystemCleanupFolders> folders = SystemCleanupFoldersOf(std::wstring(buffer, length));
    if (!folders) {
        Diagnose(L"The Windows folder is not on a drive: " + std::wstring(buffer, length));
    }
    return folders;
}

void CleanUserTempFolder(const std::wstring& folder) {
    const ProtectedFolders folders = CollectProtectedFolders();
    if (const auto refusal = RefuseUserTempFolderAsNamed(folder, folders)) {
        Diagnose(*refusal);
        return;
    }
    // Judged again as opened: the handle the cleaning works through is the folder that is checked,
    // whatever a link swapped in since the check above would have made of the name.
    CleanFolderContents(folder,
                        [&folder, &folders](const std::wstring& opened) -> std::optional<std::wstring> {
                            const TempFolderCheck asOpened = CheckTempFolder(opened, folders);
                            if (asOpened.verdict == TempFolderVerdict::Temporary) {
                                return std::nullopt;
                            }
                            return TempFolderRefusalLine(
                                folder + L" (" + CanonicalFullPath(opened).value_or(opened) + L")", asOpened);
                        });
}

} // namespace

void EmptyRecycleBin() noexcept {
    try {
        if (const auto folders = SystemFolders()) {
            // The result is not examined: an empty bin or a refusal changes nothing in the run.
            (void)::SHEmptyRecycleBinW(nullptr, folders->recycleBinRoot.c_str(),
                                       SHERB_NOCONFIRMATION | SHERB_NOPROGRESSUI | SHERB_NOSOUND);
        }
    } catch (...) {
    }
}

void CleanFolderContents(const std::wstring& folder, const FolderAdmission& admit) noexcept {
    try {
        try {
            if (!FolderExists(folder)) {
                Diagnose(L"Path does not exist: " + folder);
                return;
            }
            const HeldFolder held = OpenFolderToClean(folder);
            if (admit) {
                if (const auto refusal = admit(held.finalPath)) {
                    Diagnose(*refusal);
                    return;
                }
            }
            Tally tally;
            CleanEntries(held, tally);
            Diagnose(L"Cleaned: " + folder + L" - Items deleted: " + std::to_wstring(tally.deleted) +
                     L" - Errors: " + std::to_wstring(tally.errors));
        } catch (const std::exception& failure) {
            Diagnose(L"Error cleaning " + folder + L": " + ExceptionText(failure));
        }
    } catch (...) {
        // Out of memory while composing the line: the cleaning is over either way.
    }
}

void CleanTempFolders() noexcept {
    try {
        try {
            std::wstring userFolder;
            wchar_t buffer[MAX_PATH] = {};
            const DWORD length = ::GetTempPathW(MAX_PATH, buffer);
            if (length > 0 && length < MAX_PATH) {
                userFolder.assign(buffer, length);
            }
            if (const auto folders = SystemFolders()) {
                CleanFolderContents(folders->temp);
            }
            if (!userFolder.empty()) {
                CleanUserTempFolder(userFolder);
            }
        } catch (const std::exception& failure) {
            Diagnose(L"Exception while cleaning temp folders: " + ExceptionText(failure));
        }
    } catch (...) {
    }
}

void CleanPrefetchFolder() noexcept {
    try {
        try {
            const auto folders = SystemFolders();
            if (!folders || !FolderExists(folders->prefetch)) {
                return;
            }
            Tally tally;
            CleanEntries(OpenFolderToClean(folders->prefetch), tally);
            Diagnose(L"Prefetch folder cleaned. Files: " + std::to_wstring(tally.files) + L" - Folders: " +
                     std::to_wstring(tally.folders) + L" - Errors: " + std::to_wstring(tally.errors));
        } catch (const std::exception& failure) {
            Diagnose(L"Exception while cleaning Prefetch folder: " + ExceptionText(failure));
        }
    } catch (...) {
    }
}

} // namespace Velmora
