#include "engine/engine.h"

#include "common/diagnostics.h"
#include "engine/detection_marker.h"
#include "engine/journal.h"
#include "engine/journal_recorder.h"
#include "engine/repair_filter.h"
#include "settings/local_settings.h"
#include "tweaks/run_controller.h"
#include "common/dispatcher_queue.h"

#include <algorithm>
#include <optional>
#include <set>

namespace Velmora {
namespace {

std::array<std::size_t, kItemStepCount> StepTotals(const ProfilePlan& plan) {
    std::array<std::size_t, kItemStepCount> totals{};
    for (const PlanEntry& entry : plan.entries) {
        totals[static_cast<std::size_t>(entry.step)] += entry.kept ? 0 : 1;
    }
    return totals;
}

std::vector<RunItemResult> ItemResults(const std::vector<JournalEntry>& entries, const ProfilePlan* before) {
    std::set<std::wstring> inEffect;
    if (before != nullptr) {
        for (const PlanEntry& entry : before->entries) {
            if (entry.inEffect) {
                inEffect.insert(ItemIdentity(entry.target));
            }
        }
    }
    std::vector<RunItemResult> items;
    items.reserve(entries.size());
    for (const JournalEntry& entry : entries) {
        RunItemResult item{
            entry.step, entry.target, DescribeItem(entry.target), entry.outcome.has_value(), false,
            0,          std::nullopt};
        if (entry.outcome) {
            item.succeeded = entry.outcome->succeeded;
            item.error = entry.outcome->error;
            item.exitCode = entry.outcome->exitCode;
            item.absent = entry.outcome->absent;
        }
        item.inEffectBefore = inEffect.contains(ItemIdentity(entry.target));
        items.push_back(std::move(item));
    }
    return items;
}

std::vector<UserRunOutcome> UserOutcomes(const TargetUserSet* users, const HiveRoute& route,
                                         const PerUserFanOut& perUser) {
    std::vector<UserRunOutcome> outcomes;
    std::size_t reached = 0;
    for (const TargetUser& user : users ? users->users : route.Targets()) {
        UserRunOutcome outcome{user};
        if (user.Reachable() && reached < perUser.FailedWrites().size()) {
            outcome.failedWrites = perUser.FailedWrites()[reached];
            outcome.skippedRows = perUser.SkippedRows()[reached];
            ++reached;
        }
        outcomes.push_back(std::move(outcome));
    }
    return outcomes;
}

// A run that ended before the pipeline could say so: the window still learns that it is over.
std::int32_t PostFailure(const ApplyRunContext& context) {
    if (context.showFailure) {
        context.dispatcher.TryEnqueue(context.showFailure);
    }
    return kFailureThreshold - 1;
}

// Nothing was changed.
std::int32_t NotStarted(const ApplyRunContext& context, RunReport& report, std::wstring message) {
    Diagnose(message);
    report.outcome = RunOutcome::NotStarted;
    report.message = std::move(message);
    return PostFailure(context);
}

void UpdateMarker(EngineServices& services, MarkerResult result, const MarkerChoices* choices,
                  std::uint32_t& error) {
    if (!UpdateDetectionMarker(services.writer, services.settings, result,
                               UtcTimestamp(services.journals.NowUtcSeconds()), services.programVersion,
                               choices, error)) {
        Diagnose(L"The detection marker HKLM\\" + std::wstring(kDetectionMarkerKey) +
                 L" could not be written: error " + std::to_wstring(error));
    }
}

std::wstring OutcomeMessage(RunOutcome outcome, std::int32_t applyOutcome) {
    switch (outcome) {
    case RunOutcome::Succeeded:
        return L"The profile was applied.";
    case RunOutcome::Cancelled:
        return L"The run was stopped; the journal holds every change made until then.";
    case RunOutcome::Failed:
        return L"The run failed (" + std::to_wstring(-applyOutcome) +
               L" registry writes failed, or the journal "
               L"could not be written).";
    case RunOutcome::NotStarted:
        break;
    }
    return L"Nothing was changed.";
}

} // namespace

std::optional<RunReport> ReadRunJournal(EngineServices& services, const std::wstring& journalPath,
                                        std::wstring& error) {
    const std::optional<std::string> text = services.journals.ReadTrusted(journalPath, error);
    const std::optional<Journal> journal = text ? ParseJournal(*text, error) : std::nullopt;
    if (!journal) {
        return std::nullopt;
    }
    if (journal->header.kind == JournalKind::Restore) {
        error = L"it is the journal of a restore";
        return std::nullopt;
    }
    RunReport report;
    report.outcome = journal->end && journal->end->state == JournalEndState::Succeeded ? RunOutcome::Succeeded
                     : journal->end && journal->end->state == JournalEndState::Cancelled
                         ? RunOutcome::Cancelled
                         : RunOutcome::Failed;
    report.journalPath = journalPath;
    report.items = ItemResults(journal->entries, nullptr);
    report.message = journal->header.profile;
    return report;
}

std::wstring ProfileName(SettingsProfile profile) {
    switch (profile) {
    case kEssentialProfile:
        return L"Essential";
    case kStandardProfile:
        return L"Standard";
    case kMaximumProfile:
        return L"Maximum";
    default:
        return {};
    }
}

std::int32_t RunJournaledPipeline(const ApplyRunContext& context, EngineServices& services,
                                  const RunOptions& options, RunReport* report) noexcept {
    RunReport local;
    RunReport& out = report ? *report : local;
    try {
        const SettingsProfile profile = context.selectedProfile.load();
        const std::wstring name = ProfileName(profile);
        if (name.empty()) {
            out.outcome = RunOutcome::NotStarted;
            return RunApplyPipeline(context); // no step at all: nothing to journal
        }
        // Held on the run's thread for the whole run; the primitives keep their own connections.
        const std::shared_ptr<void> connections = services.reader.KeepConnections();
        RunControl control{options.cancel, options.progress, {}, services.lastError};
        // A run with progress plans first: the plan gives each step's total, and what was in effect.
        // A repair plans to find what no longer holds.
        std::optional<ProfilePlan> before;
        if (options.progress || options.repair) {
            before = Plan(context.controller, profile, services.reader, services.settings,
                          PlanOptions{false, false, services.targetUsers, options.choices});
            control.stepTotals = StepTotals(*before);
        }
        const std::wstring windowsBuild = ReadWindowsBuild(services.reader);
        if (options.repair) {
            for (const PlanEntry& entry : before->entries) {
                if (Drifted(entry)) {
                    out.drifted.push_back(entry.target);
                }
            }
            const std::optional<DetectionMarker> marker = ReadDetectionMarker(services.reader);
            out.buildBefore = marker ? marker->windowsBuild : std::wstring();
            out.buildNow = windowsBuild;
            if (out.drifted.empty()) {
                out.outcome = RunOutcome::Succeeded;
                out.message = name + L" holds: nothing to repair.";
                return 0;
            }
        }

        out.restorePoint =
            options.repair         ? RestorePointReport{RestorePointStatus::Skipped, 0, 0,
                                                L"No restore point: a repair is covered by the "
                                                L"point of the run that applied the profile."}
            : options.restorePoint ? BeginRestorePoint(services.restorePoints, name)
                                   : RestorePointReport{RestorePointStatus::Skipped, 0, 0,
                                                        L"No restore point: the run was started "
                                                        L"without one."};
        Diagnose(out.restorePoint.message);
        JournalHeader header;
        header.kind = options.repair ? JournalKind::Repair : JournalKind::Run;
        header.profile = name;
        header.startedUtc = UtcTimestamp(services.journals.NowUtcSeconds());
        header.programVersion = services.programVersion;
        const std::wstring processSid = services.reader.CurrentUserSid();
        header.userSid = processSid;
        header.restorePoint = out.restorePoint.message;
        const WindowsFacts facts = ReadWindowsFacts(services.reader);
        const OptionalRows optionalRows =
            options.choices != nullptr ? IncludedRows(*options.choices, facts) : OptionalRows{};
        if (options.choices != nullptr) {
            header.keep = options.choices->choices.KeptIds(options.choices->features);
            header.include = IncludedIdsOn(*options.choices, facts);
        }
        std::wstring error;
        JournalRecorder recorder(services.journals.Create(options.repair ? L"Repair" : name, error), header);
        if (!recorder.Ok()) {
            EndRestorePoint(services.restorePoints, out.restorePoint, false, false);
            return NotStarted(context, out,
                              L"Nothing was changed: the journal could not be written. " + error);
        }
        out.journalPath = recorder.Path();

        // Per-user items go to each target user's hive in turn: routed below the journal, so that it
        // records them as items of that user.
        HiveRoute route(services.targetUsers ? services.targetUsers->Reachable()
                                             : std::vector<TargetUser>{CurrentUserTarget(processSid)});
        RoutedSystemOperations routedSystem(context.system, route);
        RoutedStateReader routedReader(services.reader, route);
        JournalingSystem journaling(routedSystem, routedReader, services.settings, recorder, control);
        // A repair leaves out, per user, what still holds.
        std::optional<RepairFilter> repair;
        if (options.repair) {
            repair.emplace(journaling, route, *before);
        }
        PerUserFanOut perUser(repair ? static_cast<SystemOperations&>(*repair) : journaling, route);
        // The kept features are left out above the fan-out: for every user alike, before the journal.
        std::optional<ChoiceFilter> kept;
        if (options.choices != nullptr && !options.choices->choices.Empty()) {
            kept.emplace(perUser, *options.choices);
        }
        SystemOperations& steps = kept ? static_cast<SystemOperations&>(*kept) : perUser;
        std::int32_t applyOutcome = 0;
        {
            const ApplyRunContext run{
                context.controller,
                context.selectedProfile,
                steps,
                context.dispatcher,
                context.storeSetting && !options.repair // a repair leaves the applied state's record alone
                    ? std::function<void(std::wstring_view, std::int32_t)>(
                          [&](std::wstring_view key, std::int32_t value) {
                              journaling.StoreSetting(key, value, [&] { context.storeSetting(key, value); });
                          })
                    : nullptr,
                context.showSuccess,
                context.showFailure,
                &optionalRows};
            bool stoppedEarly = false;
            const bool removalKept =
                options.choices != nullptr &&
                options.choices->Keeps(
                    ActionTarget{ActionKind::RemoveApps, context.controller.preinstalledPackageNames});
            if (options.appRemoval && profile != kEssentialProfile && options.startAppRemoval &&
                !removalKept && !options.repair) {
                try {
                    // Only now, with the restore point made and the journal open: the removal works on
                    // the account this process runs as, so its cache key is journaled in that hive.
                    JournalingSystem own(context.system, services.reader, services.settings, recorder,
                                         control);
                    own.StartAppRemoval(context.controller.preinstalledPackageNames, options.startAppRemoval);
                } catch (const std::exception&) {
                    stoppedEarly = true;
                }
            }
            applyOutcome = stoppedEarly ? PostFailure(context) : RunApplyPipeline(run);
        }
        const bool ranToEnd = !journaling.Cancelled() && !journaling.JournalFailed();
        out.applyOutcome = applyOutcome;
        out.outcome = journaling.Cancelled()                          ? RunOutcome::Cancelled
                      : !ranToEnd || applyOutcome < kFailureThreshold ? RunOutcome::Failed
                                                                      : RunOutcome::Succeeded;
        const JournalEndState end = out.outcome == RunOutcome::Succeeded   ? JournalEndState::Succeeded
                                    : out.outcome == RunOutcome::Cancelled ? JournalEndState::Cancelled
                                                                           : JournalEndState::Failed;
        if (!recorder.Close({end, applyOutcome, UtcTimestamp(services.journals.NowUtcSeconds())})) {
            Diagnose(L"The journal could not be closed; its record stays in " + recorder.Path());
        }
        services.journals.Prune(kJournalsKept);
        EndRestorePoint(services.restorePoints, out.restorePoint, ranToEnd, !recorder.Entries().empty());
        out.journalPath = recorder.Path();
        out.items = ItemResults(recorder.Entries(), before ? &*before : nullptr);
        out.users = UserOutcomes(services.targetUsers, route, perUser);
        out.message = OutcomeMessage(out.outcome, applyOutcome);
        if (out.outcome == RunOutcome::Succeeded && options.repair) {
            // The profile was applied when the marker says; it now holds on this build of Windows.
            out.markerError = RecordWindowsBuild(services.writer, windowsBuild);
        } else if (out.outcome == RunOutcome::Succeeded) {
            MarkerChoices marked;
            if (options.choices != nullptr) {
                marked.keep = options.choices->choices.KeptIds(options.choices->features);
                marked.include = IncludedIdsOn(*options.choices, facts);
            }
            marked.windowsBuild = windowsBuild;
            UpdateMarker(services, MarkerResult::Succeeded, &marked, out.markerError);
        }
        return applyOutcome;
    } catch (...) {
        // Out of memory around the run: the window must still hear that it is over.
        try {
            return NotStarted(context, out, L"The run stopped on an unexpected error.");
        } catch (...) {
            return kFailureThreshold - 1;
        }
    }
}

RunReport RunProfile(EngineServices& services, const RunController& controller, SettingsProfile profile,
                     const RunOptions& options) {
    const std::atomic<SettingsProfile> selected{profile};
    DiscardingDispatcher dispatcher;
    const ApplyRunContext context{controller,
                                  selected,
                                  services.system,
                                  dispatcher,
                                  [&services](std::wstring_view key, std::int32_t value) {
                                      services.settings.Insert(key, SettingValue(value));
                                  },
                                  {},
                                  {},
                                  nullptr};
    RunReport report;
    RunJournaledPipeline(context, services, options, &report);
    return report;
}

ProfilePlan PlanProfile(EngineServices& services, const RunController& controller, SettingsProfile profile,
                        const PlanOptions& options) {
    PlanOptions withUsers = options;
    if (withUsers.users == nullptr) {
        withUsers.users = services.targetUsers;
    }
    return Plan(controller, profile, services.reader, services.settings, withUsers);
}

RestoreResult RestoreJournal(EngineServices& services, const std::wstring& journalPath,
                             const ProgressObserver& progress, const std::atomic<bool>* cancel,
                             const RestoreOnly* only) {
    // Hives loaded for this restore; unloaded when it returns.
    std::vector<TargetUserSet> loaded;
    std::vector<TargetUser> reached;
    HiveReacher reach;
    if (services.userHives != nullptr) {
        reach = [&services, &loaded, &reached](const std::wstring& hive) {
            if (services.targetUsers != nullptr) {
                for (const TargetUser& user : services.targetUsers->users) {
                    if (user.hive == hive && user.Reachable()) {
                        return reached.emplace_back(user);
                    }
                }
            }
            loaded.push_back(ResolveHive(*services.userHives, hive));
            return reached.emplace_back(loaded.back().users.front());
        };
    }
    RestoreContext context{services.reader,         services.writer, services.settings, services.journals,
                           services.programVersion, progress,        std::move(reach),  cancel};
    if (only != nullptr) {
        context.only = [only](const ItemTarget& target) {
            const auto feature = only->features.FeatureOf(target);
            return feature && std::find(only->only.begin(), only->only.end(), *feature) != only->only.end();
        };
        for (const std::size_t feature : only->only) {
            const std::string_view id = only->features.Features()[feature].id;
            context.onlyIds.emplace_back(id.begin(), id.end());
        }
    }
    RestoreResult result = Restore(context, journalPath);
    result.users = std::move(reached);
    if (!result.refused) {
        UpdateMarker(services, MarkerResult::Restored, nullptr, result.markerError);
    }
    return result;
}

} // namespace Velmora
