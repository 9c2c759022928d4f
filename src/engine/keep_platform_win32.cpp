#include "engine/keep_platform_win32.h"

#include "common/win32_handles.h"
#include "system/scheduled_tasks.h"
#include "system/system_state.h"

#include <aclapi.h>
#include <knownfolders.h>
#include <sddl.h>
#include <shlobj.h>

namespace Velmora {
namespace {

// Owned by Administrators; changed only by Administrators and SYSTEM; read and run by everyone, like
// the rest of Program Files; nothing inherited from above.
constexpr wchar_t kProgramFolderSecurity[] =
    L"O:BAG:SYD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";
constexpr wchar_t kProgramFileSecurity[] = L"O:BAG:SYD:PAI(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x1200a9;;;BU)";
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::wstring ErrorText(DWORD error) {
    return L"error " + std::to_wstring(error);
}

UniqueLocalMemory Descriptor(const wchar_t* text) {
    PSECURITY_DESCRIPTOR raw = nullptr;
    ::ConvertStringSecurityDescriptorToSecurityDescriptorW(text, SDDL_REVISION_1, &raw, nullptr);
    return UniqueLocalMemory(raw);
}

std::wstring SidText(PSID sid) {
    wchar_t* text = nullptr;
    if (sid == nullptr || !::ConvertSidToStringSidW(sid, &text)) {
        return {};
    }
    const UniqueLocalMemory owned(text);
    return text;
}

// The item itself, never what a link points to.
UniqueKernelHandle OpenItem(const std::wstring& path, DWORD access) {
    const HANDLE handle = ::CreateFileW(path.c_str(), access, kShareAll, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    return UniqueKernelHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

bool IsPlainFolder(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION information{};
    return ::GetFileInformationByHandle(handle, &information) &&
           (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
           (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

// Gives the item the descriptor's owner and protected access list.
bool Protect(HANDLE item, PSECURITY_DESCRIPTOR descriptor) {
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL acl = nullptr;
    PSID owner = nullptr;
    return ::GetSecurityDescriptorDacl(descriptor, &present, &acl, &defaulted) &&
           ::GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) &&
           ::SetSecurityInfo(item, SE_FILE_OBJECT,
                             OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                 PROTECTED_DACL_SECURITY_INFORMATION,
                             owner, nullptr, acl, nullptr) == ERROR_SUCCESS;
}

std::wstring DefaultProgramFolder() {
    PWSTR raw = nullptr;
    const HRESULT hr = ::SHGetKnownFolderPath(FOLDERID_ProgramFiles, 0, nullptr, &raw);
    const UniqueCoTaskMemory owned(raw);
    return SUCCEEDED(hr) && raw != nullptr ? std::wstring(raw) + L"\\Velmora" : std::wstring();
}

} // namespace

std::wstring RunningProgramPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring CliBesideRunningProgram() {
    const std::wstring program = RunningProgramPath();
    const std::size_t slash = program.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : program.substr(0, slash + 1) + kKeptProgramName;
}

std::optional<FolderSecurity> ReadFolderSecurity(void* handle) {
    PSID owner = nullptr;
    PACL acl = nullptr;
    PSECURITY_DESCRIPTOR raw = nullptr;
    if (::GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                          &owner, nullptr, &acl, nullptr, &raw) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    const UniqueLocalMemory descriptor(raw);
    FolderSecurity security{SidText(owner), acl != nullptr, {}};
    for (DWORD i = 0; acl != nullptr && i < acl->AceCount; ++i) {
        void* ace = nullptr;
        if (!::GetAce(acl, i, &ace)) {
            return std::nullopt;
        }
        const auto* header = static_cast<const ACE_HEADER*>(ace);
        const bool allows = header->AceType == ACCESS_ALLOWED_ACE_TYPE;
        if (!allows && header->AceType != ACCESS_DENIED_ACE_TYPE) {
            return std::nullopt; // a kind of entry this check does not read: not known to be safe
        }
        // Both kinds share this layout: header, mask, then the SID.
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        security.entries.push_back({allows, SidText(&allowed->SidStart), allowed->Mask});
    }
    return security;
}

WindowsKeepPlatform::WindowsKeepPlatform(std::wstring sourceProgram, std::wstring folder,
                                         FolderSecurityReader readSecurity)
    : source_(std::move(sourceProgram)), folder_(std::move(folder), DefaultProgramFolder),
      readSecurity_(std::move(readSecurity)) {}

std::wstring WindowsKeepPlatform::SourceProgram(std::wstring& error) {
    const DWORD attributes = ::GetFileAttributesW(source_.c_str());
    if (source_.empty() || attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
        error = L"velmora-cli.exe was not found at " + source_ + L".";
        return {};
    }
    return source_;
}

bool WindowsKeepPlatform::PrepareProgramFolder(std::wstring& error) {
    if (folder_.Get().empty()) {
        error = L"the Program Files folder could not be found.";
        return false;
    }
    const UniqueLocalMemory descriptor = Descriptor(kProgramFolderSecurity);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.Get(), FALSE};
    const bool made = descriptor && ::CreateDirectoryW(folder_.Get().c_str(), &attributes);
    if (!made && ::GetLastError() != ERROR_ALREADY_EXISTS) {
        error =
            L"the folder " + folder_.Get() + L" could not be made (" + ErrorText(::GetLastError()) + L").";
        return false;
    }
    // Made now or found: checked the same way, through the folder itself and never a link.
    const UniqueKernelHandle folder =
        OpenItem(folder_.Get(), READ_CONTROL | FILE_READ_ATTRIBUTES | (made ? WRITE_DAC | WRITE_OWNER : 0));
    if (!folder || !IsPlainFolder(folder.Get())) {
        error = folder_.Get() + L" is not a plain folder; Velmora runs nothing as SYSTEM from it.";
        return false;
    }
    if (made) {
        // Set again through the handle: creation may make the creator the owner.
        static_cast<void>(Protect(folder.Get(), descriptor.Get()));
    }
    // The elevated user's own account is not trusted here: that user's unelevated programs share it.
    const std::optional<FolderSecurity> security = readSecurity_(folder.Get());
    std::wstring why = L"its owner and access list cannot be read";
    if (!security || !OnlyAdministratorsCanChange(*security, why)) {
        error =
            folder_.Get() + (made ? L" was made, but " : L" already exists and ") + why +
            L". Velmora runs nothing as SYSTEM from a folder others can change" +
            (made ? L"."
                  : L": remove the folder, or let only Administrators and SYSTEM change it, and try again.");
        if (made) {
            static_cast<void>(::RemoveDirectoryW(folder_.Get().c_str()));
        }
        return false;
    }
    return true;
}

bool WindowsKeepPlatform::InstallProgram(const std::wstring& source, std::wstring& error) {
    const std::wstring target = folder_.Get() + L"\\" + kKeptProgramName;
    const auto same = [](std::wstring left, std::wstring right) {
        return ::CompareStringOrdinal(left.c_str(), -1, right.c_str(), -1, TRUE) == CSTR_EQUAL;
    };
    if (same(source, target)) {
        return true; // run from the copy itself
    }
    const UniqueKernelHandle existing = OpenItem(target, FILE_READ_ATTRIBUTES);
    if (existing && IsPlainFolder(existing.Get())) {
        error = target + L" is a folder.";
        return false;
    }
    if (!::CopyFileW(source.c_str(), target.c_str(), FALSE)) {
        error = L"velmora-cli.exe could not be copied to " + folder_.Get() + L" (" +
                ErrorText(::GetLastError()) + L").";
        return false;
    }
    // The copy gets the folder's protection itself, whatever a file it replaced had.
    const UniqueLocalMemory descriptor = Descriptor(kProgramFileSecurity);
    const UniqueKernelHandle file = OpenItem(target, READ_CONTROL | WRITE_DAC | WRITE_OWNER);
    if (!descriptor || !file || !Protect(file.Get(), descriptor.Get())) {
        error = L"the copy in " + folder_.Get() + L" could not be protected.";
        static_cast<void>(::DeleteFileW(target.c_str()));
        return false;
    }
    return true;
}

bool WindowsKeepPlatform::RemoveProgram(std::wstring& error) {
    const UniqueKernelHandle folder = OpenItem(folder_.Get(), FILE_READ_ATTRIBUTES);
    if (!folder) {
        return true; // nothing there
    }
    if (!IsPlainFolder(folder.Get())) {
        error = folder_.Get() + L" is not a plain folder; nothing in it was removed.";
        return false;
    }
    const std::wstring target = folder_.Get() + L"\\" + kKeptProgramName;
    if (!::DeleteFileW(target.c_str()) && ::GetLastError() != ERROR_FILE_NOT_FOUND) {
        error = target + L" could not be deleted (" + ErrorText(::GetLastError()) + L").";
        return false;
    }
    static_cast<void>(::RemoveDirectoryW(folder_.Get().c_str())); // only when nothing else is in it
    return true;
}

bool WindowsKeepPlatform::ProgramInstalled() {
    const DWORD attributes = ::GetFileAttributesW((folder_.Get() + L"\\" + kKeptProgramName).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

bool WindowsKeepPlatform::RegisterTask(const std::wstring& xml, std::wstring& error) {
    const auto hr = static_cast<HRESULT>(RegisterSystemTask(kKeepTaskPath, xml));
    if (FAILED(hr)) {
        error = L"HRESULT 0x" + [hr] {
            wchar_t text[16];
            ::swprintf(text, 16, L"%08lX", static_cast<unsigned long>(hr));
            return std::wstring(text);
        }();
        return false;
    }
    return true;
}

bool WindowsKeepPlatform::RemoveTask(std::wstring& error) {
    const auto hr = static_cast<HRESULT>(DeleteTaskAndEmptyFolder(kKeepTaskPath));
    if (FAILED(hr)) {
        error = L"HRESULT " + std::to_wstring(static_cast<unsigned long>(hr));
        return false;
    }
    return true;
}

std::optional<KeepPlatform::Task> WindowsKeepPlatform::ReadTask() {
    if (ReadTaskState(kKeepTaskPath).presence != Presence::Present) {
        return std::nullopt;
    }
    const std::optional<TaskProgram> program = ReadTaskProgram(kKeepTaskPath);
    return program ? Task{program->path, program->arguments} : Task{};
}

} // namespace Velmora
