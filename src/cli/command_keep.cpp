#include "cli/command_common.h"

#include "cli/arguments.h"
#include "cli/exit_codes.h"
#include "engine/detection_marker.h"
#include "engine/engine.h"
#include "engine/keep_settings.h"

namespace Velmora::Cli {
namespace {

// Whether keeping is on, what its task runs and the last repair: the document's part, and in words.
Json KeepingJson(CliPlatform& platform, std::wstring& words) {
    KeepPlatform& keep = platform.Keep();
    const KeepStatus status = ReadKeepStatus(keep);
    const std::optional<DetectionMarker> marker = ReadDetectionMarker(platform.Engine().reader);
    Json lastRepair;
    if (marker && !marker->repairedUtc.empty()) {
        lastRepair = {{"utc", U8(marker->repairedUtc)},
                      {"exitCode", marker->repairResult ? Json(*marker->repairResult) : Json()}};
    }
    const std::wstring program = keep.ProgramFolder() + L"\\" + kKeptProgramName;
    words =
        status.on
            ? L"Keeping settings in place is on: " + program + L" " + kKeepTaskArguments +
                  L" runs as SYSTEM at start-up, at every sign-in and once a day." +
                  (status.command.empty() ? L" (The Task Scheduler does not say what the task runs.)" : L"")
        : status.runsElsewhere
            ? L"Keeping settings in place is off: the task " + std::wstring(kKeepTaskPath) + L" runs " +
                  status.command + L", not the protected copy in " + keep.ProgramFolder() + L"."
            : L"Keeping settings in place is off.";
    if (!lastRepair.is_null()) {
        words += L" The last repair ran at " + marker->repairedUtc + L" and exited with " +
                 (marker->repairResult ? std::to_wstring(*marker->repairResult)
                                       : std::wstring(L"an unknown code")) +
                 L".";
    }
    return {{"on", status.on},
            {"task", U8(kKeepTaskPath)},
            {"taskPresent", status.taskPresent},
            {"program", status.command.empty() ? Json() : Json(U8(status.command))},
            {"folder", U8(keep.ProgramFolder())},
            {"lastRepair", lastRepair}};
}

} // namespace

Answer KeepCommand(Session& session) {
    CliPlatform& platform = session.platform;
    const std::wstring& action = session.args.keepAction;
    Answer answer;
    if (action != L"status") {
        if (auto refused = RequireElevation(session, L"changes this PC")) {
            return *refused;
        }
        RunClaim claim; // no run or repair meanwhile
        if (auto refused = Claim(session, claim)) {
            return *refused;
        }
        EngineServices& engine = platform.Engine();
        if (action == L"on" &&
            FindAppliedProfile(ReadDetectionMarker(engine.reader), engine.settings).profile == kNoProfile) {
            return Refusal(kExitFailed,
                           L"No profile is applied on this PC: apply one first. Keeping settings in "
                           L"place keeps the applied profile; nothing was changed.");
        }
        const KeepOutcome outcome =
            action == L"on" ? TurnKeepOn(platform.Keep()) : TurnKeepOff(platform.Keep());
        answer.exitCode = outcome.succeeded ? kExitDone : kExitFailed;
        answer.message = outcome.message;
    }
    std::wstring words;
    answer.fields["keeping"] = KeepingJson(platform, words);
    if (action == L"status") {
        answer.message = words;
    }
    return answer;
}

} // namespace Velmora::Cli
