#include "engine/item_filter.h"

#include "engine/call_items.h"
#include "system/scheduled_tasks.h"
#include "system/services.h"

namespace Velmora {
namespace {

template <typename Target>
std::optional<ItemTarget> AsItem(std::optional<Target> target) {
    return target ? std::optional<ItemTarget>(std::move(*target)) : std::nullopt;
}

} // namespace

bool ItemFilter::SetRegistryDword(RegistryDwordSetting setting) {
    return LeavesOutAny(AsItem(DwordWriteTarget(setting, UserHive()))) ||
           Inner().SetRegistryDword(std::move(setting));
}

bool ItemFilter::SetRegistryString(RegistryStringSetting setting) {
    return LeavesOutAny(AsItem(StringWriteTarget(setting, UserHive()))) ||
           Inner().SetRegistryString(std::move(setting));
}

bool ItemFilter::MergeRegistryListEntry(RegistryListEntry entry) {
    return LeavesOutAny(AsItem(ListWriteTarget(entry, UserHive()))) ||
           Inner().MergeRegistryListEntry(std::move(entry));
}

bool ItemFilter::DeleteRegistryEntry(RegistryDwordSetting setting) {
    return LeavesOutAny(EntryDeleteTarget(setting, UserHive())) ||
           Inner().DeleteRegistryEntry(std::move(setting));
}

bool ItemFilter::DeleteRegistryTree(RegistryDwordSetting setting) {
    return LeavesOutAny(AsItem(TreeDeleteTarget(setting, UserHive()))) ||
           Inner().DeleteRegistryTree(std::move(setting));
}

std::vector<ServiceStartEntry> ItemFilter::Running(const std::vector<ServiceStartEntry>& entries,
                                                   bool templates) const {
    std::vector<ServiceStartEntry> running;
    for (const ServiceStartEntry& entry : entries) {
        if (!(templates ? LeavesOutTemplate(entry.name) : LeavesOut(ServiceTarget{entry.name}))) {
            running.push_back(entry);
        }
    }
    return running;
}

void ItemFilter::ConfigureServiceStartTypes(const std::vector<ServiceStartEntry>& services,
                                            const std::vector<ServiceStartEntry>& perUserTemplates) {
    Inner().ConfigureServiceStartTypes(Running(services, false), Running(perUserTemplates, true));
}

void ItemFilter::SetSvcHostSplitThreshold() {
    if (!LeavesOut(SplitThresholdTarget())) {
        Inner().SetSvcHostSplitThreshold();
    }
}

void ItemFilter::AdjustServicesForMemory(const std::vector<std::wstring>& leaveAlone) {
    std::vector<std::wstring> left = leaveAlone;
    for (const ServiceStartEntry& entry : ServiceAdjustmentsForMemory(64)) { // every service it may touch
        if (LeavesOut(ServiceTarget{entry.name})) {
            left.push_back(entry.name);
        }
    }
    Inner().AdjustServicesForMemory(left);
}

bool ItemFilter::DisableScheduledTask(const std::wstring& taskPath) {
    return LeavesOut(TaskTarget{FullTaskPath(taskPath)}) || Inner().DisableScheduledTask(taskPath);
}

std::uint32_t ItemFilter::RunPowerShellCommands(const std::vector<std::wstring>& commands) {
    return LeavesOut(ActionTarget{ActionKind::RunPowerShellCommands, commands})
               ? 0
               : Inner().RunPowerShellCommands(commands);
}

std::uint32_t ItemFilter::RunCmdCommands(const std::vector<std::wstring>& commands) {
    return LeavesOut(ActionTarget{ActionKind::RunCmdCommands, commands}) ? 0
                                                                         : Inner().RunCmdCommands(commands);
}

void ItemFilter::TunePowerScheme() {
    if (!LeavesOut(PowerTarget{})) {
        Inner().TunePowerScheme();
    }
}

void ItemFilter::EmptyRecycleBin() {
    if (!LeavesOut(ActionTarget{ActionKind::EmptyRecycleBin, {}})) {
        Inner().EmptyRecycleBin();
    }
}

void ItemFilter::CleanTempFolders() {
    if (!LeavesOut(ActionTarget{ActionKind::CleanTempFolders, {}})) {
        Inner().CleanTempFolders();
    }
}

void ItemFilter::CleanPrefetchFolder() {
    if (!LeavesOut(ActionTarget{ActionKind::CleanPrefetchFolder, {}})) {
        Inner().CleanPrefetchFolder();
    }
}

bool ItemFilter::SetAppOffloadingDisabled(const std::wstring& userSid, bool disable) {
    return LeavesOutAny(AsItem(AppOffloadingTarget(userSid))) ||
           Inner().SetAppOffloadingDisabled(userSid, disable);
}

} // namespace Velmora
