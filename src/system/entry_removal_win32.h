#pragma once

#include "common/win32_handles.h"

#include <winternl.h>

#include <cstdint>
#include <string>
#include <vector>

namespace Velmora {

// A folder opened and held while it is cleaned, with the name the system gives it ("\\?\C:\...").
// It is held without delete sharing, so nobody can rename it or put something else in its place.
struct HeldFolder {
    UniqueFileHandle handle;
    std::wstring finalPath;
};

// One entry of a folder listing.
struct ListedEntry {
    std::wstring name;
    DWORD attributes = 0;
};

struct FolderListing {
    std::vector<ListedEntry> entries; // without "." and ".."
    DWORD error = ERROR_SUCCESS;      // why the listing broke off after `entries`; success when it ended
};

// Lists a folder through its handle.
[[nodiscard]] FolderListing ListFolder(HANDLE folder);

// What removing one entry of a folder did.
struct EntryRemoval {
    bool removed = false;           // the entry is gone, or had gone already
    std::uint64_t removedItems = 0; // files, folders and links this removal deleted, the entry included
};

// Removes one listed entry of a held folder: a file, a link (as a link, never entering it or touching
// its target), or a folder with everything below it. Whatever can be removed is removed; one item
// that cannot be removed makes the entry count as not removed and keeps the folders above it.
//
// Every item is opened relative to the handle of the folder it was listed in, never by path, and
// deleted through its own handle, so a folder swapped for a link anywhere above it cannot lead the
// removal elsewhere. An item whose name as opened is not its folder's name and its own was reached
// through a link the system did not report as one (Wine shows links to files as plain files), and
// is left alone.
[[nodiscard]] EntryRemoval RemoveFolderEntry(const HeldFolder& folder, const ListedEntry& entry);

// NtCreateFile of `name` inside `folder`, relative to the folder's handle and never by path: a link is
// opened as the link, not followed (Wine follows a Unix link to a folder all the same: compare the
// final name). Synchronous I/O; the status as NtCreateFile gives it.
[[nodiscard]] NTSTATUS OpenInFolder(HANDLE folder, const std::wstring& name, ACCESS_MASK access, ULONG share,
                                    ULONG disposition, ULONG options, UniqueFileHandle& opened);

// Names and paths as the file system compares them: without regard to case.
[[nodiscard]] bool SameName(const std::wstring& left, const std::wstring& right);

// `folder` and `name` joined by one backslash.
[[nodiscard]] std::wstring ChildPath(const std::wstring& folder, const std::wstring& name);

// The name the system gives an open file or folder ("\\?\C:\..."); empty when it cannot tell.
[[nodiscard]] std::wstring FinalPathOf(HANDLE handle);

} // namespace Velmora
