#include "engine/planning_system.h"

#include "engine/call_items.h"
#include "engine/target_users.h"
#include "system/registry_list.h"
#include "system/scheduled_tasks.h"
#include "system/services.h"

#include <cwctype>

namespace Velmora {
namespace {

std::wstring KeyId(RegistryRoot root, const std::wstring& hiveSid, const std::wstring& keyPath) {
    std::wstring id = std::to_wstring(root) + L"|" + hiveSid + L"|" + keyPath;
    for (wchar_t& c : id) {
        c = static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(c)));
    }
    return id;
}

// Whether `keyPath` is `ancestor` or lies below it (ids compare lower-cased).
bool IsAtOrBelow(const std::wstring& keyId, const std::wstring& ancestorId) {
    return keyId == ancestorId || (keyId.size() > ancestorId.size() && keyId.starts_with(ancestorId) &&
                                   keyId[ancestorId.size()] == L'\\');
}

std::wstring LowerName(std::wstring name) {
    for (wchar_t& c : name) {
        c = static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(c)));
    }
    return name;
}

constexpr std::uint32_t kInvalidDataError = 13; // ERROR_INVALID_DATA, as the primitive fails

} // namespace

PlanningSystem::PlanningSystem(StateReader& reader, const LocalSettingsValues& settings, bool surveyActions)
    : reader_(reader), settings_(settings), surveyActions_(surveyActions) {}

std::wstring PlanningSystem::UserSid() {
    // Asked each time: a run over several users moves the reader from one user's hive to the next.
    return reader_.CurrentUserSid();
}

ItemState PlanningSystem::RealState(const ItemTarget& target) {
    return ReadItemState(reader_, settings_, target);
}

void PlanningSystem::Plan(ItemStep step, const ItemTarget& target, ItemState after,
                          std::optional<ItemState> realCurrent) {
    const std::wstring id = ItemIdentity(target);
    planned_.insert_or_assign(id, after);
    if (const auto found = entryIndex_.find(id); found != entryIndex_.end()) {
        entries_[found->second].after = std::move(after);
        return;
    }
    PlanEntry entry;
    entry.step = step;
    entry.target = target;
    entry.description = DescribeItem(target);
    entry.current = realCurrent ? std::move(*realCurrent) : RealState(target);
    entry.after = std::move(after);
    entryIndex_.emplace(id, entries_.size());
    entries_.push_back(std::move(entry));
}

void PlanningSystem::PlanAction(ItemStep step, ActionTarget action) {
    PlanEntry entry;
    entry.step = step;
    entry.isAction = true;
    entry.description = DescribeItem(action);
    entry.current = entry.after = NoState{};
    if (surveyActions_) {
        entry.facts = reader_.SurveyAction(action);
    }
    entry.target = std::move(action);
    entries_.push_back(std::move(entry));
}

bool PlanningSystem::UnderDeletedKey(RegistryRoot root, const std::wstring& hiveSid,
                                     const std::wstring& keyPath) const {
    const std::wstring id = KeyId(root, hiveSid, keyPath);
    for (const std::wstring& deleted : deletedKeys_) {
        if (IsAtOrBelow(id, deleted)) {
            return true;
        }
    }
    return false;
}

RegistryValueState PlanningSystem::ValueNow(const RegistryValueTarget& target, bool& real) {
    real = false;
    if (const auto found = planned_.find(ItemIdentity(target)); found != planned_.end()) {
        return std::get<RegistryValueState>(found->second);
    }
    if (UnderDeletedKey(target.root, target.hiveSid, target.keyPath)) {
        return AbsentValue();
    }
    real = true;
    return reader_.ReadRegistryValue(target.root, target.keyPath, target.valueName);
}

Presence PlanningSystem::KeyPresenceNow(RegistryRoot root, const std::wstring& hiveSid,
                                        const std::wstring& keyPath) {
    if (writtenKeys_.contains(KeyId(root, hiveSid, keyPath))) {
        return Presence::Present;
    }
    if (UnderDeletedKey(root, hiveSid, keyPath)) {
        return Presence::Absent;
    }
    return reader_.ReadRegistryKeyPresence(root, keyPath);
}

RegistryKeyState PlanningSystem::KeyNow(const RegistryKeyTarget& target) {
    const Presence presence = KeyPresenceNow(target.root, target.hiveSid, target.keyPath);
    if (presence != Presence::Present) {
        return {presence, {}, 0, 0};
    }
    RegistryKeyState state{Presence::Present, {}, 0, 0};
    if (!UnderDeletedKey(target.root, target.hiveSid, target.keyPath)) {
        state = reader_.ReadRegistryKey(target.root, target.keyPath);
    }
    // The values planned in this very key replace what the system holds.
    const std::wstring id = KeyId(target.root, target.hiveSid, target.keyPath);
    for (const auto& [value, planned] : plannedValues_) {
        if (KeyId(value.root, value.hiveSid, value.keyPath) != id) {
            continue;
        }
        // Named here: before clang 16 a lambda cannot capture a structured binding.
        const std::wstring name = LowerName(value.valueName);
        std::erase_if(state.values,
                      [&name](const RegistryNamedValue& held) { return LowerName(held.name) == name; });
        if (planned.presence == Presence::Present) {
            state.values.push_back({value.valueName, planned.type, planned.data});
        }
    }
    return state;
}

void PlanningSystem::PlanValue(ItemStep step, const RegistryValueTarget& target, RegistryValueState after) {
    bool real = false;
    RegistryValueState now = ValueNow(target, real);
    if (after.presence == Presence::Present) {
        for (const std::wstring& prefix : KeyPathPrefixes(target.keyPath)) {
            writtenKeys_.insert(KeyId(target.root, target.hiveSid, prefix));
        }
    }
    plannedValues_.emplace_back(target, after);
    Plan(step, target, std::move(after), real ? std::optional<ItemState>(std::move(now)) : std::nullopt);
}

void PlanningSystem::PlanDeletedKey(ItemStep step, const RegistryKeyTarget& target) {
    const RegistryKeyState now = KeyNow(target);
    // A key with subkeys is not deleted alone (the deletion fails); an absent one stays absent.
    if (now.presence != Presence::Present || (!target.wholeTree && now.subkeys > 0)) {
        Plan(step, target, now, std::nullopt);
        return;
    }
    const std::wstring id = KeyId(target.root, target.hiveSid, target.keyPath);
    deletedKeys_.insert(id);
    std::erase_if(writtenKeys_, [&](const std::wstring& key) { return IsAtOrBelow(key, id); });
    std::erase_if(plannedValues_, [&](const auto& planned) {
        const bool below =
            IsAtOrBelow(KeyId(planned.first.root, planned.first.hiveSid, planned.first.keyPath), id);
        if (below) {
            planned_.erase(ItemIdentity(planned.first));
        }
        return below;
    });
    Plan(step, target, RegistryKeyState{Presence::Absent, {}, 0, 0}, std::nullopt);
}

bool PlanningSystem::SetRegistryDword(RegistryDwordSetting setting) {
    const auto target = DwordWriteTarget(setting, UserSid());
    if (!target) {
        return false;
    }
    PlanValue(ItemStep::Registry, *target, DwordValue(setting.data));
    return true;
}

bool PlanningSystem::SetRegistryString(RegistryStringSetting setting) {
    const auto target = StringWriteTarget(setting, UserSid());
    if (!target) {
        return false;
    }
    PlanValue(ItemStep::Registry, *target, StringValue(setting.data));
    return true;
}

bool PlanningSystem::MergeRegistryListEntry(RegistryListEntry entry) {
    const auto target = ListWriteTarget(entry, UserSid());
    if (!target) {
        return false;
    }
    bool real = false;
    const std::optional<std::wstring> merged = MergedListValue(ValueNow(*target, real), entry.entry);
    // A value that is no list is left as it is by the run, and the write fails: planned as unreadable.
    PlanValue(ItemStep::Registry, *target,
              merged ? StringValue(*merged)
                     : RegistryValueState{Presence::Unreadable, 0, {}, kInvalidDataError});
    return merged.has_value();
}

bool PlanningSystem::DeleteRegistryEntry(RegistryDwordSetting setting) {
    const auto target = EntryDeleteTarget(setting, UserSid());
    if (!target) {
        return false;
    }
    if (const auto* key = std::get_if<RegistryKeyTarget>(&*target)) {
        PlanDeletedKey(ItemStep::Registry, *key);
        return true;
    }
    const auto& value = std::get<RegistryValueTarget>(*target);
    // The deletion opens the key first: under a missing key it fails and changes nothing.
    if (KeyPresenceNow(value.root, value.hiveSid, value.keyPath) != Presence::Present) {
        bool real = false;
        RegistryValueState now = ValueNow(value, real);
        Plan(ItemStep::Registry, value, now, real ? std::optional<ItemState>(now) : std::nullopt);
        return false;
    }
    PlanValue(ItemStep::Registry, value, AbsentValue());
    return true;
}

bool PlanningSystem::DeleteRegistryTree(RegistryDwordSetting setting) {
    const auto target = TreeDeleteTarget(setting, UserSid());
    if (!target) {
        return false;
    }
    PlanDeletedKey(ItemStep::Apps, *target);
    return true;
}

ServiceState PlanningSystem::ServiceNow(const std::wstring& name) {
    if (const auto found = planned_.find(ItemIdentity(ServiceTarget{name})); found != planned_.end()) {
        return std::get<ServiceState>(found->second);
    }
    return reader_.ReadService(name);
}

void PlanningSystem::PlanService(const ServiceStartEntry& entry, bool throughManager) {
    const ServiceTarget target{entry.name};
    const bool seen = planned_.contains(ItemIdentity(target));
    ServiceState now = ServiceNow(entry.name);
    ServiceState after = PlannedServiceState(now, entry.code, throughManager);
    Plan(ItemStep::Services, target, std::move(after), seen ? std::nullopt : std::optional<ItemState>(now));
}

void PlanningSystem::ConfigureServiceStartTypes(const std::vector<ServiceStartEntry>& services,
                                                const std::vector<ServiceStartEntry>& perUserTemplates) {
    for (const ServiceStartEntry& entry :
         ServiceStepEntries(services, perUserTemplates, reader_.PerUserServiceSuffixes())) {
        PlanService(entry, true);
    }
}

void PlanningSystem::SetSvcHostSplitThreshold() {
    const auto gib = reader_.InstalledMemoryGiB();
    const RegistryValueTarget target = SplitThresholdTarget();
    // The step opens the key without creating it.
    if (!gib || KeyPresenceNow(target.root, target.hiveSid, target.keyPath) != Presence::Present) {
        return;
    }
    PlanValue(ItemStep::Services, target, DwordValue(SvcHostSplitThresholdKB(*gib)));
}

void PlanningSystem::AdjustServicesForMemory(const std::vector<std::wstring>& leaveAlone) {
    if (const auto gib = reader_.InstalledMemoryGiB()) {
        for (const ServiceStartEntry& entry :
             WithoutServices(ServiceAdjustmentsForMemory(*gib), leaveAlone)) {
            PlanService(entry, false);
        }
    }
}

void PlanningSystem::DisableEdgeUpdateTasks() {
    for (const std::wstring& path : reader_.FindTasks(
             std::vector<std::wstring>(kEdgeUpdateTaskNames.begin(), kEdgeUpdateTaskNames.end()))) {
        DisableScheduledTask(path);
    }
}

bool PlanningSystem::DisableScheduledTask(const std::wstring& taskPath) {
    const TaskTarget target{FullTaskPath(taskPath)};
    const bool seen = planned_.contains(ItemIdentity(target));
    const TaskState now =
        seen ? std::get<TaskState>(planned_.at(ItemIdentity(target))) : reader_.ReadTask(target.path);
    Plan(ItemStep::Tasks, target, PlannedDisabledTask(now),
         seen ? std::nullopt : std::optional<ItemState>(now));
    return now.presence == Presence::Present;
}

std::uint32_t PlanningSystem::RunPowerShellCommands(const std::vector<std::wstring>& commands) {
    if (!commands.empty()) {
        PlanAction(ItemStep::Commands, {ActionKind::RunPowerShellCommands, commands});
    }
    return 0;
}

std::uint32_t PlanningSystem::RunCmdCommands(const std::vector<std::wstring>& commands) {
    if (!commands.empty()) {
        PlanAction(ItemStep::Commands, {ActionKind::RunCmdCommands, commands});
    }
    return 0;
}

void PlanningSystem::TunePowerScheme() {
    const PowerTarget target;
    const bool seen = planned_.contains(ItemIdentity(target));
    const ProcessorMaximumState now = seen
                                          ? std::get<ProcessorMaximumState>(planned_.at(ItemIdentity(target)))
                                          : reader_.ReadProcessorMaximum({});
    Plan(ItemStep::Power, target, PlannedProcessorMaximum(now),
         seen ? std::nullopt : std::optional<ItemState>(now));
}

void PlanningSystem::EmptyRecycleBin() {
    PlanAction(ItemStep::Cleanup, {ActionKind::EmptyRecycleBin, {}});
}

void PlanningSystem::CleanTempFolders() {
    PlanAction(ItemStep::Cleanup, {ActionKind::CleanTempFolders, {}});
}

void PlanningSystem::CleanPrefetchFolder() {
    PlanAction(ItemStep::Cleanup, {ActionKind::CleanPrefetchFolder, {}});
}

std::wstring PlanningSystem::GetCurrentUserSid() {
    // The Default profile's hive has no SID, and so no app offloading override.
    const std::wstring hive = UserSid();
    return hive == kDefaultProfileHive ? std::wstring() : hive;
}

bool PlanningSystem::SetAppOffloadingDisabled(const std::wstring& userSid, bool disable) {
    const auto target = AppOffloadingTarget(userSid);
    if (!target) {
        return false;
    }
    if (!disable && KeyPresenceNow(target->root, target->hiveSid, target->keyPath) != Presence::Present) {
        bool real = false;
        RegistryValueState now = ValueNow(*target, real);
        Plan(ItemStep::Apps, *target, now, real ? std::optional<ItemState>(now) : std::nullopt);
        return false;
    }
    PlanValue(ItemStep::Apps, *target, disable ? DwordValue(0) : AbsentValue());
    return true;
}

void PlanningSystem::PlanSetting(std::wstring_view name, std::int32_t value) {
    Plan(ItemStep::Settings, SettingTarget{std::wstring(name)}, SettingState(SettingValue(value)),
         std::nullopt);
}

void PlanningSystem::PlanAppRemoval(const std::vector<std::wstring>& fragments) {
    PlanAction(ItemStep::Apps, {ActionKind::RemoveApps, fragments});
}

} // namespace Velmora
