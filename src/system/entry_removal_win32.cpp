#include "system/entry_removal_win32.h"

#include <winternl.h>

#include <utility>

namespace Velmora {
namespace {

// NTSTATUS values of the relative opens (ntstatus.h does not go together with windows.h).
constexpr NTSTATUS kStatusAccessDenied = static_cast<NTSTATUS>(0xC0000022u);
constexpr NTSTATUS kStatusNoSuchFile = static_cast<NTSTATUS>(0xC000000Fu);
constexpr NTSTATUS kStatusObjectNameNotFound = static_cast<NTSTATUS>(0xC0000034u);
constexpr NTSTATUS kStatusObjectPathNotFound = static_cast<NTSTATUS>(0xC000003Au);
constexpr NTSTATUS kStatusDeletePending = static_cast<NTSTATUS>(0xC0000056u);

bool IsFolderToEnter(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

enum class OpenState { Opened, Vanished, Failed };

struct OpenedEntry {
    OpenState state = OpenState::Failed;
    HeldFolder item; // the entry's handle and final name (a folder to enter is held with them)
    DWORD attributes = 0;
};

// Opens `name` inside `folder`: a link as the link, not its target. A folder to be entered may be
// listed and is held without delete sharing; anything else is shared as DeleteFileW shares it.
NTSTATUS OpenRelative(HANDLE folder, const std::wstring& name, bool enter, ACCESS_MASK access,
                      UniqueFileHandle& opened) {
    const ULONG share = FILE_SHARE_READ | FILE_SHARE_WRITE | (enter ? 0 : FILE_SHARE_DELETE);
    const ULONG options = FILE_OPEN_FOR_BACKUP_INTENT | (enter ? FILE_DIRECTORY_FILE : 0);
    return OpenInFolder(folder, name, access | (enter ? FILE_LIST_DIRECTORY : 0), share, FILE_OPEN, options,
                        opened);
}

OpenedEntry OpenEntry(const HeldFolder& folder, const ListedEntry& listed) {
    OpenedEntry entry;
    const bool enter = IsFolderToEnter(listed.attributes);
    // Write-attributes access lifts a read-only attribute; where the system refuses it for a
    // read-only file (Wine does), the entry is opened without it.
    constexpr ACCESS_MASK kDelete = DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
    NTSTATUS result = OpenRelative(folder.handle.Get(), listed.name, enter, kDelete | FILE_WRITE_ATTRIBUTES,
                                   entry.item.handle);
    if (result == kStatusAccessDenied) {
        result = OpenRelative(folder.handle.Get(), listed.name, enter, kDelete, entry.item.handle);
    }
    if (!NT_SUCCESS(result)) {
        const bool gone = result == kStatusObjectNameNotFound || result == kStatusObjectPathNotFound ||
                          result == kStatusNoSuchFile || result == kStatusDeletePending;
        entry.state = gone ? OpenState::Vanished : OpenState::Failed;
        return entry;
    }
    FILE_BASIC_INFO basic{};
    if (!::GetFileInformationByHandleEx(entry.item.handle.Get(), FileBasicInfo, &basic, sizeof basic)) {
        return entry;
    }
    entry.attributes = basic.FileAttributes;
    const bool isFolder = (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (isFolder != ((listed.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)) {
        return entry; // replaced since it was listed
    }
    entry.item.finalPath = FinalPathOf(entry.item.handle.Get());
    if (entry.item.finalPath.empty() ||
        !SameName(entry.item.finalPath, ChildPath(folder.finalPath, listed.name))) {
        return entry; // reached through a link the system did not report as one
    }
    entry.state = OpenState::Opened;
    return entry;
}

// Marks the opened item for deletion; it goes when its handle closes. A read-only item loses the
// attribute first, through the same handle, and gets it back when it still cannot be deleted.
bool DeleteOpened(const OpenedEntry& entry) {
    const HANDLE handle = entry.item.handle.Get();
    FILE_DISPOSITION_INFO disposition{TRUE};
    if (::SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition)) {
        return true;
    }
    const DWORD attributes = entry.attributes;
    if ((attributes & FILE_ATTRIBUTE_READONLY) == 0) {
        return false;
    }
    FILE_BASIC_INFO basic{}; // zero times: left as they are
    const DWORD writable = attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
    basic.FileAttributes = writable == 0 ? FILE_ATTRIBUTE_NORMAL : writable;
    if (!::SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof basic)) {
        return false;
    }
    if (::SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition)) {
        return true;
    }
    basic.FileAttributes = attributes;
    ::SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof basic);
    return false;
}

// One folder being emptied.
struct Level {
    OpenedEntry folder;
    std::vector<ListedEntry> entries;
    std::size_t next = 0;
    bool complete = true; // everything below was removed
};

Level EnterFolder(OpenedEntry folder) {
    FolderListing listing = ListFolder(folder.item.handle.Get());
    return Level{std::move(folder), std::move(listing.entries), 0, listing.error == ERROR_SUCCESS};
}

} // namespace

NTSTATUS OpenInFolder(HANDLE folder, const std::wstring& name, ACCESS_MASK access, ULONG share,
                      ULONG disposition, ULONG options, UniqueFileHandle& opened) {
    UNICODE_STRING text{};
    text.Buffer = const_cast<wchar_t*>(name.c_str());
    text.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    text.MaximumLength = text.Length;
    OBJECT_ATTRIBUTES object{};
    InitializeObjectAttributes(&object, &text, OBJ_CASE_INSENSITIVE, folder, nullptr);
    IO_STATUS_BLOCK status{};
    HANDLE raw = nullptr;
    const NTSTATUS result = ::NtCreateFile(
        &raw, access | SYNCHRONIZE, &object, &status, nullptr, FILE_ATTRIBUTE_NORMAL, share, disposition,
        options | FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
    if (NT_SUCCESS(result)) {
        opened.Reset(raw);
    }
    return result;
}

bool SameName(const std::wstring& left, const std::wstring& right) {
    return ::CompareStringOrdinal(left.c_str(), static_cast<int>(left.size()), right.c_str(),
                                  static_cast<int>(right.size()), TRUE) == CSTR_EQUAL;
}

std::wstring ChildPath(const std::wstring& folder, const std::wstring& name) {
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

FolderListing ListFolder(HANDLE folder) {
    FolderListing listing;
    // Aligned for the records, which start on 8-byte boundaries.
    alignas(8) unsigned char buffer[16 * 1024];
    for (FILE_INFO_BY_HANDLE_CLASS kind = FileIdBothDirectoryRestartInfo;; kind = FileIdBothDirectoryInfo) {
        if (!::GetFileInformationByHandleEx(folder, kind, buffer, sizeof buffer)) {
            const DWORD error = ::GetLastError();
            // A drive root may list nothing at all, not even "." and "..".
            listing.error =
                error == ERROR_NO_MORE_FILES || error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : error;
            return listing;
        }
        for (std::size_t offset = 0;;) {
            const auto* record = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer + offset);
            std::wstring name(record->FileName, record->FileNameLength / sizeof(wchar_t));
            if (name != L"." && name != L"..") {
                listing.entries.push_back({std::move(name), record->FileAttributes});
            }
            if (record->NextEntryOffset == 0) {
                break;
            }
            offset += record->NextEntryOffset;
        }
    }
}

EntryRemoval RemoveFolderEntry(const HeldFolder& folder, const ListedEntry& listed) {
    EntryRemoval outcome;
    OpenedEntry entry = OpenEntry(folder, listed);
    if (entry.state != OpenState::Opened) {
        outcome.removed = entry.state == OpenState::Vanished;
        return outcome;
    }
    if (!IsFolderToEnter(entry.attributes)) {
        // A file, or a link (also one that was listed as a folder and has been swapped since).
        outcome.removed = DeleteOpened(entry);
        outcome.removedItems = outcome.removed ? 1 : 0;
        return outcome;
    }

    // Depth first without recursion, so that a deep tree cannot exhaust the stack.
    std::vector<Level> levels;
    levels.push_back(EnterFolder(std::move(entry)));
    while (!levels.empty()) {
        Level& level = levels.back();
        if (level.next == level.entries.size()) {
            const bool deleted = level.complete && DeleteOpened(level.folder);
            levels.pop_back(); // closes the folder, which goes now if it was marked
            outcome.removedItems += deleted ? 1 : 0;
            if (levels.empty()) {
                outcome.removed = deleted;
            } else if (!deleted) {
                levels.back().complete = false;
            }
            continue;
        }
        const ListedEntry& listedChild = level.entries[level.next++];
        OpenedEntry child = OpenEntry(level.folder.item, listedChild);
        if (child.state == OpenState::Vanished) {
            continue;
        }
        if (child.state == OpenState::Failed) {
            level.complete = false;
            continue;
        }
        if (IsFolderToEnter(child.attributes)) {
            // `level` is not used past this point: the push may move it.
            levels.push_back(EnterFolder(std::move(child)));
            continue;
        }
        if (DeleteOpened(child)) {
            ++outcome.removedItems;
        } else {
            level.complete = false;
        }
    }
    return outcome;
}

} // namespace Velmora
