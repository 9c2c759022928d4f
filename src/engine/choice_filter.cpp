#include "engine/choice_filter.h"

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

bool RunChoices::Keeps(const ItemTarget& target) const {
    const std::optional<std::size_t> feature = features.FeatureOf(target);
    return feature && choices.Keeps(*feature);
}

bool ChoiceFilter::SetRegistryDword(RegistryDwordSetting setting) {
    return Keeps(AsItem(DwordWriteTarget(setting, {}))) || Inner().SetRegistryDword(std::move(setting));
}

bool ChoiceFilter::SetRegistryString(RegistryStringSetting setting) {
    return Keeps(AsItem(StringWriteTarget(setting, {}))) || Inner().SetRegistryString(std::move(setting));
}

bool ChoiceFilter::DeleteRegistryEntry(RegistryDwordSetting setting) {
    return Keeps(EntryDeleteTarget(setting, {})) || Inner().DeleteRegistryEntry(std::move(setting));
}

bool ChoiceFilter::DeleteRegistryTree(RegistryDwordSetting setting) {
    return Keeps(AsItem(TreeDeleteTarget(setting, {}))) || Inner().DeleteRegistryTree(std::move(setting));
}

std::vector<ServiceStartEntry> ChoiceFilter::Running(const std::vector<ServiceStartEntry>& entries) const {
    std::vector<ServiceStartEntry> running;
    for (const ServiceStartEntry& entry : entries) {
        if (!choices_.Keeps(ServiceTarget{entry.name})) { // a template names its instances' feature
            running.push_back(entry);
        }
    }
    return running;
}

void ChoiceFilter::ConfigureServiceStartTypes(const std::vector<ServiceStartEntry>& services,
                                              const std::vector<ServiceStartEntry>& perUserTemplates) {
    Inner().ConfigureServiceStartTypes(Running(services), Running(perUserTemplates));
}

void ChoiceFilter::SetSvcHostSplitThreshold() {
    if (!choices_.Keeps(SplitThresholdTarget())) {
        Inner().SetSvcHostSplitThreshold();
    }
}

void ChoiceFilter::AdjustServicesForMemory(const std::vector<std::wstring>& leaveAlone) {
    std::vector<std::wstring> kept = leaveAlone;
    for (const ServiceStartEntry& entry : ServiceAdjustmentsForMemory(64)) { // every service it may touch
        if (choices_.Keeps(ServiceTarget{entry.name})) {
            kept.push_back(entry.name);
        }
    }
    Inner().AdjustServicesForMemory(kept);
}

void ChoiceFilter::DisableEdgeUpdateTasks() {
    if (!choices_.Keeps(TaskTarget{L"\\" + std::wstring(kEdgeUpdateTaskNames[0])})) {
        Inner().DisableEdgeUpdateTasks();
    }
}

bool ChoiceFilter::DisableScheduledTask(const std::wstring& taskPath) {
    return choices_.Keeps(TaskTarget{FullTaskPath(taskPath)}) || Inner().DisableScheduledTask(taskPath);
}

std::uint32_t ChoiceFilter::RunPowerShellCommands(const std::vector<std::wstring>& commands) {
    return choices_.Keeps(ActionTarget{ActionKind::RunPowerShellCommands, commands})
               ? 0
               : Inner().RunPowerShellCommands(commands);
}

std::uint32_t ChoiceFilter::RunCmdCommands(const std::vector<std::wstring>& commands) {
    return choices_.Keeps(ActionTarget{ActionKind::RunCmdCommands, commands})
               ? 0
               : Inner().RunCmdCommands(commands);
}

void ChoiceFilter::TunePowerScheme() {
    if (!choices_.Keeps(PowerTarget{})) {
        Inner().TunePowerScheme();
    }
}

void ChoiceFilter::EmptyRecycleBin() {
    if (!choices_.Keeps(ActionTarget{ActionKind::EmptyRecycleBin, {}})) {
        Inner().EmptyRecycleBin();
    }
}

void ChoiceFilter::CleanTempFolders() {
    if (!choices_.Keeps(ActionTarget{ActionKind::CleanTempFolders, {}})) {
        Inner().CleanTempFolders();
    }
}

void ChoiceFilter::CleanPrefetchFolder() {
    if (!choices_.Keeps(ActionTarget{ActionKind::CleanPrefetchFolder, {}})) {
        Inner().CleanPrefetchFolder();
    }
}

bool ChoiceFilter::SetAppOffloadingDisabled(const std::wstring& userSid, bool disable) {
    return Keeps(AsItem(AppOffloadingTarget(userSid))) || Inner().SetAppOffloadingDisabled(userSid, disable);
}

} // namespace Velmora
