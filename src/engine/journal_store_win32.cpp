#include "engine/windows_engine.h"

#include "common/diagnostics.h"
#include "common/win32_handles.h"
#include "engine/journal.h"
#include "system/app_offloading.h"
#include "system/entry_removal_win32.h"
#include "system/temp_folder_guard.h"

#include <aclapi.h>
#include <knownfolders.h>
#include <sddl.h>
#include <shlobj.h>

#include <algorithm>
#include <cwchar>
#include <map>

namespace Velmora {
namespace {

// Owned by Administrators; full access for SYSTEM and Administrators, passed on to everything inside;
// nothing inherited from above, so no one else can read or plant a journal. The owner matters as much as
// the list: an owner may always change the list (https://learn.microsoft.com/windows/win32/secauthz/
// owner-of-a-new-object), so a folder another account made first stays theirs until it is given away.
constexpr wchar_t kJournalFolderSecurity[] = L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
// The same for each journal file, set when it is made rather than inherited.
constexpr wchar_t kJournalFileSecurity[] = L"O:BAD:P(A;;FA;;;SY)(A;;FA;;;BA)";
constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::wstring ErrorText(DWORD error) {
    return L"error " + std::to_wstring(error);
}

bool IsLink(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// A security descriptor from its text; empty (and the error set) when it cannot be built.
UniqueLocalMemory Descriptor(const wchar_t* text) {
    PSECURITY_DESCRIPTOR raw = nullptr;
    ::ConvertStringSecurityDescriptorToSecurityDescriptorW(text, SDDL_REVISION_1, &raw, nullptr);
    return UniqueLocalMemory(raw);
}

UniqueKernelHandle OpenFile(const std::wstring& path, DWORD access, DWORD share, DWORD disposition,
                            DWORD flags, PSECURITY_DESCRIPTOR security = nullptr) {
    SECURITY_ATTRIBUTES attributes{sizeof attributes, security, FALSE};
    const HANDLE handle =
        ::CreateFileW(path.c_str(), access, share, security == nullptr ? nullptr : &attributes, disposition,
                      flags, nullptr);
    return UniqueKernelHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

bool WriteAll(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD written = 0;
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
        if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) {
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

std::wstring ProcessUserSid() {
    return GetCurrentUserSid();
}

bool ProcessIsAdministrator() {
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof sid;
    BOOL member = FALSE;
    return ::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &size) &&
           ::CheckTokenMembership(nullptr, sid, &member) && member;
}

bool IsTrustedOwner(const FileOwnerReader& ownerOf, HANDLE item) {
    return IsTrustedJournalOwner(ownerOf(item), ProcessUserSid(), ProcessIsAdministrator());
}

bool SamePath(const std::wstring& left, const std::wstring& right) {
    const auto a = CanonicalFullPath(left);
    const auto b = CanonicalFullPath(right);
    return a && b && SameName(*a, *b);
}

// Creates a folder owned by Administrators with the protected access list, or gives an existing one
// that owner and list, through a handle that reached the folder itself and no link. Refused when it is
// not a plain folder or keeps an owner Velmora does not trust: another account could open it up again.
bool SecureFolder(const std::wstring& path, const FileOwnerReader& ownerOf, HeldFolder& held,
                  std::wstring& error) {
    const UniqueLocalMemory descriptor = Descriptor(kJournalFolderSecurity);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.Get(), FALSE};
    if (!descriptor ||
        (!::CreateDirectoryW(path.c_str(), &attributes) && ::GetLastError() != ERROR_ALREADY_EXISTS)) {
        error = L"the folder " + path + L" could not be created (" + ErrorText(::GetLastError()) + L")";
        return false;
    }
    {
        // A folder another account made may shut administrators out: taking it over needs these.
        const EnabledPrivileges privileges{SE_TAKE_OWNERSHIP_NAME, SE_BACKUP_NAME, SE_RESTORE_NAME};
        held.handle.Reset(::CreateFileW(path.c_str(),
                                        READ_CONTROL | WRITE_DAC | WRITE_OWNER | FILE_LIST_DIRECTORY |
                                            FILE_TRAVERSE | FILE_READ_ATTRIBUTES,
                                        kShareAll, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    }
    BY_HANDLE_FILE_INFORMATION information{};
    held.finalPath = held.handle ? FinalPathOf(held.handle.Get()) : std::wstring();
    if (!held.handle || !::GetFileInformationByHandle(held.handle.Get(), &information) ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
        !SamePath(held.finalPath, path)) {
        error = L"the journal folder " + path + L" is not a plain folder";
        return false;
    }
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL acl = nullptr;
    PSID owner = nullptr;
    ::GetSecurityDescriptorDacl(descriptor.Get(), &present, &acl, &defaulted);
    ::GetSecurityDescriptorOwner(descriptor.Get(), &owner, &defaulted);
    const DWORD set = ::SetSecurityInfo(held.handle.Get(), SE_FILE_OBJECT,
                                        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                            PROTECTED_DACL_SECURITY_INFORMATION,
                                        owner, nullptr, acl, nullptr);
    if (set != ERROR_SUCCESS || !IsTrustedOwner(ownerOf, held.handle.Get())) {
        error = L"the folder " + path + L" could not be given to the Administrators (" +
                (set != ERROR_SUCCESS ? ErrorText(set) : L"its owner is " + ownerOf(held.handle.Get())) +
                L"); Velmora keeps no journals in a folder another account owns";
        return false;
    }
    return true;
}

// What another account left in the journal folder before Velmora secured it (or a link anyone left):
// none of it is a journal Velmora may read, and none may take the name a run needs. Removed through
// handles, a link as a link.
void RemoveForeignEntries(const HeldFolder& folder, const FileOwnerReader& ownerOf) {
    for (const ListedEntry& entry : ListFolder(folder.handle.Get()).entries) {
        UniqueFileHandle item;
        const bool trusted =
            (entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 &&
            NT_SUCCESS(OpenInFolder(folder.handle.Get(), entry.name, READ_CONTROL | FILE_READ_ATTRIBUTES,
                                    kShareAll, FILE_OPEN, 0, item)) &&
            SamePath(FinalPathOf(item.Get()), ChildPath(folder.finalPath, entry.name)) &&
            IsTrustedOwner(ownerOf, item.Get());
        item.Reset();
        if (!trusted && !RemoveFolderEntry(folder, entry).removed) {
            Diagnose(L"Left by another account, and could not be removed: " +
                     ChildPath(folder.finalPath, entry.name));
        }
    }
}

// A file or a link where the journal folder goes is removed; a folder there is secured in its place
// (journals an administrator wrote into it stay).
void ClearTheWayFor(const HeldFolder& parent, const std::wstring& name) {
    for (const ListedEntry& entry : ListFolder(parent.handle.Get()).entries) {
        const DWORD kind = entry.attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT);
        if (SameName(entry.name, name) && kind != FILE_ATTRIBUTE_DIRECTORY) {
            static_cast<void>(RemoveFolderEntry(parent, entry)); // what stays is refused next
        }
    }
}

// "20250131T120000.123Z"
std::wstring FileTimeStamp() {
    SYSTEMTIME now{};
    ::GetSystemTime(&now);
    wchar_t text[32] = {};
    ::swprintf(text, 32, L"%04u%02u%02uT%02u%02u%02u.%03uZ", unsigned{now.wYear}, unsigned{now.wMonth},
               unsigned{now.wDay}, unsigned{now.wHour}, unsigned{now.wMinute}, unsigned{now.wSecond},
               unsigned{now.wMilliseconds});
    return text;
}

class WindowsJournalFile final : public JournalFile {
public:
    WindowsJournalFile(std::wstring finalPath, UniqueKernelHandle partial)
        : finalPath_(std::move(finalPath)), partial_(std::move(partial)) {}

    const std::wstring& FinalPath() const override { return finalPath_; }

    bool AppendLine(std::string_view line) override {
        return partial_ && WriteAll(partial_.Get(), line) && ::FlushFileBuffers(partial_.Get());
    }

    bool Close(std::string_view document) override {
        const std::wstring temporary = finalPath_ + L".tmp";
        {
            // A new file of its own, never one found there: whatever has the name goes first.
            ::DeleteFileW(temporary.c_str());
            const UniqueLocalMemory security = Descriptor(kJournalFileSecurity);
            const UniqueKernelHandle file =
                OpenFile(temporary, GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, security.Get());
            if (!file || !WriteAll(file.Get(), document) || !::FlushFileBuffers(file.Get())) {
                ::DeleteFileW(temporary.c_str());
                return false;
            }
        }
        if (!::MoveFileExW(temporary.c_str(), finalPath_.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            ::DeleteFileW(temporary.c_str());
            return false;
        }
        partial_.Reset();
        ::DeleteFileW(PartialPath().c_str());
        return true;
    }

private:
    std::wstring finalPath_;
    UniqueKernelHandle partial_;
};

// The journal's name without ".json" or ".json.partial".
std::wstring BaseName(const std::wstring& fileName) {
    const std::size_t json = fileName.rfind(L".json");
    return json == std::wstring::npos ? fileName : fileName.substr(0, json);
}

} // namespace

std::wstring FileOwnerSid(HANDLE file) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR raw = nullptr;
    if (::GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                          &raw) != ERROR_SUCCESS) {
        return {};
    }
    const UniqueLocalMemory descriptor(raw);
    wchar_t* text = nullptr;
    if (owner == nullptr || !::ConvertSidToStringSidW(owner, &text)) {
        return {};
    }
    const UniqueLocalMemory owned(text);
    return text;
}

std::wstring DefaultJournalFolder() {
    PWSTR raw = nullptr;
    const HRESULT hr = ::SHGetKnownFolderPath(FOLDERID_ProgramData, 0, nullptr, &raw);
    const UniqueCoTaskMemory owned(raw);
    if (FAILED(hr) || raw == nullptr) {
        return {};
    }
    return std::wstring(raw) + L"\\Velmora\\Journal";
}

WindowsJournalStore::WindowsJournalStore(std::wstring folder, FileOwnerReader ownerOf)
    : folder_(std::move(folder), DefaultJournalFolder), ownerOf_(std::move(ownerOf)) {}

bool WindowsJournalStore::EnsureFolder(std::wstring& error) {
    if (folder_.Get().empty()) {
        error = L"the ProgramData folder is unknown";
        return false;
    }
    // Velmora's own folder above it is secured the same way, so no one else can swap the folder.
    const std::size_t slash = folder_.Get().find_last_of(L'\\');
    const std::wstring parent = slash == std::wstring::npos ? std::wstring() : folder_.Get().substr(0, slash);
    HeldFolder held;
    if (parent.ends_with(L"\\Velmora")) {
        if (!SecureFolder(parent, ownerOf_, held, error)) {
            return false;
        }
        ClearTheWayFor(held, folder_.Get().substr(slash + 1));
    }
    if (!SecureFolder(folder_.Get(), ownerOf_, held, error)) {
        return false;
    }
    RemoveForeignEntries(held, ownerOf_);
    return true;
}

std::unique_ptr<JournalFile> WindowsJournalStore::Create(const std::wstring& name, std::wstring& error) {
    if (!EnsureFolder(error)) {
        return nullptr;
    }
    // Each journal gets a time of its own, so that the names sort in the order the journals were made.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::wstring stamp = FileTimeStamp();
        WIN32_FIND_DATAW found{};
        if (UniqueFindHandle(::FindFirstFileExW((folder_.Get() + L"\\" + stamp + L"-*").c_str(),
                                                FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                                0))) {
            ::Sleep(1);
            continue;
        }
        const std::wstring finalPath = folder_.Get() + L"\\" + stamp + L"-" + name + L".json";
        const UniqueLocalMemory security = Descriptor(kJournalFileSecurity);
        UniqueKernelHandle partial = OpenFile(finalPath + L".partial", GENERIC_WRITE, FILE_SHARE_READ,
                                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, security.Get());
        if (partial) {
            return std::make_unique<WindowsJournalFile>(finalPath, std::move(partial));
        }
        if (::GetLastError() != ERROR_FILE_EXISTS) {
            error = L"the journal could not be created in " + folder_.Get() + L" (" +
                    ErrorText(::GetLastError()) + L")";
            return nullptr;
        }
    }
    error = L"no free journal name in " + folder_.Get();
    return nullptr;
}

std::optional<std::string> WindowsJournalStore::ReadTrusted(const std::wstring& path, std::wstring& error) {
    wchar_t full[MAX_PATH * 2] = {};
    const DWORD length = ::GetFullPathNameW(path.c_str(), MAX_PATH * 2, full, nullptr);
    if (length == 0 || length >= MAX_PATH * 2) {
        error = L"The journal path " + path + L" is not valid.";
        return std::nullopt;
    }
    const std::wstring fullPath(full, length);
    const std::wstring folder = fullPath.substr(0, fullPath.find_last_of(L'\\'));
    if (IsLink(::GetFileAttributesW(folder.c_str()))) {
        error =
            L"The journal's folder " + folder + L" is a link; journals are read only from a plain folder.";
        return std::nullopt;
    }
    const UniqueKernelHandle file = OpenFile(fullPath, GENERIC_READ | READ_CONTROL, FILE_SHARE_READ,
                                             OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT);
    if (!file) {
        const DWORD failed = ::GetLastError();
        error = failed == ERROR_FILE_NOT_FOUND || failed == ERROR_PATH_NOT_FOUND
                    ? L"The journal " + fullPath + L" does not exist."
                    : L"The journal " + fullPath + L" cannot be opened (" + ErrorText(failed) + L").";
        return std::nullopt;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (!::GetFileInformationByHandle(file.Get(), &information) ||
        (information.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
        error = L"The journal " + fullPath + L" is not a plain file.";
        return std::nullopt;
    }
    const std::uint64_t size =
        (static_cast<std::uint64_t>(information.nFileSizeHigh) << 32) | information.nFileSizeLow;
    if (size > kMaxJournalBytes) {
        error = L"The journal " + fullPath + L" is larger than any journal Velmora writes.";
        return std::nullopt;
    }
    if (!IsTrustedJournalOwner(ownerOf_(file.Get()), ProcessUserSid(), ProcessIsAdministrator())) {
        error = L"The journal " + fullPath + L" was not written by an administrator of this PC.";
        return std::nullopt;
    }
    std::string text(static_cast<std::size_t>(size), '\0');
    DWORD read = 0;
    if (size > 0 &&
        (!::ReadFile(file.Get(), text.data(), static_cast<DWORD>(size), &read, nullptr) || read != size)) {
        error = L"The journal " + fullPath + L" could not be read.";
        return std::nullopt;
    }
    return text;
}

std::vector<std::wstring> WindowsJournalStore::List() {
    std::map<std::wstring, std::wstring, std::greater<>> journals; // base name -> path, newest first
    WIN32_FIND_DATAW found{};
    const UniqueFindHandle find(::FindFirstFileExW((folder_.Get() + L"\\*.json*").c_str(), FindExInfoBasic,
                                                   &found, FindExSearchNameMatch, nullptr, 0));
    if (!find) {
        return {};
    }
    do {
        const std::wstring name = found.cFileName;
        if ((found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0 ||
            !IsJournalFileName(name)) {
            continue;
        }
        const std::wstring path = folder_.Get() + L"\\" + name;
        const UniqueKernelHandle file =
            OpenFile(path, READ_CONTROL, kShareAll, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT);
        if (!file || !IsTrustedOwner(ownerOf_, file.Get())) {
            continue; // planted by another account: never the journal a restore picks, nor one kept
        }
        auto [entry, added] = journals.emplace(BaseName(name), path);
        if (!added && name.ends_with(L".json")) {
            entry->second = path; // the closed journal stands for its run
        }
    } while (::FindNextFileW(find.Get(), &found));
    std::vector<std::wstring> paths;
    for (const auto& [base, path] : journals) {
        paths.push_back(path);
    }
    return paths;
}

void WindowsJournalStore::Prune(std::size_t keep) {
    for (const std::wstring& journal : JournalsToPrune(List(), keep)) {
        const std::wstring base = folder_.Get() + L"\\" + BaseName(journal.substr(folder_.Get().size() + 1));
        for (const wchar_t* ending : {L".json", L".json.partial", L".json.tmp"}) {
            ::DeleteFileW((base + ending).c_str());
        }
    }
}

std::int64_t WindowsJournalStore::NowUtcSeconds() {
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    const std::uint64_t ticks = (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return static_cast<std::int64_t>(ticks / 10000000u) - 11644473600LL; // 1601 to 1970
}

} // namespace Velmora
