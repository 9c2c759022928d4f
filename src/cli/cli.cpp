#include "cli/cli.h"

#include "cli/arguments.h"
#include "cli/exit_codes.h"
#include "cli/item_text.h"
#include "common/text_encoding.h"
#include "engine/detection_marker.h"
#include "engine/journal.h"
#include "settings/local_settings.h"
#include "tweaks/apply_pipeline.h"
#include "tweaks/run_controller.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cwctype>
#include <map>

namespace Velmora::Cli {
namespace {

using Json = nlohmann::ordered_json;

// docs/cli.md: the documents keep this shape; fields may be added, none removed or changed.
constexpr int kCliSchemaVersion = 1;

// What a command answers: the exit code, the words for people, and its part of the JSON document.
struct Answer {
    int exitCode = kExitDone;
    std::wstring message; // one line; in words on standard output, or on the error stream for a refusal
    std::wstring details; // more lines in words, after the message
    Json fields = Json::object();
    bool ran = false; // the run was made (whatever its outcome): --report writes its document
};

struct Session {
    const Arguments& args;
    CliPlatform& platform;
};

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

Answer Refusal(int exitCode, std::wstring message) {
    Answer answer;
    answer.exitCode = exitCode;
    answer.message = std::move(message);
    answer.fields["error"] = U8(answer.message);
    return answer;
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

ProfilePlan PlanOf(Session& session, SettingsProfile profile, bool surveyActions) {
    return PlanProfile(session.platform.Engine(), Controller(), profile, {surveyActions, false});
}

// ---- target users ----

// Why the process's own hive is no person's: SYSTEM's, a service account's, or one Windows has not
// loaded (HKEY_CURRENT_USER is then the .DEFAULT hive). Empty when it is a user's loaded hive.
std::wstring OwnHiveProblem(UserHiveAccess& access) {
    const std::wstring sid = access.ProcessUserSid();
    if (CallerIsSystem(access)) {
        return L"velmora-cli runs as SYSTEM, whose own hive no person uses";
    }
    if (!IsProfileUserSid(sid)) {
        return L"velmora-cli runs as " + sid + L", a service or built-in account whose hive no person uses";
    }
    if (!access.HiveLoaded(sid)) {
        return L"the hive of " + sid +
               L", the account velmora-cli runs as, is not loaded (per-user settings would go to .DEFAULT)";
    }
    return {};
}

// Whose hives one command's per-user items reach, held for as long as its plan or run lasts; the
// engine is pointed at them meanwhile.
class Targets {
public:
    explicit Targets(EngineServices& engine) : engine_(engine) {}
    ~Targets() { engine_.targetUsers = nullptr; }
    Targets(const Targets&) = delete;
    Targets& operator=(const Targets&) = delete;

    void Use(TargetUserSet set) {
        set_ = std::move(set);
        engine_.targetUsers = &set_;
    }
    [[nodiscard]] const std::vector<TargetUser>& Users() const { return set_.users; }

    std::wstring selection;  // --users as given; "current" by default
    std::wstring leftOutWhy; // the per-user items are left out (SYSTEM without --users): why

private:
    EngineServices& engine_;
    TargetUserSet set_;
};

constexpr wchar_t kNameUsers[] = L"Name the users whose settings are meant with --users (all, default, an "
                                 L"account or a SID; all,default for every user now and later).";

// Resolves --users, or its default, for a command that plans (`runs` false) or applies. A run as
// SYSTEM without --users is refused; a plan leaves the per-user items out and says why.
std::optional<Answer> ResolveTargets(Session& session, bool runs, Targets& targets) {
    EngineServices& engine = session.platform.Engine();
    const std::vector<TargetUsers>& selections = session.args.userSelection;
    targets.selection = session.args.users.value_or(L"current");
    if (engine.userHives == nullptr) { // a build that reaches no other hive: its own, as always
        if (std::any_of(selections.begin(), selections.end(), [](const TargetUsers& selection) {
                return selection.kind != TargetUsersKind::Current;
            })) {
            return Refusal(kExitBadArguments, L"This build of velmora-cli reaches no other user's hive.");
        }
        TargetUserSet own;
        own.users.push_back(CurrentUserTarget(engine.reader.CurrentUserSid()));
        targets.Use(std::move(own));
        return std::nullopt;
    }
    UserHiveAccess& access = *engine.userHives;
    const auto isCurrent = [](const TargetUsers& selection) {
        return selection.kind == TargetUsersKind::Current;
    };
    const bool namesOwn = selections.empty() || std::any_of(selections.begin(), selections.end(), isCurrent);
    if (const std::wstring problem = namesOwn ? OwnHiveProblem(access) : L""; !problem.empty()) {
        if (runs || !selections.empty()) {
            return Refusal(kExitBadArguments,
                           problem + (selections.empty() ? L"" : L", so --users current names no one") +
                               L". " + kNameUsers + L" Nothing was changed.");
        }
        targets.leftOutWhy = problem;
        targets.Use({});
        return std::nullopt;
    }
    TargetUserSet set =
        ResolveTargetUserList(access, selections.empty() ? std::vector<TargetUsers>{{}} : selections);
    if (!set.error.empty()) {
        return Refusal(kExitBadArguments,
                       L"--users " + targets.selection + L": " + set.error + L" Nothing was changed.");
    }
    if (runs && !set.users.empty() && set.Reachable().empty()) {
        std::wstring why;
        for (const TargetUser& user : set.users) {
            why += (why.empty() ? L"" : L"; ") + user.account + L": " + user.skipReason;
        }
        return Refusal(kExitFailed,
                       L"No hive of the users named could be reached (" + why + L"). Nothing was changed.");
    }
    targets.Use(std::move(set));
    return std::nullopt;
}

std::string_view ReachedName(HiveSource source) {
    switch (source) {
    case HiveSource::CurrentUser:
        return "ownHive";
    case HiveSource::AlreadyLoaded:
        return "loadedByWindows";
    case HiveSource::LoadedByUs:
        return "loadedFromFile";
    case HiveSource::Skipped:
        break;
    }
    return "skipped";
}

std::wstring ReachedText(const TargetUser& user) {
    switch (user.source) {
    case HiveSource::CurrentUser:
        return L"the hive of the account velmora-cli runs as";
    case HiveSource::AlreadyLoaded:
        return L"its hive as Windows holds it (signed in)";
    case HiveSource::LoadedByUs:
        return L"its hive loaded from " + user.profileFolder + L"\\NTUSER.DAT, and unloaded again";
    case HiveSource::Skipped:
        break;
    }
    return L"skipped: " + user.skipReason;
}

// Adds `users` (each with `extra(user, json)`) and, with targets, `userSelection` to the document,
// and the same in words to the details. A restore has no targets: it reaches the hives its journal names.
template <typename Extra>
void ReportUsers(Answer& answer, const Targets* targets, const std::vector<TargetUser>& users, Extra extra) {
    Json list = Json::array();
    std::wstring text;
    for (const TargetUser& user : users) {
        Json json{
            {"hive", U8(user.hive)}, {"account", U8(user.account)}, {"reached", ReachedName(user.source)}};
        if (!user.Reachable()) {
            json["skipReason"] = U8(user.skipReason);
        }
        text += L"  " + user.account + (user.account == user.hive ? L"" : L" (" + user.hive + L")") + L": " +
                ReachedText(user) + extra(user, json) + L"\n";
        list.push_back(std::move(json));
    }
    answer.fields["users"] = std::move(list);
    if (targets == nullptr) {
        answer.details += text.empty() ? L"" : L"Other users' hives:\n" + text;
        return;
    }
    answer.fields["userSelection"] = targets->leftOutWhy.empty() ? Json(U8(targets->selection)) : Json();
    if (!targets->leftOutWhy.empty()) {
        answer.details +=
            L"Per-user settings were left out: " + targets->leftOutWhy + L". " + kNameUsers + L"\n";
    } else if (users.empty()) {
        answer.details += L"Per-user settings: --users " + targets->selection + L" found no user profile.\n";
    } else {
        answer.details += L"Per-user settings (--users " + targets->selection + L"):\n" + text;
    }
}

std::wstring LeftOutNote(const Targets& targets) {
    return targets.leftOutWhy.empty() ? L""
                                      : L" Machine-wide settings only: the per-user ones were left out.";
}

std::size_t Skipped(const std::vector<TargetUser>& users) {
    return static_cast<std::size_t>(
        std::count_if(users.begin(), users.end(), [](const TargetUser& user) { return !user.Reachable(); }));
}

// ---- profiles ----

// A lower profile deletes what only the higher ones write.
bool TakenBack(const PlanEntry& entry) {
    const auto* value = std::get_if<RegistryValueState>(&entry.after);
    const auto* key = std::get_if<RegistryKeyState>(&entry.after);
    return (value && value->presence == Presence::Absent) || (key && key->presence == Presence::Absent);
}

Answer Profiles(Session& session) {
    Answer answer;
    Json profiles = Json::array();
    for (const SettingsProfile profile : {kEssentialProfile, kStandardProfile, kMaximumProfile}) {
        const ProfilePlan plan = PlanOf(session, profile, false);
        const PlanCounts counts = CountPlan(plan);
        const auto takenBack = static_cast<std::size_t>(std::count_if(
            plan.entries.begin(), plan.entries.end(), [](const PlanEntry& e) { return TakenBack(e); }));
        const std::int32_t revision = kCurrentProfileBuild[static_cast<std::size_t>(profile)];
        profiles.push_back({{"name", ProfileJson(profile)},
                            {"value", profile},
                            {"revision", revision},
                            {"settings", counts.changes - takenBack},
                            {"takenBack", takenBack},
                            {"actions", counts.actions}});
        answer.details += Padded(U8(ProfileName(profile)), 10) + L" revision " + std::to_wstring(revision) +
                          L"  sets " + std::to_wstring(counts.changes - takenBack) +
                          L" settings, takes back " + std::to_wstring(takenBack) +
                          L" of the higher profiles, runs " + std::to_wstring(counts.actions) + L" actions\n";
    }
    answer.message =
        L"Each profile includes the ones below it; a lower one takes back what only the higher ones set.";
    answer.fields["profiles"] = std::move(profiles);
    return answer;
}

// ---- plan ----

Json PlanEntryJson(const PlanEntry& entry) {
    Json json{{"step", StepName(entry.step)},   {"description", U8(entry.description)},
              {"item", ItemJson(entry.target)}, {"action", entry.isAction},
              {"readable", entry.readable},     {"inEffect", entry.inEffect}};
    if (entry.isAction) {
        Json folders = Json::array();
        for (const std::wstring& folder : entry.facts.folders) {
            folders.push_back(U8(folder));
        }
        json["folders"] = std::move(folders);
        if (entry.facts.contents && entry.facts.contents->readable) {
            json["files"] = entry.facts.contents->files;
            json["bytes"] = entry.facts.contents->bytes;
        }
    } else {
        json["current"] = StateJson(entry.current);
        json["after"] = StateJson(entry.after);
        json["currentText"] = U8(DescribeState(entry.current));
        json["afterText"] = U8(DescribeState(entry.after));
    }
    return json;
}

Json CountsJson(const PlanCounts& counts) {
    return {{"settings", counts.changes},
            {"toChange", counts.changes - counts.inEffect - counts.unreadable},
            {"inEffect", counts.inEffect},
            {"unreadable", counts.unreadable},
            {"actions", counts.actions}};
}

Answer Plan(Session& session) {
    const SettingsProfile profile = session.args.profile;
    Targets targets(session.platform.Engine());
    if (auto refused = ResolveTargets(session, false, targets)) {
        return *refused;
    }
    const ProfilePlan plan = PlanOf(session, profile, true);
    const PlanCounts counts = CountPlan(plan);
    Answer answer;
    Json entries = Json::array();
    std::wstring changes;
    std::wstring unreadable;
    std::wstring actions;
    for (const PlanEntry& entry : plan.entries) {
        entries.push_back(PlanEntryJson(entry));
        if (entry.isAction) {
            const std::wstring facts = DescribeFacts(entry.facts);
            actions += Line(entry, facts.empty() ? L"" : L" (" + facts + L")");
        } else if (!entry.readable) {
            unreadable += Line(entry, L": " + DescribeState(entry.current));
        } else if (!entry.inEffect) {
            changes +=
                Line(entry, L": " + DescribeState(entry.current) + L" \u2192 " + DescribeState(entry.after));
        }
    }
    const std::size_t toChange = counts.changes - counts.inEffect - counts.unreadable;
    answer.message = L"Plan for " + ProfileName(profile) + L": " + std::to_wstring(toChange) + L" of " +
                     std::to_wstring(counts.changes) + L" settings would change, " +
                     std::to_wstring(counts.inEffect) + L" are already in effect, " +
                     std::to_wstring(counts.unreadable) + L" could not be read. Nothing was changed." +
                     LeftOutNote(targets);
    answer.details = (changes.empty() ? L"" : L"Changes (current \u2192 new):\n" + changes) +
                     (actions.empty() ? L"" : L"Done by every run:\n" + actions) +
                     (unreadable.empty() ? L"" : L"Could not be read:\n" + unreadable);
    answer.fields["profile"] = ProfileJson(profile);
    answer.fields["revision"] = kCurrentProfileBuild[static_cast<std::size_t>(profile)];
    answer.fields["counts"] = CountsJson(counts);
    answer.fields["entries"] = std::move(entries);
    const std::vector<UserPlanCounts> perUser = CountPlanPerUser(plan);
    const auto countsOf = [&perUser](const std::wstring& hive) {
        const auto found = std::find_if(perUser.begin(), perUser.end(),
                                        [&](const UserPlanCounts& user) { return user.hive == hive; });
        return found == perUser.end() ? PlanCounts{} : found->counts;
    };
    answer.fields["machineCounts"] = CountsJson(countsOf(L""));
    ReportUsers(answer, &targets, plan.users, [&](const TargetUser& user, Json& json) -> std::wstring {
        if (!user.Reachable()) {
            return L"";
        }
        const PlanCounts mine = countsOf(user.hive);
        json["counts"] = CountsJson(mine);
        return L"; " + std::to_wstring(mine.changes - mine.inEffect - mine.unreadable) + L" of " +
               std::to_wstring(mine.changes) + L" would change";
    });
    return answer;
}

// ---- apply ----

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

int ApplyExitCode(RunOutcome outcome, bool restart) {
    switch (outcome) {
    case RunOutcome::Succeeded:
        return restart ? kExitRestartStarted : kExitRestartRequired;
    case RunOutcome::Cancelled:
        return kExitCancelled;
    case RunOutcome::Failed:
    case RunOutcome::NotStarted:
        break;
    }
    return kExitFailed;
}

Answer Apply(Session& session) {
    const Arguments& args = session.args;
    CliPlatform& platform = session.platform;
    if (auto refused = RequireElevation(session, L"changes this PC")) {
        return *refused;
    }
    if (args.reportPath) {
        std::wstring error;
        const std::wstring full = platform.FullPath(*args.reportPath);
        if (full.empty() || !platform.CheckReportPath(full, error)) {
            return Refusal(kExitBadArguments,
                           L"The report cannot be written to \"" + *args.reportPath + L"\": " +
                               (full.empty() ? L"it is not a file path" : error) + L". Nothing was changed.");
        }
    }
    RunClaim claim;
    if (auto refused = Claim(session, claim)) {
        return *refused;
    }
    Targets targets(platform.Engine());
    if (auto refused = ResolveTargets(session, true, targets)) {
        return *refused;
    }

    const std::wstring name = ProfileName(args.profile);
    RunOptions options;
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
    platform.AllowCancel(true);
    const RunReport report = RunProfile(platform.Engine(), Controller(), args.profile, options);
    platform.AllowCancel(false);
    platform.ShowProgress(L"");
    platform.FinishAppRemoval();

    Answer answer;
    answer.ran = true;
    const bool succeeded = report.outcome == RunOutcome::Succeeded;
    answer.exitCode = ApplyExitCode(report.outcome, args.restart && succeeded);
    switch (report.outcome) {
    case RunOutcome::Succeeded:
        answer.message = name + L" applied (revision " +
                         std::to_wstring(kCurrentProfileBuild[static_cast<std::size_t>(args.profile)]) +
                         L"). " + (args.restart ? L"Restarting the PC now." : L"A restart is recommended.");
        break;
    case RunOutcome::Cancelled:
        answer.message = L"Stopped. The journal holds every change made until then; velmora-cli restore puts "
                         L"them back.";
        break;
    case RunOutcome::Failed:
    case RunOutcome::NotStarted:
        answer.message = report.message;
        break;
    }
    if (report.outcome != RunOutcome::NotStarted) {
        answer.details += std::to_wstring(report.applyOutcome < 0 ? -report.applyOutcome : 0) +
                          L" counted registry writes failed (14 or more fail a run); the journal holds every "
                          L"item with its outcome.\n";
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
    // The run reports its users in the order of the targets, with the writes each failed.
    const std::vector<TargetUser>& users = targets.Users();
    std::size_t index = 0;
    ReportUsers(answer, &targets, users, [&](const TargetUser& user, Json& json) -> std::wstring {
        const std::size_t failed = index < report.users.size() ? report.users[index].failedWrites : 0;
        ++index;
        if (!user.Reachable() || report.outcome == RunOutcome::NotStarted) {
            return L"";
        }
        json["failedWrites"] = failed;
        return failed == 0 ? L"" : L"; " + std::to_wstring(failed) + L" per-user writes failed";
    });
    if (const std::size_t skipped = Skipped(users); skipped > 0) {
        answer.message += L" Skipped " + std::to_wstring(skipped) + L" of the " +
                          std::to_wstring(users.size()) + L" users named: their hives could not be reached.";
    }
    return answer;
}

// ---- status ----

struct AppliedState {
    SettingsProfile profile = kNoProfile;
    std::optional<std::uint32_t> revision;
    std::string_view source; // "marker" or "settings"
};

AppliedState FindApplied(const std::optional<DetectionMarker>& marker, const LocalSettingsValues& settings) {
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

// The drift of the applied profile's settings, over the PC or one user's hive.
struct Drift {
    std::size_t settings = 0;
    std::size_t inEffect = 0;
    std::size_t drifted = 0;
    std::size_t unreadable = 0;
};

Json DriftJson(const Drift& drift) {
    return {{"settings", drift.settings},
            {"inEffect", drift.inEffect},
            {"drifted", drift.drifted},
            {"unreadable", drift.unreadable}};
}

Answer Status(Session& session) {
    EngineServices& engine = session.platform.Engine();
    Targets targets(engine);
    if (auto refused = ResolveTargets(session, false, targets)) {
        return *refused;
    }
    const std::optional<DetectionMarker> marker = ReadDetectionMarker(engine.reader);
    const AppliedState applied = FindApplied(marker, engine.settings);
    Answer answer;
    answer.fields["marker"] = marker ? Json{{"appliedProfile", U8(marker->appliedProfile)},
                                            {"revision", marker->revision ? Json(*marker->revision) : Json()},
                                            {"appliedUtc", U8(marker->appliedUtc)},
                                            {"result", U8(marker->result)},
                                            {"version", U8(marker->version)}}
                                     : Json();
    const SettingsProfile own =
        ReadInt32Setting(engine.settings, SettingKeys::AppliedTask, kNoProfileApplied);
    answer.fields["settings"] = {
        {"appliedProfile", ProfileJson(own)},
        {"revision",
         ProfileName(own).empty()
             ? Json()
             : Json(ReadInt32Setting(engine.settings, ProfileBuildSettingKey(own), kProfileNeverApplied))}};
    if (applied.profile == kNoProfile) {
        answer.message = L"No profile has been applied on this PC.";
        answer.fields["applied"] = Json();
        answer.fields["drift"] = Json();
        ReportUsers(answer, &targets, targets.Users(),
                    [](const TargetUser&, Json&) { return std::wstring(); });
        return answer;
    }
    const std::wstring name = ProfileName(applied.profile);
    const std::int32_t current = kCurrentProfileBuild[static_cast<std::size_t>(applied.profile)];
    answer.fields["applied"] = {{"profile", U8(name)},
                                {"revision", applied.revision ? Json(*applied.revision) : Json()},
                                {"currentRevision", current},
                                {"source", applied.source}};

    // The profile's own settings only: the settings record of Velmora itself is not the PC's state.
    std::map<std::wstring, Drift> byUser; // by hive; the machine's under ""
    Json drifted = Json::array();
    Json unreadable = Json::array();
    std::wstring driftText;
    std::wstring unreadableText;
    for (const PlanEntry& entry : PlanOf(session, applied.profile, false).entries) {
        if (entry.isAction || IsSetting(entry)) {
            continue;
        }
        Drift& drift = byUser[ItemUser(entry.target)];
        ++drift.settings;
        if (!entry.readable) {
            ++drift.unreadable;
            unreadable.push_back({{"step", StepName(entry.step)},
                                  {"description", U8(entry.description)},
                                  {"item", ItemJson(entry.target)}});
            unreadableText += Line(entry, L": " + DescribeState(entry.current));
        } else if (entry.inEffect) {
            ++drift.inEffect;
        } else {
            ++drift.drifted;
            drifted.push_back({{"step", StepName(entry.step)},
                               {"description", U8(entry.description)},
                               {"item", ItemJson(entry.target)},
                               {"current", StateJson(entry.current)},
                               {"expected", StateJson(entry.after)},
                               {"currentText", U8(DescribeState(entry.current))},
                               {"expectedText", U8(DescribeState(entry.after))}});
            driftText += Line(entry, L": now " + DescribeState(entry.current) + L", " + name + L" sets " +
                                         DescribeState(entry.after));
        }
    }
    Drift total;
    for (const auto& [hive, drift] : byUser) {
        total.settings += drift.settings;
        total.inEffect += drift.inEffect;
        total.drifted += drift.drifted;
        total.unreadable += drift.unreadable;
    }
    answer.message = name + L" is applied (revision " +
                     (applied.revision ? std::to_wstring(*applied.revision) : std::wstring(L"unknown")) +
                     L"); " + std::to_wstring(drifted.size()) + L" of its " +
                     std::to_wstring(total.settings) + L" settings have drifted, " +
                     std::to_wstring(unreadable.size()) + L" could not be read." + LeftOutNote(targets);
    if (!applied.revision || static_cast<std::int32_t>(*applied.revision) != current) {
        answer.details += L"This version of Velmora carries revision " + std::to_wstring(current) + L" of " +
                          name + L": apply it again to update.\n";
    }
    if (marker) {
        answer.details += L"Detection marker: " + marker->appliedProfile + L", " + marker->result + L" at " +
                          marker->appliedUtc + L" by Velmora " + marker->version + L".\n";
    }
    answer.details +=
        (driftText.empty() ? L"" : L"Drifted (now, and what " + name + L" sets):\n" + driftText) +
        (unreadableText.empty() ? L"" : L"Could not be read:\n" + unreadableText);
    answer.fields["drift"] = DriftJson(total);
    answer.fields["drifted"] = std::move(drifted);
    answer.fields["unreadable"] = std::move(unreadable);
    answer.fields["machineDrift"] = DriftJson(byUser[L""]);
    ReportUsers(answer, &targets, targets.Users(), [&](const TargetUser& user, Json& json) -> std::wstring {
        if (!user.Reachable()) {
            return L"";
        }
        const Drift& mine = byUser[user.hive];
        json["drift"] = DriftJson(mine);
        return L"; " + std::to_wstring(mine.drifted) + L" of " + std::to_wstring(mine.settings) + L" drifted";
    });
    return answer;
}

// ---- restore ----

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text) {
        c = static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(c)));
    }
    return text;
}

Json Texts(const std::vector<std::wstring>& texts) {
    Json list = Json::array();
    for (const std::wstring& text : texts) {
        list.push_back(U8(text));
    }
    return list;
}

std::wstring Listed(const std::wstring& heading, const std::vector<std::wstring>& texts) {
    std::wstring text;
    for (const std::wstring& line : texts) {
        text += L"  " + line + L"\n";
    }
    return text.empty() ? text : heading + L"\n" + text;
}

Answer RestoreCommand(Session& session) {
    CliPlatform& platform = session.platform;
    if (auto refused = RequireElevation(session, L"changes this PC")) {
        return *refused;
    }
    RunClaim claim;
    if (auto refused = Claim(session, claim)) {
        return *refused;
    }
    EngineServices& engine = platform.Engine();
    const std::vector<std::wstring> journals = engine.journals.List();
    std::wstring path;
    if (session.args.journal.empty()) {
        if (journals.empty()) {
            Answer answer;
            answer.message =
                L"There is no journal to restore in " + platform.JournalFolder() + L". Nothing was changed.";
            answer.fields["outcome"] = "nothingToRestore";
            return answer;
        }
        path = journals.front();
    } else {
        std::wstring error;
        const auto resolved =
            ResolveJournalArgument(session.args.journal, platform.JournalFolder(), journals, platform, error);
        if (!resolved) {
            return Refusal(kExitBadArguments, error + L" Nothing was changed.");
        }
        path = *resolved;
    }

    const RestoreResult result = RestoreJournal(engine, path);
    Answer answer;
    answer.fields["journal"] = U8(path);
    if (result.refused) {
        answer = Refusal(kExitFailed, result.message);
        answer.fields["journal"] = U8(path);
        answer.fields["outcome"] = "refused";
        return answer;
    }
    const bool failed = !result.failed.empty();
    answer.exitCode = failed ? kExitFailed : result.changed > 0 ? kExitRestartRequired : kExitDone;
    answer.message = L"Restored " + path + L": " + result.message +
                     (answer.exitCode == kExitRestartRequired ? L" A restart is recommended." : L"");
    Json failures = Json::array();
    std::vector<std::wstring> failureLines;
    for (const RestoreFailure& failure : result.failed) {
        failures.push_back({{"step", StepName(failure.step)},
                            {"description", U8(failure.description)},
                            {"reason", U8(failure.reason)},
                            {"error", failure.error}});
        failureLines.push_back(failure.description + L": " + failure.reason);
    }
    answer.details =
        Listed(L"Failed:", failureLines) + Listed(L"Cannot come back:", result.cannotComeBack) +
        Listed(L"Left alone (their state before the run was not recorded):", result.notRecorded) +
        (result.journalPath.empty() ? L"" : L"Restore journal: " + result.journalPath + L"\n");
    if (result.markerError != 0) {
        answer.details += L"Warning: the detection marker could not be updated (error " +
                          std::to_wstring(result.markerError) + L").\n";
    }
    answer.fields["outcome"] = failed ? "failed" : "succeeded";
    answer.fields["restored"] = result.restored.size();
    answer.fields["changed"] = result.changed;
    answer.fields["failures"] = std::move(failures);
    answer.fields["cannotComeBack"] = Texts(result.cannotComeBack);
    answer.fields["notRecorded"] = Texts(result.notRecorded);
    answer.fields["removedKeys"] = Texts(result.removedKeys);
    answer.fields["restoreJournal"] = result.journalPath.empty() ? Json() : Json(U8(result.journalPath));
    answer.fields["markerWritten"] = result.markerError == 0;
    ReportUsers(answer, nullptr, result.users, [](const TargetUser&, Json&) { return std::wstring(); });
    return answer;
}

// ---- journals ----

std::wstring FileName(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::string_view EndName(JournalEndState state) {
    switch (state) {
    case JournalEndState::Succeeded:
        return "succeeded";
    case JournalEndState::Failed:
        return "failed";
    case JournalEndState::Cancelled:
        return "cancelled";
    }
    return "failed";
}

Answer Journals(Session& session) {
    if (auto refused =
            RequireElevation(session, L"reads the journal folder, which only administrators may read,")) {
        return *refused;
    }
    EngineServices& engine = session.platform.Engine();
    Answer answer;
    Json list = Json::array();
    for (const std::wstring& path : engine.journals.List()) {
        Json entry{{"name", U8(FileName(path))}, {"path", U8(path)}};
        std::wstring error;
        std::wstring words;
        const auto text = engine.journals.ReadTrusted(path, error);
        const auto journal = text ? ParseJournal(*text, error) : std::nullopt;
        if (journal) {
            const bool run = journal->header.kind == JournalKind::Run;
            const std::string_view state = journal->end ? EndName(journal->end->state) : "unfinished";
            entry["kind"] = run ? "run" : "restore";
            entry["profile"] = run ? Json(U8(journal->header.profile)) : Json();
            entry["startedUtc"] = journal->header.startedUtc;
            entry["state"] = state;
            entry["changes"] = journal->entries.size();
            words = (run ? L"run of " + journal->header.profile : std::wstring(L"restore")) + L", " +
                    FromUtf8(state) + L", " + std::to_wstring(journal->entries.size()) + L" changes";
        } else {
            entry["error"] = U8(error);
            words = L"unreadable: " + error;
        }
        list.push_back(std::move(entry));
        answer.details += L"  " + FileName(path) + L"  " + words + L"\n";
    }
    answer.message = std::to_wstring(list.size()) + L" journals in " + session.platform.JournalFolder() +
                     L", newest first.";
    answer.fields["folder"] = U8(session.platform.JournalFolder());
    answer.fields["journals"] = std::move(list);
    return answer;
}

// ---- the document and the words ----

Json Document(Command command, const std::wstring& version, const Answer& answer) {
    Json document{{"schemaVersion", kCliSchemaVersion},
                  {"command", CommandName(command)},
                  {"programVersion", U8(version)},
                  {"exitCode", answer.exitCode},
                  {"message", U8(answer.message)}};
    document.update(answer.fields);
    return document;
}

int Deliver(CliPlatform& platform, Command command, bool json, const Answer& answer,
            const std::optional<std::wstring>& reportPath) {
    const std::string document = Document(command, platform.Engine().programVersion, answer).dump(2) + "\n";
    if (json) {
        platform.WriteOut(FromUtf8(document));
    }
    if (answer.fields.contains("error")) {
        platform.WriteError(L"velmora-cli: " + answer.message + L"\n");
    } else if (!json) {
        platform.WriteOut(answer.message + L"\n" + answer.details);
    }
    if (reportPath && answer.ran) {
        std::wstring error;
        if (!platform.WriteReport(platform.FullPath(*reportPath), document, error)) {
            platform.WriteError(L"velmora-cli: the report could not be written to " + *reportPath + L": " +
                                error + L"\n");
        }
    }
    return answer.exitCode;
}

} // namespace

std::optional<std::wstring> ResolveJournalArgument(const std::wstring& argument, const std::wstring& folder,
                                                   const std::vector<std::wstring>& journals,
                                                   CliPlatform& platform, std::wstring& error) {
    const bool isName = argument.find_first_of(L"\\/:") == std::wstring::npos;
    const std::wstring path = isName ? folder + L"\\" + argument : platform.FullPath(argument);
    for (const std::wstring& journal : journals) {
        if (!path.empty() && Lower(journal) == Lower(path)) {
            return journal;
        }
    }
    const std::size_t slash = path.find_last_of(L"\\/");
    if (path.empty() || slash == std::wstring::npos || Lower(path.substr(0, slash)) != Lower(folder)) {
        error = L"Velmora restores only journals in its journal folder, " + folder + L"; \"" + argument +
                L"\" is not there.";
    } else {
        error = L"There is no journal \"" + path.substr(slash + 1) + L"\" in " + folder +
                L" (velmora-cli journals lists them).";
    }
    return std::nullopt;
}

int RunCli(const std::vector<std::wstring>& args, CliPlatform& platform) {
    const ParsedArguments parsed = ParseArguments(args);
    if (!parsed.arguments) {
        Deliver(platform, parsed.command, parsed.json, Refusal(kExitBadArguments, parsed.error), {});
        platform.WriteError(L"\n" + Usage());
        return kExitBadArguments;
    }
    const Arguments& arguments = *parsed.arguments;
    Session session{arguments, platform};
    Answer answer;
    try {
        switch (arguments.command) {
        case Command::Help:
            platform.WriteOut(Usage());
            return kExitDone;
        case Command::Version:
            answer.message = L"velmora-cli " + platform.Engine().programVersion;
            break;
        case Command::Profiles:
            answer = Profiles(session);
            break;
        case Command::Plan:
            answer = Plan(session);
            break;
        case Command::Apply:
            answer = Apply(session);
            break;
        case Command::Status:
            answer = Status(session);
            break;
        case Command::Restore:
            answer = RestoreCommand(session);
            break;
        case Command::Journals:
            answer = Journals(session);
            break;
        }
    } catch (...) {
        answer = Refusal(kExitFailed, L"velmora-cli stopped on an unexpected error.");
    }
    const int code = Deliver(platform, arguments.command, arguments.json, answer,
                             arguments.command == Command::Apply ? arguments.reportPath : std::nullopt);
    if (code == kExitBadArguments) {
        platform.WriteError(L"\n" + Usage());
    }
    std::wstring refusal;
    // The result is out and the report written: only now is the restart asked for.
    if (code == kExitRestartStarted && !platform.RestartComputer(refusal)) {
        platform.WriteError(L"velmora-cli: Windows refused to restart the PC (" + refusal +
                            L"). The changes are made; restart the PC to complete them.\n");
        return kExitRestartRequired;
    }
    return code;
}

} // namespace Velmora::Cli
