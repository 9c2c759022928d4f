#include "system/entry_removal_win32.h"

#include "common/win32_handles.h"

#include <utility>
#include <vector>

namespace Velmora {
namespace {

bool IsNotFound(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool IsFolderToEnter(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

bool SameName(const std::wstring& left, const std::wstring& right) {
    return ::CompareStringOrdinal(left.c_str(), static_cast<int>(left.size()), right.c_str(),
                                  static_cast<int>(right.size()), TRUE) == CSTR_EQUAL;
}

enum class OpenState { Opened, Vanished, Failed };

struct OpenedEntry {
    OpenState state = OpenState::Failed;
    UniqueKernelHandle handle;
    DWORD attributes = 0;
};

HANDLE OpenItself(const std::wstring& path, DWORD access, DWORD share) {
    // FILE_FLAG_OPEN_REPARSE_POINT: a link is opened as the link, not as its target.
    const HANDLE handle = ::CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
}

// To delete: others may keep reading, writing or deleting, as DeleteFileW allows.
constexpr DWORD kDeleteAccess = DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
constexpr DWORD kDeleteSharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// To hold a folder while it is emptied: without delete sharing nobody can rename it or put a link
// in its place, and without delete access it can still be listed by path.
constexpr DWORD kHoldAccess = FILE_READ_ATTRIBUTES | SYNCHRONIZE;
constexpr DWORD kHoldSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;

OpenedEntry OpenEntry(const std::wstring& path, const std::wstring& finalPath, bool folder, DWORD access,
                      DWORD share) {
    OpenedEntry entry;
    entry.handle.Reset(OpenItself(path, access, share));
    if (!entry.handle) {
        entry.state = IsNotFound(::GetLastError()) ? OpenState::Vanished : OpenState::Failed;
        return entry;
    }
    FILE_BASIC_INFO basic{};
    if (!::GetFileInformationByHandleEx(entry.handle.Get(), FileBasicInfo, &basic, sizeof basic)) {
        return entry;
    }
    entry.attributes = basic.FileAttributes;
    if (((entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) != folder) {
        return entry; // replaced since it was listed
    }
    if (!finalPath.empty()) {
        const std::wstring reached = FinalPathOf(entry.handle.Get());
        if (reached.empty() || !SameName(reached, finalPath)) {
            return entry; // reached through a link the system did not report as one
        }
    }
    entry.state = OpenState::Opened;
    return entry;
}

// Marks the opened item for deletion; it goes when its handle closes. `path` names that same item.
bool DeleteOpened(const OpenedEntry& entry, const std::wstring& path) {
    const HANDLE handle = entry.handle.Get();
    const DWORD attributes = entry.attributes;
    // A read-only item must lose the attribute first. By path, not through the handle: some file
    // systems (Wine's) refuse attribute changes to a handle of a read-only file. The item was checked
    // through the handle just before, and a link never gets here.
    const bool lift =
        (attributes & FILE_ATTRIBUTE_READONLY) != 0 && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
    if (lift) {
        const DWORD writable = attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
        ::SetFileAttributesW(path.c_str(), writable == 0 ? FILE_ATTRIBUTE_NORMAL : writable);
    }
    FILE_DISPOSITION_INFO disposition{TRUE};
    if (::SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition)) {
        return true;
    }
    if (lift) {
        ::SetFileAttributesW(path.c_str(), attributes);
    }
    return false;
}

// Opens a listed entry for deletion, or, for a folder to be entered, to hold it while it is emptied.
OpenedEntry OpenListedEntry(const std::wstring& path, const std::wstring& finalPath, DWORD listedAttributes) {
    if (!IsFolderToEnter(listedAttributes)) {
        const bool folder = (listedAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        return OpenEntry(path, finalPath, folder, kDeleteAccess, kDeleteSharing);
    }
    OpenedEntry entry = OpenEntry(path, finalPath, true, kHoldAccess, kHoldSharing);
    if (entry.state == OpenState::Opened && !IsFolderToEnter(entry.attributes)) {
        // Listed as a folder, it is a link now: it is deleted as what it is.
        entry.handle.Reset();
        return OpenEntry(path, finalPath, true, kDeleteAccess, kDeleteSharing);
    }
    return entry;
}

// One folder being emptied.
struct Level {
    std::wstring path;
    std::wstring finalPath;
    OpenedEntry entry; // held, not opened for deletion
    UniqueFindHandle find;
    WIN32_FIND_DATAW next{};
    bool hasNext = false;
    bool complete = true; // everything below was removed
};

Level EnterFolder(std::wstring path, std::wstring finalPath, OpenedEntry entry) {
    Level level{std::move(path), std::move(finalPath), std::move(entry), {}, {}, false, true};
    level.find.Reset(::FindFirstFileExW(ChildPath(level.path, L"*").c_str(), FindExInfoBasic, &level.next,
                                        FindExSearchNameMatch, nullptr, 0));
    if (level.find) {
        level.hasNext = true;
    } else {
        // An empty folder may list nothing at all (not even "." and "..").
        level.complete = ::GetLastError() == ERROR_FILE_NOT_FOUND;
    }
    return level;
}

enum class FolderEnd { Deleted, Vanished, Kept };

// Deletes a folder whose listing has ended, when everything in it went.
FolderEnd FinishFolder(Level& level) {
    level.find.Reset();
    level.entry.handle.Reset();
    if (!level.complete) {
        return FolderEnd::Kept;
    }
    // Opened afresh for deletion, and checked again to be the same folder.
    const OpenedEntry emptied = OpenEntry(level.path, level.finalPath, true, kDeleteAccess, kDeleteSharing);
    if (emptied.state == OpenState::Vanished) {
        return FolderEnd::Vanished;
    }
    const bool deleted = emptied.state == OpenState::Opened && IsFolderToEnter(emptied.attributes) &&
                         DeleteOpened(emptied, level.path);
    return deleted ? FolderEnd::Deleted : FolderEnd::Kept;
}

} // namespace

std::wstring ChildPath(const std::wstring& folder, const wchar_t* name) {
    return folder.ends_with(L'\\') ? folder + name : folder + L"\\" + name;
}

std::wstring FinalPathOf(HANDLE handle) {
    std::wstring buffer(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 3; ++attempt) {
        const DWORD length = ::GetFinalPathNameByHandleW(
            handle, buffer.data(), static_cast<DWORD>(buffer.size()), FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) {
            return {};
        }
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        buffer.resize(length); // too small: length is the size needed, terminating null included
    }
    return {};
}

EntryRemoval RemoveFolderEntry(const std::wstring& path, const std::wstring& finalPath,
                               DWORD listedAttributes) {
    EntryRemoval outcome;
    OpenedEntry entry = OpenListedEntry(path, finalPath, listedAttributes);
    if (entry.state == OpenState::Vanished) {
        outcome.removed = true;
        return outcome;
    }
    if (entry.state == OpenState::Failed) {
        return outcome;
    }
    if (!IsFolderToEnter(entry.attributes)) {
        outcome.removed = DeleteOpened(entry, path);
        outcome.removedItems = outcome.removed ? 1 : 0;
        return outcome;
    }

    // Depth first without recursion, so that a deep tree cannot exhaust the stack.
    std::vector<Level> levels;
    levels.push_back(EnterFolder(path, finalPath, std::move(entry)));
    while (!levels.empty()) {
        Level& level = levels.back();
        if (!level.hasNext) {
            const FolderEnd end = FinishFolder(level);
            levels.pop_back();
            if (end == FolderEnd::Deleted) {
                ++outcome.removedItems;
            }
            const bool removed = end != FolderEnd::Kept;
            if (levels.empty()) {
                outcome.removed = removed;
            } else if (!removed) {
                levels.back().complete = false;
            }
            continue;
        }
        const WIN32_FIND_DATAW found = level.next;
        if (!::FindNextFileW(level.find.Get(), &level.next)) {
            level.hasNext = false;
            if (::GetLastError() != ERROR_NO_MORE_FILES) {
                level.complete = false;
            }
        }
        const std::wstring_view name(found.cFileName);
        if (name == L"." || name == L"..") {
            continue;
        }
        std::wstring childPath = ChildPath(level.path, found.cFileName);
        std::wstring childFinal =
            level.finalPath.empty() ? std::wstring() : ChildPath(level.finalPath, found.cFileName);
        OpenedEntry child = OpenListedEntry(childPath, childFinal, found.dwFileAttributes);
        if (child.state == OpenState::Vanished) {
            continue;
        }
        if (child.state == OpenState::Failed) {
            level.complete = false;
            continue;
        }
        if (IsFolderToEnter(child.attributes)) {
            // `level` is not used past this point: the push may move it.
            levels.push_back(EnterFolder(std::move(childPath), std::move(childFinal), std::move(child)));
            continue;
        }
        if (DeleteOpened(child, childPath)) {
            ++outcome.removedItems;
        } else {
            level.complete = false;
        }
    }
    return outcome;
}

} // namespace Velmora
