#pragma once

// The features of the profiles: what a person would call one change. Every row of every table of the
// RunController, and every item a run builds itself, belongs to exactly one feature, which names it for
// people in both languages and says what it may turn off. Feature ids are stable from this release on:
// stored choices, policies and scripts name features by them, and an id is never reused.

#include <cstdint>
#include <optional>
#include <string_view>
#include <variant>
#include <vector>

namespace Velmora {

struct BilingualText {
    std::wstring_view en;
    std::wstring_view ar;
    // 1 English, anything else Arabic, as the window's language setting counts.
    [[nodiscard]] std::wstring_view In(std::int32_t language) const { return language == 1 ? en : ar; }
};

enum class FeatureCategory : std::uint8_t {
    PrivacyDiagnostics,
    AdsSuggestions,
    Search,
    StartTaskbarWidgets,
    Explorer,
    EdgeBrowsers,
    OfficePrograms,
    Gaming,
    WindowsUpdate,
    Services,
    ScheduledTasks,
    Network,
    Power,
    Cleanup,
    Apps,
    WindowsAi, // the optional features: in no profile
};
inline constexpr std::size_t kFeatureCategoryCount = 16;

// "privacy-diagnostics", "ads-suggestions", …: the category's id in documents and JSON.
[[nodiscard]] std::string_view CategoryId(FeatureCategory category);
[[nodiscard]] BilingualText CategoryTitle(FeatureCategory category);

// What a change can turn off that a person may use. The list is closed: a tag is added only with a
// reason that none of these covers.
enum class AffectsTag : std::uint8_t {
    Printing,
    Gaming,
    Search,
    StoreApps,
    WindowsUpdate,
    Bluetooth,
    Network,
    CameraMicrophone,
    Notifications,
    SignIn,
    OneDriveSync,
    Clipboard,
    RemoteAccess,
    LocationTime,
    WidgetsNews,
    Insider,
    DeveloperTools,
    Accessibility,
    Security,
    DiagnosticsSupport,
};
inline constexpr std::size_t kAffectsTagCount = 20;

// "printing", "gaming", "store-apps", …
[[nodiscard]] std::string_view TagId(AffectsTag tag);
// What the tag names, in plain words: "Remote access to this PC".
[[nodiscard]] BilingualText TagTitle(AffectsTag tag);
[[nodiscard]] std::optional<AffectsTag> TagFromId(std::string_view id);

// The RunController's tables, in its order.
enum class CatalogueTable : std::uint8_t {
    ServiceTable,
    PerUserServiceTemplates,
    BaseCmdCommands,
    BasePowerShellCommands,
    CommonRegistryTable,
    ScheduledTaskPaths,
    StandardRegistryTable,
    Ipv6DisableCommands,
    MaximumRegistryTable,
    PreinstalledPackageNames,
    // The optional features' own rows, set only for a feature that is included.
    OptionalRegistryTable,
    OptionalListTable,
};
inline constexpr std::size_t kCatalogueTableCount = 12;

// The member's name, as the catalogue document names the table: "serviceTable", …
[[nodiscard]] std::string_view TableName(CatalogueTable table);

// What a run does besides the rows of its tables.
enum class BuiltInItem : std::uint8_t {
    RecycleBin,            // empties the Recycle Bin
    TempFolders,           // cleans the temporary folders
    PrefetchFolder,        // cleans the Prefetch folder
    ProcessorMaximum,      // caps the maximum processor state of the active power scheme
    SvcHostSplitThreshold, // sizes the service-host split threshold to the installed memory
    MemoryAdjustedSysMain, // Maximum: SysMain disabled with 16 GB or more
    MemoryAdjustedSpooler, // Maximum: the print spooler set to start on demand
    MemoryAdjustedServer,  // Maximum: LanmanServer set to start on demand
    EdgeUpdateTasks,       // disables Edge's update tasks, wherever they are registered
    LogonBackgroundImage,  // deleted before the common table writes it afresh
    LegacyContextMenu,     // Maximum: the classic context menu
    Transparency,          // Maximum turns transparency off, a lower profile on again
    AppOffloading,         // Maximum: the user's automatic archiving of unused apps
    AppRemoval,            // removes the preinstalled apps, when asked
    AppliedProfileRecord,  // Velmora's own record of the applied profile and its revision
};
inline constexpr std::size_t kBuiltInItemCount = 15;

// How documents name a built-in item: {"kind": "cleanup", "name": "recycle-bin"}.
struct BuiltInItemName {
    std::string_view kind;
    std::string_view name;
};
[[nodiscard]] BuiltInItemName BuiltInName(BuiltInItem item);

// One thing a feature can turn off, with the reason in a line.
struct FeatureWarning {
    AffectsTag tag = AffectsTag::Printing;
    BilingualText reason;
};

// Rows first to last (inclusive) of a table, by index.
struct TableRows {
    CatalogueTable table = CatalogueTable::ServiceTable;
    std::uint16_t first = 0;
    std::uint16_t last = 0;
};
// Every row of a table whose name is this one, compared without regard to case: a service or template
// name, a task path, a package-name fragment.
struct NamedRows {
    CatalogueTable table = CatalogueTable::ServiceTable;
    std::wstring_view name;
};
using FeatureItemRef = std::variant<TableRows, NamedRows, BuiltInItem>;

// The Windows builds (CurrentBuild) a feature applies to; 0 leaves that end open.
struct BuildRange {
    std::uint32_t minimum = 0;
    std::uint32_t maximum = 0;
    [[nodiscard]] bool Holds(std::uint32_t build) const {
        return build >= minimum && (maximum == 0 || build <= maximum);
    }
};

struct FeatureDefinition {
    std::string_view id; // lower case words joined by dashes
    FeatureCategory category = FeatureCategory::PrivacyDiagnostics;
    BilingualText title;
    BilingualText description;
    std::vector<FeatureWarning> affects = {};
    std::vector<FeatureItemRef> items;
    bool keepable = true; // false only for what every run must write (Velmora's own record)
    // The lowest profile whose run turns off what the warnings name (0 Essential, 1 Standard, 2 Maximum):
    // above the default only where a lower profile sets part of the feature the other way.
    std::int32_t warnFrom = 0;
    // In no profile: set only where it is included, and only on the builds it applies to (and, with
    // `needsEdge`, where Microsoft Edge is installed).
    bool optional = false;
    BuildRange builds = {};
    bool needsEdge = false;
};

// The feature table, in the order the review shows features within a category.
[[nodiscard]] std::vector<FeatureDefinition> MakeFeatureTable();
// Its last category: the optional features.
[[nodiscard]] std::vector<FeatureDefinition> MakeOptionalFeatures();

} // namespace Velmora
