#include "system/registry.h"

#include "common/diagnostics.h"
#include "common/win32_handles.h"
#include "system/registry_spec.h"

#include <optional>
#include <string>

namespace Velmora {
namespace {

constexpr REGSAM kWriteAccess = KEY_WRITE;           // 0x20006
constexpr REGSAM kDeleteAccess = KEY_WRITE | DELETE; // 0x30006

// Error codes are written as signed 32-bit decimals.
std::wstring ErrorText(LSTATUS status) {
    return std::to_wstring(static_cast<std::int32_t>(status));
}

// Opens the key for writing, or creates it with every missing key on its path.
UniqueRegistryKey OpenOrCreateForWriting(HKEY root, const std::wstring& keyPath) {
    UniqueRegistryKey key;
    if (::RegOpenKeyExW(root, keyPath.c_str(), 0, kWriteAccess, key.Put()) == ERROR_SUCCESS) {
        return key;
    }
    const LSTATUS created = ::RegCreateKeyExW(root, keyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                              kWriteAccess, nullptr, key.Put(), nullptr);
    if (created != ERROR_SUCCESS) {
        Diagnose(L"Failed to open/create registry key: " + ErrorText(created));
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
        return std::nullopt;
    }
    UniqueRegistryKey key = OpenOrCreateForWriting(rootKey, target->keyPath);
    if (!key) {
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
    return false;
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
    return status == ERROR_SUCCESS;
}

bool DeleteRegistryEntry(RegistryDwordSetting setting) {
    const HKEY root = RegistryRootKey(setting.root);
    if (root == nullptr) {
        return false;
    }
    const auto target = SplitSpecForDelete(setting.spec);
    if (!target) {
        return false;
    }
    const std::wstring& keyPath = target->keyPath;
    UniqueRegistryKey key;
    const LSTATUS opened = ::RegOpenKeyExW(root, keyPath.c_str(), 0, kDeleteAccess, key.Put());
    if (opened != ERROR_SUCCESS) {
        Diagnose(L"Failed to open registry key for deletion: " + keyPath + L" Error: " + ErrorText(opened));
        return false;
    }
    if (target->valueName.empty()) {
        key.Reset(); // the key is closed before it is deleted
        const LSTATUS deleted = ::RegDeleteKeyW(root, keyPath.c_str());
        if (deleted == ERROR_SUCCESS) {
            Diagnose(L"Successfully deleted registry key: " + keyPath);
            return true;
        }
        Diagnose(L"Failed to delete registry key: " + keyPath + L" Error: " + ErrorText(deleted));
        return false;
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
        return false;
    }
}

bool DeleteRegistryTree(RegistryDwordSetting setting) {
    const HKEY root = RegistryRootKey(setting.root);
    if (root == nullptr || setting.spec.empty()) {
        return false;
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
        return false;
    }
}

} // namespace Velmora
