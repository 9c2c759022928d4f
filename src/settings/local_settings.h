#pragma once

// The per-user local settings store: a few boxed values under fixed keys, read with a default for
// an absent key. On Windows the values live in the registry of the current user; the host and the
// tests use an in-memory map with the same semantics.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace Velmora {

using SettingValue = std::variant<std::int32_t, bool, std::wstring>; // boxed Int32, Boolean, String

// The values map. Implementations fetch the underlying store anew on every access, so nothing
// read earlier is cached, and every operation may be called from any thread.
class LocalSettingsValues {
public:
    virtual ~LocalSettingsValues() = default;
    [[nodiscard]] virtual bool HasKey(std::wstring_view key) const = 0;
    [[nodiscard]] virtual std::optional<SettingValue>
    Lookup(std::wstring_view key) const = 0;                                   // nullopt when absent
    virtual void Insert(std::wstring_view key, const SettingValue& value) = 0; // adds or overwrites
};

// A value boxed as another type unboxes to the requested type's zero.
[[nodiscard]] std::int32_t UnboxInt32(const SettingValue& value);
[[nodiscard]] bool UnboxBoolean(const SettingValue& value);
[[nodiscard]] std::wstring UnboxString(const SettingValue& value);

// The value "when absent" if the key is missing, else the stored value unboxed.
[[nodiscard]] std::int32_t ReadInt32Setting(const LocalSettingsValues& values, std::wstring_view key,
                                            std::int32_t whenAbsent);
[[nodiscard]] bool ReadBooleanSetting(const LocalSettingsValues& values, std::wstring_view key,
                                      bool whenAbsent);

// Every key the program stores, spelled exactly as stored.
namespace SettingKeys {
inline constexpr std::wstring_view AppLanguage = L"appLanguage";                 // Int32: 0 Arabic, 1 English
inline constexpr std::wstring_view AcceptTermsServices = L"acceptTermsServices"; // Boolean
inline constexpr std::wstring_view AppliedTask = L"AppliedTask"; // Int32: 0 Essential, 1 Standard, 2 Maximum
inline constexpr std::wstring_view AppliedTaskBuildEssential = L"AppliedTaskBuildEssential"; // Int32 revision
inline constexpr std::wstring_view AppliedTaskBuildStandard = L"AppliedTaskBuildStandard";   // Int32 revision
inline constexpr std::wstring_view AppliedTaskBuildMaximum = L"AppliedTaskBuildMaximum";     // Int32 revision
inline constexpr std::wstring_view AppUpdate = L"appUpdate"; // Int32, owned by the update notice
// Owned by the update notice; the stored key has always been spelled this way.
inline constexpr std::wstring_view SkipVersion = L"skipVerion";
} // namespace SettingKeys

// "AppliedTask" when no profile has been applied, and any stored value outside 0..2.
inline constexpr std::int32_t kNoProfileApplied = 3;
// A profile's recorded revision before its first successful run.
inline constexpr std::int32_t kProfileNeverApplied = 100;

// What the main window takes from the store when it starts, each value read once.
struct StartupSettings {
    std::int32_t language = 0; // 0 Arabic, 1 English (any other stored number); absent keeps Arabic
    bool termsAccepted = false;
    std::int32_t appliedProfile = kNoProfileApplied;
    std::array<std::int32_t, 3> appliedProfileBuild{kProfileNeverApplied, kProfileNeverApplied,
                                                    kProfileNeverApplied}; // Essential, Standard, Maximum
};

// Reads "appLanguage", "acceptTermsServices", "AppliedTask" and the three revision keys, in that order.
[[nodiscard]] StartupSettings ReadStartupSettings(const LocalSettingsValues& values);

// A store held in memory, for the host and for tests. Safe to use from several threads.
[[nodiscard]] std::unique_ptr<LocalSettingsValues> MakeInMemorySettings();

#ifdef _WIN32
// The real per-user store: one value per key under HKEY_CURRENT_USER\<subkey>. Tests pass a
// subkey of their own.
[[nodiscard]] std::unique_ptr<LocalSettingsValues>
MakeRegistrySettings(std::wstring subkey = L"Software\\Velmora\\LocalSettings");
#endif

} // namespace Velmora
