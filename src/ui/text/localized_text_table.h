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
// The main window's review, status, progress, result and restore texts. "{...}" stand for values.
inline constexpr std::int32_t CardInEffect = 40;
inline constexpr std::int32_t CardChangedSince = 41;
inline constexpr std::int32_t CardChangedSinceOne = 42;
inline constexpr std::int32_t CheckingPc = 43;
inline constexpr std::int32_t CheckFailed = 44;
inline constexpr std::int32_t ReviewChanges = 45;
inline constexpr std::int32_t RestorePrevious = 46;
inline constexpr std::int32_t ReviewTitle = 47;
inline constexpr std::int32_t ReviewAccount = 48;
inline constexpr std::int32_t ReviewCounts = 49;
inline constexpr std::int32_t OnlyWhatChanges = 50;
inline constexpr std::int32_t Export = 51;
inline constexpr std::int32_t ColumnStep = 52;
inline constexpr std::int32_t ColumnItem = 53;
inline constexpr std::int32_t ColumnNow = 54;
inline constexpr std::int32_t ColumnAfter = 55;
inline constexpr std::int32_t StepRegistry = 56;
inline constexpr std::int32_t StepServices = 57;
inline constexpr std::int32_t StepTasks = 58;
inline constexpr std::int32_t StepPower = 59;
inline constexpr std::int32_t StepCleanup = 60;
inline constexpr std::int32_t StepCommands = 61;
inline constexpr std::int32_t StepApps = 62;
inline constexpr std::int32_t StepSettings = 63;
inline constexpr std::int32_t StateNotSet = 64;
inline constexpr std::int32_t StateUnreadable = 65;
inline constexpr std::int32_t StatePresent = 66;
inline constexpr std::int32_t StateEnabled = 67;
inline constexpr std::int32_t StateDisabled = 68;
inline constexpr std::int32_t StartBoot = 69;
inline constexpr std::int32_t StartSystem = 70;
inline constexpr std::int32_t StartAutomatic = 71;
inline constexpr std::int32_t StartDelayed = 72;
inline constexpr std::int32_t StartManual = 73;
inline constexpr std::int32_t StartDisabled = 74;
inline constexpr std::int32_t DoneOnEveryApply = 75;
inline constexpr std::int32_t ProcessorMaximum = 76;
inline constexpr std::int32_t PowerValues = 77;
inline constexpr std::int32_t ActionRecycleBin = 78;
inline constexpr std::int32_t ActionTempFolders = 79;
inline constexpr std::int32_t ActionPrefetch = 80;
inline constexpr std::int32_t ActionPowerShell = 81;
inline constexpr std::int32_t ActionCommands = 82;
inline constexpr std::int32_t ActionRemoveApps = 83;
inline constexpr std::int32_t ProgressStep = 84;
inline constexpr std::int32_t Preparing = 85;
inline constexpr std::int32_t ShowDetails = 86;
inline constexpr std::int32_t HideDetails = 87;
inline constexpr std::int32_t OpenLogFolder = 88;
inline constexpr std::int32_t Done = 89;
inline constexpr std::int32_t ColumnResult = 90;
inline constexpr std::int32_t ColumnDetails = 91;
inline constexpr std::int32_t ResultChanged = 92;
inline constexpr std::int32_t ResultInEffect = 93;
inline constexpr std::int32_t ResultFailed = 94;
inline constexpr std::int32_t ResultNotReached = 95;
inline constexpr std::int32_t NotAsExpected = 96;
inline constexpr std::int32_t RestoreQuestionTitle = 97;
inline constexpr std::int32_t RestoreQuestion = 98;
inline constexpr std::int32_t RestoreConfirm = 99;
inline constexpr std::int32_t RestoringTitle = 100;
inline constexpr std::int32_t RestoringMessage = 101;
inline constexpr std::int32_t RestoredTitle = 102;
inline constexpr std::int32_t RestorePartlyTitle = 103;
inline constexpr std::int32_t RestoreSummary = 104;
inline constexpr std::int32_t RestoreRefused = 105;
inline constexpr std::int32_t ResultRestored = 106;
inline constexpr std::int32_t ResultCannotComeBack = 107;
inline constexpr std::int32_t ResultNotRecorded = 108;
inline constexpr std::int32_t CloseQuestionTitle = 109;
inline constexpr std::int32_t CloseQuestion = 110;
inline constexpr std::int32_t StopAndClose = 111;
inline constexpr std::int32_t Wait = 112;
inline constexpr std::int32_t PlanListCaption = 113;
inline constexpr std::int32_t DetailsListCaption = 114;
inline constexpr std::int32_t ExportTitle = 115;
inline constexpr std::int32_t ExportJsonFilter = 116;
inline constexpr std::int32_t ExportRegFilter = 117;
inline constexpr std::int32_t ExportSaved = 118;
inline constexpr std::int32_t ExportFailed = 119;
inline constexpr std::int32_t ErrorText = 120;
inline constexpr std::int32_t ErrorNumber = 121;
inline constexpr std::int32_t ColumnFeature = 122;
inline constexpr std::int32_t ColumnThisRun = 123;
inline constexpr std::int32_t ColumnWarning = 124;
inline constexpr std::int32_t FeatureInEffect = 125;
inline constexpr std::int32_t FeaturePartlyInEffect = 126;
inline constexpr std::int32_t FeatureUnreadable = 127;
inline constexpr std::int32_t RunSets = 128;
inline constexpr std::int32_t RunTakesBack = 129;
inline constexpr std::int32_t RunSetsAndTakesBack = 130;
inline constexpr std::int32_t RunNoChange = 131;
inline constexpr std::int32_t RunEveryTime = 132;
inline constexpr std::int32_t WarningMark = 133;
inline constexpr std::int32_t MayTurnOff = 134;
inline constexpr std::int32_t FeatureItems = 135;
inline constexpr std::int32_t FeatureItemLine = 136;
inline constexpr std::int32_t FeatureListCaption = 137;
inline constexpr std::int32_t ReviewFeatureCounts = 138;
inline constexpr std::int32_t ApplyWarningTitle = 139;
inline constexpr std::int32_t ApplyWarningIntro = 140;
inline constexpr std::int32_t ApplyWarningOutro = 141;
inline constexpr std::int32_t NoFeature = 142;
inline constexpr std::int32_t RunKept = 143;
inline constexpr std::int32_t RunKeptByPolicy = 144;
inline constexpr std::int32_t FeaturesKept = 145;
inline constexpr std::int32_t KeptDetails = 146;
inline constexpr std::int32_t KeptByPolicyDetails = 147;
inline constexpr std::int32_t KeptReason = 148;
inline constexpr std::int32_t ExportChoices = 149;
inline constexpr std::int32_t ImportChoices = 150;
inline constexpr std::int32_t ChoicesFileTitle = 151;
inline constexpr std::int32_t ChoicesFilter = 152;
inline constexpr std::int32_t ChoicesImported = 153;
inline constexpr std::int32_t ChoicesRefused = 154;
inline constexpr std::int32_t PutBack = 155;
inline constexpr std::int32_t PutBackDone = 156;
inline constexpr std::int32_t ChangesMade = 157;
inline constexpr std::int32_t ChangesMadeTitle = 158;
inline constexpr std::int32_t ChangesMadeMessage = 159;
// On the applied profile's card, when Windows' build changed since its last run or repair.
inline constexpr std::int32_t CardWindowsUpdated = 160;
// Keeping settings in place: the switch, why it could not be turned on or off, and a restore that ended it.
inline constexpr std::int32_t KeepInPlace = 161;
inline constexpr std::int32_t KeepFailed = 162;
inline constexpr std::int32_t KeepTurnedOff = 163;
// The optional features of the Review page: not ticked, not on this build, and why.
inline constexpr std::int32_t RunNotIncluded = 164;
inline constexpr std::int32_t FeatureNotAvailable = 165;
inline constexpr std::int32_t NotIncludedDetails = 166;
inline constexpr std::int32_t IncludedByPolicyDetails = 167;
inline constexpr std::int32_t NotAvailableDetails = 168;
inline constexpr std::int32_t Count = 169;
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
