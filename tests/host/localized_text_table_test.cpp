// The text table's building and language rules, and the part of a language switch on the table and
// the settings store. (The texts themselves are checked where the window shows them.)

#include "settings/local_settings.h"
#include "ui/text/language_switch.h"
#include "ui/text/localized_text_table.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

using namespace Velmora;

constexpr std::wstring_view kErrorText = L"Error String does not exists";

TEST(LocalizedTextTable, EachTableIsBuiltOnceWhenFirstChosenAndOnlyLanguageOneIsEnglish) {
    LocalizedTextTable texts; // as the launch leaves it: Arabic current and built
    texts.SetCurrentTextLanguage(0);
    texts.BuildTextTable(0);
    texts.BuildTextTable(7); // any language but 1 is Arabic, built already
    texts.SetCurrentTextLanguage(1);
    EXPECT_EQ(texts.LookupText(TextId::Apply), kErrorText) << "English was built at launch";
    texts.SelectLanguage(1);
    texts.BuildTextTable(1);
    // 257 and -255 are 1 in their lowest byte; they must not turn into English.
    for (const std::int32_t language : {1, 0, 2, -1, 257, -255}) {
        texts.SetCurrentTextLanguage(language);
        EXPECT_EQ(texts.LookupText(TextId::Apply), language == 1 ? L"Apply" : L"تطبيق") << language;
        EXPECT_NE(texts.LookupText(TextId::Count - 1), kErrorText);
        for (const std::int32_t row : {TextId::Count, INT32_MAX, -1, INT32_MIN}) {
            EXPECT_EQ(texts.LookupText(row), kErrorText) << "a row outside the table, or rows appended twice";
        }
    }
}

TEST(LanguageSwitch, StoresTheLanguageEveryTimeAndANegativeSelectionChangesNothing) {
    LocalizedTextTable texts;
    texts.BuildTextTable(0);
    const auto settings = MakeInMemorySettings();
    EXPECT_FALSE(SwitchLanguage(texts, *settings, -1));
    EXPECT_FALSE(settings->HasKey(L"appLanguage"));
    for (const std::int32_t language : {1, 0, 1, 1}) {
        settings->Insert(L"appLanguage", SettingValue(std::wstring(L"stale")));
        EXPECT_TRUE(SwitchLanguage(texts, *settings, language));
        EXPECT_EQ(settings->Lookup(L"appLanguage"), SettingValue(std::in_place_type<std::int32_t>, language));
        EXPECT_EQ(texts.LookupText(TextId::Continue), language == 1 ? L"Continue" : L"متابعة");
    }
}

} // namespace
