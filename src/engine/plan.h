#pragma once

// What a run of a profile would change on this PC, found by driving the real pipeline with a
// SystemOperations that only reads: one entry per item, in run order, with the state it has now and
// the state the run would leave.

#include "engine/items.h"
#include "engine/state_reader.h"
#include "engine/target_users.h"
#include "system/service_records.h"
#include "tweaks/profiles.h"

#include <cstddef>
#include <string>
#include <vector>

namespace Velmora {

class LocalSettingsValues;
class RunController;
struct RunChoices;

struct PlanEntry {
    ItemStep step = ItemStep::Registry;
    ItemTarget target;
    std::wstring description;
    ItemState current; // as read before the run
    ItemState after;   // after the last change the run makes to the item
    bool isAction = false;
    bool readable = true;  // the current state of every part the run changes could be read
    bool inEffect = false; // the run would change nothing here (never for an action)
    ActionFacts facts;     // actions only
    bool kept = false;     // its feature is kept as it is: the run leaves it (`after` is `current`)
};

struct ProfilePlan {
    SettingsProfile profile = kNoProfile;
    std::vector<PlanEntry> entries;
    // The accounts whose hives the per-user items are planned for, when that is not (only) the
    // process's own: "Changes for the account …". Empty: the elevated account itself.
    std::wstring targetAccount;
    std::vector<TargetUser> users; // the target users, skipped ones included
};

struct PlanOptions {
    bool surveyActions = true; // count the files to be cleaned and list the matching packages
    bool appRemoval = false;   // the preinstalled apps are removed beside the run
    // Whose hives the per-user items reach; null: the process's own (HKEY_CURRENT_USER).
    const TargetUserSet* users = nullptr;
    // The features kept as they are: their entries are listed as kept, with their state now.
    const RunChoices* choices = nullptr;
    // With `choices`: every optional feature this Windows has is planned as if included, so that a review
    // can show each with its state now; the window's choices say which of them its run sets.
    bool everyOptional = false;
};

// Plans the profile's run. Writes nothing.
[[nodiscard]] ProfilePlan Plan(const RunController& controller, SettingsProfile profile, StateReader& reader,
                               const LocalSettingsValues& settings, const PlanOptions& options = {});

// "N of M changes in effect": M counts the items with a state (actions are done anew by every run);
// for the applied profile, the ones not in effect are its drift. Kept items count apart, in nothing else.
struct PlanCounts {
    std::size_t changes = 0;
    std::size_t inEffect = 0;
    std::size_t unreadable = 0;
    std::size_t actions = 0;
    std::size_t kept = 0;
    [[nodiscard]] std::size_t Drifted() const { return changes - inEffect; }
};
[[nodiscard]] PlanCounts CountPlan(const ProfilePlan& plan);
void CountEntry(PlanCounts& counts, const PlanEntry& entry);

// The counts per user: the per-user items of each target user's hive (with its app offloading
// override), and, under an empty hive name first, the items of the machine.
struct UserPlanCounts {
    std::wstring hive; // a SID, kDefaultProfileHive, or empty for the machine
    PlanCounts counts;
};
[[nodiscard]] std::vector<UserPlanCounts> CountPlanPerUser(const ProfilePlan& plan);

// ---- The state changes the run makes, shared with the journal's check of what a step did ----

// A service after one entry of the service step (`throughManager`) or of the memory adjustment (registry
// only). A service that does not exist stays as it is.
[[nodiscard]] ServiceState PlannedServiceState(ServiceState state, ServiceStartCode code,
                                               bool throughManager);
[[nodiscard]] TaskState PlannedDisabledTask(TaskState state);
[[nodiscard]] ProcessorMaximumState PlannedProcessorMaximum(ProcessorMaximumState state);

// Whether the current state already is the planned one. Parts that could not be read on either side
// are not compared (the service manager's delayed-start flag under Wine).
[[nodiscard]] bool InEffect(const ItemState& current, const ItemState& after);

} // namespace Velmora
