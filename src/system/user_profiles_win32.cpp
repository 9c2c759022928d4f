#include "system/user_profiles.h"

#include "common/diagnostics.h"

#include <sddl.h>

#include <algorithm>
#include <new>

namespace Velmora {
namespace {

constexpr wchar_t kProfileListKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
constexpr DWORD kMaxPathChars = 32767;

// A string value (REG_SZ, or REG_EXPAND_SZ expanded); empty when absent, unreadable or too long.
std::wstring ReadPathValue(HKEY root, const std::wstring& key, const wchar_t* name) {
    DWORD bytes = 0;
    constexpr DWORD kFlags = RRF_RT_REG_SZ; // REG_EXPAND_SZ too, expanded
    if (::RegGetValueW(root, key.c_str(), name, kFlags, nullptr, nullptr, &bytes) != ERROR_SUCCESS ||
        bytes == 0 || bytes > kMaxPathChars * sizeof(wchar_t)) {
        return {};
    }
    std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (::RegGetValueW(root, key.c_str(), name, kFlags, nullptr, text.data(), &bytes) != ERROR_SUCCESS) {
        return {};
    }
    return std::wstring(text.c_str());
}

std::wstring SidText(PSID sid) {
    wchar_t* text = nullptr;
    if (!::ConvertSidToStringSidW(sid, &text)) {
        return {};
    }
    const UniqueLocalMemory owned(text);
    return text;
}

} // namespace

std::vector<ProfileListEntry> ReadProfileList() {
    std::vector<ProfileListEntry> entries;
    UniqueRegistryKey list;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kProfileListKey, 0, KEY_READ, list.Put()) != ERROR_SUCCESS) {
        return entries;
    }
    wchar_t name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(std::size(name));
        const LSTATUS status =
            ::RegEnumKeyExW(list.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_MORE_DATA) {
            continue; // no SID is that long
        }
        if (status != ERROR_SUCCESS) {
            break;
        }
        entries.push_back({name, ReadPathValue(list.Get(), name, L"ProfileImagePath")});
    }
    return entries;
}

std::wstring DefaultProfileFolder() {
    const std::wstring folder = ReadPathValue(HKEY_LOCAL_MACHINE, kProfileListKey, L"Default");
    if (!folder.empty()) {
        return folder;
    }
    const std::wstring profiles = ReadPathValue(HKEY_LOCAL_MACHINE, kProfileListKey, L"ProfilesDirectory");
    return profiles.empty() ? std::wstring() : profiles + L"\\Default";
}

std::wstring TokenUserSid(HANDLE token) {
    DWORD size = 0;
    if (::GetTokenInformation(token, TokenUser, nullptr, 0, &size) ||
        ::GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        return {};
    }
    std::vector<BYTE> buffer;
    try {
        buffer.resize(size);
    } catch (const std::bad_alloc&) {
        return {};
    }
    if (!::GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
        return {};
    }
    return SidText(reinterpret_cast<const TOKEN_USER*>(buffer.data())->User.Sid);
}

std::optional<std::wstring> ShellOwnerSid() {
    const HWND shell = ::GetShellWindow();
    DWORD processId = 0;
    if (shell == nullptr || ::GetWindowThreadProcessId(shell, &processId) == 0 || processId == 0) {
        return std::nullopt;
    }
    const UniqueKernelHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    UniqueTokenHandle token;
    if (!process || !::OpenProcessToken(process.Get(), TOKEN_QUERY, token.Put())) {
        return std::nullopt;
    }
    std::wstring sid = TokenUserSid(token.Get());
    return sid.empty() ? std::nullopt : std::optional<std::wstring>(std::move(sid));
}

std::wstring AccountNameOfSid(const std::wstring& sid) {
    PSID binary = nullptr;
    if (!::ConvertStringSidToSidW(sid.c_str(), &binary)) {
        return {};
    }
    const UniqueLocalMemory owned(binary);
    wchar_t name[256];
    wchar_t domain[256];
    DWORD nameLength = static_cast<DWORD>(std::size(name));
    DWORD domainLength = static_cast<DWORD>(std::size(domain));
    SID_NAME_USE use{};
    if (!::LookupAccountSidW(nullptr, binary, name, &nameLength, domain, &domainLength, &use)) {
        return {};
    }
    return domainLength > 0 ? std::wstring(domain) + L"\\" + name : std::wstring(name);
}

std::optional<std::wstring> SidOfAccountName(const std::wstring& name) {
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof sid;
    wchar_t domain[256];
    DWORD domainLength = static_cast<DWORD>(std::size(domain));
    SID_NAME_USE use{};
    if (name.empty() ||
        !::LookupAccountNameW(nullptr, name.c_str(), sid, &sidSize, domain, &domainLength, &use)) {
        return std::nullopt;
    }
    std::wstring text = SidText(sid);
    return text.empty() ? std::nullopt : std::optional<std::wstring>(std::move(text));
}

bool HiveKeyExists(const std::wstring& keyName) {
    UniqueRegistryKey key;
    return !keyName.empty() &&
           ::RegOpenKeyExW(HKEY_USERS, keyName.c_str(), 0, KEY_QUERY_VALUE, key.Put()) == ERROR_SUCCESS;
}

namespace {

// The process id in "Velmora-<process id>-<n>"; nullopt for any other name.
std::optional<DWORD> LoaderProcessId(std::wstring_view name) {
    constexpr std::wstring_view kPrefix = L"Velmora-";
    if (!name.starts_with(kPrefix)) {
        return std::nullopt;
    }
    name.remove_prefix(kPrefix.size());
    const std::size_t dash = name.find(L'-');
    const auto digits = [](std::wstring_view text) {
        return !text.empty() && text.size() <= 10 &&
               std::all_of(text.begin(), text.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
    };
    if (dash == std::wstring_view::npos || !digits(name.substr(0, dash)) || !digits(name.substr(dash + 1))) {
        return std::nullopt;
    }
    const unsigned long long id = std::stoull(std::wstring(name.substr(0, dash)));
    return id <= 0xFFFFFFFFull ? std::optional<DWORD>(static_cast<DWORD>(id)) : std::nullopt;
}

// Whether a process with this id still runs. A process that cannot be asked counts as running: its hive
// is left alone rather than pulled from under it.
bool ProcessRuns(DWORD id) {
    const UniqueKernelHandle process(::OpenProcess(SYNCHRONIZE, FALSE, id));
    if (!process) {
        return ::GetLastError() != ERROR_INVALID_PARAMETER;
    }
    return ::WaitForSingleObject(process.Get(), 0) == WAIT_TIMEOUT;
}

} // namespace

void UnloadAbandonedHives() {
    std::vector<std::wstring> abandoned;
    wchar_t name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(std::size(name));
        const LSTATUS status =
            ::RegEnumKeyExW(HKEY_USERS, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_MORE_DATA) {
            continue;
        }
        if (status != ERROR_SUCCESS) {
            break;
        }
        const std::optional<DWORD> loader = LoaderProcessId(name);
        if (loader && *loader != ::GetCurrentProcessId() && !ProcessRuns(*loader)) {
            abandoned.emplace_back(name);
        }
    }
    for (const std::wstring& keyName : abandoned) {
        LoadedUserHive hive(keyName);
        const LSTATUS status = hive.Unload();
        Diagnose(L"A user hive left loaded by an ended Velmora process, HKEY_USERS\\" + keyName +
                 (status == ERROR_SUCCESS ? L", was unloaded"
                                          : L", could not be unloaded: error " + std::to_wstring(status)));
    }
}

LoadedUserHive LoadUserHive(const std::wstring& file, const std::wstring& keyName, std::uint32_t& error) {
    const EnabledPrivileges privileges{SE_BACKUP_NAME, SE_RESTORE_NAME};
    if (!privileges.Enabled()) {
        error = ERROR_PRIVILEGE_NOT_HELD;
        return {};
    }
    const LSTATUS status = ::RegLoadKeyW(HKEY_USERS, keyName.c_str(), file.c_str());
    error = static_cast<std::uint32_t>(status);
    return status == ERROR_SUCCESS ? LoadedUserHive(keyName) : LoadedUserHive();
}

} // namespace Velmora
