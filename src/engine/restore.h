#pragma once

// Restoring a journal puts back exactly what it recorded: registry values with their old type and
// data (or deleted where they did not exist), the keys the run created once they are empty, service
// start types and delayed flags, scheduled tasks, the power values and the local settings. What cannot
// come back is listed plainly. A restore writes a journal of its own, so it can be undone in turn.

#include "engine/items.h"
#include "engine/journal_store.h"
#include "engine/journaling_system.h"
#include "engine/state_reader.h"
#include "engine/target_users.h"

#include <atomic>
#include <functional>

#include <optional>
#include <string>
#include <vector>

namespace Velmora {

class LocalSettingsValues;

struct RestoreFailure {
    ItemStep step = ItemStep::Registry;
    std::wstring description;
    std::uint32_t error = 0; // 0 when the item simply does not hold the recorded state afterwards
    std::wstring reason;
};

struct RestoreResult {
    bool refused = false;   // nothing was changed; `message` says why
    bool cancelled = false; // stopped between two items when asked to; its journal says so
    std::wstring message;
    std::vector<std::wstring> restored; // items that hold their recorded state again
    std::vector<RestoreFailure> failed;
    std::vector<std::wstring> cannotComeBack; // deleted files, removed apps, what commands did
    std::vector<std::wstring> notRecorded;    // their state before the run could not be read: left alone
    std::vector<std::wstring> removedKeys;    // keys the run had created, removed again once empty
    std::wstring journalPath;                 // the restore's own journal
    std::size_t changed = 0;                  // items it had to write (the others held their state)
    std::uint32_t markerError = 0;            // the detection marker could not be brought in line
    std::vector<TargetUser> users;            // the other users' hives it reached, or skipped, and how
    bool keepingTurnedOff = false;            // no profile is applied any more: keeping settings went too
};

// Reaches the hive a journal's root-1 items name (a SID, or the Default profile): the user it is found
// as, Skipped with the reason when it cannot be reached. It must keep what it loads until the restore ends.
using HiveReacher = std::function<TargetUser(const std::wstring& hive)>;

struct RestoreContext {
    StateReader& reader;
    StateWriter& writer;
    LocalSettingsValues& settings;
    JournalStore& journals;
    std::wstring programVersion;
    ProgressObserver progress = {};            // told of each item as it is put back
    HiveReacher reachHive = {};                // empty: only the process's own hive is reached
    const std::atomic<bool>* cancel = nullptr; // set from another thread to stop between two items
    // A restore of some features only: the items it puts back (all when empty), and their ids for its
    // journal.
    std::function<bool(const ItemTarget&)> only = {};
    std::vector<std::wstring> onlyIds = {};
};

[[nodiscard]] RestoreResult Restore(RestoreContext& context, const std::wstring& journalPath);

// Where a registry item recorded for a hive lives for this process: other roots stay as they are; root-1
// items go to the place of their user's hive; nullopt when that hive is not reached.
struct ResolvedKey {
    RegistryRoot root = 0;
    std::wstring keyPath;
};
[[nodiscard]] std::optional<ResolvedKey> ResolveRegistryKey(RegistryRoot root, const std::wstring& keyPath,
                                                            const TargetUser* hiveUser);

} // namespace Velmora
