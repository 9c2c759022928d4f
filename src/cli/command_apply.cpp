#include "cli/command_common.h"

#include "cli/arguments.h"
#include "cli/item_text.h"
#include "cli/exit_codes.h"
#include "cli/targets.h"
#include "common/text_encoding.h"
#include "engine/detection_marker.h"
#include "engine/engine.h"

#include <algorithm>

namespace Velmora::Cli {
namespace {

std::string_view OutcomeName(RunOutcome outcome) {
    switch (outcome) {
    case RunOutcome::Succeeded:
        return "succeeded";
    case RunOutcome::Failed:
        return "failed";
    case RunOutcome::Cancelled:
        return "cancelled";
    case RunOutcome::NotStarted:
        break;
    }
    return "notStarted";
}

std::string_view RestorePointName(RestorePointStatus status) {
    constexpr std::string_view kNames[] = {"created",      "reused", "disabled", "safeMode",
                                           "notAvailable", "failed", "skipped"};
    return kNames[static_cast<std::size_t>(status)];
}

} // namespace

Answer ApplyCommand(Session& session) {
    const Arguments& args = session.args;
    CliPlatform& platform = session.platform;
    RunClaim claim;
    Targets targets(platform.Engine());
    if (auto refused = PrepareRun(session, claim, targets)) {
        return *refused;
    }

    const std::wstring name = ProfileName(args.profile);
    const RunChoices choices = SessionChoices(session);
    RunOptions options;
    options.choices = &choices;
    options.cancel = &platform.CancelRequested();
    options.restorePoint = !args.noRestorePoint;
    options.appRemoval = args.removeApps;
    options.startAppRemoval = [&platform](std::vector<std::wstring> names) {
        return platform.StartAppRemoval(std::move(names));
    };
    options.progress = [&platform, &name](const RunProgress& progress) {
        platform.ShowProgress(L"Applying " + name + L": " + FromUtf8(StepName(progress.step)) + L" " +
                              std::to_wstring(progress.index) + L"/" + std::to_wstring(progress.stepTotal));
    };
    const RunReport report = RunProfile(platform.Engine(), Controller(), args.profile, options);
    platform.ShowProgress(L"");
    // The other users' hives go back before the wait for the app removal, which may take minutes.
    targets.UnloadHives();
    platform.FinishAppRemoval();

    Answer answer;
    answer.ran = true;
    const bool succeeded = report.outcome == RunOutcome::Succeeded;
    answer.exitCode =
        RunExitCode(report.outcome, args.restart && succeeded ? kExitRestartStarted : kExitRestartRequired);
    answer.message = RunOutcomeMessage(
        report, name + L" applied (revision " +
                    std::to_wstring(kCurrentProfileBuild[static_cast<std::size_t>(args.profile)]) + L"). " +
                    (args.restart ? L"Restarting the PC now." : L"A restart is recommended."));
    if (report.outcome != RunOutcome::NotStarted) {
        answer.details += std::to_wstring(report.applyOutcome < 0 ? -report.applyOutcome : 0) +
                          L" counted registry writes failed (14 or more fail a run); the journal holds every "
                          L"item with its outcome.\n";
    }
    if (!session.choices.Empty()) {
        answer.details += L"Kept as they are, neither set nor taken back:\n";
        for (const std::wstring& id : session.choices.KeptIds(Features())) {
            answer.details += L"  " + id + L"\n";
        }
    }
    answer.details += L"Restore point: " + report.restorePoint.message + L"\n";
    if (!report.journalPath.empty()) {
        answer.details += L"Journal: " + report.journalPath + L"\n";
    }
    if (report.markerError != 0) {
        answer.details += L"Warning: the detection marker HKLM\\" + std::wstring(kDetectionMarkerKey) +
                          L" could not be written (error " + std::to_wstring(report.markerError) + L").\n";
    }
    answer.fields["profile"] = ProfileJson(args.profile);
    answer.fields["revision"] = kCurrentProfileBuild[static_cast<std::size_t>(args.profile)];
    answer.fields["outcome"] = OutcomeName(report.outcome);
    answer.fields["failedRegistryWrites"] = report.applyOutcome < 0 ? -report.applyOutcome : 0;
    answer.fields["journal"] = report.journalPath.empty() ? Json() : Json(U8(report.journalPath));
    answer.fields["restorePoint"] = {{"status", RestorePointName(report.restorePoint.status)},
                                     {"message", U8(report.restorePoint.message)}};
    answer.fields["appRemoval"] = args.removeApps && args.profile != kEssentialProfile;
    answer.fields["items"] = report.items.size();
    answer.fields["markerWritten"] = succeeded && report.markerError == 0;
    answer.fields["restartRequested"] = answer.exitCode == kExitRestartStarted;
    answer.fields["keep"] = KeptJson(session.choices);
    answer.fields["include"] = IncludedJson(session.choices);
    // The run reports its users in the order of the targets, with the writes each failed.
    const std::vector<TargetUser>& users = targets.Users();
    std::size_t index = 0;
    ReportUsers(answer, &targets, users, [&](const TargetUser& user, Json& json) -> std::wstring {
        const std::size_t failed = index < report.users.size() ? report.users[index].failedWrites : 0;
        ++index;
        if (!user.Reachable() || report.outcome == RunOutcome::NotStarted) {
            return L"";
        }
        const std::size_t skipped = index <= report.users.size() ? report.users[index - 1].skippedRows : 0;
        json["failedWrites"] = failed;
        json["skippedRows"] = skipped;
        return (failed == 0 ? L"" : L"; " + std::to_wstring(failed) + L" per-user writes failed") +
               (skipped == 0
                    ? L""
                    : L"; " + std::to_wstring(skipped) +
                          L" class-key rows skipped (they take effect only while the user is signed in)");
    });
    if (const std::size_t skipped = Skipped(users); skipped > 0) {
        answer.message += L" Skipped " + std::to_wstring(skipped) + L" of the " +
                          std::to_wstring(users.size()) + L" users named: their hives could not be reached.";
    }
    return answer;
}

} // namespace Velmora::Cli
