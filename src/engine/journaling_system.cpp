#include "engine/journaling_system.h"

#include "common/diagnostics.h"
#include "engine/call_items.h"
#include "engine/plan.h"
#include "settings/local_settings.h"
#include "system/packages.h"
#include "system/scheduled_tasks.h"
#include "system/services.h"

namespace Velmora {

JournalingSystem::JournalingSystem(SystemOperations& real, StateReader& reader,
                                   const LocalSettingsValues& settings, JournalRecorder& recorder,
                                   RunControl control)
    : real_(real), reader_(reader), settings_(settings), recorder_(recorder), control_(std::move(control)) {}

std::wstring JournalingSystem::UserSid() {
    // Asked each time: a run over several users moves the reader from one user's hive to the next.
    return reader_.CurrentUserSid();
}

std::uint32_t JournalingSystem::LastError() const {
    return control_.lastError ? control_.lastError() : 0;
}

std::optional<std::uint64_t> JournalingSystem::Before(ItemStep step, const ItemTarget& target,
                                                      ItemState before,
                                                      std::optional<std::wstring> createdKey, bool mayStop) {
    if (mayStop && control_.cancel && control_.cancel->load()) {
        cancelled_ = true;
        throw RunCancelled();
    }
    if (const auto why = WhyNotRecordable(target, before)) {
        Diagnose(L"Not changed, because the journal cannot hold it exactly (" + *why + L"): " +
                 DescribeItem(target));
        return std::nullopt;
    }
    const auto seq = recorder_.RecordChange(step, target, std::move(before), std::move(createdKey));
    if (!seq) {
        journalFailed_ = true;
        throw JournalUnwritable();
    }
    auto& seen = seen_[static_cast<std::size_t>(step)];
    if (seen.insert(ItemIdentity(target)).second && control_.progress) {
        ++reached_;
        const std::size_t total = control_.stepTotals[static_cast<std::size_t>(step)];
        std::size_t runTotal = 0;
        for (std::size_t i = 0; i < kItemStepCount; ++i) {
            runTotal += std::max(control_.stepTotals[i], seen_[i].size());
        }
        control_.progress(RunProgress{step, seen.size(), std::max(total, seen.size()), reached_, runTotal});
    }
    return seq;
}

void JournalingSystem::After(std::uint64_t seq, bool succeeded, std::uint32_t error,
                             std::optional<std::uint32_t> exitCode, bool wasAbsent) {
    if (!recorder_.RecordOutcome(
            seq, JournalOutcome{succeeded, succeeded ? 0 : error, exitCode, !succeeded && wasAbsent})) {
        // The change is recorded already; only its outcome is missing, which a restore does not need.
        // The next change's record fails the same way and stops the run.
        Diagnose(L"The outcome of change " + std::to_wstring(seq) + L" could not be written to the journal");
    }
}

ItemState JournalingSystem::ReadNow(const ItemTarget& target) {
    return ReadItemState(reader_, settings_, target);
}

std::optional<std::wstring> JournalingSystem::FirstMissingKey(RegistryRoot root,
                                                              const std::wstring& keyPath) {
    if (reader_.ReadRegistryKeyPresence(root, keyPath) != Presence::Absent) {
        return std::nullopt;
    }
    for (const std::wstring& prefix : KeyPathPrefixes(keyPath)) {
        if (reader_.ReadRegistryKeyPresence(root, prefix) == Presence::Absent) {
            return prefix;
        }
    }
    return std::nullopt;
}

bool JournalingSystem::WriteValue(ItemStep step, const RegistryValueTarget& target,
                                  const std::function<bool()>& write) {
    const auto seq =
        Before(step, target, reader_.ReadRegistryValue(target.root, target.keyPath, target.valueName),
               FirstMissingKey(target.root, target.keyPath));
    if (!seq) {
        return false;
    }
    const bool succeeded = write();
    After(*seq, succeeded, LastError());
    return succeeded;
}

bool JournalingSystem::DeleteValue(ItemStep step, const RegistryValueTarget& target,
                                   const std::function<bool()>& remove) {
    RegistryValueState before = reader_.ReadRegistryValue(target.root, target.keyPath, target.valueName);
    const bool wasAbsent = before.presence == Presence::Absent;
    const auto seq = Before(step, target, std::move(before));
    if (!seq) {
        return false;
    }
    const bool succeeded = remove();
    After(*seq, succeeded, LastError(), std::nullopt, wasAbsent);
    return succeeded;
}

std::uint32_t JournalingSystem::Action(ItemStep step, ActionTarget action,
                                       const std::function<std::uint32_t()>& run) {
    const auto seq = Before(step, action, NoState{});
    if (!seq) {
        return 0xFFFFFFFFu;
    }
    const std::uint32_t result = run();
    const bool command =
        action.kind == ActionKind::RunPowerShellCommands || action.kind == ActionKind::RunCmdCommands;
    After(*seq, true, 0, command ? std::optional<std::uint32_t>(result) : std::nullopt);
    return result;
}

void JournalingSystem::CheckExpected(const std::vector<Expected>& expected) {
    for (const Expected& item : expected) {
        const bool done = InEffect(ReadNow(item.target), item.state);
        After(item.seq, done, 0);
    }
}

bool JournalingSystem::SetRegistryDword(RegistryDwordSetting setting) {
    const auto target = DwordWriteTarget(setting, UserSid());
    if (!target) {
        return real_.SetRegistryDword(std::move(setting)); // refused by the primitive without a registry call
    }
    return WriteValue(ItemStep::Registry, *target, [&] { return real_.SetRegistryDword(setting); });
}

bool JournalingSystem::SetRegistryString(RegistryStringSetting setting) {
    const auto target = StringWriteTarget(setting, UserSid());
    if (!target) {
        return real_.SetRegistryString(std::move(setting));
    }
    return WriteValue(ItemStep::Registry, *target, [&] { return real_.SetRegistryString(setting); });
}

bool JournalingSystem::MergeRegistryListEntry(RegistryListEntry entry) {
    const auto target = ListWriteTarget(entry, UserSid());
    if (!target) {
        return real_.MergeRegistryListEntry(std::move(entry));
    }
    return WriteValue(ItemStep::Registry, *target, [&] { return real_.MergeRegistryListEntry(entry); });
}

bool JournalingSystem::DeleteRegistryEntry(RegistryDwordSetting setting) {
    const auto target = EntryDeleteTarget(setting, UserSid());
    if (!target) {
        return real_.DeleteRegistryEntry(std::move(setting));
    }
    if (const auto* value = std::get_if<RegistryValueTarget>(&*target)) {
        return DeleteValue(ItemStep::Registry, *value, [&] { return real_.DeleteRegistryEntry(setting); });
    }
    const auto& key = std::get<RegistryKeyTarget>(*target);
    RegistryKeyState before = reader_.ReadRegistryKey(key.root, key.keyPath);
    const bool wasAbsent = before.presence == Presence::Absent;
    const auto seq = Before(ItemStep::Registry, key, std::move(before));
    if (!seq) {
        return false;
    }
    const bool succeeded = real_.DeleteRegistryEntry(setting);
    After(*seq, succeeded, LastError(), std::nullopt, wasAbsent);
    return succeeded;
}

bool JournalingSystem::DeleteRegistryTree(RegistryDwordSetting setting) {
    const auto target = TreeDeleteTarget(setting, UserSid());
    if (!target) {
        return real_.DeleteRegistryTree(std::move(setting));
    }
    // Only whether the key was there is recorded: what lay below it cannot be given back.
    RegistryKeyState before = reader_.ReadRegistryKey(target->root, target->keyPath);
    before.values.clear();
    const auto seq = Before(ItemStep::Apps, *target, before);
    if (!seq) {
        return false;
    }
    const bool succeeded = real_.DeleteRegistryTree(setting);
    After(*seq, succeeded, LastError());
    return succeeded;
}

void JournalingSystem::ConfigureServiceStartTypes(const std::vector<ServiceStartEntry>& services,
                                                  const std::vector<ServiceStartEntry>& perUserTemplates) {
    // Each service once, at its first entry; the state it is expected to end in follows every entry.
    std::vector<Expected> expected;
    std::map<std::wstring, std::size_t> index;
    for (const ServiceStartEntry& entry :
         ServiceStepEntries(services, perUserTemplates, reader_.PerUserServiceSuffixes())) {
        const ServiceTarget target{entry.name};
        const std::wstring id = ItemIdentity(target);
        if (const auto found = index.find(id); found != index.end()) {
            Expected& item = expected[found->second];
            item.state = PlannedServiceState(std::get<ServiceState>(item.state), entry.code, true);
            continue;
        }
        ServiceState before = reader_.ReadService(entry.name);
        const ServiceState after = PlannedServiceState(before, entry.code, true);
        if (const auto seq = Before(ItemStep::Services, target, std::move(before))) {
            index.emplace(id, expected.size());
            expected.push_back({*seq, target, after});
        }
    }
    real_.ConfigureServiceStartTypes(services, perUserTemplates);
    CheckExpected(expected);
}

void JournalingSystem::SetSvcHostSplitThreshold() {
    const RegistryValueTarget target = SplitThresholdTarget();
    const auto gib = reader_.InstalledMemoryGiB();
    const auto seq = Before(ItemStep::Services, target,
                            reader_.ReadRegistryValue(target.root, target.keyPath, target.valueName));
    if (!seq) {
        return;
    }
    real_.SetSvcHostSplitThreshold();
    const bool done = gib && InEffect(ReadNow(target), DwordValue(SvcHostSplitThresholdKB(*gib)));
    After(*seq, done, 0);
}

void JournalingSystem::AdjustServicesForMemory(const std::vector<std::wstring>& leaveAlone) {
    // Without the memory size every service it may touch is recorded.
    const std::vector<ServiceStartEntry> adjustments =
        WithoutServices(ServiceAdjustmentsForMemory(reader_.InstalledMemoryGiB().value_or(64)), leaveAlone);
    std::vector<Expected> expected;
    for (const ServiceStartEntry& entry : adjustments) {
        const ServiceTarget target{entry.name};
        ServiceState before = reader_.ReadService(entry.name);
        const ServiceState after = PlannedServiceState(before, entry.code, false);
        if (const auto seq = Before(ItemStep::Services, target, std::move(before))) {
            expected.push_back({*seq, target, after});
        }
    }
    real_.AdjustServicesForMemory(leaveAlone);
    CheckExpected(expected);
}

void JournalingSystem::DisableEdgeUpdateTasks() {
    std::vector<Expected> expected;
    for (const std::wstring& path : reader_.FindTasks(
             std::vector<std::wstring>(kEdgeUpdateTaskNames.begin(), kEdgeUpdateTaskNames.end()))) {
        const TaskTarget target{FullTaskPath(path)};
        TaskState before = reader_.ReadTask(target.path);
        const TaskState after = PlannedDisabledTask(before);
        if (const auto seq = Before(ItemStep::Tasks, target, std::move(before))) {
            expected.push_back({*seq, target, after});
        }
    }
    real_.DisableEdgeUpdateTasks();
    CheckExpected(expected);
}

bool JournalingSystem::DisableScheduledTask(const std::wstring& taskPath) {
    const TaskTarget target{FullTaskPath(taskPath)};
    TaskState before = reader_.ReadTask(target.path);
    const bool wasAbsent = before.presence == Presence::Absent;
    const auto seq = Before(ItemStep::Tasks, target, std::move(before));
    if (!seq) {
        return false;
    }
    const bool succeeded = real_.DisableScheduledTask(taskPath);
    After(*seq, succeeded, 0, std::nullopt, wasAbsent);
    return succeeded;
}

std::uint32_t JournalingSystem::RunPowerShellCommands(const std::vector<std::wstring>& commands) {
    if (commands.empty()) {
        return real_.RunPowerShellCommands(commands);
    }
    return Action(ItemStep::Commands, {ActionKind::RunPowerShellCommands, commands},
                  [&] { return real_.RunPowerShellCommands(commands); });
}

std::uint32_t JournalingSystem::RunCmdCommands(const std::vector<std::wstring>& commands) {
    if (commands.empty()) {
        return real_.RunCmdCommands(commands);
    }
    return Action(ItemStep::Commands, {ActionKind::RunCmdCommands, commands},
                  [&] { return real_.RunCmdCommands(commands); });
}

void JournalingSystem::TunePowerScheme() {
    const PowerTarget target;
    const ProcessorMaximumState before = reader_.ReadProcessorMaximum({});
    const auto seq = Before(ItemStep::Power, target, before);
    if (!seq) {
        return;
    }
    real_.TunePowerScheme();
    CheckExpected({{*seq, target, PlannedProcessorMaximum(before)}});
}

void JournalingSystem::EmptyRecycleBin() {
    Action(ItemStep::Cleanup, {ActionKind::EmptyRecycleBin, {}}, [&] {
        real_.EmptyRecycleBin();
        return 0u;
    });
}

void JournalingSystem::CleanTempFolders() {
    Action(ItemStep::Cleanup, {ActionKind::CleanTempFolders, {}}, [&] {
        real_.CleanTempFolders();
        return 0u;
    });
}

void JournalingSystem::CleanPrefetchFolder() {
    Action(ItemStep::Cleanup, {ActionKind::CleanPrefetchFolder, {}}, [&] {
        real_.CleanPrefetchFolder();
        return 0u;
    });
}

std::wstring JournalingSystem::GetCurrentUserSid() {
    return real_.GetCurrentUserSid();
}

bool JournalingSystem::SetAppOffloadingDisabled(const std::wstring& userSid, bool disable) {
    const auto target = AppOffloadingTarget(userSid);
    if (!target) {
        return real_.SetAppOffloadingDisabled(userSid, disable);
    }
    const auto change = [&] { return real_.SetAppOffloadingDisabled(userSid, disable); };
    return disable ? WriteValue(ItemStep::Apps, *target, change)
                   : DeleteValue(ItemStep::Apps, *target, change);
}

void JournalingSystem::StoreSetting(std::wstring_view name, std::int32_t value,
                                    const std::function<void()>& store) {
    const SettingTarget target{std::wstring(name)};
    // The run's steps are over: the record of a finished run is written even when a stop is asked now.
    const auto seq = Before(ItemStep::Settings, target, ReadNow(target), std::nullopt, false);
    if (!seq) {
        return;
    }
    store();
    After(*seq, ReadNow(target) == ItemState(SettingState(SettingValue(value))), 0);
}

void JournalingSystem::StartAppRemoval(const std::vector<std::wstring>& fragments,
                                       const std::function<bool(std::vector<std::wstring>)>& start) {
    DeleteRegistryTree(StoreCacheKeyRecord());
    const auto seq = Before(ItemStep::Apps, ActionTarget{ActionKind::RemoveApps, fragments}, NoState{});
    if (!seq) {
        return;
    }
    const bool started = start(fragments);
    if (!started) {
        Diagnose(L"The removal of the preinstalled apps could not be started");
    }
    After(*seq, started);
}

} // namespace Velmora
