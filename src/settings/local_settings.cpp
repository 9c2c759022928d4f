#include "settings/local_settings.h"

namespace Velmora {

std::int32_t UnboxInt32(const SettingValue& value) {
    const auto* number = std::get_if<std::int32_t>(&value);
    return number != nullptr ? *number : 0;
}

bool UnboxBoolean(const SettingValue& value) {
    const auto* flag = std::get_if<bool>(&value);
    return flag != nullptr && *flag;
}

std::wstring UnboxString(const SettingValue& value) {
    const auto* text = std::get_if<std::wstring>(&value);
    return text != nullptr ? *text : std::wstring();
}

// HasKey first, as the store's contract asks; a value removed in between unboxes to zero.
std::int32_t ReadInt32Setting(const LocalSettingsValues& values, std::wstring_view key,
                              std::int32_t whenAbsent) {
    if (!values.HasKey(key)) {
        return whenAbsent;
    }
    const std::optional<SettingValue> value = values.Lookup(key);
    return value ? UnboxInt32(*value) : 0;
}

bool ReadBooleanSetting(const LocalSettingsValues& values, std::wstring_view key, bool whenAbsent) {
    if (!values.HasKey(key)) {
        return whenAbsent;
    }
    const std::optional<SettingValue> value = values.Lookup(key);
    return value && UnboxBoolean(*value);
}

StartupSettings ReadStartupSettings(const LocalSettingsValues& values) {
    StartupSettings settings;
    // Only 0 is Arabic: any other stored number reads as English, so the texts, the layout direction
    // and the language selector always agree on one language. The store itself is left as it is.
    const std::int32_t language = ReadInt32Setting(values, SettingKeys::AppLanguage, settings.language);
    settings.language = language == 0 ? 0 : 1;
    settings.termsAccepted = ReadBooleanSetting(values, SettingKeys::AcceptTermsServices, false);
    const std::int32_t applied = ReadInt32Setting(values, SettingKeys::AppliedTask, kNoProfileApplied);
    settings.appliedProfile = applied >= 0 && applied <= 2 ? applied : kNoProfileApplied;
    settings.appliedProfileBuild[0] =
        ReadInt32Setting(values, SettingKeys::AppliedTaskBuildEssential, kProfileNeverApplied);
    settings.appliedProfileBuild[1] =
        ReadInt32Setting(values, SettingKeys::AppliedTaskBuildStandard, kProfileNeverApplied);
    settings.appliedProfileBuild[2] =
        ReadInt32Setting(values, SettingKeys::AppliedTaskBuildMaximum, kProfileNeverApplied);
    return settings;
}

} // namespace Velmora
