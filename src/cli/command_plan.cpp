#include "cli/command_common.h"

#include "cli/arguments.h"
#include "cli/item_text.h"
#include "cli/targets.h"
#include "common/text_encoding.h"
#include "engine/engine.h"
#include "engine/feature_items.h"

#include <algorithm>

namespace Velmora::Cli {
namespace {

// A lower profile deletes what only the higher ones write.
bool TakenBack(const PlanEntry& entry) {
    const auto* value = std::get_if<RegistryValueState>(&entry.after);
    const auto* key = std::get_if<RegistryKeyState>(&entry.after);
    return (value && value->presence == Presence::Absent) || (key && key->presence == Presence::Absent);
}

} // namespace

Answer ProfilesCommand(Session& session) {
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
                            {"actions", counts.actions},
                            {"kept", counts.kept}});
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

namespace {

Json PlanEntryJson(const PlanEntry& entry) {
    Json json{{"step", StepName(entry.step)},       {"description", U8(entry.description)},
              {"feature", FeatureId(entry.target)}, {"item", ItemJson(entry.target)},
              {"action", entry.isAction},           {"readable", entry.readable},
              {"inEffect", entry.inEffect},         {"kept", entry.kept}};
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
    return {{"settings", counts.changes},  {"toChange", counts.changes - counts.inEffect - counts.unreadable},
            {"inEffect", counts.inEffect}, {"unreadable", counts.unreadable},
            {"actions", counts.actions},   {"kept", counts.kept}};
}

} // namespace

Answer PlanCommand(Session& session) {
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
    }
    // In words, each feature's items under its title; the kept features by their titles only.
    std::wstring kept;
    for (const FeatureEntries& group : GroupByFeature(plan, Features())) {
        if (group.counts.kept > 0) {
            kept += FeatureHeading(group.feature);
            continue;
        }
        std::wstring itsChanges;
        std::wstring itsUnreadable;
        std::wstring itsActions;
        for (const PlanEntry* entry : group.entries) {
            if (entry->isAction) {
                const std::wstring facts = DescribeFacts(entry->facts);
                itsActions += L"  " + Line(*entry, facts.empty() ? L"" : L" (" + facts + L")");
            } else if (!entry->readable) {
                itsUnreadable += L"  " + Line(*entry, L": " + DescribeState(entry->current));
            } else if (!entry->inEffect) {
                itsChanges += L"  " + Line(*entry, L": " + DescribeState(entry->current) + L" \u2192 " +
                                                       DescribeState(entry->after));
            }
        }
        const std::wstring heading = FeatureHeading(group.feature);
        changes += itsChanges.empty() ? L"" : heading + itsChanges;
        unreadable += itsUnreadable.empty() ? L"" : heading + itsUnreadable;
        actions += itsActions.empty() ? L"" : heading + itsActions;
    }
    const std::size_t toChange = counts.changes - counts.inEffect - counts.unreadable;
    answer.message = L"Plan for " + ProfileName(profile) + L": " + std::to_wstring(toChange) + L" of " +
                     std::to_wstring(counts.changes) + L" settings would change, " +
                     std::to_wstring(counts.inEffect) + L" are already in effect, " +
                     std::to_wstring(counts.unreadable) + L" could not be read. Nothing was changed." +
                     KeptNote(session.choices) + LeftOutNote(targets);
    answer.details =
        (changes.empty() ? L"" : L"Changes (current \u2192 new):\n" + changes) +
        (actions.empty() ? L"" : L"Done by every run:\n" + actions) +
        (kept.empty() ? L"" : L"Kept as they are (this run neither sets nor takes them back):\n" + kept) +
        (unreadable.empty() ? L"" : L"Could not be read:\n" + unreadable);
    answer.fields["profile"] = ProfileJson(profile);
    answer.fields["revision"] = kCurrentProfileBuild[static_cast<std::size_t>(profile)];
    answer.fields["counts"] = CountsJson(counts);
    answer.fields["entries"] = std::move(entries);
    answer.fields["keep"] = KeptJson(session.choices);
    answer.fields["include"] = IncludedJson(session.choices);
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

} // namespace Velmora::Cli
