#include "app/app_launch.h"

#include "settings/local_settings.h"
#include "ui/text/localized_text_table.h"

namespace Velmora::implementation {

void SeedFirstStartSettings(LocalSettingsValues& settings, std::wstring_view firstPreferredLanguage) {
    if (settings.HasKey(SettingKeys::AppLanguage)) {
        return;
    }
    const bool arabic = firstPreferredLanguage.substr(0, 2) == L"ar";
    settings.Insert(SettingKeys::AppLanguage,
                    SettingValue{std::int32_t{arabic ? kLanguageArabic : kLanguageEnglish}});
    settings.Insert(SettingKeys::AppUpdate, SettingValue{std::int32_t{0}});
}

void PrepareTextTable(LocalizedTextTable& texts) {
    texts.SetCurrentTextLanguage(kLanguageArabic);
    texts.BuildTextTable(kLanguageArabic);
}

} // namespace Velmora::implementation
