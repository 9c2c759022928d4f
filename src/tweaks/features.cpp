#include "tweaks/features.h"

#include <array>

namespace Velmora {
namespace {

constexpr std::array<std::string_view, kFeatureCategoryCount> kCategoryIds = {
    "privacy-diagnostics",
    "ads-suggestions",
    "search",
    "start-taskbar-widgets",
    "explorer",
    "edge-browsers",
    "office-programs",
    "gaming",
    "windows-update",
    "services",
    "scheduled-tasks",
    "network",
    "power",
    "cleanup",
    "apps",
};

constexpr std::array<std::string_view, kAffectsTagCount> kTagIds = {
    "printing",        "gaming",        "search",        "store-apps",
    "windows-update",  "bluetooth",     "network",       "camera-microphone",
    "notifications",   "sign-in",       "onedrive-sync", "clipboard",
    "remote-access",   "location-time", "widgets-news",  "insider",
    "developer-tools", "accessibility", "security",      "diagnostics-support",
};

constexpr std::array<std::string_view, kCatalogueTableCount> kTableNames = {
    "serviceTable",         "perUserServiceTemplates",  "baseCmdCommands",       "basePowerShellCommands",
    "commonRegistryTable",  "scheduledTaskPaths",       "standardRegistryTable", "ipv6DisableCommands",
    "maximumRegistryTable", "preinstalledPackageNames",
};

constexpr std::array<BuiltInItemName, kBuiltInItemCount> kBuiltInNames = {{
    {"cleanup", "recycle-bin"},
    {"cleanup", "temp-folders"},
    {"cleanup", "prefetch-folder"},
    {"power", "processor-maximum"},
    {"services", "svchost-split-threshold"},
    {"services", "memory-adjusted-sysmain"},
    {"services", "memory-adjusted-spooler"},
    {"services", "memory-adjusted-lanmanserver"},
    {"tasks", "edge-update"},
    {"registry", "logon-background-image"},
    {"registry", "legacy-context-menu"},
    {"registry", "transparency"},
    {"registry", "app-offloading"},
    {"apps", "remove-preinstalled"},
    {"velmora", "applied-profile"},
}};

} // namespace

std::string_view CategoryId(FeatureCategory category) {
    return kCategoryIds.at(static_cast<std::size_t>(category));
}

std::string_view TagId(AffectsTag tag) {
    return kTagIds.at(static_cast<std::size_t>(tag));
}

std::optional<AffectsTag> TagFromId(std::string_view id) {
    for (std::size_t tag = 0; tag < kTagIds.size(); ++tag) {
        if (kTagIds[tag] == id) {
            return static_cast<AffectsTag>(tag);
        }
    }
    return std::nullopt;
}

std::string_view TableName(CatalogueTable table) {
    return kTableNames.at(static_cast<std::size_t>(table));
}

BuiltInItemName BuiltInName(BuiltInItem item) {
    return kBuiltInNames.at(static_cast<std::size_t>(item));
}

} // namespace Velmora
