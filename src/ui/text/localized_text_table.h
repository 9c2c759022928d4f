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
// The main window's review, status, progress, result and restore texts. "{...}" stand for values.
inline constexpr std::int32_t CardInEffect = 37;
inline constexpr std::int32_t CardChangedSince = 38;
inline constexpr std::int32_t CardChangedSinceOne = 39;
inline constexpr std::int32_t CheckingPc = 40;
inline constexpr std::int32_t CheckFailed = 41;
inline constexpr std::int32_t ReviewChanges = 42;
inline constexpr std::int32_t RestorePrevious = 43;
inline constexpr std::int32_t ReviewTitle = 44;
inline constexpr std::int32_t ReviewAccount = 45;
inline constexpr std::int32_t ReviewCounts = 46;
inline constexpr std::int32_t OnlyWhatChanges = 47;
inline constexpr std::int32_t Export = 48;
inline constexpr std::int32_t ColumnStep = 49;
inline constexpr std::int32_t ColumnItem = 50;
inline constexpr std::int32_t ColumnNow = 51;
inline constexpr std::int32_t ColumnAfter = 52;
inline constexpr std::int32_t StepRegistry = 53;
inline constexpr std::int32_t StepServices = 54;
inline constexpr std::int32_t StepTasks = 55;
inline constexpr std::int32_t StepPower = 56;
inline constexpr std::int32_t StepCleanup = 57;
inline constexpr std::int32_t StepCommands = 58;
inline constexpr std::int32_t StepApps = 59;
inline constexpr std::int32_t StepSettings = 60;
inline constexpr std::int32_t StateNotSet = 61;
inline constexpr std::int32_t StateUnreadable = 62;
inline constexpr std::int32_t StatePresent = 63;
inline constexpr std::int32_t StateEnabled = 64;
inline constexpr std::int32_t StateDisabled = 65;
inline constexpr std::int32_t StartBoot = 66;
inline constexpr std::int32_t StartSystem = 67;
inline constexpr std::int32_t StartAutomatic = 68;
inline constexpr std::int32_t StartDelayed = 69;
inline constexpr std::int32_t StartManual = 70;
inline constexpr std::int32_t StartDisabled = 71;
inline constexpr std::int32_t DoneOnEveryApply = 72;
inline constexpr std::int32_t ProcessorMaximum = 73;
inline constexpr std::int32_t PowerValues = 74;
inline constexpr std::int32_t ActionRecycleBin = 75;
inline constexpr std::int32_t ActionTempFolders = 76;
inline constexpr std::int32_t ActionPrefetch = 77;
inline constexpr std::int32_t ActionPowerShell = 78;
inline constexpr std::int32_t ActionCommands = 79;
inline constexpr std::int32_t ActionRemoveApps = 80;
inline constexpr std::int32_t ProgressStep = 81;
inline constexpr std::int32_t Preparing = 82;
inline constexpr std::int32_t ShowDetails = 83;
inline constexpr std::int32_t HideDetails = 84;
inline constexpr std::int32_t OpenLogFolder = 85;
inline constexpr std::int32_t Done = 86;
inline constexpr std::int32_t ColumnResult = 87;
inline constexpr std::int32_t ColumnDetails = 88;
inline constexpr std::int32_t ResultChanged = 89;
inline constexpr std::int32_t ResultInEffect = 90;
inline constexpr std::int32_t ResultFailed = 91;
inline constexpr std::int32_t ResultNotReached = 92;
inline constexpr std::int32_t NotAsExpected = 93;
inline constexpr std::int32_t RestoreQuestionTitle = 94;
inline constexpr std::int32_t RestoreQuestion = 95;
inline constexpr std::int32_t RestoreConfirm = 96;
inline constexpr std::int32_t RestoringTitle = 97;
inline constexpr std::int32_t RestoringMessage = 98;
inline constexpr std::int32_t RestoredTitle = 99;
inline constexpr std::int32_t RestorePartlyTitle = 100;
inline constexpr std::int32_t RestoreSummary = 101;
inline constexpr std::int32_t RestoreRefused = 102;
inline constexpr std::int32_t ResultRestored = 103;
inline constexpr std::int32_t ResultCannotComeBack = 104;
inline constexpr std::int32_t ResultNotRecorded = 105;
inline constexpr std::int32_t CloseQuestionTitle = 106;
inline constexpr std::int32_t CloseQuestion = 107;
inline constexpr std::int32_t StopAndClose = 108;
inline constexpr std::int32_t Wait = 109;
inline constexpr std::int32_t PlanListCaption = 110;
inline constexpr std::int32_t DetailsListCaption = 111;
inline constexpr std::int32_t ExportTitle = 112;
inline constexpr std::int32_t ExportJsonFilter = 113;
inline constexpr std::int32_t ExportRegFilter = 114;
inline constexpr std::int32_t ExportSaved = 115;
inline constexpr std::int32_t ExportFailed = 116;
inline constexpr std::int32_t ErrorText = 117;
inline constexpr std::int32_t ErrorNumber = 118;
inline constexpr std::int32_t Count = 119;
} // namespace TextId

// `text` with the first "{name}" placeholder replaced by `value`.
[[nodiscard]] std::wstring FillText(std::wstring text, std::wstring_view placeholder,
                                    std::wstring_view value);

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
