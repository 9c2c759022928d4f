#pragma once

// Every text the program puts on screen, in Arabic and English, addressed by a row number that is
// the same in both languages. The long terms of use are not here (terms_text.h).

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Velmora {

// UI language numbers, as stored in "appLanguage" and used as the index of the language selector.
inline constexpr std::int32_t kLanguageArabic = 0;
inline constexpr std::int32_t kLanguageEnglish = 1;

// Row numbers of the text table.
namespace TextId {
inline constexpr std::int32_t WelcomeTitle = 0;
inline constexpr std::int32_t LanguagePrompt = 1;
inline constexpr std::int32_t Back = 2;
inline constexpr std::int32_t Continue = 3;
inline constexpr std::int32_t Agree = 4;
inline constexpr std::int32_t TermsAgreement = 5; // the check box of the Terms page
inline constexpr std::int32_t EssentialTitle = 6;
inline constexpr std::int32_t UpdateAvailable = 7;
inline constexpr std::int32_t StandardTitle = 8;
inline constexpr std::int32_t MaximumTitle = 9;
inline constexpr std::int32_t Update = 10;
inline constexpr std::int32_t Apply = 11;
inline constexpr std::int32_t EssentialDescription = 12;
inline constexpr std::int32_t StandardDescription = 13;
inline constexpr std::int32_t MaximumDescription = 14;
inline constexpr std::int32_t AlreadyApplied = 15;
inline constexpr std::int32_t ApplyingTitle = 16;
inline constexpr std::int32_t ApplyingMessage = 17;
inline constexpr std::int32_t SuccessTitle = 18;
inline constexpr std::int32_t SuccessMessage = 19;
inline constexpr std::int32_t RestartNow = 20;
inline constexpr std::int32_t FailureTitle = 21;
inline constexpr std::int32_t FailureMessage = 22;
inline constexpr std::int32_t TryAgain = 23;
inline constexpr std::int32_t Cancel = 24;
inline constexpr std::int32_t RemoveAppsDescription = 25;
inline constexpr std::int32_t RemoveAppsWarning = 26; // body of the app-removal confirmation
inline constexpr std::int32_t Delete = 27;            // its confirm button
inline constexpr std::int32_t ReapplySettings = 28;
inline constexpr std::int32_t RemoveAppsTitle = 29; // title of the app-removal confirmation
// The update notice. "{version}" and "{current}" stand for the offered and the running version.
inline constexpr std::int32_t UpdateNoticeTitle = 30;
inline constexpr std::int32_t UpdateNoticeHeading = 31;
inline constexpr std::int32_t UpdateNoticeVersions = 32;
inline constexpr std::int32_t UpdateNoticeCritical = 33;
inline constexpr std::int32_t Download = 34;
inline constexpr std::int32_t SkipThisVersion = 35;
inline constexpr std::int32_t Later = 36;
// Shown instead of a run while another Velmora run (a window or velmora-cli) holds the PC's run lock.
inline constexpr std::int32_t RunInProgressTitle = 37;
inline constexpr std::int32_t RunInProgressMessage = 38;
inline constexpr std::int32_t Ok = 39;
inline constexpr std::int32_t Count = 40;
} // namespace TextId

// What LookupText gives for a row the table does not have.
inline constexpr std::wstring_view kMissingTextRow = L"Error String does not exists";

// The two tables, each built at most once and only when its language is first needed, and the
// language texts are currently looked up in. The window owns one; it is used on the UI thread only.
class LocalizedTextTable {
public:
    // Appends the rows of `language` (1 English, any other value Arabic) unless that table is built.
    void BuildTextTable(std::int32_t language);

    // A copy of the text of `row` in the current language; kMissingTextRow for a row the table
    // does not hold (also when that language was never built).
    [[nodiscard]] std::wstring LookupText(std::int32_t row) const;

    // 1 English, any other value Arabic.
    [[nodiscard]] std::int32_t CurrentTextLanguage() const noexcept { return currentTextLanguage; }
    void SetCurrentTextLanguage(std::int32_t language) noexcept;

    // The text side of a language switch, also run once at start with the stored language: makes
    // `language` current when it differs and is below 2, then builds its table.
    void SelectLanguage(std::int32_t language);

private:
    std::array<std::vector<std::wstring>, 2> tables; // [0] Arabic, [1] English
    std::array<bool, 2> built{};
    std::int8_t currentTextLanguage = kLanguageArabic;
};

} // namespace Velmora
