#pragma once

// The engine both front ends use: a profile's run journaled and preceded by a restore point, its
// plan, and the restore of a journal. The window and the command line hold no logic of their own here.

#include "engine/choice_filter.h"
#include "engine/journaling_system.h"
#include "engine/plan.h"
#include "engine/restore.h"
#include "engine/restore_point.h"
#include "engine/target_users.h"
#include "tweaks/apply_pipeline.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace Velmora {

class JournalStore;
class LocalSettingsValues;
class RunController;
class SystemOperations;

// Everything the engine reaches the PC through; all of it outlives the calls.
struct EngineServices {
    SystemOperations& system; // the real primitives
    StateReader& reader;
    StateWriter& writer;
    LocalSettingsValues& settings;
    JournalStore& journals;
    RestorePointApi& restorePoints;
    std::uint32_t (*lastError)() = nullptr; // GetLastError in the Windows build
    std::wstring programVersion;
    // Finds and loads users' hives; null: only the process's own hive is reached (a restore reports
    // other users' items as not restored).
    UserHiveAccess* userHives = nullptr;
    // Whose hives the per-user items of runs and plans reach; null: the process's own
    // (HKEY_CURRENT_USER), as a plain run always did. Set it to a resolution that outlives the calls.
    const TargetUserSet* targetUsers = nullptr;
};

struct RunOptions {
    const std::atomic<bool>* cancel = nullptr; // set from another thread to stop between two items
    ProgressObserver progress;                 // called on the run's thread for each item
    bool appRemoval = false;                   // remove the preinstalled apps beside the run
    bool restorePoint = true;                  // ask System Restore for a point before the first change
    // Starts the removal over its own copy of the fragments, beside the run; called once the restore point
    // is made and the journal is open, never before. Without it the removal is not started.
    std::function<bool(std::vector<std::wstring>)> startAppRemoval;
    // The features kept as they are: left out of the run, recorded in its journal and the marker.
    const RunChoices* choices = nullptr;
    // A repair: only the items that no longer hold are set again, journaled as a repair, without a
    // restore point (the applying run's point still covers the PC), the settings record or app removal.
    bool repair = false;
};

enum class RunOutcome : std::uint8_t {
    Succeeded,  // the pipeline's rule: fewer than 14 counted registry writes failed
    Failed,     // 14 or more failed, or the journal could not be written to the end
    Cancelled,  // stopped between two items when asked to
    NotStarted, // nothing changed: no profile, or no journal could be created
};

struct RunItemResult {
    ItemStep step = ItemStep::Registry;
    ItemTarget target;
    std::wstring description;
    bool done = false; // the change was made (an outcome was recorded)
    bool succeeded = false;
    std::uint32_t error = 0;
    std::optional<std::uint32_t> exitCode;
    bool absent = false; // failed only because the item to delete or disable was not there
    // In effect already when the run began; known where the run planned first (a run with progress).
    bool inEffectBefore = false;
};

// A target user of a run: how its hive was reached (or why not), and how many of its per-user DWORD
// writes failed.
struct UserRunOutcome {
    TargetUser user;
    std::size_t failedWrites = 0;
    std::size_t skippedRows = 0; // class keys of a user who is not signed in
};

struct RunReport {
    RunOutcome outcome = RunOutcome::NotStarted;
    std::int32_t applyOutcome = 0;
    std::wstring journalPath;
    RestorePointReport restorePoint;
    std::vector<RunItemResult> items;  // in journal order; an item touched twice appears twice
    std::vector<UserRunOutcome> users; // the target users, skipped ones included
    std::wstring message;
    // A succeeded run writes the detection marker (engine/detection_marker.h); the error when it could not.
    std::uint32_t markerError = 0;
    // A repair: the items that no longer held when it began (none: nothing was run or journaled), and
    // the Windows build the marker named before it, next to the one it found.
    std::vector<ItemTarget> drifted;
    std::wstring buildBefore;
    std::wstring buildNow;
};

// The window's run: the pipeline exactly as it is (order, outcome rule, notification, settings
// record), with a restore point before the first change and every change journaled. Never throws.
// Over several target users the per-user items are made for each user in turn where the pipeline
// reaches them, and a counted row fails when it failed for any of them.
std::int32_t RunJournaledPipeline(const ApplyRunContext& context, EngineServices& services,
                                  const RunOptions& options = {}, RunReport* report = nullptr) noexcept;

// The command line's run of one profile, on the calling thread, to the end (or the stop).
[[nodiscard]] RunReport RunProfile(EngineServices& services, const RunController& controller,
                                   SettingsProfile profile, const RunOptions& options = {});

// The plan of a profile on this PC; for the services' target users unless the options name others.
[[nodiscard]] ProfilePlan PlanProfile(EngineServices& services, const RunController& controller,
                                      SettingsProfile profile, const PlanOptions& options = {});

// Restores a journal (a closed one, or a killed run's partial one), telling `progress` of each item.
// Per-user items go back to the hive they were recorded for: one the services' target users hold, one
// Windows has loaded, or one loaded from its profile for the restore and unloaded afterwards. Then
// brings the detection marker in line with the applied state the restored settings record.
// With `only` (and the features), only those features' items are put back: a feature put back to the
// PC's own previous values, itself journaled so that it can be taken back too.
struct RestoreOnly {
    const FeatureIndex& features;
    std::vector<std::size_t> only;
};
[[nodiscard]] RestoreResult RestoreJournal(EngineServices& services, const std::wstring& journalPath,
                                           const ProgressObserver& progress = {},
                                           const std::atomic<bool>* cancel = nullptr,
                                           const RestoreOnly* only = nullptr);

// What a journaled run did, read back from its journal: its items with their outcomes (for the "Changes
// made" view); nullopt with the reason when the journal cannot be read or is a restore's.
[[nodiscard]] std::optional<RunReport> ReadRunJournal(EngineServices& services,
                                                      const std::wstring& journalPath, std::wstring& error);

// "Essential", "Standard", "Maximum"; empty for anything else.
[[nodiscard]] std::wstring ProfileName(SettingsProfile profile);

} // namespace Velmora
