#include "cli/targets.h"

#include "cli/arguments.h"
#include "cli/exit_codes.h"
#include "common/text_encoding.h"

#include <algorithm>

namespace Velmora::Cli {
namespace {

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

constexpr wchar_t kNameUsers[] = L"Name the users whose settings are meant with --users (all, default, an "
                                 L"account or a SID; all,default for every user now and later).";

} // namespace

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

namespace {

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

} // namespace

void ReportUsers(Answer& answer, const Targets* targets, const std::vector<TargetUser>& users,
                 const UserExtra& extra) {
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

std::optional<Answer> PrepareRun(Session& session, RunClaim& claim, Targets& targets) {
    if (auto refused = RequireElevation(session, L"changes this PC")) {
        return refused;
    }
    if (auto refused = RefuseReportPath(session)) {
        return refused;
    }
    if (auto refused = Claim(session, claim)) {
        return refused;
    }
    return ResolveTargets(session, true, targets);
}

} // namespace Velmora::Cli
