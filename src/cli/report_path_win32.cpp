#include "cli/report_path_win32.h"

#include "system/entry_removal_win32.h"

#include <cstddef>
#include <cstring>
#include <vector>

namespace Velmora::Cli {
namespace {

constexpr NTSTATUS kStatusObjectNameNotFound = static_cast<NTSTATUS>(0xC0000034u);
constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::wstring StatusText(NTSTATUS status) {
    return L"error " + std::to_wstring(::RtlNtStatusToDosError(status));
}

// Marks an opened item for deletion; it goes when its last handle closes.
bool DeleteOpened(HANDLE item) {
    FILE_DISPOSITION_INFO disposition{TRUE};
    return ::SetFileInformationByHandle(item, FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}

// The root of a full path ("C:\", "\\server\share\") and the names below it, the file's last.
bool SplitPath(const std::wstring& path, std::wstring& root, std::vector<std::wstring>& names) {
    std::size_t start = 3;
    if (path.starts_with(L"\\\\")) {
        const std::size_t share = path.find(L'\\', 2);
        start = share == std::wstring::npos ? share : path.find(L'\\', share + 1);
        if (start == std::wstring::npos) {
            return false;
        }
        ++start;
    }
    root = path.substr(0, start);
    for (std::size_t next = start; next <= path.size();) {
        const std::size_t slash = std::min(path.find(L'\\', next), path.size());
        names.push_back(path.substr(next, slash - next));
        if (names.back().empty()) {
            return false;
        }
        next = slash + 1;
    }
    return !names.empty();
}

// What was opened is what the path names: not a link, of the kind expected, and named by the system as
// its folder's child (Wine follows a Unix link without saying so; the name it gives shows where to).
bool IsPlainChild(const ReportFolder& parent, const std::wstring& name, const ReportFolder& child,
                  bool folder, std::wstring& error) {
    FILE_BASIC_INFO basic{};
    if (!::GetFileInformationByHandleEx(child.handle.Get(), FileBasicInfo, &basic, sizeof basic)) {
        error = ChildPath(parent.finalPath, name) + L" cannot be read (error " +
                std::to_wstring(::GetLastError()) + L")";
        return false;
    }
    const bool isFolder = (basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if ((basic.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 || isFolder != folder ||
        !SameName(child.finalPath, ChildPath(parent.finalPath, name))) {
        error = ChildPath(parent.finalPath, name) +
                (folder ? L" is a link or not a folder" : L" is a link or a folder");
        return false;
    }
    return true;
}

std::wstring FileNameOf(const std::wstring& fullPath) {
    return fullPath.substr(fullPath.find_last_of(L'\\') + 1);
}

// Opens `name` in the held folder when it is there (else no handle). False with the reason when it is
// there but a link or a folder, or cannot be opened.
bool OpenPlainFile(const ReportFolder& folder, const std::wstring& name, ACCESS_MASK access,
                   ReportFolder& file, std::wstring& error) {
    const NTSTATUS status =
        OpenInFolder(folder.handle.Get(), name, access, kShareAll, FILE_OPEN, 0, file.handle);
    if (status == kStatusObjectNameNotFound) {
        return true;
    }
    if (!NT_SUCCESS(status)) {
        error = L"it cannot be opened (" + StatusText(status) + L")";
        return false;
    }
    file.finalPath = FinalPathOf(file.handle.Get());
    return IsPlainChild(folder, name, file, false, error);
}

} // namespace

std::optional<ReportFolder> OpenReportFolder(const std::wstring& fullPath, bool create, std::wstring& error) {
    std::wstring root;
    std::vector<std::wstring> names;
    if (!SplitPath(fullPath, root, names)) {
        error = L"it is not a plain path";
        return std::nullopt;
    }
    ReportFolder folder;
    folder.handle.Reset(::CreateFileW(root.c_str(), FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                      kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                      nullptr));
    folder.finalPath = folder.handle ? FinalPathOf(folder.handle.Get()) : std::wstring();
    if (folder.finalPath.empty()) {
        error = root + L" cannot be opened (error " + std::to_wstring(::GetLastError()) + L")";
        return std::nullopt;
    }
    names.pop_back(); // the file's
    for (const std::wstring& name : names) {
        ReportFolder child;
        constexpr ACCESS_MASK kAccess = FILE_TRAVERSE | FILE_READ_ATTRIBUTES;
        NTSTATUS status = OpenInFolder(folder.handle.Get(), name, kAccess, kShareAll, FILE_OPEN,
                                       FILE_DIRECTORY_FILE, child.handle);
        if (status == kStatusObjectNameNotFound && !create) {
            return ReportFolder{}; // made when the report is written
        }
        if (status == kStatusObjectNameNotFound) {
            status = OpenInFolder(folder.handle.Get(), name, kAccess, kShareAll, FILE_CREATE,
                                  FILE_DIRECTORY_FILE, child.handle);
        }
        if (!NT_SUCCESS(status)) {
            error = L"the folder " + ChildPath(folder.finalPath, name) + L" cannot be opened or made (" +
                    StatusText(status) + L")";
            return std::nullopt;
        }
        child.finalPath = FinalPathOf(child.handle.Get());
        if (!IsPlainChild(folder, name, child, true, error)) {
            return std::nullopt;
        }
        folder = std::move(child);
    }
    return folder;
}

bool WriteReportInto(const ReportFolder& folder, const std::wstring& fileName, std::string_view document,
                     std::wstring& error) {
    // The report that was there goes first, as a plain file checked through the handle that deletes it.
    ReportFolder old;
    if (!OpenPlainFile(folder, fileName, DELETE | FILE_READ_ATTRIBUTES, old, error)) {
        return false;
    }
    if (old.handle && !DeleteOpened(old.handle.Get())) {
        error = L"the report there cannot be replaced (error " + std::to_wstring(::GetLastError()) + L")";
        return false;
    }
    old.handle.Reset(); // it goes now
    // A new file: nothing of that name, linked or not, is written through.
    UniqueFileHandle file;
    const NTSTATUS created = OpenInFolder(folder.handle.Get(), fileName, GENERIC_WRITE | DELETE, 0,
                                          FILE_CREATE, FILE_NON_DIRECTORY_FILE, file);
    if (!NT_SUCCESS(created)) {
        error = L"the report cannot be made (" + StatusText(created) + L")";
        return false;
    }
    DWORD written = 0;
    if (!::WriteFile(file.Get(), document.data(), static_cast<DWORD>(document.size()), &written, nullptr) ||
        written != document.size() || !::FlushFileBuffers(file.Get())) {
        error = L"the report cannot be written (error " + std::to_wstring(::GetLastError()) + L")";
        DeleteOpened(file.Get()); // no half report
        return false;
    }
    return true;
}

bool CheckReportPathOnDisk(const std::wstring& fullPath, std::wstring& error) {
    const std::optional<ReportFolder> folder = OpenReportFolder(fullPath, false, error);
    ReportFolder file;
    return folder && (!folder->handle ||
                      OpenPlainFile(*folder, FileNameOf(fullPath), FILE_READ_ATTRIBUTES, file, error));
}

bool WriteReportFile(const std::wstring& fullPath, std::string_view document, std::wstring& error) {
    const std::optional<ReportFolder> folder = OpenReportFolder(fullPath, true, error);
    return folder && WriteReportInto(*folder, FileNameOf(fullPath), document, error);
}

} // namespace Velmora::Cli
