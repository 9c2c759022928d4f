#include "cli/command_common.h"

#include "cli/arguments.h"
#include "cli/exit_codes.h"
#include "cli/targets.h"
#include "common/text_encoding.h"
#include "engine/detection_marker.h"
#include "engine/engine.h"
#include "engine/journal.h"
#include "engine/feature_items.h"
#include "tweaks/feature_catalogue.h"

#include <map>

namespace Velmora::Cli {
namespace {

// How many of each feature's items no longer held, by feature id; items of no feature under "".
std::map<std::string, std::size_t> DriftedPerFeature(const std::vector<ItemTarget>& drifted) {
    std::map<std::string, std::size_t> counts;
    for (const ItemTarget& target : drifted) {
        const Json id = FeatureId(target);
        ++counts[id.is_string() ? id.get<std::string>() : std::string()];
    }
    return counts;
}

} // namespace

Answer RepairCommand(Session& session) {
    CliPlatform& platform = session.platform;
    EngineServices& engine = platform.Engine();
    RunClaim claim;
    Targets targets(engine);
    if (auto refused = PrepareRun(session, claim, targets)) {
        return *refused;
    }
    const AppliedProfile applied = FindAppliedProfile(ReadDetectionMarker(engine.reader), engine.settings);
    Answer answer;
    answer.fields["profile"] = ProfileJson(applied.profile);
    if (applied.profile == kNoProfile) {
        answer.message = L"No profile is applied on this PC: there is nothing to repair.";
        answer.fields["outcome"] = "nothingApplied";
        return answer;
    }

    const std::wstring name = ProfileName(applied.profile);
    const RunChoices choices = SessionChoices(session);
    RunOptions options;
    options.choices = &choices;
    options.cancel = &platform.CancelRequested();
    options.repair = true;
    options.progress = [&platform, &name](const RunProgress& progress) {
        platform.ShowProgress(L"Repairing " + name + L": " + FromUtf8(StepName(progress.step)) + L" " +
                              std::to_wstring(progress.index) + L"/" + std::to_wstring(progress.stepTotal));
    };
    const RunReport report = RunProfile(engine, Controller(), applied.profile, options);
    platform.ShowProgress(L"");
    targets.UnloadHives();

    answer.ran = true;
    answer.exitCode = RunExitCode(report.outcome, report.drifted.empty() ? kExitDone : kExitRestartRequired);
    // For keep status: when the last repair ran, and how it ended.
    static_cast<void>(RecordRepair(engine.writer, UtcTimestamp(engine.journals.NowUtcSeconds()),
                                   static_cast<std::uint32_t>(answer.exitCode)));
    const std::size_t count = report.drifted.size();
    constexpr std::string_view kOutcomes[] = {"repaired", "failed", "cancelled", "notStarted"};
    answer.fields["outcome"] = count == 0 && report.outcome == RunOutcome::Succeeded
                                   ? std::string_view("nothingToRepair")
                                   : kOutcomes[static_cast<std::size_t>(report.outcome)];
    answer.message = RunOutcomeMessage(
        report, count == 0 ? name + L" holds: nothing had drifted, nothing was changed."
                           : name + L" repaired: " + std::to_wstring(count) +
                                 L" settings that no longer held were set again. A restart is recommended.");
    const std::wstring updated = WindowsUpdatedNote(report.buildBefore, report.buildNow, count);
    if (!updated.empty()) {
        answer.details += updated + L".\n";
    }
    Json features = Json::array();
    for (const auto& [id, items] : DriftedPerFeature(report.drifted)) {
        features.push_back({{"feature", id.empty() ? Json() : Json(id)}, {"turnedBack", items}});
        const auto index = Features().Catalogue().Find(id);
        answer.details += (index ? FeatureHeading(*index) : std::wstring(L"  (no feature)\n")) + L"    " +
                          std::to_wstring(items) + L" turned back\n";
    }
    if (!report.journalPath.empty()) {
        answer.details += L"Journal: " + report.journalPath + L"\n";
    }
    if (report.markerError != 0) {
        answer.details += L"Warning: the Windows build could not be recorded in HKLM\\" +
                          std::wstring(kDetectionMarkerKey) + L" (error " +
                          std::to_wstring(report.markerError) + L").\n";
    }
    answer.fields["revision"] = applied.revision ? Json(*applied.revision) : Json();
    answer.fields["turnedBack"] = count;
    answer.fields["features"] = std::move(features);
    answer.fields["windowsBuild"] = {
        {"atLastRun", report.buildBefore.empty() ? Json() : Json(U8(report.buildBefore))},
        {"now", report.buildNow.empty() ? Json() : Json(U8(report.buildNow))},
        {"updatedSince", !updated.empty()}};
    answer.fields["journal"] = report.journalPath.empty() ? Json() : Json(U8(report.journalPath));
    answer.fields["failedRegistryWrites"] = report.applyOutcome < 0 ? -report.applyOutcome : 0;
    answer.fields["keep"] = KeptJson(session.choices);
    answer.fields["include"] = IncludedJson(session.choices);
    ReportUsers(answer, &targets, targets.Users(), [](const TargetUser&, Json&) { return std::wstring(); });
    return answer;
}

} // namespace Velmora::Cli
