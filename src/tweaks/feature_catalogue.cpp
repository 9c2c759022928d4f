#include "tweaks/feature_catalogue.h"

#include "common/text_encoding.h"
#include "tweaks/run_controller.h"

#include <cwctype>
#include <map>

namespace Velmora {
namespace {

std::wstring Lower(std::wstring_view text) {
    std::wstring lower(text);
    for (wchar_t& c : lower) {
        c = static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(c)));
    }
    return lower;
}

std::wstring RegistryKey(RegistryRoot root, const std::wstring& spec) {
    return L"reg|" + std::to_wstring(root) + L"|" + Lower(spec);
}

// The registry tables' row; null for the rows of the other tables.
const RegistryDwordSetting* RegistryRow(const RunController& controller, TableRow row) {
    switch (row.table) {
    case CatalogueTable::CommonRegistryTable:
        return &controller.commonRegistryTable[row.index];
    case CatalogueTable::StandardRegistryTable:
        return &controller.standardRegistryTable[row.index];
    case CatalogueTable::MaximumRegistryTable:
        return &controller.maximumRegistryTable[row.index];
    case CatalogueTable::OptionalRegistryTable:
        return &controller.optionalRegistryTable[row.index];
    default:
        return nullptr;
    }
}

// One key per thing a run changes, so that two rows that change the same thing can be found: the same
// registry value, service, template or task, and the command lists and the app removal, which each run
// as one action.
std::wstring ItemKeyOfRow(const RunController& controller, TableRow row) {
    if (const RegistryDwordSetting* setting = RegistryRow(controller, row)) {
        return RegistryKey(setting->root, setting->spec);
    }
    switch (row.table) {
    case CatalogueTable::ServiceTable:
        return L"svc|" + Lower(controller.serviceTable[row.index].name);
    case CatalogueTable::PerUserServiceTemplates:
        return L"tpl|" + Lower(controller.perUserServiceTemplates[row.index].name);
    case CatalogueTable::ScheduledTaskPaths:
        return L"task|" + Lower(controller.scheduledTaskPaths[row.index]);
    case CatalogueTable::PreinstalledPackageNames:
        return L"apps|removal";
    case CatalogueTable::OptionalListTable:
        return RegistryKey(controller.optionalListTable[row.index].root,
                           controller.optionalListTable[row.index].spec);
    default:
        return L"cmd|" + std::to_wstring(static_cast<int>(row.table));
    }
}

std::wstring ItemKeyOfBuiltIn(BuiltInItem item) {
    switch (item) {
    case BuiltInItem::MemoryAdjustedSysMain:
        return L"svc|sysmain";
    case BuiltInItem::MemoryAdjustedSpooler:
        return L"svc|spooler";
    case BuiltInItem::MemoryAdjustedServer:
        return L"svc|lanmanserver";
    case BuiltInItem::LogonBackgroundImage:
        return RegistryKey(LogonImageRecord().root, LogonImageRecord().spec);
    case BuiltInItem::LegacyContextMenu:
        return RegistryKey(LegacyContextMenuRecord().root, LegacyContextMenuRecord().spec);
    case BuiltInItem::Transparency:
        return RegistryKey(TransparencyRecord(0).root, TransparencyRecord(0).spec);
    case BuiltInItem::AppRemoval:
        return L"apps|removal";
    default:
        return L"builtin|" + std::to_wstring(static_cast<int>(item));
    }
}

constexpr std::uint8_t kAllProfiles = 0b111;
constexpr std::uint8_t kStandardAndMaximum = 0b110;
constexpr std::uint8_t kMaximumOnly = 0b100;

std::uint8_t ProfilesOfTable(CatalogueTable table) {
    switch (table) {
    case CatalogueTable::StandardRegistryTable:
    case CatalogueTable::PreinstalledPackageNames:
        return kStandardAndMaximum;
    case CatalogueTable::Ipv6DisableCommands:
    case CatalogueTable::MaximumRegistryTable:
        return kMaximumOnly;
    case CatalogueTable::OptionalRegistryTable:
    case CatalogueTable::OptionalListTable:
        return 0; // in no profile
    default:
        return kAllProfiles;
    }
}

std::uint8_t ProfilesOfBuiltIn(BuiltInItem item) {
    switch (item) {
    case BuiltInItem::MemoryAdjustedSysMain:
    case BuiltInItem::MemoryAdjustedSpooler:
    case BuiltInItem::MemoryAdjustedServer:
    case BuiltInItem::LegacyContextMenu:
    case BuiltInItem::Transparency:
    case BuiltInItem::AppOffloading:
        return kMaximumOnly;
    case BuiltInItem::AppRemoval:
        return kStandardAndMaximum;
    default:
        return kAllProfiles;
    }
}

// The data a registry table's row writes; nullopt for the rows of the other tables.
std::optional<std::uint32_t> RegistryData(const RunController& controller, TableRow row) {
    const RegistryDwordSetting* setting = RegistryRow(controller, row);
    return setting != nullptr ? std::optional<std::uint32_t>(setting->data) : std::nullopt;
}

std::string Describe(TableRow row) {
    return std::string(TableName(row.table)) + "[" + std::to_string(row.index) + "]";
}

} // namespace

std::size_t TableSize(const RunController& controller, CatalogueTable table) {
    switch (table) {
    case CatalogueTable::ServiceTable:
        return controller.serviceTable.size();
    case CatalogueTable::PerUserServiceTemplates:
        return controller.perUserServiceTemplates.size();
    case CatalogueTable::BaseCmdCommands:
        return controller.baseCmdCommands.size();
    case CatalogueTable::BasePowerShellCommands:
        return controller.basePowerShellCommands.size();
    case CatalogueTable::CommonRegistryTable:
        return controller.commonRegistryTable.size();
    case CatalogueTable::ScheduledTaskPaths:
        return controller.scheduledTaskPaths.size();
    case CatalogueTable::StandardRegistryTable:
        return controller.standardRegistryTable.size();
    case CatalogueTable::Ipv6DisableCommands:
        return controller.ipv6DisableCommands.size();
    case CatalogueTable::MaximumRegistryTable:
        return controller.maximumRegistryTable.size();
    case CatalogueTable::PreinstalledPackageNames:
        return controller.preinstalledPackageNames.size();
    case CatalogueTable::OptionalRegistryTable:
        return controller.optionalRegistryTable.size();
    case CatalogueTable::OptionalListTable:
        return controller.optionalListTable.size();
    }
    return 0;
}

std::wstring RowName(const RunController& controller, TableRow row) {
    if (row.index >= TableSize(controller, row.table)) {
        return {};
    }
    switch (row.table) {
    case CatalogueTable::ServiceTable:
        return controller.serviceTable[row.index].name;
    case CatalogueTable::PerUserServiceTemplates:
        return controller.perUserServiceTemplates[row.index].name;
    case CatalogueTable::BaseCmdCommands:
        return controller.baseCmdCommands[row.index];
    case CatalogueTable::BasePowerShellCommands:
        return controller.basePowerShellCommands[row.index];
    case CatalogueTable::CommonRegistryTable:
        return controller.commonRegistryTable[row.index].spec;
    case CatalogueTable::ScheduledTaskPaths:
        return controller.scheduledTaskPaths[row.index];
    case CatalogueTable::StandardRegistryTable:
        return controller.standardRegistryTable[row.index].spec;
    case CatalogueTable::Ipv6DisableCommands:
        return controller.ipv6DisableCommands[row.index];
    case CatalogueTable::MaximumRegistryTable:
        return controller.maximumRegistryTable[row.index].spec;
    case CatalogueTable::PreinstalledPackageNames:
        return controller.preinstalledPackageNames[row.index];
    case CatalogueTable::OptionalRegistryTable:
        return controller.optionalRegistryTable[row.index].spec;
    case CatalogueTable::OptionalListTable:
        return controller.optionalListTable[row.index].spec;
    }
    return {};
}

FeatureCatalogue::FeatureCatalogue(const RunController& controller, std::vector<FeatureDefinition> features)
    : controller_(controller), features_(std::move(features)), rows_(features_.size()),
      builtIns_(features_.size()) {
    for (std::size_t table = 0; table < kCatalogueTableCount; ++table) {
        rowFeature_[table].resize(TableSize(controller, static_cast<CatalogueTable>(table)));
    }
    RowsByName byName;
    for (std::size_t feature = 0; feature < features_.size(); ++feature) {
        for (const FeatureItemRef& ref : features_[feature].items) {
            Resolve(feature, ref, byName);
        }
    }
    for (std::size_t table = 0; table < kCatalogueTableCount; ++table) {
        for (std::size_t index = 0; index < rowFeature_[table].size(); ++index) {
            if (!rowFeature_[table][index]) {
                problems_.push_back(Describe({static_cast<CatalogueTable>(table), index}) +
                                    " is in no feature");
            }
        }
    }
    for (std::size_t item = 0; item < kBuiltInItemCount; ++item) {
        if (!builtInFeature_[item]) {
            problems_.push_back("built-in item " +
                                std::string(BuiltInName(static_cast<BuiltInItem>(item)).name) +
                                " is in no feature");
        }
    }
    CheckSameItemsShareFeatures();
    CheckWarningsStartWhereTheChangeIsMade();
}

// Where a feature that warns has a registry value that one profile sets one way and a higher one the
// other way, its warnings must start from the higher profile: the lower one does not turn it off.
void FeatureCatalogue::CheckWarningsStartWhereTheChangeIsMade() {
    for (std::size_t feature = 0; feature < features_.size(); ++feature) {
        const FeatureDefinition& definition = features_[feature];
        if (definition.affects.empty()) {
            continue;
        }
        std::map<std::wstring, std::pair<std::uint32_t, std::uint8_t>> written; // item key -> data, profiles
        for (const TableRow& row : rows_[feature]) {
            const std::optional<std::uint32_t> data = RegistryData(controller_, row);
            if (!data) {
                continue;
            }
            const auto [found, inserted] =
                written.try_emplace(ItemKeyOfRow(controller_, row), *data, ProfilesOfTable(row.table));
            if (!inserted && found->second.first != *data &&
                found->second.second != ProfilesOfTable(row.table) &&
                definition.warnFrom == kEssentialProfile) {
                problems_.push_back(std::string(definition.id) + " warns from Essential, but " +
                                    Describe(row) + " sets a value a lower profile sets the other way");
            }
        }
        if (WarnedProfiles(feature).empty()) {
            problems_.push_back(std::string(definition.id) + " warns, but no profile changes it");
        }
    }
}

void FeatureCatalogue::Claim(std::size_t feature, TableRow row) {
    std::optional<std::size_t>& owner = rowFeature_[static_cast<std::size_t>(row.table)][row.index];
    if (owner && *owner != feature) {
        problems_.push_back(Describe(row) + " is in " + std::string(features_[*owner].id) + " and in " +
                            std::string(features_[feature].id));
        return;
    }
    if (!owner) {
        owner = feature;
        rows_[feature].push_back(row);
    }
}

void FeatureCatalogue::Resolve(std::size_t feature, const FeatureItemRef& ref, RowsByName& byName) {
    const std::string id(features_[feature].id);
    if (const auto* range = std::get_if<TableRows>(&ref)) {
        const std::size_t size = TableSize(controller_, range->table);
        if (range->first > range->last || range->last >= size) {
            problems_.push_back(id + " names rows " + std::to_string(range->first) + " to " +
                                std::to_string(range->last) + " of " + std::string(TableName(range->table)) +
                                ", which has " + std::to_string(size));
            return;
        }
        for (std::size_t index = range->first; index <= range->last; ++index) {
            Claim(feature, {range->table, index});
        }
        return;
    }
    if (const auto* named = std::get_if<NamedRows>(&ref)) {
        auto& rows = byName[static_cast<std::size_t>(named->table)];
        if (!rows) {
            rows.emplace();
            for (std::size_t index = 0; index < TableSize(controller_, named->table); ++index) {
                (*rows)[Lower(RowName(controller_, {named->table, index}))].push_back(index);
            }
        }
        const auto found = rows->find(Lower(named->name));
        if (found != rows->end()) {
            for (const std::size_t index : found->second) {
                Claim(feature, {named->table, index});
            }
        } else {
            problems_.push_back(id + " names " + ToUtf8(std::wstring(named->name)) + ", which is no row of " +
                                std::string(TableName(named->table)));
        }
        return;
    }
    const BuiltInItem item = std::get<BuiltInItem>(ref);
    std::optional<std::size_t>& owner = builtInFeature_[static_cast<std::size_t>(item)];
    if (owner && *owner != feature) {
        problems_.push_back("built-in item " + std::string(BuiltInName(item).name) + " is in " +
                            std::string(features_[*owner].id) + " and in " + id);
        return;
    }
    if (!owner) {
        owner = feature;
        builtIns_[feature].push_back(item);
    }
}

void FeatureCatalogue::CheckSameItemsShareFeatures() {
    std::map<std::wstring, std::pair<std::size_t, std::string>> firstOwner; // item key -> feature, where
    auto check = [&](const std::wstring& key, std::optional<std::size_t> feature, const std::string& where) {
        if (!feature) {
            return;
        }
        const auto [found, inserted] = firstOwner.try_emplace(key, *feature, where);
        if (!inserted && found->second.first != *feature) {
            problems_.push_back(where + " (" + std::string(features_[*feature].id) +
                                ") changes the same item as " + found->second.second + " (" +
                                std::string(features_[found->second.first].id) + ")");
        }
    };
    for (std::size_t table = 0; table < kCatalogueTableCount; ++table) {
        for (std::size_t index = 0; index < rowFeature_[table].size(); ++index) {
            const TableRow row{static_cast<CatalogueTable>(table), index};
            check(ItemKeyOfRow(controller_, row), rowFeature_[table][index], Describe(row));
        }
    }
    for (std::size_t item = 0; item < kBuiltInItemCount; ++item) {
        const auto builtIn = static_cast<BuiltInItem>(item);
        check(ItemKeyOfBuiltIn(builtIn), builtInFeature_[item],
              "built-in item " + std::string(BuiltInName(builtIn).name));
    }
}

std::optional<std::size_t> FeatureCatalogue::Find(std::string_view id) const {
    for (std::size_t feature = 0; feature < features_.size(); ++feature) {
        if (features_[feature].id == id) {
            return feature;
        }
    }
    return std::nullopt;
}

const std::vector<TableRow>& FeatureCatalogue::RowsOf(std::size_t feature) const {
    return rows_.at(feature);
}

const std::vector<BuiltInItem>& FeatureCatalogue::BuiltInsOf(std::size_t feature) const {
    return builtIns_.at(feature);
}

std::optional<std::size_t> FeatureCatalogue::FeatureOfRow(TableRow row) const {
    const auto& owners = rowFeature_[static_cast<std::size_t>(row.table)];
    return row.index < owners.size() ? owners[row.index] : std::nullopt;
}

std::optional<std::size_t> FeatureCatalogue::FeatureOfBuiltIn(BuiltInItem item) const {
    return builtInFeature_[static_cast<std::size_t>(item)];
}

namespace {

std::vector<SettingsProfile> ProfilesIn(std::uint8_t mask) {
    std::vector<SettingsProfile> profiles;
    for (SettingsProfile profile = kEssentialProfile; profile <= kMaximumProfile; ++profile) {
        if ((mask & (1u << profile)) != 0) {
            profiles.push_back(profile);
        }
    }
    return profiles;
}

} // namespace

std::vector<SettingsProfile> FeatureCatalogue::ProfilesOf(std::size_t feature) const {
    std::uint8_t mask = 0;
    for (const TableRow& row : RowsOf(feature)) {
        mask |= ProfilesOfTable(row.table);
    }
    for (const BuiltInItem item : BuiltInsOf(feature)) {
        mask |= ProfilesOfBuiltIn(item);
    }
    return ProfilesIn(mask);
}

std::vector<SettingsProfile> FeatureCatalogue::WarnedProfiles(std::size_t feature) const {
    if (features_.at(feature).affects.empty()) {
        return {};
    }
    std::vector<SettingsProfile> profiles = ProfilesOf(feature);
    std::erase_if(profiles, [&](SettingsProfile profile) { return profile < features_[feature].warnFrom; });
    return profiles;
}

} // namespace Velmora
