#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace Velmora {

// What removing one entry of a folder did.
struct EntryRemoval {
    bool removed = false;           // the entry is gone, or had gone already
    std::uint64_t removedItems = 0; // files, folders and links this removal deleted, the entry included
};

// Removes one entry of a folder: a file, a link (as a link, never entering it or touching its
// target), or a folder with everything below it. Whatever can be removed is removed; one item that
// cannot be removed makes the entry count as not removed and keeps the folders above it.
//
// Every item is opened as itself and deleted through that handle. `finalPath` is the name the system
// must give the object `path` reaches (the folder's own final name, a backslash and the entry's
// name); an object that answers to another name was reached through a link the system did not
// report as one, and is left alone. Folders are held open without delete sharing while they are
// emptied, so nobody can swap one for a link in the meantime. Empty `finalPath`: not checked.
[[nodiscard]] EntryRemoval RemoveFolderEntry(const std::wstring& path, const std::wstring& finalPath,
                                             DWORD listedAttributes);

// `folder` and `name` joined by one backslash.
[[nodiscard]] std::wstring ChildPath(const std::wstring& folder, const wchar_t* name);

// The name the system gives an open file or folder ("\\?\C:\..."); empty when it cannot tell.
[[nodiscard]] std::wstring FinalPathOf(HANDLE handle);

} // namespace Velmora
