#include "engine/plan.h"

#include "engine/choice_filter.h"
#include "engine/planning_system.h"
#include "system/services.h"
#include "tweaks/apply_pipeline.h"
#include "tweaks/run_controller.h"
#include "common/dispatcher_queue.h"

#include <algorithm>

namespace Velmora {
namespace {

// The service step never creates or deletes a service or its key; whether the key is there only decides
// what it writes, so it is not compared.
bool SameWhereKnown(const ServiceState& current, const ServiceState& after) {
    const auto same = [](const auto& a, const auto& b) { return !a || !b || *a == *b; };
    return current.manager == after.manager && current.start == after.start &&
           current.delayedAutoStart == after.delayedAutoStart &&
           same(current.managerStartType, after.managerStartType) &&
           same(current.managerDelayed, after.managerDelayed);
}

// Whether every part the run changes could be read now.
bool EntryReadable(const ItemState& current, const ItemState& after) {
    if (!IsReadable(current)) {
        return false;
    }
    const auto* service = std::get_if<ServiceState>(&current);
    const auto* planned = std::get_if<ServiceState>(&after);
    return !service || !planned || !planned->managerDelayed || service->managerDelayed.has_value();
}

} // namespace

ServiceState PlannedServiceState(ServiceState state, ServiceStartCode code, bool throughManager) {
    const ServiceStartType type = MapServiceStartCode(code);
    if (throughManager && state.manager == Presence::Present) {
        state.managerStartType = type.startType;
        if (type.delayedAutoStart) {
            state.managerDelayed = true;
        }
    }
    // The registry half writes into an existing key only; it never creates one.
    if (state.key == Presence::Present) {
        state.start = DwordValue(type.startType);
        if (type.delayedAutoStart) {
            state.delayedAutoStart = DwordValue(1);
        }
    }
    return state;
}

TaskState PlannedDisabledTask(TaskState state) {
    if (state.presence == Presence::Present) {
        state.enabled = false;
    }
    return state;
}

ProcessorMaximumState PlannedProcessorMaximum(ProcessorMaximumState state) {
    for (std::optional<std::uint32_t>* value : {&state.ac, &state.dc}) {
        if (*value == 100u) {
            *value = 99u;
        }
    }
    return state;
}

bool InEffect(const ItemState& current, const ItemState& after) {
    if (std::holds_alternative<NoState>(after)) {
        return false;
    }
    if (const auto* service = std::get_if<ServiceState>(&current)) {
        const auto* planned = std::get_if<ServiceState>(&after);
        return planned && IsReadable(current) && SameWhereKnown(*service, *planned);
    }
    return IsReadable(current) && current == after;
}

ProfilePlan Plan(const RunController& controller, SettingsProfile profile, StateReader& reader,
                 const LocalSettingsValues& settings, const PlanOptions& options) {
    const std::shared_ptr<void> connections = reader.KeepConnections();
    const std::shared_ptr<void> keys = reader.KeepKeysOpen(); // a plan only reads
    HiveRoute route(options.users ? options.users->Reachable()
                                  : std::vector<TargetUser>{CurrentUserTarget(reader.CurrentUserSid())});
    RoutedStateReader routed(reader, route);
    PlanningSystem system(routed, settings, options.surveyActions);
    PerUserFanOut perUser(system, route);
    if (options.appRemoval && profile != kEssentialProfile) {
        system.PlanAppRemoval(controller.preinstalledPackageNames);
    }
    DiscardingDispatcher dispatcher; // the plan posts nothing anywhere
    const std::atomic<SettingsProfile> selected{profile};
    const OptionalRows optionalRows =
        options.choices != nullptr
            ? IncludedRows(*options.choices, ReadWindowsFacts(reader), options.everyOptional)
            : OptionalRows{};
    RunApplyPipeline(ApplyRunContext{
        controller,
        selected,
        perUser,
        dispatcher,
        [&system](std::wstring_view key, std::int32_t value) { system.PlanSetting(key, value); },
        {},
        {},
        &optionalRows});

    ProfilePlan plan{profile, system.TakeEntries(), options.users ? options.users->TargetAccounts() : L"",
                     options.users ? options.users->users : route.Targets()};
    for (PlanEntry& entry : plan.entries) {
        if (options.choices != nullptr && options.choices->Keeps(entry.target)) {
            // Left as it is: what it holds now is what it holds after the run.
            entry.kept = true;
            entry.after = entry.current;
        }
        entry.readable = entry.isAction || EntryReadable(entry.current, entry.after);
        entry.inEffect = !entry.isAction && !entry.kept && InEffect(entry.current, entry.after);
    }
    return plan;
}

void CountEntry(PlanCounts& counts, const PlanEntry& entry) {
    if (entry.kept) {
        ++counts.kept;
        return;
    }
    if (entry.isAction) {
        ++counts.actions;
        return;
    }
    ++counts.changes;
    counts.inEffect += entry.inEffect ? 1 : 0;
    counts.unreadable += entry.readable ? 0 : 1;
}

PlanCounts CountPlan(const ProfilePlan& plan) {
    PlanCounts counts;
    for (const PlanEntry& entry : plan.entries) {
        CountEntry(counts, entry);
    }
    return counts;
}

std::vector<UserPlanCounts> CountPlanPerUser(const ProfilePlan& plan) {
    std::vector<UserPlanCounts> perUser{{L"", {}}};
    for (const PlanEntry& entry : plan.entries) {
        const std::wstring hive = ItemUser(entry.target);
        auto found = std::find_if(perUser.begin(), perUser.end(),
                                  [&](const UserPlanCounts& user) { return user.hive == hive; });
        if (found == perUser.end()) {
            found = perUser.insert(perUser.end(), {hive, {}});
        }
        CountEntry(found->counts, entry);
    }
    return perUser;
}

} // namespace Velmora
