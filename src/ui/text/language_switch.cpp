#include "ui/text/language_switch.h"

namespace Velmora {

bool SwitchLanguage(LocalizedTextTable& texts, LocalSettingsValues& settings, std::int32_t selectedIndex) {
    if (selectedIndex < 0) {
        return false;
    }
    settings.Insert(SettingKeys::AppLanguage, SettingValue(std::in_place_type<std::int32_t>, selectedIndex));
    texts.SelectLanguage(selectedIndex);
    return true;
}

} // namespace Velmora
