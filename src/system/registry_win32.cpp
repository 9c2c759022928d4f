#include "system/registry.h"

#include "common/diagnostics.h"
#include "common/win32_handles.h"
#include "system/packages.h"
#include "system/registry_list.h"
#include "system/registry_spec.h"

#include <algorithm>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <tuple>

namespace Velmora {
namespace {

constexpr REGSAM kWriteAccess = KEY_WRITE;           // 0x20006
constexpr REGSAM kDeleteAccess = KEY_WRITE | DELETE; // 0x30006

// Error codes are written as signed 32-bit decimals.
std::wstring ErrorText(LSTATUS status) {
    return std::to_wstring(static_cast<std::int32_t>(status));
}

// Leaves a failure's status for the caller that wants to know it (GetLastError), after the
// diagnostic line, whose writing may change the last error.
bool Failed(LSTATUS status) {
    ::SetLastError(static_cast<DWORD>(status));
    return false;
}

// Opens the key for writing, or creates it with every missing key on its path.
UniqueRegistryKey OpenOrCreateForWriting(HKEY root, const std::wstring& keyPath, LSTATUS& status) {
    UniqueRegistryKey key;
    status = ::RegOpenKeyExW(root, keyPath.c_str(), 0, kWriteAccess, key.Put());
    if (status == ERROR_SUCCESS) {
        return key;
    }
    status = ::RegCreateKeyExW(root, keyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, kWriteAccess,
                               nullptr, key.Put(), nullptr);
    if (status != ERROR_SUCCESS) {
        Diagnose(L"Failed to open/create registry key: " + ErrorText(status));
        key.Reset();
    }
    return key;
}

// A key opened (or created) for a write, with where in it to write.
struct OpenWriteTarget {
    RegistryTarget target;
    UniqueRegistryKey key;
};

// The common start of the two writing primitives: a valid root, a spec that splits, a key to write to.
std::optional<OpenWriteTarget> OpenForWrite(RegistryRoot root, std::optional<RegistryTarget> target) {
    const HKEY rootKey = RegistryRootKey(root);
    if (rootKey == nullptr || !target) {
        Failed(ERROR_INVALID_PARAMETER);
        return std::nullopt;
    }
    LSTATUS status = ERROR_SUCCESS;
    UniqueRegistryKey key = OpenOrCreateForWriting(rootKey, target->keyPath, status);
    if (!key) {
        Failed(status);
        return std::nullopt;
    }
    return OpenWriteTarget{std::move(*target), std::move(key)};
}

} // namespace

HKEY RegistryRootKey(RegistryRoot root) {
    switch (root) {
    case 0:
        return HKEY_CLASSES_ROOT;
    case 1:
        return HKEY_CURRENT_USER;
    case 2:
        return HKEY_LOCAL_MACHINE;
    case 3:
        return HKEY_USERS;
    default:
        return nullptr;
    }
}

bool SetRegistryDword(RegistryDwordSetting setting) {
    const auto open = OpenForWrite(setting.root, SplitSpecForDword(setting.spec));
    if (!open) {
        return false;
    }
    const RegistryTarget* target = &open->target;
    const UniqueRegistryKey& key = open->key;
    const DWORD data = setting.data;
    const LSTATUS status = ::RegSetValueExW(key.Get(), target->valueName.c_str(), 0, REG_DWORD,
                                            reinterpret_cast<const BYTE*>(&data), sizeof data);
    const std::wstring name = target->keyPath + L"\\" + target->valueName;
    if (status == ERROR_SUCCESS) {
        Diagnose(L"Successfully set registry value: " + name + L" = " + std::to_wstring(data));
        return true;
    }
    Diagnose(L"Failed to set registry value: " + name + L" Error: " + ErrorText(status));
    return Failed(status);
}

bool SetRegistryString(RegistryStringSetting setting) {
    const auto open = OpenForWrite(setting.root, SplitSpecForString(setting.spec));
    if (!open) {
        return false;
    }
    const RegistryTarget* target = &open->target;
    const UniqueRegistryKey& key = open->key;
    const bool isDefault = target->valueName.empty();
    const auto bytes = static_cast<DWORD>((setting.data.size() + 1) * sizeof(wchar_t));
    const LSTATUS status =
        ::RegSetValueExW(key.Get(), isDefault ? nullptr : target->valueName.c_str(), 0, REG_SZ,
                         reinterpret_cast<const BYTE*>(setting.data.c_str()), bytes);
    const std::wstring quoted = L"\"" + setting.data + L"\"";
    if (isDefault) {
        Diagnose(status == ERROR_SUCCESS
                     ? L"Successfully set default registry value: " + target->keyPath + L" = " + quoted
                     : L"Failed to set default registry value: " + target->keyPath + L" Error: " +
                           ErrorText(status));
    } else {
        const std::wstring name = target->keyPath + L"\\" + target->valueName;
        Diagnose(status == ERROR_SUCCESS
                     ? L"Successfully set registry string: " + name + L" = " + quoted
                     : L"Failed to set registry string: " + name + L" Error: " + ErrorText(status));
    }
    return status == ERROR_SUCCESS || Failed(status);
}

bool MergeRegistryListEntry(const RegistryListEntry& entry) {
    const auto open = OpenForWrite(entry.root, SplitSpecForDword(entry.spec));
    if (!open) {
        return false;
    }
    const std::wstring name = open->target.keyPath + L"\\" + open->target.valueName;
    // Read through the handle that writes: the list is merged into what the key holds at this moment.
    UniqueRegistryKey reading;
    LSTATUS status = ::RegOpenKeyExW(open->key.Get(), nullptr, 0, KEY_QUERY_VALUE, reading.Put());
    if (status != ERROR_SUCCESS) {
        Diagnose(L"Failed to read registry list: " + name + L" Error: " + ErrorText(status));
        return Failed(status);
    }
    const RegistryValueState current = ReadRegistryValue(reading.Get(), open->target.valueName);
    const std::optional<std::wstring> merged = MergedListValue(current, entry.entry);
    if (!merged) {
        Diagnose(L"Left registry list as it is: " + name + L" holds no list of pages to add \"" +
                 entry.entry + L"\" to");
        return Failed(ERROR_INVALID_DATA);
    }
    if (current.presence == Presence::Present && TextOf(current) == merged) {
        Diagnose(L"Registry list already holds its entry: " + name + L" = \"" + *merged + L"\"");
        return true;
    }
    const auto bytes = static_cast<DWORD>((merged->size() + 1) * sizeof(wchar_t));
    status = ::RegSetValueExW(open->key.Get(), open->target.valueName.c_str(), 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(merged->c_str()), bytes);
    Diagnose(status == ERROR_SUCCESS
                 ? L"Successfully merged into registry list: " + name + L" = \"" + *merged + L"\""
                 : L"Failed to merge into registry list: " + name + L" Error: " + ErrorText(status));
    return status == ERROR_SUCCESS || Failed(status);
}

bool DeleteRegistryEntry(RegistryDwordSetting setting) {
    const HKEY root = RegistryRootKey(setting.root);
    const auto target = SplitSpecForDelete(setting.spec);
    if (root == nullptr || !target) {
        return Failed(ERROR_INVALID_PARAMETER);
    }
    const std::wstring& keyPath = target->keyPath;
    UniqueRegistryKey key;
    const LSTATUS opened = ::RegOpenKeyExW(root, keyPath.c_str(), 0, kDeleteAccess, key.Put());
    if (opened != ERROR_SUCCESS) {
        Diagnose(L"Failed to open registry key for deletion: " + keyPath + L" Error: " + ErrorText(opened));
        return Failed(opened);
    }
    if (target->valueName.empty()) {
        key.Reset(); // the key is closed before it is deleted
        const LSTATUS deleted = ::RegDeleteKeyW(root, keyPath.c_str());
        if (deleted == ERROR_SUCCESS) {
            Diagnose(L"Successfully deleted registry key: " + keyPath);
            return true;
        }
        Diagnose(L"Failed to delete registry key: " + keyPath + L" Error: " + ErrorText(deleted));
        return Failed(deleted);
    }
    const LSTATUS deleted = ::RegDeleteValueW(key.Get(), target->valueName.c_str());
    key.Reset();
    const std::wstring name = keyPath + L":" + target->valueName;
    switch (deleted) {
    case ERROR_SUCCESS:
        Diagnose(L"Successfully deleted registry value: " + name);
        return true;
    case ERROR_FILE_NOT_FOUND:
        Diagnose(L"Registry value not found (already deleted): " + name);
        return true;
    default:
        Diagnose(L"Failed to delete registry value: " + name + L" Error: " + ErrorText(deleted));
        return Failed(deleted);
    }
}

bool DeleteRegistryTree(RegistryDwordSetting setting) {
    const HKEY root = RegistryRootKey(setting.root);
    if (root == nullptr || setting.spec.empty()) {
        return Failed(ERROR_INVALID_PARAMETER);
    }
    const std::wstring& keyPath = setting.spec;
    const LSTATUS status = ::RegDeleteTreeW(root, keyPath.c_str());
    switch (status) {
    case ERROR_SUCCESS:
        Diagnose(L"Successfully deleted key and all subkeys/values: " + keyPath);
        return true;
    case ERROR_FILE_NOT_FOUND:
        Diagnose(L"Key not found (nothing deleted): " + keyPath);
        return true;
    default:
        Diagnose(L"Failed to recursively delete registry key: " + keyPath + L" Error: " + ErrorText(status));
        return Failed(status);
    }
}

namespace {

RegistryValueState Unreadable(LSTATUS status) {
    return {Presence::Unreadable, 0, {}, static_cast<std::uint32_t>(status)};
}

// Reads a value of an open key, growing the buffer while the value grows.
RegistryValueState QueryValue(HKEY key, const std::wstring& valueName) {
    std::vector<std::uint8_t> data(64);
    for (;;) {
        DWORD type = REG_NONE;
        auto size = static_cast<DWORD>(data.size());
        const LSTATUS status = ::RegQueryValueExW(key, valueName.c_str(), nullptr, &type, data.data(), &size);
        if (status == ERROR_MORE_DATA) {
            data.resize(std::max<std::size_t>(size, data.size() * 2));
            continue;
        }
        if (status == ERROR_FILE_NOT_FOUND) {
            return AbsentValue();
        }
        if (status != ERROR_SUCCESS) {
            return Unreadable(status);
        }
        data.resize(size);
        return {Presence::Present, type, std::move(data), 0};
    }
}

LSTATUS OpenForReading(RegistryRoot root, const std::wstring& keyPath, REGSAM access,
                       UniqueRegistryKey& key) {
    const HKEY rootKey = RegistryRootKey(root);
    if (rootKey == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    return ::RegOpenKeyExW(rootKey, keyPath.c_str(), 0, access, key.Put());
}

} // namespace

struct RegistryReadSession::Cache {
    struct Opened {
        LSTATUS status = ERROR_SUCCESS;
        UniqueRegistryKey key;
    };
    // By root, access and the lower-cased path: key names compare without regard to case.
    std::map<std::tuple<RegistryRoot, REGSAM, std::wstring>, Opened> keys;
};

namespace {

thread_local RegistryReadSession::Cache* t_registryCache = nullptr;

// The session's entry for the key, opened at its first use; null without a session, or when the entry
// cannot be made (the key is then read without the session).
RegistryReadSession::Cache::Opened* SessionKey(RegistryRoot root, const std::wstring& keyPath,
                                               REGSAM access) {
    if (t_registryCache == nullptr) {
        return nullptr;
    }
    try {
        auto [entry, added] = t_registryCache->keys.try_emplace({root, access, LowerForMatching(keyPath)});
        if (added) {
            entry->second.status = OpenForReading(root, keyPath, access, entry->second.key);
        }
        return &entry->second;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

// A key opened for reading: the session's, or one of its own.
class ReadingKey {
public:
    ReadingKey(RegistryRoot root, const std::wstring& keyPath, REGSAM access) {
        if (const RegistryReadSession::Cache::Opened* opened = SessionKey(root, keyPath, access)) {
            status_ = opened->status;
            handle_ = opened->key.Get();
        } else {
            status_ = OpenForReading(root, keyPath, access, own_);
            handle_ = own_.Get();
        }
    }
    [[nodiscard]] LSTATUS Status() const noexcept { return status_; }
    [[nodiscard]] HKEY Get() const noexcept { return handle_; }

private:
    UniqueRegistryKey own_;
    LSTATUS status_ = ERROR_SUCCESS;
    HKEY handle_ = nullptr;
};

std::wstring RestoredName(RegistryRoot root, const std::wstring& keyPath, const std::wstring& valueName) {
    return std::to_wstring(root) + L":" + keyPath + L":" + valueName;
}

} // namespace

RegistryReadSession::RegistryReadSession() {
    if (t_registryCache == nullptr) {
        cache_ = std::make_unique<Cache>();
        t_registryCache = cache_.get();
    }
}

RegistryReadSession::~RegistryReadSession() {
    if (cache_ != nullptr) {
        t_registryCache = nullptr;
    }
}

RegistryValueState ReadRegistryValue(RegistryRoot root, const std::wstring& keyPath,
                                     const std::wstring& valueName) {
    try {
        const ReadingKey key(root, keyPath, KEY_QUERY_VALUE);
        if (key.Status() == ERROR_FILE_NOT_FOUND) {
            return AbsentValue();
        }
        return key.Status() == ERROR_SUCCESS ? QueryValue(key.Get(), valueName) : Unreadable(key.Status());
    } catch (const std::bad_alloc&) {
        return Unreadable(ERROR_NOT_ENOUGH_MEMORY);
    }
}

RegistryValueState ReadRegistryValue(HKEY key, const std::wstring& valueName) {
    try {
        return QueryValue(key, valueName);
    } catch (const std::bad_alloc&) {
        return Unreadable(ERROR_NOT_ENOUGH_MEMORY);
    }
}

Presence ReadRegistryKeyPresence(RegistryRoot root, const std::wstring& keyPath) {
    switch (ReadingKey(root, keyPath, KEY_QUERY_VALUE).Status()) {
    case ERROR_SUCCESS:
        return Presence::Present;
    case ERROR_FILE_NOT_FOUND:
        return Presence::Absent;
    default:
        return Presence::Unreadable;
    }
}

RegistryKeyState ReadRegistryKey(RegistryRoot root, const std::wstring& keyPath) {
    RegistryKeyState state;
    try {
        const ReadingKey key(root, keyPath, KEY_READ);
        const LSTATUS opened = key.Status();
        if (opened != ERROR_SUCCESS) {
            state.presence = opened == ERROR_FILE_NOT_FOUND ? Presence::Absent : Presence::Unreadable;
            state.error = opened == ERROR_FILE_NOT_FOUND ? 0 : static_cast<std::uint32_t>(opened);
            return state;
        }
        DWORD subkeys = 0;
        DWORD values = 0;
        DWORD longestName = 0;
        LSTATUS status = ::RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                                            &values, &longestName, nullptr, nullptr, nullptr);
        for (DWORD index = 0; status == ERROR_SUCCESS && index < values; ++index) {
            std::wstring name(longestName + 1, L'\0');
            auto length = static_cast<DWORD>(name.size());
            status =
                ::RegEnumValueW(key.Get(), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
            if (status == ERROR_MORE_DATA) {
                // The key changed while it was read; an honest "unreadable" beats a torn picture.
                break;
            }
            if (status != ERROR_SUCCESS) {
                break;
            }
            name.resize(length);
            RegistryValueState value = QueryValue(key.Get(), name);
            if (value.presence != Presence::Present) {
                status = value.presence == Presence::Absent ? ERROR_MORE_DATA : value.error;
                break;
            }
            state.values.push_back({std::move(name), value.type, std::move(value.data)});
        }
        if (status != ERROR_SUCCESS) {
            return {Presence::Unreadable, {}, 0, static_cast<std::uint32_t>(status)};
        }
        state.presence = Presence::Present;
        state.subkeys = subkeys;
    } catch (const std::bad_alloc&) {
        return {Presence::Unreadable, {}, 0, ERROR_NOT_ENOUGH_MEMORY};
    }
    return state;
}

LSTATUS WriteRegistryValue(RegistryRoot root, const std::wstring& keyPath, const std::wstring& valueName,
                           std::uint32_t type, const std::vector<std::uint8_t>& data) {
    const HKEY rootKey = RegistryRootKey(root);
    if (rootKey == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    UniqueRegistryKey key;
    LSTATUS status = ::RegCreateKeyExW(rootKey, keyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                       KEY_SET_VALUE, nullptr, key.Put(), nullptr);
    if (status == ERROR_SUCCESS) {
        status = ::RegSetValueExW(key.Get(), valueName.empty() ? nullptr : valueName.c_str(), 0, type,
                                  data.empty() ? nullptr : data.data(), static_cast<DWORD>(data.size()));
    }
    Diagnose((status == ERROR_SUCCESS ? L"Restored registry value " : L"Failed to restore registry value ") +
             RestoredName(root, keyPath, valueName) +
             (status == ERROR_SUCCESS ? std::wstring() : L" Error: " + ErrorText(status)));
    return status;
}

LSTATUS DeleteRegistryValue(RegistryRoot root, const std::wstring& keyPath, const std::wstring& valueName) {
    UniqueRegistryKey key;
    LSTATUS status = OpenForReading(root, keyPath, KEY_SET_VALUE, key);
    if (status == ERROR_SUCCESS) {
        status = ::RegDeleteValueW(key.Get(), valueName.empty() ? nullptr : valueName.c_str());
    }
    if (status == ERROR_FILE_NOT_FOUND) {
        status = ERROR_SUCCESS;
    }
    Diagnose((status == ERROR_SUCCESS ? L"Removed registry value " : L"Failed to remove registry value ") +
             RestoredName(root, keyPath, valueName) +
             (status == ERROR_SUCCESS ? std::wstring() : L" Error: " + ErrorText(status)));
    return status;
}

LSTATUS CreateRegistryKey(RegistryRoot root, const std::wstring& keyPath) {
    const HKEY rootKey = RegistryRootKey(root);
    if (rootKey == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    UniqueRegistryKey key;
    return ::RegCreateKeyExW(rootKey, keyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_QUERY_VALUE,
                             nullptr, key.Put(), nullptr);
}

LSTATUS DeleteRegistryKeyIfEmpty(RegistryRoot root, const std::wstring& keyPath) {
    const RegistryKeyState state = ReadRegistryKey(root, keyPath);
    if (state.presence == Presence::Absent) {
        return ERROR_SUCCESS;
    }
    if (state.presence == Presence::Unreadable) {
        return static_cast<LSTATUS>(state.error);
    }
    if (!state.values.empty() || state.subkeys > 0) {
        return ERROR_DIR_NOT_EMPTY;
    }
    const LSTATUS status = ::RegDeleteKeyW(RegistryRootKey(root), keyPath.c_str());
    Diagnose((status == ERROR_SUCCESS ? L"Removed registry key " : L"Failed to remove registry key ") +
             std::to_wstring(root) + L":" + keyPath +
             (status == ERROR_SUCCESS ? std::wstring() : L" Error: " + ErrorText(status)));
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

} // namespace Velmora
