#include "ui/update_notice.h"

#include "settings/local_settings.h"
#include "ui/text/localized_text_table.h"

namespace Velmora {

UpdateNotice ComposeUpdateNotice(const UpdateOffer& offer, const LocalizedTextTable& texts) {
    const bool english = texts.CurrentTextLanguage() == kLanguageEnglish;
    const UpdateFeed& feed = offer.feed;
    UpdateNotice notice;
    notice.title = texts.LookupText(TextId::UpdateNoticeTitle);
    notice.heading = texts.LookupText(TextId::UpdateNoticeHeading);
    notice.versionLine =
        FillText(FillText(texts.LookupText(TextId::UpdateNoticeVersions), L"{version}", feed.version),
                 L"{current}", offer.currentVersion);
    if (feed.critical) {
        notice.importance = texts.LookupText(TextId::UpdateNoticeCritical);
    }
    // The other language's notes rather than none.
    notice.notes = english ? feed.englishNotes : feed.arabicNotes;
    if (notice.notes.empty()) {
        notice.notes = english ? feed.arabicNotes : feed.englishNotes;
    }
    notice.buttons.push_back({UpdateChoice::Download, texts.LookupText(TextId::Download)});
    if (!feed.critical) {
        notice.buttons.push_back({UpdateChoice::SkipThisVersion, texts.LookupText(TextId::SkipThisVersion)});
    }
    notice.buttons.push_back({UpdateChoice::Later, texts.LookupText(TextId::Later)});
    notice.flowDirection = english ? FlowDirection::LeftToRight : FlowDirection::RightToLeft;
    return notice;
}

void CarryOutUpdateChoice(UpdateChoice choice, const UpdateOffer& offer, LocalSettingsValues& settings,
                          const std::function<bool(std::wstring_view)>& openWebPage) {
    switch (choice) {
    case UpdateChoice::Download:
        static_cast<void>(openWebPage(offer.feed.url)); // it logs why it did not open
        break;
    case UpdateChoice::SkipThisVersion:
        if (!offer.feed.critical) {
            settings.Insert(SettingKeys::SkipVersion, SettingValue{offer.feed.version});
        }
        break;
    case UpdateChoice::Later:
        break;
    }
}

} // namespace Velmora
