// The text table: lazy building, the language rule, lookups past the end, the rows themselves, and
// the part of a language switch that works on the table and the settings store.

#include "settings/local_settings.h"
#include "ui/text/language_switch.h"
#include "ui/text/localized_text_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <set>

namespace {

using namespace Velmora;

constexpr std::wstring_view kErrorText = L"Error String does not exists";

bool HasArabicLetter(std::wstring_view text) {
    return std::any_of(text.begin(), text.end(), [](wchar_t c) { return c >= 0x0621 && c <= 0x064A; });
}

// The state the launch leaves: Arabic current and built.
LocalizedTextTable LaunchedTable() {
    LocalizedTextTable texts;
    texts.SetCurrentTextLanguage(0);
    texts.BuildTextTable(0);
    return texts;
}

TEST(LocalizedTextTableBuild, NothingIsThereBeforeATableIsBuilt) {
    LocalizedTextTable texts;
    EXPECT_EQ(texts.LookupText(TextId::WelcomeTitle), kErrorText);
    texts.SetCurrentTextLanguage(1);
    EXPECT_EQ(texts.LookupText(TextId::WelcomeTitle), kErrorText);
}

TEST(LocalizedTextTableBuild, EnglishIsBuiltOnlyWhenEnglishIsFirstChosen) {
    LocalizedTextTable texts = LaunchedTable();
    texts.SetCurrentTextLanguage(1);
    EXPECT_EQ(texts.LookupText(TextId::WelcomeTitle), kErrorText) << "English was built at launch";

    texts.SelectLanguage(1);
    EXPECT_EQ(texts.LookupText(TextId::WelcomeTitle), L"Welcome");
    texts.SelectLanguage(0);
    EXPECT_EQ(texts.LookupText(TextId::WelcomeTitle), L"مرحبًا");
}

TEST(LocalizedTextTableBuild, BuildingAgainNeverAddsRows) {
    LocalizedTextTable texts = LaunchedTable();
    for (int i = 0; i < 3; ++i) {
        texts.BuildTextTable(0);
        texts.BuildTextTable(7); // any language but 1 is Arabic
        texts.BuildTextTable(1);
    }
    for (const std::int32_t language : {0, 1}) {
        texts.SetCurrentTextLanguage(language);
        EXPECT_NE(texts.LookupText(TextId::Count - 1), kErrorText);
        EXPECT_EQ(texts.LookupText(TextId::Count), kErrorText) << "rows were appended twice";
    }
}

TEST(LocalizedTextTableBuild, AnyLanguageButOneBuildsArabic) {
    for (const std::int32_t language : {0, 2, -1, 7}) {
        LocalizedTextTable texts;
        texts.BuildTextTable(language);
        texts.SetCurrentTextLanguage(0);
        EXPECT_EQ(texts.LookupText(TextId::Back), L"رجوع") << language;
        texts.SetCurrentTextLanguage(1);
        EXPECT_EQ(texts.LookupText(TextId::Back), kErrorText) << language;
    }
}

TEST(LocalizedTextTableLookup, RowsOutsideTheTableGiveTheErrorText) {
    LocalizedTextTable texts = LaunchedTable();
    texts.SelectLanguage(1);
    for (const std::int32_t language : {0, 1}) {
        texts.SetCurrentTextLanguage(language);
        EXPECT_EQ(texts.LookupText(TextId::Count), kErrorText);
        EXPECT_EQ(texts.LookupText(TextId::Count + 1), kErrorText);
        EXPECT_EQ(texts.LookupText(INT32_MAX), kErrorText);
        EXPECT_EQ(texts.LookupText(-1), kErrorText);
        EXPECT_EQ(texts.LookupText(INT32_MIN), kErrorText);
    }
}

TEST(LocalizedTextTableLookup, OnlyLanguageOneIsEnglish) {
    LocalizedTextTable texts = LaunchedTable();
    texts.BuildTextTable(1);
    texts.SetCurrentTextLanguage(1);
    EXPECT_EQ(texts.CurrentTextLanguage(), 1);
    EXPECT_EQ(texts.LookupText(TextId::Apply), L"Apply");
    // 257 and -255 are 1 in their lowest byte; they must not turn into English.
    for (const std::int32_t language : {0, 2, -1, 7, 257, -255}) {
        texts.SetCurrentTextLanguage(language);
        EXPECT_NE(texts.CurrentTextLanguage(), 1) << language;
        EXPECT_EQ(texts.LookupText(TextId::Apply), L"تطبيق") << language;
    }
}

TEST(LocalizedTextTableLookup, ReturnsACopy) {
    LocalizedTextTable texts = LaunchedTable();
    std::wstring text = texts.LookupText(TextId::Cancel);
    text += L"!";
    EXPECT_EQ(texts.LookupText(TextId::Cancel), L"إلغاء");
}

TEST(LocalizedTextRows, EveryRowHasTextInBothLanguages) {
    LocalizedTextTable texts = LaunchedTable();
    texts.BuildTextTable(1);
    for (std::int32_t row = 0; row < TextId::Count; ++row) {
        texts.SetCurrentTextLanguage(0);
        const std::wstring arabic = texts.LookupText(row);
        texts.SetCurrentTextLanguage(1);
        const std::wstring english = texts.LookupText(row);
        EXPECT_FALSE(arabic.empty()) << row;
        EXPECT_FALSE(english.empty()) << row;
        EXPECT_NE(arabic, kErrorText) << row;
        EXPECT_NE(english, kErrorText) << row;
        EXPECT_TRUE(HasArabicLetter(arabic)) << row;
        EXPECT_FALSE(HasArabicLetter(english)) << row;
    }
}

TEST(LocalizedTextRows, NoTwoRowsOfALanguageAreTheSame) {
    LocalizedTextTable texts = LaunchedTable();
    texts.BuildTextTable(1);
    for (const std::int32_t language : {0, 1}) {
        texts.SetCurrentTextLanguage(language);
        std::set<std::wstring> seen;
        for (std::int32_t row = 0; row < TextId::Count; ++row) {
            EXPECT_TRUE(seen.insert(texts.LookupText(row)).second)
                << "language " << language << " row " << row;
        }
    }
}

// Rows in both languages at the places the window and the end-to-end tests use them, as shipped.
TEST(LocalizedTextRows, CaptionsSitAtTheirRows) {
    LocalizedTextTable texts = LaunchedTable();
    texts.BuildTextTable(1);
    texts.SetCurrentTextLanguage(1);
    EXPECT_EQ(texts.LookupText(0), L"Welcome");
    EXPECT_EQ(texts.LookupText(4), L"Agree");
    EXPECT_EQ(texts.LookupText(15), L"Already Applied");
    EXPECT_EQ(texts.LookupText(27), L"Delele");
    EXPECT_EQ(texts.LookupText(29), L"Confirm Deletion of Pre-installed Apps");
    texts.SetCurrentTextLanguage(0);
    EXPECT_EQ(texts.LookupText(0), L"مرحبًا");
    EXPECT_EQ(texts.LookupText(16), L"جارٍ تطبيق الإعدادات...");
    EXPECT_EQ(texts.LookupText(27), L"حذف");
    EXPECT_EQ(texts.LookupText(29), L"تأكيد حذف التطبيقات المثبته مسبقا");
}

TEST(LanguageSwitch, StoresTheLanguageAndRelabels) {
    LocalizedTextTable texts = LaunchedTable();
    const auto settings = MakeInMemorySettings();

    EXPECT_TRUE(SwitchLanguage(texts, *settings, 1));
    EXPECT_EQ(ReadInt32Setting(*settings, L"appLanguage", -1), 1);
    EXPECT_EQ(texts.CurrentTextLanguage(), 1);
    EXPECT_EQ(texts.LookupText(TextId::Continue), L"Continue");

    EXPECT_TRUE(SwitchLanguage(texts, *settings, 0));
    EXPECT_EQ(ReadInt32Setting(*settings, L"appLanguage", -1), 0);
    EXPECT_EQ(texts.CurrentTextLanguage(), 0);
    EXPECT_EQ(texts.LookupText(TextId::Continue), L"متابعة");

    EXPECT_TRUE(SwitchLanguage(texts, *settings, 1)); // back again: the English table is re-used
    EXPECT_EQ(texts.LookupText(TextId::Continue), L"Continue");
    EXPECT_EQ(texts.LookupText(TextId::Count), kErrorText);
}

TEST(LanguageSwitch, SameLanguageIsStoredAgainWithoutRebuilding) {
    LocalizedTextTable texts = LaunchedTable();
    const auto settings = MakeInMemorySettings();
    ASSERT_TRUE(SwitchLanguage(texts, *settings, 1));
    settings->Insert(L"appLanguage", SettingValue(std::wstring(L"stale")));

    EXPECT_TRUE(SwitchLanguage(texts, *settings, 1));
    EXPECT_EQ(settings->Lookup(L"appLanguage"), SettingValue(std::in_place_type<std::int32_t>, 1));
    EXPECT_EQ(texts.LookupText(TextId::RemoveAppsTitle), L"Confirm Deletion of Pre-installed Apps");
    EXPECT_EQ(texts.LookupText(TextId::Count), kErrorText);
}

TEST(LanguageSwitch, NoSelectionChangesNothing) {
    LocalizedTextTable texts = LaunchedTable();
    const auto settings = MakeInMemorySettings();
    EXPECT_FALSE(SwitchLanguage(texts, *settings, -1));
    EXPECT_FALSE(settings->HasKey(L"appLanguage"));
    EXPECT_EQ(texts.CurrentTextLanguage(), 0);
    texts.SetCurrentTextLanguage(1);
    EXPECT_EQ(texts.LookupText(TextId::WelcomeTitle), kErrorText) << "English was built";
}

TEST(LanguageSwitch, IndexBeyondTheLanguagesKeepsTheCurrentOne) {
    LocalizedTextTable texts = LaunchedTable();
    const auto settings = MakeInMemorySettings();
    ASSERT_TRUE(SwitchLanguage(texts, *settings, 1));
    EXPECT_TRUE(SwitchLanguage(texts, *settings, 2));
    EXPECT_EQ(ReadInt32Setting(*settings, L"appLanguage", -1), 2);
    EXPECT_EQ(texts.LookupText(TextId::Back), L"Back");
}

// Start-up: the launch builds Arabic, then the window makes the stored language current.
TEST(LanguageSwitch, StoredEnglishIsShownAtStartAlthoughArabicWasBuiltFirst) {
    const auto settings = MakeInMemorySettings();
    settings->Insert(L"appLanguage", SettingValue(std::in_place_type<std::int32_t>, 1));
    LocalizedTextTable texts = LaunchedTable();

    texts.SelectLanguage(ReadStartupSettings(*settings).language);
    EXPECT_EQ(texts.LookupText(TextId::LanguagePrompt), L"Please select your preferred language");
}

} // namespace
