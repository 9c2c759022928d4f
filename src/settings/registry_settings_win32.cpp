// The local settings of the current user in the registry, one registry value per key.
//
// Each box type has its own registry type, so a value keeps its type across a restart and a value of
// another type is recognised as such:
//   Int32   REG_DWORD, the 32 bits as they are (negative numbers in two's complement).
//   Boolean REG_BINARY of exactly one byte, 0 or 1. Not a REG_DWORD: an Int32 read as a Boolean,
//           or a Boolean read as an Int32, must unbox to zero rather than be reinterpreted.
//   String  REG_SZ.
// A value of any other type or size (edited by hand) reads as an empty String, which unboxes to the
// zero of every type. Registry value names are case-insensitive; no two keys of the program differ
// only in case.

#include "settings/local_settings.h"

#include "common/diagnostics.h"
#include "common/win32_handles.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <utility>
#include <vector>

namespace Velmora {
namespace {

constexpr std::size_t kFirstReadBytes = 64;

class RegistrySettingsValues final : public LocalSettingsValues {
public:
    explicit RegistrySettingsValues(std::wstring subkey) : subkey_(std::move(subkey)) {}

    [[nodiscard]] bool HasKey(std::wstring_view key) const override {
        const UniqueRegistryKey settings = Open();
        if (!settings) {
            return false;
        }
        const std::wstring name(key);
        return ::RegQueryValueExW(settings.Get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) ==
               ERROR_SUCCESS;
    }

    [[nodiscard]] std::optional<SettingValue> Lookup(std::wstring_view key) const override {
        const UniqueRegistryKey settings = Open();
        if (!settings) {
            return std::nullopt;
        }
        const std::wstring name(key);
        std::vector<BYTE> data(kFirstReadBytes);
        DWORD type = REG_NONE;
        for (;;) {
            DWORD size = static_cast<DWORD>(data.size());
            const LSTATUS status =
                ::RegQueryValueExW(settings.Get(), name.c_str(), nullptr, &type, data.data(), &size);
            if (status == ERROR_MORE_DATA) {
                // Another thread may grow the value again before the next try; keep growing.
                data.resize(std::max<std::size_t>(size, data.size() * 2));
                continue;
            }
            if (status != ERROR_SUCCESS) {
                return std::nullopt;
            }
            data.resize(size);
            break;
        }
        return Decode(type, data);
    }

    void Insert(std::wstring_view key, const SettingValue& value) override {
        const std::wstring name(key);
        UniqueRegistryKey settings;
        LSTATUS status =
            ::RegCreateKeyExW(HKEY_CURRENT_USER, subkey_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_SET_VALUE, nullptr, settings.Put(), nullptr);
        if (status == ERROR_SUCCESS) {
            status = std::visit([&](const auto& boxed) { return Write(settings.Get(), name, boxed); }, value);
        }
        if (status != ERROR_SUCCESS) {
            Diagnose(L"Failed to store the local setting \"" + name + L"\": " +
                     std::to_wstring(static_cast<long>(status)));
        }
    }

    void Remove(std::wstring_view key) override {
        UniqueRegistryKey settings;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, subkey_.c_str(), 0, KEY_SET_VALUE, settings.Put()) !=
            ERROR_SUCCESS) {
            return; // no settings at all: nothing to remove
        }
        const std::wstring name(key);
        const LSTATUS status = ::RegDeleteValueW(settings.Get(), name.c_str());
        if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
            Diagnose(L"Failed to remove the local setting \"" + name + L"\": " +
                     std::to_wstring(static_cast<long>(status)));
        }
    }

private:
    // Opened for each access: the key may have been created, changed or deleted since the last one.
    [[nodiscard]] UniqueRegistryKey Open() const {
        UniqueRegistryKey settings;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, subkey_.c_str(), 0, KEY_QUERY_VALUE, settings.Put()) !=
            ERROR_SUCCESS) {
            settings.Reset();
        }
        return settings;
    }

    [[nodiscard]] static SettingValue Decode(DWORD type, const std::vector<BYTE>& data) {
        if (type == REG_DWORD && data.size() == sizeof(DWORD)) {
            DWORD number = 0;
            std::memcpy(&number, data.data(), sizeof number);
            return SettingValue(std::in_place_type<std::int32_t>, static_cast<std::int32_t>(number));
        }
        if (type == REG_BINARY && data.size() == 1) {
            return SettingValue(std::in_place_type<bool>, data[0] != 0);
        }
        if (type == REG_SZ) {
            std::wstring text(data.size() / sizeof(wchar_t), L'\0');
            std::memcpy(text.data(), data.data(), text.size() * sizeof(wchar_t));
            text.resize(std::wcslen(text.c_str())); // the stored terminator, if any, and anything after it
            return SettingValue(std::move(text));
        }
        return SettingValue(std::in_place_type<std::wstring>);
    }

    static LSTATUS Write(HKEY settings, const std::wstring& name, std::int32_t number) {
        const auto data = static_cast<DWORD>(number);
        return ::RegSetValueExW(settings, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                                sizeof data);
    }

    static LSTATUS Write(HKEY settings, const std::wstring& name, bool flag) {
        const auto data = static_cast<BYTE>(flag ? 1 : 0);
        return ::RegSetValueExW(settings, name.c_str(), 0, REG_BINARY, &data, sizeof data);
    }

    static LSTATUS Write(HKEY settings, const std::wstring& name, const std::wstring& text) {
        return ::RegSetValueExW(settings, name.c_str(), 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(text.c_str()),
                                static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }

    std::wstring subkey_;
};

} // namespace

std::unique_ptr<LocalSettingsValues> MakeRegistrySettings(std::wstring subkey) {
    return std::make_unique<RegistrySettingsValues>(std::move(subkey));
}

} // namespace Velmora
