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

constexpr wchar_t kSystemTempFolder[] = L"C:\\Windows\\Temp";
constexpr const wchar_t* kPrefetchFolder = kPrefetchFolderPath;

// A folder that cannot be tested, opened or listed; ends the cleaning of that folder.
class FolderFailure : public std::runtime_error {
public:
    FolderFailure(const std::string& what, DWORD error)
        : std::runtime_error(what + ": " + SystemMessage(error)) {}

private:
    static std::string SystemMessage(DWORD error) {
        char text[512] = {};
        DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                        error, 0, text, static_cast<DWORD>(sizeof text), nullptr);
        while (length > 0 &&
               (text[length - 1] == '\r' || text[length - 1] == '\n' || text[length - 1] == ' ')) {
            --length;
        }
        return length > 0 ? std::string(text, length) : "error " + std::to_string(error);
    }
};

// Exception texts are narrow; each byte becomes one wide character.
std::wstring WidenBytes(const char* text) {
    std::wstring wide;
    for (; *text != '\0'; ++text) {
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
        return false; // "" + "\*" would list the current drive's root
    }
    if (::GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES) {
        return true;
    }
    const DWORD error = ::GetLastError();
    if (IsMissing(error)) {
        return false;
    }
    throw FolderFailure("cannot test whether the folder exists", error);
}

struct Tally {
    std::uint32_t deleted = 0;
    std::uint32_t errors = 0;
    std::uint32_t files = 0;
    std::uint32_t folders = 0;
};

// Removes each direct entry of `folder` in turn. Throws when the folder cannot be opened or listed,
// or when its listing breaks off; the entries not reached by then stay.
void CleanEntries(const std::wstring& folder, Tally& tally) {
    // Held open without delete sharing while it is cleaned, so the folder cannot be swapped under us.
    const HANDLE raw =
        ::CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (raw == INVALID_HANDLE_VALUE) {
        throw FolderFailure("cannot open the folder", ::GetLastError());
    }
    const UniqueKernelHandle pinned(raw);
    const std::wstring folderFinal = FinalPathOf(pinned.Get());

    WIN32_FIND_DATAW found{};
    UniqueFindHandle find(::FindFirstFileExW(ChildPath(folder, L"*").c_str(), FindExInfoBasic, &found,
                                             FindExSearchNameMatch, nullptr, 0));
    if (!find) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) {
            return; // an empty drive root lists nothing
        }
        throw FolderFailure("cannot list the folder", error);
    }
    for (;;) {
        const std::wstring_view name(found.cFileName);
        if (name != L"." && name != L"..") {
            try {
                const bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
                const std::wstring finalPath =
                    folderFinal.empty() ? std::wstring() : ChildPath(folderFinal, found.cFileName);
                const EntryRemoval removal =
                    RemoveFolderEntry(ChildPath(folder, found.cFileName), finalPath, found.dwFileAttributes);
                if (removal.removed) {
                    ++tally.deleted;
                    if (removal.removedItems > 0) {
                        ++(isFolder ? tally.folders : tally.files);
                    }
                } else {
                    ++tally.errors;
                }
            } catch (...) {
                ++tally.errors;
            }
        }
        if (!::FindNextFileW(find.Get(), &found)) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_NO_MORE_FILES) {
                return;
            }
            throw FolderFailure("cannot read the next entry of the folder", error);
        }
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
    const HANDLE raw = ::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                     OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (raw == INVALID_HANDLE_VALUE) {
        return {};
    }
    const UniqueKernelHandle handle(raw);
    return FinalPathOf(handle.Get());
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

// The refusal line when the user's temporary folder is not plainly one; nullopt when it may be cleaned.
std::optional<std::wstring> RefuseUserTempFolder(const std::wstring& folder) {
    const ProtectedFolders folders = CollectProtectedFolders();
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
    const std::wstring final = FinalPathOfPath(named);
    if (!final.empty()) {
        const TempFolderCheck asFound = CheckTempFolder(final, folders);
        if (asFound.verdict != TempFolderVerdict::Temporary) {
            return TempFolderRefusalLine(folder + L" (" + CanonicalFullPath(final).value_or(final) + L")",
                                         asFound);
        }
    }
    return std::nullopt;
}

// The user's temporary folder as GetTempPathW gives it, with its trailing backslash; empty when unknown.
std::wstring UserTempFolder() {
    wchar_t buffer[MAX_PATH] = {};
    const DWORD length = ::GetTempPathW(MAX_PATH, buffer);
    return length > 0 && length < MAX_PATH ? std::wstring(buffer, length) : std::wstring();
}

} // namespace

void EmptyRecycleBin() noexcept {
    // The result is not examined: an empty bin or a refusal changes nothing in the run.
    (void)::SHEmptyRecycleBinW(nullptr, L"C:\\", SHERB_NOCONFIRMATION | SHERB_NOPROGRESSUI | SHERB_NOSOUND);
}

void CleanFolderContents(const std::wstring& folder) noexcept {
    try {
        try {
            if (!FolderExists(folder)) {
                Diagnose(L"Path does not exist: " + folder);
                return;
            }
            Tally tally;
            CleanEntries(folder, tally);
            Diagnose(L"Cleaned: " + folder + L" - Items deleted: " + std::to_wstring(tally.deleted) +
                     L" - Errors: " + std::to_wstring(tally.errors));
        } catch (const std::exception& failure) {
            Diagnose(L"Error cleaning " + folder + L": " + WidenBytes(failure.what()));
        }
    } catch (...) {
        // Out of memory while composing the line: the cleaning is over either way.
    }
}

void CleanTempFolders() noexcept {
    try {
        try {
            const std::wstring systemFolder = kSystemTempFolder;
            const std::wstring userFolder = UserTempFolder();
            CleanFolderContents(systemFolder);
            if (!userFolder.empty()) {
                if (const auto refusal = RefuseUserTempFolder(userFolder)) {
                    Diagnose(*refusal);
                } else {
                    CleanFolderContents(userFolder);
                }
            }
        } catch (const std::exception& failure) {
            Diagnose(L"Exception while cleaning temp folders: " + WidenBytes(failure.what()));
        }
    } catch (...) {
    }
}

void CleanPrefetchFolder() noexcept {
    try {
        try {
            const std::wstring folder = kPrefetchFolder;
            if (!FolderExists(folder)) {
                return;
            }
            Tally tally;
            CleanEntries(folder, tally);
            Diagnose(L"Prefetch folder cleaned. Files: " + std::to_wstring(tally.files) + L" - Folders: " +
                     std::to_wstring(tally.folders) + L" - Errors: " + std::to_wstring(tally.errors));
        } catch (const std::exception& failure) {
            Diagnose(L"Exception while cleaning Prefetch folder: " + WidenBytes(failure.what()));
        }
    } catch (...) {
    }
}

std::vector<std::wstring> TempFoldersToClean() {
    std::vector<std::wstring> folders{kSystemTempFolder};
    if (const std::wstring userFolder = UserTempFolder();
        !userFolder.empty() && !RefuseUserTempFolder(userFolder)) {
        folders.push_back(userFolder);
    }
    return folders;
}

FolderContents MeasureFolderContents(const std::wstring& folder) noexcept {
    FolderContents contents;
    try {
        if (!FolderExists(folder)) {
            contents.readable = true;
            return contents;
        }
        std::vector<std::wstring> pending{folder};
        while (!pending.empty()) {
            const std::wstring current = std::move(pending.back());
            pending.pop_back();
            WIN32_FIND_DATAW found{};
            const UniqueFindHandle find(::FindFirstFileExW(ChildPath(current, L"*").c_str(), FindExInfoBasic,
                                                           &found, FindExSearchNameMatch, nullptr, 0));
            if (!find) {
                if (::GetLastError() == ERROR_FILE_NOT_FOUND) {
                    continue;
                }
                return {};
            }
            do {
                const std::wstring_view name(found.cFileName);
                if (name == L"." || name == L"..") {
                    continue;
                }
                const bool link = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
                if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && !link) {
                    pending.push_back(ChildPath(current, found.cFileName));
                    continue;
                }
                ++contents.files;
                if (!link) {
                    contents.bytes +=
                        (static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
                }
            } while (::FindNextFileW(find.Get(), &found));
        }
        contents.readable = true;
        return contents;
    } catch (...) {
        return {};
    }
}

FolderContents MeasureRecycleBin() noexcept {
    SHQUERYRBINFO info{};
    info.cbSize = sizeof info;
    if (FAILED(::SHQueryRecycleBinW(L"C:\\", &info))) {
        return {};
    }
    return {true, static_cast<std::uint64_t>(info.i64NumItems), static_cast<std::uint64_t>(info.i64Size)};
}

} // namespace Velmora
