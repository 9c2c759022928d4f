#include "engine/restore.h"

#include "common/diagnostics.h"
#include "engine/call_items.h"
#include "engine/journal.h"
#include "engine/journal_recorder.h"
#include "engine/plan.h"
#include "settings/local_settings.h"

#include <algorithm>
#include <map>

namespace Velmora {
namespace {

bool SameValues(std::vector<RegistryNamedValue> a, std::vector<RegistryNamedValue> b) {
    const auto byName = [](const RegistryNamedValue& x, const RegistryNamedValue& y) {
        return x.name < y.name;
    };
    std::sort(a.begin(), a.end(), byName);
    std::sort(b.begin(), b.end(), byName);
    return a == b;
}

bool SameKey(const RegistryKeyState& now, const RegistryKeyState& recorded) {
    if (now.presence != recorded.presence) {
        return false;
    }
    return now.presence != Presence::Present || SameValues(now.values, recorded.values);
}

// An item put back by several writes: the last one refused, if any.
struct Writes {
    WriteOutcome last{true, 0};
    void Add(WriteOutcome outcome) {
        if (!outcome.succeeded) {
            last = outcome;
        }
    }
};

std::wstring CannotComeBack(const ActionTarget& action) {
    const std::wstring what = DescribeItem(action);
    switch (action.kind) {
    case ActionKind::EmptyRecycleBin:
    case ActionKind::CleanTempFolders:
    case ActionKind::CleanPrefetchFolder:
        return what + L": the deleted files cannot come back.";
    case ActionKind::RunPowerShellCommands:
    case ActionKind::RunCmdCommands:
        return what + L": what these commands did is not undone.";
    case ActionKind::RemoveApps:
        return what +
               L": removed apps can be installed again from the Microsoft Store; the Store's cached account "
               L"data cannot come back.";
    }
    return what;
}

// Puts one journal's items back, recording each item's state in the restore's own journal first.
class Restorer {
public:
    // The restore's own journal could not be written: it stops before its next change.
    class JournalFailure final : public std::exception {};

    Restorer(RestoreContext& context, JournalRecorder& own, RestoreResult& result)
        : reader_(context.reader), writer_(context.writer), settings_(context.settings), own_(own),
          result_(result), userSid_(context.reader.CurrentUserSid()), reachHive_(context.reachHive) {}

    void Item(const JournalEntry& entry) {
        const std::wstring description = DescribeItem(entry.target);
        if (const auto* action = std::get_if<ActionTarget>(&entry.target)) {
            result_.cannotComeBack.push_back(CannotComeBack(*action));
            return;
        }
        if (const auto* key = std::get_if<RegistryKeyTarget>(&entry.target); key && key->wholeTree) {
            if (std::get<RegistryKeyState>(entry.before).presence == Presence::Present) {
                result_.cannotComeBack.push_back(description + L": it was deleted with everything below it.");
            }
            return;
        }
        std::visit([&](const auto& target) { Put(entry, target, description); }, entry.target);
    }

    // Removes the keys a run created, from the deepest up, as long as each is empty.
    void CreatedKeys(const JournalEntry& entry) {
        const auto* value = std::get_if<RegistryValueTarget>(&entry.target);
        if (!value || !entry.createdKey) {
            return;
        }
        if (!Resolve(value->root, value->hiveSid, value->keyPath)) {
            return;
        }
        std::vector<std::wstring> paths = KeyPathPrefixes(value->keyPath);
        std::reverse(paths.begin(), paths.end());
        for (const std::wstring& path : paths) {
            if (path.size() < entry.createdKey->size()) {
                break;
            }
            const auto place = Resolve(value->root, value->hiveSid, path);
            const RegistryKeyState now = reader_.ReadRegistryKey(place->root, place->keyPath);
            if (now.presence == Presence::Absent) {
                continue;
            }
            if (now.presence != Presence::Present || !now.values.empty() || now.subkeys > 0) {
                return; // in use again, or unreadable: it stays, and so do the keys above it
            }
            const RegistryKeyTarget key{value->root, path, false, value->hiveSid};
            const auto seq = Record(ItemStep::Registry, key, now);
            const WriteOutcome outcome = writer_.DeleteRegistryKeyIfEmpty(place->root, place->keyPath);
            own_.RecordOutcome(seq, {outcome.succeeded, outcome.error, std::nullopt});
            if (!outcome.succeeded) {
                result_.failed.push_back(
                    {ItemStep::Registry, DescribeItem(key), outcome.error, L"not removed"});
                return;
            }
            result_.removedKeys.push_back(DescribeItem(key));
        }
    }

private:
    // The user whose hive a root-1 item names, reached once per hive; null for the other roots.
    const TargetUser* HiveUser(RegistryRoot root, const std::wstring& hive) {
        if (root != 1) {
            return nullptr;
        }
        auto found = hives_.find(hive);
        if (found == hives_.end()) {
            TargetUser user;
            if (hive == userSid_ && !hive.empty()) {
                user = CurrentUserTarget(hive);
            } else if (reachHive_ && !hive.empty()) {
                user = reachHive_(hive);
            } else {
                user.hive = hive;
                user.skipReason = L"it belongs to another user's registry hive";
            }
            found = hives_.emplace(hive, std::move(user)).first;
        }
        return &found->second;
    }

    std::optional<ResolvedKey> Resolve(RegistryRoot root, const std::wstring& hiveSid,
                                       const std::wstring& keyPath) {
        return ResolveRegistryKey(root, keyPath, HiveUser(root, hiveSid));
    }

    std::uint64_t Record(ItemStep step, const ItemTarget& target, ItemState now,
                         std::optional<std::wstring> createdKey = std::nullopt) {
        const auto seq = own_.RecordChange(step, target, std::move(now), std::move(createdKey));
        if (!seq) {
            throw JournalFailure();
        }
        ++result_.changed;
        return *seq;
    }

    // The first key on the item's path that is missing, named as the journal names the item: below its
    // own root, whatever hive it is placed in for this restore.
    std::optional<std::wstring> FirstMissingKey(const RegistryValueTarget& target, const ResolvedKey& key) {
        if (reader_.ReadRegistryKeyPresence(key.root, key.keyPath) != Presence::Absent) {
            return std::nullopt;
        }
        for (const std::wstring& prefix : KeyPathPrefixes(target.keyPath)) {
            const auto place = Resolve(target.root, target.hiveSid, prefix);
            if (place && reader_.ReadRegistryKeyPresence(place->root, place->keyPath) == Presence::Absent) {
                return prefix;
            }
        }
        return std::nullopt;
    }

    // The end of one item: restored when it holds the recorded state again.
    void Done(const JournalEntry& entry, const std::wstring& description, bool restored, WriteOutcome last,
              std::optional<std::uint64_t> seq) {
        if (seq) {
            own_.RecordOutcome(*seq, {restored, restored ? 0 : last.error, std::nullopt});
        }
        if (restored) {
            result_.restored.push_back(description);
        } else {
            result_.failed.push_back({entry.step, description, last.error,
                                      last.succeeded ? L"it does not hold its recorded state afterwards"
                                                     : L"the write was refused"});
        }
    }

    // Where a registry item is put back; nullopt, with the item listed, when it is not.
    std::optional<ResolvedKey> Place(const JournalEntry& entry, Presence recorded, RegistryRoot root,
                                     const std::wstring& hiveSid, const std::wstring& keyPath,
                                     const std::wstring& description) {
        if (recorded == Presence::Unreadable) {
            result_.notRecorded.push_back(description);
            return std::nullopt;
        }
        auto key = Resolve(root, hiveSid, keyPath);
        if (!key) {
            const TargetUser* user = HiveUser(root, hiveSid);
            result_.failed.push_back(
                {entry.step, description, 0,
                 user && !user->skipReason.empty()
                     ? L"the hive of " + user->account + L" is not reached: " + user->skipReason
                     : L"its registry key cannot be placed in that user's hive"});
        }
        return key;
    }

    WriteOutcome PutValue(const ResolvedKey& key, const std::wstring& name,
                          const RegistryValueState& recorded) {
        if (recorded.presence == Presence::Present) {
            return writer_.WriteRegistryValue(key.root, key.keyPath, name, recorded.type, recorded.data);
        }
        return writer_.DeleteRegistryValue(key.root, key.keyPath, name);
    }

    void Put(const JournalEntry& entry, const RegistryValueTarget& target, const std::wstring& description) {
        const auto& recorded = std::get<RegistryValueState>(entry.before);
        const auto key =
            Place(entry, recorded.presence, target.root, target.hiveSid, target.keyPath, description);
        if (!key) {
            return;
        }
        RegistryValueState now = reader_.ReadRegistryValue(key->root, key->keyPath, target.valueName);
        if (now == recorded) {
            result_.restored.push_back(description);
            return;
        }
        const auto seq =
            Record(entry.step, target, std::move(now),
                   recorded.presence == Presence::Present ? FirstMissingKey(target, *key) : std::nullopt);
        const WriteOutcome outcome = PutValue(*key, target.valueName, recorded);
        Done(entry, description,
             reader_.ReadRegistryValue(key->root, key->keyPath, target.valueName) == recorded, outcome, seq);
    }

    void Put(const JournalEntry& entry, const RegistryKeyTarget& target, const std::wstring& description) {
        const auto& recorded = std::get<RegistryKeyState>(entry.before);
        const auto key =
            Place(entry, recorded.presence, target.root, target.hiveSid, target.keyPath, description);
        if (!key) {
            return;
        }
        RegistryKeyState now = reader_.ReadRegistryKey(key->root, key->keyPath);
        if (SameKey(now, recorded)) {
            result_.restored.push_back(description);
            return;
        }
        const bool wasAbsent = now.presence == Presence::Absent;
        const std::vector<RegistryNamedValue> held = now.values;
        const auto seq = Record(entry.step, target, std::move(now), std::nullopt);
        Writes writes;
        // Values that were not there are deleted; the recorded ones are written back.
        for (const RegistryNamedValue& value : held) {
            const bool recordedToo =
                std::any_of(recorded.values.begin(), recorded.values.end(),
                            [&](const RegistryNamedValue& r) { return r.name == value.name; });
            if (!recordedToo || recorded.presence != Presence::Present) {
                writes.Add(writer_.DeleteRegistryValue(key->root, key->keyPath, value.name));
            }
        }
        if (recorded.presence == Presence::Absent) {
            writes.Add(writer_.DeleteRegistryKeyIfEmpty(key->root, key->keyPath));
        } else {
            if (wasAbsent) {
                writes.Add(writer_.CreateRegistryKey(key->root, key->keyPath));
            }
            for (const RegistryNamedValue& value : recorded.values) {
                writes.Add(
                    writer_.WriteRegistryValue(key->root, key->keyPath, value.name, value.type, value.data));
            }
        }
        Done(entry, description, SameKey(reader_.ReadRegistryKey(key->root, key->keyPath), recorded),
             writes.last, seq);
    }

    void Put(const JournalEntry& entry, const ServiceTarget& target, const std::wstring& description) {
        const auto& recorded = std::get<ServiceState>(entry.before);
        if (!IsReadable(recorded)) {
            result_.notRecorded.push_back(description);
            return;
        }
        ServiceState now = reader_.ReadService(target.name);
        if (InEffect(now, recorded)) {
            result_.restored.push_back(description);
            return;
        }
        const ServiceState held = now;
        const auto seq = Record(entry.step, target, std::move(now));
        Writes writes;
        // The service manager first: it writes "Start" too, which the exact registry values then settle.
        if (recorded.manager == Presence::Present && held.manager == Presence::Present) {
            if (recorded.managerStartType && held.managerStartType != recorded.managerStartType) {
                writes.Add(writer_.SetServiceStartType(target.name, *recorded.managerStartType));
            }
            if (recorded.managerDelayed && held.managerDelayed &&
                *held.managerDelayed != *recorded.managerDelayed) {
                writes.Add(writer_.SetServiceDelayedFlag(target.name, *recorded.managerDelayed));
            }
        }
        if (recorded.key == Presence::Present) {
            const ResolvedKey key{2, ServiceKeyPath(target.name)};
            for (const auto& [name, value] : {std::pair{L"Start", &recorded.start},
                                              std::pair{L"DelayedAutoStart", &recorded.delayedAutoStart}}) {
                if (reader_.ReadRegistryValue(key.root, key.keyPath, name) != *value) {
                    writes.Add(PutValue(key, name, *value));
                }
            }
        }
        Done(entry, description, InEffect(reader_.ReadService(target.name), recorded), writes.last, seq);
    }

    void Put(const JournalEntry& entry, const TaskTarget& target, const std::wstring& description) {
        const auto& recorded = std::get<TaskState>(entry.before);
        if (recorded.presence == Presence::Unreadable) {
            result_.notRecorded.push_back(description);
            return;
        }
        TaskState now = reader_.ReadTask(target.path);
        if (recorded.presence == Presence::Absent || now == recorded) {
            result_.restored.push_back(description); // the run never creates or deletes a task
            return;
        }
        if (now.presence != Presence::Present) {
            result_.failed.push_back(
                {entry.step, description, now.error, L"the task is not registered any more"});
            return;
        }
        const auto seq = Record(entry.step, target, std::move(now));
        const WriteOutcome outcome = writer_.SetTaskEnabled(target.path, recorded.enabled);
        Done(entry, description, reader_.ReadTask(target.path) == recorded, outcome, seq);
    }

    void Put(const JournalEntry& entry, const PowerTarget& target, const std::wstring& description) {
        const auto& recorded = std::get<ProcessorMaximumState>(entry.before);
        if (!recorded.ac && !recorded.dc) {
            result_.notRecorded.push_back(description);
            return;
        }
        // Into the scheme the run changed, whichever is active now; a scheme deleted since cannot take them.
        ProcessorMaximumState now = reader_.ReadProcessorMaximum(recorded.scheme);
        if (!recorded.scheme.empty() && now.scheme.empty()) {
            result_.failed.push_back(
                {entry.step, description, 0,
                 L"the power scheme " + recorded.scheme + L" it was recorded in is gone"});
            return;
        }
        ProcessorMaximumState wanted;
        wanted.scheme = recorded.scheme;
        if (recorded.ac && now.ac != recorded.ac) {
            wanted.ac = recorded.ac;
        }
        if (recorded.dc && now.dc != recorded.dc) {
            wanted.dc = recorded.dc;
        }
        if (!wanted.ac && !wanted.dc) {
            result_.restored.push_back(description);
            return;
        }
        const auto seq = Record(entry.step, target, std::move(now));
        const WriteOutcome outcome = writer_.WriteProcessorMaximum(wanted);
        const ProcessorMaximumState after = reader_.ReadProcessorMaximum(recorded.scheme);
        Done(entry, description,
             (!recorded.ac || after.ac == recorded.ac) && (!recorded.dc || after.dc == recorded.dc), outcome,
             seq);
    }

    void Put(const JournalEntry& entry, const SettingTarget& target, const std::wstring& description) {
        const auto& recorded = std::get<SettingState>(entry.before);
        SettingState now = settings_.Lookup(target.name);
        if (now == recorded) {
            result_.restored.push_back(description);
            return;
        }
        const auto seq = Record(entry.step, target, std::move(now));
        if (recorded) {
            settings_.Insert(target.name, *recorded);
        } else {
            settings_.Remove(target.name);
        }
        Done(entry, description, settings_.Lookup(target.name) == recorded, WriteOutcome{true, 0}, seq);
    }

    void Put(const JournalEntry&, const ActionTarget&, const std::wstring&) {}

    StateReader& reader_;
    StateWriter& writer_;
    LocalSettingsValues& settings_;
    JournalRecorder& own_;
    RestoreResult& result_;
    std::wstring userSid_;
    HiveReacher reachHive_;
    std::map<std::wstring, TargetUser> hives_;
};

RestoreResult Refused(std::wstring message) {
    RestoreResult result;
    result.refused = true;
    result.message = L"Nothing was restored. " + std::move(message);
    return result;
}

} // namespace

std::optional<ResolvedKey> ResolveRegistryKey(RegistryRoot root, const std::wstring& keyPath,
                                              const TargetUser* hiveUser) {
    if (root != 1) {
        return ResolvedKey{root, keyPath};
    }
    if (hiveUser == nullptr || !hiveUser->Reachable()) {
        return std::nullopt;
    }
    const auto place = PlaceInHive(*hiveUser, keyPath);
    return place ? std::optional<ResolvedKey>(ResolvedKey{place->root, place->keyPath}) : std::nullopt;
}

RestoreResult Restore(RestoreContext& context, const std::wstring& journalPath) {
    std::wstring error;
    const std::optional<std::string> text = context.journals.ReadTrusted(journalPath, error);
    if (!text) {
        return Refused(error);
    }
    const std::optional<Journal> journal = ParseJournal(*text, error);
    if (!journal) {
        return Refused(error);
    }

    // Each item once, with its earliest recorded state, in the order the run first touched it.
    std::vector<const JournalEntry*> items;
    std::map<std::wstring, bool> seen;
    for (const JournalEntry& entry : journal->entries) {
        if ((!context.only || context.only(entry.target)) &&
            seen.emplace(ItemIdentity(entry.target), true).second) {
            items.push_back(&entry);
        }
    }

    JournalHeader header;
    header.kind = JournalKind::Restore;
    header.profile = L"Restore";
    header.startedUtc = UtcTimestamp(context.journals.NowUtcSeconds());
    header.programVersion = context.programVersion;
    header.userSid = context.reader.CurrentUserSid();
    header.restoredJournal = journalPath;
    header.only = context.onlyIds;
    JournalRecorder own(context.journals.Create(L"Restore", error), header);
    if (!own.Ok()) {
        return Refused(L"The restore's own journal could not be written: " + error);
    }

    const std::shared_ptr<void> connections = context.reader.KeepConnections();
    RestoreResult result;
    JournalEndState endState = JournalEndState::Succeeded;
    try {
        Restorer restorer(context, own, result);
        // Undone in the reverse order of the run, so that of two items sharing a value the earlier holds.
        std::size_t done = 0;
        for (auto it = items.rbegin(); it != items.rend(); ++it) {
            if (context.cancel != nullptr && context.cancel->load()) {
                result.cancelled = true;
                break;
            }
            if (context.progress) {
                ++done;
                context.progress(RunProgress{(*it)->step, done, items.size(), done, items.size()});
            }
            restorer.Item(**it);
        }
        for (auto it = journal->entries.rbegin(); it != journal->entries.rend() && !result.cancelled; ++it) {
            if (!context.only || context.only(it->target)) {
                restorer.CreatedKeys(*it);
            }
        }
    } catch (const std::exception&) {
        endState = JournalEndState::Failed;
        result.failed.push_back({ItemStep::Registry, L"The restore's own journal", 0,
                                 L"it could not be written; the restore stopped before its next change"});
    }
    if (!result.failed.empty()) {
        endState = JournalEndState::Failed;
    } else if (result.cancelled) {
        endState = JournalEndState::Cancelled;
    }
    if (!own.Close({endState, 0, UtcTimestamp(context.journals.NowUtcSeconds())})) {
        Diagnose(L"The restore's journal could not be closed; its record stays in " + own.Path());
    }
    context.journals.Prune(kJournalsKept);
    result.journalPath = own.Path();
    result.message = std::to_wstring(result.restored.size()) + L" items restored, " +
                     std::to_wstring(result.failed.size()) + L" failed, " +
                     std::to_wstring(result.cannotComeBack.size()) + L" cannot come back.";
    if (result.cancelled) {
        result.message += L" The restore was stopped before the rest; its journal holds what it put back.";
    }
    if (journal->tornTail) {
        result.message += L" The journal's last record was cut off when its run was stopped; that change had "
                          L"not been made.";
    }
    return result;
}

} // namespace Velmora
