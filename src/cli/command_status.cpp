#include "cli/command_common.h"

#include "cli/arguments.h"
#include "cli/exit_codes.h"
#include "cli/item_text.h"
#include "cli/targets.h"
#include "common/text_encoding.h"
#include "engine/detection_marker.h"
#include "engine/engine.h"
#include "engine/feature_items.h"
#include "engine/repair_filter.h"
#include "settings/local_settings.h"

#include <algorithm>

namespace Velmora::Cli {
namespace {

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

} // namespace

Answer StatusCommand(Session& session) {
    EngineServices& engine = session.platform.Engine();
    Targets targets(engine);
    if (auto refused = ResolveTargets(session, false, targets)) {
        return *refused;
    }
    const std::optional<DetectionMarker> marker = ReadDetectionMarker(engine.reader);
    const AppliedProfile applied = FindAppliedProfile(marker, engine.settings);
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
    const ProfilePlan plan = PlanOf(session, applied.profile, false);
    for (const PlanEntry& entry : plan.entries) {
        if (entry.isAction || IsSetting(entry) || entry.kept) {
            continue; // a kept feature has no drift: nothing sets it
        }
        Drift& drift = byUser[ItemUser(entry.target)];
        ++drift.settings;
        if (!entry.readable) {
            ++drift.unreadable;
            unreadable.push_back({{"step", StepName(entry.step)},
                                  {"description", U8(entry.description)},
                                  {"feature", FeatureId(entry.target)},
                                  {"item", ItemJson(entry.target)}});
        } else if (!Drifted(entry)) {
            ++drift.inEffect;
        } else {
            ++drift.drifted;
            drifted.push_back({{"step", StepName(entry.step)},
                               {"description", U8(entry.description)},
                               {"feature", FeatureId(entry.target)},
                               {"item", ItemJson(entry.target)},
                               {"current", StateJson(entry.current)},
                               {"expected", StateJson(entry.after)},
                               {"currentText", U8(DescribeState(entry.current))},
                               {"expectedText", U8(DescribeState(entry.after))}});
        }
    }
    // In words, each feature's drifted and unreadable items under its title.
    std::wstring driftText;
    std::wstring unreadableText;
    for (const FeatureEntries& group : GroupByFeature(plan, Features())) {
        std::wstring itsDrift;
        std::wstring itsUnreadable;
        for (const PlanEntry* entry : group.entries) {
            if (entry->isAction || IsSetting(*entry) || entry->kept) {
                continue;
            }
            if (!entry->readable) {
                itsUnreadable += L"  " + Line(*entry, L": " + DescribeState(entry->current));
            } else if (Drifted(*entry)) {
                itsDrift += L"  " + Line(*entry, L": now " + DescribeState(entry->current) + L", " + name +
                                                     L" sets " + DescribeState(entry->after));
            }
        }
        driftText += itsDrift.empty() ? L"" : FeatureHeading(group.feature) + itsDrift;
        unreadableText += itsUnreadable.empty() ? L"" : FeatureHeading(group.feature) + itsUnreadable;
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
                     std::to_wstring(unreadable.size()) + L" could not be read." + KeptNote(session.choices) +
                     LeftOutNote(targets);
    // The build the last run or repair found, against this one: what a Windows update turned back.
    const std::wstring buildThen = marker ? marker->windowsBuild : std::wstring();
    const std::wstring buildNow = ReadWindowsBuild(engine.reader);
    const std::wstring updated = WindowsUpdatedNote(buildThen, buildNow, drifted.size());
    answer.fields["windowsBuild"] = {{"atLastRun", buildThen.empty() ? Json() : Json(U8(buildThen))},
                                     {"now", buildNow.empty() ? Json() : Json(U8(buildNow))},
                                     {"updatedSince", !updated.empty()}};
    if (!updated.empty()) {
        answer.message += L" " + updated + L".";
    }
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
    answer.fields["keep"] = KeptJson(session.choices);
    answer.fields["include"] = IncludedJson(session.choices);
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

Answer CheckCommand(Session& session) {
    Answer answer = StatusCommand(session);
    if (answer.exitCode != kExitDone || answer.fields.contains("error")) {
        return answer;
    }
    answer.details.clear(); // one line, for the log of the tool that runs it
    const Json& applied = answer.fields["applied"];
    if (applied.is_null()) {
        answer.exitCode = kExitDoesNotHold;
        answer.message = L"No profile is applied on this PC.";
    } else {
        const std::wstring name = FromUtf8(applied["profile"].get<std::string>());
        const auto drifted = answer.fields["drift"]["drifted"].get<std::size_t>();
        if (drifted == 0) {
            answer.message = name + L" is applied and holds.";
        } else {
            answer.exitCode = kExitDoesNotHold;
            answer.message = name + L" is applied, but " + std::to_wstring(drifted) +
                             L" of its settings have drifted; applying it again sets them again.";
        }
    }
    answer.fields["holds"] = answer.exitCode == kExitDone;
    return answer;
}

} // namespace Velmora::Cli
