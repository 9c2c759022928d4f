#include "cli/command_common.h"

#include "cli/arguments.h"
#include "cli/exit_codes.h"
#include "cli/item_text.h"
#include "common/text_encoding.h"
#include "engine/detection_marker.h"
#include "engine/engine.h"
#include "engine/feature_items.h"
#include "settings/local_settings.h"
#include "tweaks/apply_pipeline.h"
#include "tweaks/run_controller.h"

#include <algorithm>
#include <cwctype>

namespace Velmora::Cli {

std::string U8(std::wstring_view text) {
    return ToUtf8(text);
}

Json ItemJson(const ItemTarget& target) {
    return Json::parse(ItemJsonText(target));
}

Json StateJson(const ItemState& state) {
    return Json::parse(StateJsonText(state));
}

Json ProfileJson(SettingsProfile profile) {
    const std::wstring name = ProfileName(profile);
    return name.empty() ? Json() : Json(U8(name));
}

bool IsSetting(const PlanEntry& entry) {
    return std::holds_alternative<SettingTarget>(entry.target);
}

std::wstring Padded(std::string_view text, std::size_t width) {
    std::wstring padded(text.begin(), text.end());
    padded.resize(std::max(width, padded.size()), L' ');
    return padded;
}

std::wstring Line(const PlanEntry& entry, const std::wstring& tail) {
    return L"  " + Padded(StepName(entry.step), 9) + L" " + entry.description + tail + L"\n";
}

AppliedProfile FindAppliedProfile(const std::optional<DetectionMarker>& marker,
                                  const LocalSettingsValues& settings) {
    if (marker) {
        if (const auto profile = ProfileFromName(marker->appliedProfile)) {
            return {*profile, marker->revision, "marker"};
        }
    }
    const SettingsProfile profile = ReadInt32Setting(settings, SettingKeys::AppliedTask, kNoProfileApplied);
    if (ProfileName(profile).empty()) {
        return {};
    }
    return {profile,
            static_cast<std::uint32_t>(
                ReadInt32Setting(settings, ProfileBuildSettingKey(profile), kProfileNeverApplied)),
            "settings"};
}

std::wstring WindowsUpdatedNote(const std::wstring& before, const std::wstring& now, std::size_t turnedBack) {
    if (before.empty() || now.empty() || before == now) {
        return {};
    }
    return L"Windows was updated since (" + before + L" \u2192 " + now + L"): " +
           std::to_wstring(turnedBack) + L" settings were turned back";
}

Answer Refusal(int exitCode, std::wstring message) {
    Answer answer;
    answer.exitCode = exitCode;
    answer.message = std::move(message);
    answer.fields["error"] = U8(answer.message);
    return answer;
}

std::wstring RunOutcomeMessage(const RunReport& report, std::wstring succeeded) {
    switch (report.outcome) {
    case RunOutcome::Succeeded:
        return succeeded;
    case RunOutcome::Cancelled:
        return L"Stopped. The journal holds every change made until then; velmora-cli restore puts them back.";
    case RunOutcome::Failed:
    case RunOutcome::NotStarted:
        break;
    }
    return report.message;
}

int RunExitCode(RunOutcome outcome, int succeededCode) {
    switch (outcome) {
    case RunOutcome::Succeeded:
        return succeededCode;
    case RunOutcome::Cancelled:
        return kExitCancelled;
    case RunOutcome::Failed:
    case RunOutcome::NotStarted:
        break;
    }
    return kExitFailed;
}

std::optional<Answer> RefuseReportPath(Session& session) {
    const std::optional<std::wstring>& report = session.args.reportPath;
    std::wstring error;
    const std::wstring full = report ? session.platform.FullPath(*report) : std::wstring();
    if (!report || (!full.empty() && session.platform.CheckReportPath(full, error))) {
        return std::nullopt;
    }
    return Refusal(kExitBadArguments, L"The report cannot be written to \"" + *report + L"\": " +
                                          (full.empty() ? L"it is not a file path" : error) +
                                          L". Nothing was changed.");
}

std::optional<Answer> RequireElevation(Session& session, std::wstring_view why) {
    if (session.platform.Elevated()) {
        return std::nullopt;
    }
    return Refusal(kExitNeedsElevation, L"velmora-cli " + FromUtf8(CommandName(session.args.command)) + L" " +
                                            std::wstring(why) +
                                            L" and needs elevation: run it from an elevated prompt (Run as "
                                            L"administrator) or as SYSTEM. Nothing was changed.");
}

std::optional<Answer> Claim(Session& session, RunClaim& claim) {
    claim = session.platform.ClaimRun();
    if (claim.outcome == ClaimOutcome::Held) {
        return std::nullopt;
    }
    if (claim.outcome == ClaimOutcome::Busy) {
        return Refusal(kExitAnotherRun,
                       L"Another Velmora run is in progress on this PC (in the window or in "
                       L"velmora-cli). Nothing was changed; try again when it has finished.");
    }
    return Refusal(kExitFailed, (claim.problem.empty() ? L"The run lock could not be taken (error " +
                                                             std::to_wstring(claim.error) + L")."
                                                       : claim.problem) +
                                    L" Nothing was changed.");
}

const RunController& Controller() {
    static const RunController controller;
    return controller;
}

const FeatureIndex& Features() {
    static const FeatureIndex features(Controller());
    return features;
}

Json FeatureId(const ItemTarget& target) {
    const auto feature = Features().FeatureOf(target);
    return feature ? Json(std::string(Features().Features()[*feature].id)) : Json();
}

std::wstring FeatureHeading(std::size_t feature) {
    if (feature >= Features().Features().size()) {
        return L"  (no feature)\n";
    }
    const FeatureDefinition& definition = Features().Features()[feature];
    return L"  " + std::wstring(definition.title.en) + L" [" + FromUtf8(definition.id) + L"]\n";
}

ProfilePlan PlanOf(Session& session, SettingsProfile profile, bool surveyActions) {
    const RunChoices choices = SessionChoices(session);
    return PlanProfile(session.platform.Engine(), Controller(), profile,
                       {surveyActions, false, nullptr, &choices});
}

RunChoices SessionChoices(const Session& session) {
    return {Features(), session.choices};
}

std::optional<Answer> RefuseUnknownFeatures(const std::vector<std::wstring>& ids, const std::wstring& where,
                                            ChoiceKind kind) {
    for (const std::wstring& id : ids) {
        const auto feature = Features().Catalogue().Find(U8(id));
        if (!feature || !WhyNotChoosable(Features().Features()[*feature], kind).empty()) {
            return Refusal(kExitBadArguments,
                           where + L" names \"" + id + L"\", which is no feature that can be " +
                               (kind == ChoiceKind::Include
                                    ? L"included (the optional features of the category "
                                      L"Windows AI)"
                                    : L"kept") +
                               L" (velmora-cli features lists them). Nothing was changed.");
        }
    }
    return std::nullopt;
}

std::optional<Answer> ReadChoicesFileIds(Session& session, ChoicesFile& ids) {
    if (!session.args.choicesFile) {
        return std::nullopt;
    }
    std::string text;
    std::wstring error;
    const std::wstring path = session.platform.FullPath(*session.args.choicesFile);
    std::optional<ChoicesFile> read;
    if (!path.empty() && session.platform.ReadChoicesFile(path, text, error)) {
        read = ParseChoicesFile(text, error);
    }
    if (!read) {
        return Refusal(kExitBadArguments,
                       L"The choices file \"" + *session.args.choicesFile + L"\" cannot be used: " +
                           (error.empty() ? L"it is no file path" : error) + L". Nothing was changed.");
    }
    if (auto refused = RefuseUnknownFeatures(read->keep, L"The choices file's \"keep\"")) {
        return refused;
    }
    if (auto refused =
            RefuseUnknownFeatures(read->include, L"The choices file's \"include\"", ChoiceKind::Include)) {
        return refused;
    }
    ids.keep.insert(ids.keep.end(), read->keep.begin(), read->keep.end());
    ids.include.insert(ids.include.end(), read->include.begin(), read->include.end());
    return std::nullopt;
}

std::optional<Answer> ReadSessionChoices(Session& session) {
    session.choices = ReadChoices(session.platform.Engine().reader, Features());
    if (auto refused = RefuseUnknownFeatures(session.args.keepIds, L"--keep")) {
        return refused;
    }
    if (auto refused = RefuseUnknownFeatures(session.args.includeIds, L"--include", ChoiceKind::Include)) {
        return refused;
    }
    ChoicesFile fromFile;
    if (auto refused = ReadChoicesFileIds(session, fromFile)) {
        return refused;
    }
    AddChoices(session.choices, Features(), session.args.keepIds, ChoiceSource::CommandLine);
    AddChoices(session.choices, Features(), fromFile.keep, ChoiceSource::CommandLine);
    AddChoices(session.choices, Features(), session.args.includeIds, ChoiceSource::CommandLine,
               ChoiceKind::Include);
    AddChoices(session.choices, Features(), fromFile.include, ChoiceSource::CommandLine, ChoiceKind::Include);
    return std::nullopt;
}

std::wstring KeptNote(const Choices& choices) {
    std::wstring note = choices.Empty() ? L""
                                        : L" " + std::to_wstring(choices.kept.size()) +
                                              L" features are kept as they are and counted in none of these.";
    if (!choices.included.empty()) {
        note += L" " + std::to_wstring(choices.included.size()) +
                L" optional features are included where this Windows has them.";
    }
    return note;
}

Json ChosenJson(const std::map<std::size_t, ChoiceSource>& chosen) {
    Json list = Json::array();
    for (const auto& [feature, source] : chosen) {
        list.push_back({{"id", Features().Features()[feature].id}, {"source", ChoiceSourceName(source)}});
    }
    return list;
}

Json KeptJson(const Choices& choices) {
    return ChosenJson(choices.kept);
}

Json IncludedJson(const Choices& choices) {
    return ChosenJson(choices.included);
}

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text) {
        c = static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(c)));
    }
    return text;
}

} // namespace Velmora::Cli
