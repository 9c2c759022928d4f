#include "engine/feature_items.h"

#include "engine/call_items.h"
#include "system/app_offloading.h"
#include "system/packages.h"
#include "system/scheduled_tasks.h"
#include "tweaks/run_controller.h"

#include <algorithm>
#include <cwctype>

namespace Velmora {
namespace {

std::wstring Lower(std::wstring_view text) {
    std::wstring lower(text);
    for (wchar_t& c : lower) {
        c = static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(c)));
    }
    return lower;
}

// An item's key without the user it belongs to: every user's copy of a per-user row is the same row.
struct KeyOf {
    std::wstring operator()(const RegistryValueTarget& t) const {
        return L"value|" + std::to_wstring(t.root) + L"|" + Lower(t.keyPath) + L"|" + Lower(t.valueName);
    }
    std::wstring operator()(const RegistryKeyTarget& t) const {
        return L"key|" + std::to_wstring(t.root) + L"|" + Lower(t.keyPath);
    }
    std::wstring operator()(const ServiceTarget& t) const { return L"service|" + Lower(t.name); }
    std::wstring operator()(const TaskTarget& t) const { return L"task|" + Lower(FullTaskPath(t.path)); }
    std::wstring operator()(const PowerTarget&) const { return L"power"; }
    std::wstring operator()(const SettingTarget&) const { return L"setting"; }
    std::wstring operator()(const ActionTarget& t) const {
        std::wstring key = L"action|" + std::to_wstring(static_cast<int>(t.kind));
        if (t.kind == ActionKind::RunCmdCommands || t.kind == ActionKind::RunPowerShellCommands) {
            for (const std::wstring& detail : t.details) {
                key += L"|" + detail; // the two command interpreter lists differ in their commands
            }
        }
        return key;
    }
};

std::wstring ItemKey(const ItemTarget& target) {
    return std::visit(KeyOf{}, target);
}

// What a registry row of a table changes, whether a profile writes it or a lower one deletes it.
std::vector<ItemTarget> RowTargets(const RegistryDwordSetting& row) {
    std::vector<ItemTarget> targets;
    if (auto write = DwordWriteTarget(row, {})) {
        targets.emplace_back(std::move(*write));
    }
    if (auto remove = EntryDeleteTarget(row, {})) {
        targets.push_back(std::move(*remove));
    }
    return targets;
}

std::wstring TemplatePrefix(std::wstring_view name) {
    const std::size_t underscore = name.rfind(L'_');
    return underscore == std::wstring_view::npos ? std::wstring() : Lower(name.substr(0, underscore));
}

} // namespace

FeatureIndex::FeatureIndex(const RunController& controller) : catalogue_(controller, MakeFeatureTable()) {
    const auto table = [&](CatalogueTable which, std::size_t index) {
        return catalogue_.FeatureOfRow({which, index});
    };
    const std::pair<CatalogueTable, const std::vector<RegistryDwordSetting>*> registryTables[] = {
        {CatalogueTable::CommonRegistryTable, &controller.commonRegistryTable},
        {CatalogueTable::StandardRegistryTable, &controller.standardRegistryTable},
        {CatalogueTable::MaximumRegistryTable, &controller.maximumRegistryTable}};
    for (const auto& [which, rows] : registryTables) {
        for (std::size_t i = 0; i < rows->size(); ++i) {
            for (const ItemTarget& target : RowTargets((*rows)[i])) {
                Add(target, table(which, i));
            }
        }
    }
    // The optional rows are only ever written: no run deletes them.
    for (std::size_t i = 0; i < controller.optionalRegistryTable.size(); ++i) {
        if (auto write = DwordWriteTarget(controller.optionalRegistryTable[i], {})) {
            Add(*write, table(CatalogueTable::OptionalRegistryTable, i));
        }
    }
    for (std::size_t i = 0; i < controller.optionalListTable.size(); ++i) {
        if (auto write = ListWriteTarget(controller.optionalListTable[i], {})) {
            Add(*write, table(CatalogueTable::OptionalListTable, i));
        }
    }
    for (std::size_t i = 0; i < controller.serviceTable.size(); ++i) {
        Add(ServiceTarget{controller.serviceTable[i].name}, table(CatalogueTable::ServiceTable, i));
    }
    for (std::size_t i = 0; i < controller.perUserServiceTemplates.size(); ++i) {
        if (const auto feature = table(CatalogueTable::PerUserServiceTemplates, i)) {
            byTemplate_.emplace(TemplatePrefix(controller.perUserServiceTemplates[i].name), *feature);
        }
    }
    for (std::size_t i = 0; i < controller.scheduledTaskPaths.size(); ++i) {
        Add(TaskTarget{FullTaskPath(controller.scheduledTaskPaths[i])},
            table(CatalogueTable::ScheduledTaskPaths, i));
    }
    Add(ActionTarget{ActionKind::RunCmdCommands, controller.baseCmdCommands},
        table(CatalogueTable::BaseCmdCommands, 0));
    Add(ActionTarget{ActionKind::RunCmdCommands, controller.ipv6DisableCommands},
        table(CatalogueTable::Ipv6DisableCommands, 0));
    Add(ActionTarget{ActionKind::RunPowerShellCommands, controller.basePowerShellCommands},
        table(CatalogueTable::BasePowerShellCommands, 0));

    const auto builtIn = [&](BuiltInItem item) { return catalogue_.FeatureOfBuiltIn(item); };
    Add(ActionTarget{ActionKind::EmptyRecycleBin, {}}, builtIn(BuiltInItem::RecycleBin));
    Add(ActionTarget{ActionKind::CleanTempFolders, {}}, builtIn(BuiltInItem::TempFolders));
    Add(ActionTarget{ActionKind::CleanPrefetchFolder, {}}, builtIn(BuiltInItem::PrefetchFolder));
    Add(PowerTarget{}, builtIn(BuiltInItem::ProcessorMaximum));
    Add(SplitThresholdTarget(), builtIn(BuiltInItem::SvcHostSplitThreshold));
    Add(ServiceTarget{L"sysmain"}, builtIn(BuiltInItem::MemoryAdjustedSysMain));
    Add(ServiceTarget{L"Spooler"}, builtIn(BuiltInItem::MemoryAdjustedSpooler));
    Add(ServiceTarget{L"LanmanServer"}, builtIn(BuiltInItem::MemoryAdjustedServer));
    for (const ItemTarget& target : RowTargets(LogonImageRecord())) {
        Add(target, builtIn(BuiltInItem::LogonBackgroundImage));
    }
    for (const ItemTarget& target : RowTargets(TransparencyRecord(0))) {
        Add(target, builtIn(BuiltInItem::Transparency));
    }
    const RegistryStringSetting legacyMenu = LegacyContextMenuRecord();
    if (auto write = StringWriteTarget(legacyMenu, {})) {
        Add(*write, builtIn(BuiltInItem::LegacyContextMenu));
    }
    for (const ItemTarget& target : RowTargets({legacyMenu.root, legacyMenu.spec, 0})) {
        Add(target, builtIn(BuiltInItem::LegacyContextMenu));
    }
    Add(ActionTarget{ActionKind::RemoveApps, controller.preinstalledPackageNames},
        builtIn(BuiltInItem::AppRemoval));
    if (auto cache = TreeDeleteTarget(StoreCacheKeyRecord(), {})) {
        Add(*cache, builtIn(BuiltInItem::AppRemoval));
    }
    Add(SettingTarget{}, builtIn(BuiltInItem::AppliedProfileRecord));
    edgeUpdateTasks_ = builtIn(BuiltInItem::EdgeUpdateTasks);
    appOffloading_ = builtIn(BuiltInItem::AppOffloading);
}

void FeatureIndex::Add(const ItemTarget& target, std::optional<std::size_t> feature) {
    if (feature) {
        byItem_.emplace(ItemKey(target), *feature);
    }
}

std::optional<std::size_t> FeatureIndex::FeatureOf(const ItemTarget& target) const {
    if (const auto* action = std::get_if<ActionTarget>(&target);
        action && action->kind == ActionKind::RemoveApps) {
        return catalogue_.FeatureOfBuiltIn(BuiltInItem::AppRemoval); // whatever fragments it was given
    }
    if (const auto found = byItem_.find(ItemKey(target)); found != byItem_.end()) {
        return found->second;
    }
    if (const auto* service = std::get_if<ServiceTarget>(&target)) {
        const auto found = byTemplate_.find(TemplatePrefix(service->name));
        return found != byTemplate_.end() ? std::optional<std::size_t>(found->second) : std::nullopt;
    }
    if (const auto* task = std::get_if<TaskTarget>(&target)) {
        const std::wstring leaf = Lower(SplitTaskPath(task->path).name);
        const bool edge = std::any_of(kEdgeUpdateTaskNames.begin(), kEdgeUpdateTaskNames.end(),
                                      [&](std::wstring_view name) { return leaf.starts_with(Lower(name)); });
        return edge ? edgeUpdateTasks_ : std::nullopt;
    }
    if (const auto* value = std::get_if<RegistryValueTarget>(&target)) {
        // The override is kept below each user's SID.
        const std::wstring expected = Lower(AppOffloadingRecord(L"").spec);
        const std::wstring key = Lower(expected.substr(0, expected.rfind(L':')));
        if (value->root == 2 && Lower(value->keyPath).starts_with(key) &&
            Lower(value->valueName) == expected.substr(expected.rfind(L':') + 1)) {
            return appOffloading_;
        }
    }
    return std::nullopt;
}

std::vector<FeatureEntries> GroupByFeature(const ProfilePlan& plan, const FeatureIndex& features) {
    const std::size_t count = features.Features().size();
    std::vector<FeatureEntries> groups(count + 1);
    for (std::size_t i = 0; i <= count; ++i) {
        groups[i].feature = i;
    }
    for (const PlanEntry& entry : plan.entries) {
        FeatureEntries& group = groups[features.FeatureOf(entry.target).value_or(count)];
        group.entries.push_back(&entry);
        CountEntry(group.counts, entry);
    }
    std::erase_if(groups, [](const FeatureEntries& group) { return group.entries.empty(); });
    const auto category = [&](const FeatureEntries& group) {
        return group.feature < count ? static_cast<int>(features.Features()[group.feature].category) : 1000;
    };
    std::stable_sort(groups.begin(), groups.end(), [&](const FeatureEntries& a, const FeatureEntries& b) {
        return category(a) < category(b);
    });
    return groups;
}

bool WarnsForRun(const FeatureEntries& group, const FeatureIndex& features, SettingsProfile profile) {
    if (group.feature >= features.Features().size() || !group.Changes()) {
        return false;
    }
    const std::vector<SettingsProfile> warned = features.Catalogue().WarnedProfiles(group.feature);
    return std::find(warned.begin(), warned.end(), profile) != warned.end();
}

std::vector<std::size_t> WarningFeatures(const std::vector<FeatureEntries>& groups,
                                         const FeatureIndex& features, SettingsProfile profile) {
    std::vector<std::size_t> warning;
    for (const FeatureEntries& group : groups) {
        if (WarnsForRun(group, features, profile)) {
            warning.push_back(group.feature);
        }
    }
    std::sort(warning.begin(), warning.end());
    return warning;
}

} // namespace Velmora
