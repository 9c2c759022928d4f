#include "catalogue.h"

#include "common/text_encoding.h"
#include "tweaks/feature_catalogue.h"
#include "tweaks/apply_pipeline.h"
#include "tweaks/run_controller.h"
#include "tweaks/system_operations.h"
#include "common/dispatcher_queue.h"

#include <optional>
#include <sstream>
#include <vector>

namespace Velmora {
namespace {

constexpr const char* kSidPlaceholder = "{user SID}";

std::string Utf8(const std::wstring& text) {
    return ToUtf8(text);
}

std::string JsonString(const std::wstring& text) {
    std::string out = "\"";
    for (const char c : Utf8(text)) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        default:
            out += c;
        }
    }
    return out + "\"";
}

template <typename Row, typename Format>
void JsonArray(std::ostringstream& out, const char* name, const std::vector<Row>& rows, Format format,
               bool last) {
    out << "  \"" << name << "\": [";
    for (size_t i = 0; i < rows.size(); ++i) {
        out << (i == 0 ? "\n    " : ",\n    ") << format(rows[i]);
    }
    out << (rows.empty() ? "]" : "\n  ]") << (last ? "\n" : ",\n");
}

std::string RegistryRowJson(const RegistryDwordSetting& row) {
    return "{\"root\": " + std::to_string(row.root) + ", \"spec\": " + JsonString(row.spec) +
           ", \"data\": " + std::to_string(row.data) + "}";
}

std::string ListRowJson(const RegistryListEntry& row) {
    return "{\"root\": " + std::to_string(row.root) + ", \"spec\": " + JsonString(row.spec) +
           ", \"entry\": " + JsonString(row.entry) + "}";
}

std::string ServiceRowJson(const ServiceStartEntry& row) {
    return "{\"name\": " + JsonString(row.name) + ", \"code\": " + std::to_string(row.code) + "}";
}

// ---- profiles.md ----

const char* RootName(RegistryRoot root) {
    switch (root) {
    case 0:
        return "HKCR";
    case 1:
        return "HKCU";
    case 2:
        return "HKLM";
    case 3:
        return "HKU";
    default:
        return "?";
    }
}

const char* StartTypeName(ServiceStartCode code) {
    switch (code) {
    case 1:
        return "system";
    case 2:
        return "automatic";
    case 4:
        return "disabled";
    case 5:
        return "automatic (delayed start)";
    default:
        return "manual";
    }
}

// Markdown table cells: the pipe character would end the cell.
std::string Cell(const std::wstring& text) {
    std::string out;
    for (const char c : Utf8(text)) {
        if (c == '|') {
            out += "\\|";
        } else {
            out += c;
        }
    }
    return out;
}

// One change of a run as the document lists it. Consecutive registry changes form one table.
struct Change {
    bool isRegistry = false;
    std::string action; // registry: "set" or "delete"; otherwise the whole paragraph
    RegistryRoot root = 0;
    std::wstring spec;
    std::string data;
};

// Stands in for the system while a run is documented: it changes nothing and notes each change.
class DocumentingSystem final : public SystemOperations {
public:
    std::vector<Change> changes;

    bool SetRegistryDword(RegistryDwordSetting s) override {
        AddRegistry("set", s.root, s.spec, std::to_string(s.data) + " (REG_DWORD)");
        return true;
    }
    bool SetRegistryString(RegistryStringSetting s) override {
        AddRegistry("set", s.root, s.spec, "\"" + Utf8(s.data) + "\" (REG_SZ)");
        return true;
    }
    bool MergeRegistryListEntry(RegistryListEntry s) override {
        AddRegistry("add to the list", s.root, s.spec, "\"" + Utf8(s.entry) + "\" (REG_SZ list)");
        return true;
    }
    bool DeleteRegistryEntry(RegistryDwordSetting s) override {
        AddRegistry("delete", s.root, s.spec, "");
        return true;
    }
    bool DeleteRegistryTree(RegistryDwordSetting s) override {
        AddRegistry("delete key and everything below", s.root, s.spec, "");
        return true;
    }
    void ConfigureServiceStartTypes(const std::vector<ServiceStartEntry>& services,
                                    const std::vector<ServiceStartEntry>& templates) override {
        std::string text = "Service start types, set through the Service Control Manager and then in each "
                           "service's registry key (a service this PC does not have is skipped):\n\n"
                           "| Service | Start type |\n|---|---|\n";
        for (const auto& entry : services) {
            text += "| " + Cell(entry.name) + " | " + StartTypeName(entry.code) + " |\n";
        }
        text +=
            "\nThen the per-user services, once for each instance found on this PC (\"_*\" stands for the "
            "instance's suffix; where a template is listed twice, the later row wins):\n\n"
            "| Per-user service | Start type |\n|---|---|\n";
        for (const auto& entry : templates) {
            text += "| " + Cell(entry.name) + " | " + StartTypeName(entry.code) + " |\n";
        }
        Add(text);
    }
    void SetSvcHostSplitThreshold() override {
        Add("HKLM SYSTEM\\CurrentControlSet\\Control: SvcHostSplitThresholdInKB is set to the installed memory in "
            "whole or started GiB (at most 64), in KB, plus 20480.\n");
    }
    void AdjustServicesForMemory(const std::vector<std::wstring>&) override {
        Add("In the services' registry keys: Spooler and LanmanServer become manual; SysMain becomes disabled when "
            "the PC has 16 GiB of memory or more (counted in whole or started GiB).\n");
    }
    void DisableEdgeUpdateTasks() override {
        Add("Scheduled tasks whose name begins with MicrosoftEdgeUpdateTaskMachineCore or "
            "MicrosoftEdgeUpdateTaskMachineUA, in any folder, are disabled.\n");
    }
    bool DisableScheduledTask(const std::wstring& path) override {
        if (changes.empty() || changes.back().action.rfind("Scheduled tasks disabled", 0) != 0) {
            Add("Scheduled tasks disabled (not deleted); a task this PC does not have is skipped:\n\n");
        }
        changes.back().action += "- " + Utf8(path) + "\n";
        return true;
    }
    std::uint32_t RunPowerShellCommands(const std::vector<std::wstring>& commands) override {
        AddCommands("One hidden PowerShell process runs, each command after the other even when one fails:",
                    commands);
        return 0;
    }
    std::uint32_t RunCmdCommands(const std::vector<std::wstring>& commands) override {
        AddCommands(
            "One hidden command interpreter (cmd.exe) runs, each command after the other even when one "
            "fails:",
            commands);
        return 0;
    }
    void TunePowerScheme() override {
        Add("Active power scheme: the maximum processor state becomes 99 % wherever it is 100 % (on mains power "
            "and on battery separately), and the scheme is re-applied.\n");
    }
    void EmptyRecycleBin() override {
        Add("The Recycle Bin of the drive Windows lives on (usually C:) is emptied.\n");
    }
    void CleanTempFolders() override {
        Add("The contents of the Windows folder's Temp (usually C:\\Windows\\Temp) and of your own temporary folder are deleted (files in use stay; the "
            "folders themselves stay; links are removed as links, their targets are never touched). Your own temporary "
            "folder is cleaned only when it plainly is one (named Temp or Tmp, or a session folder inside one), never "
            "when TMP or TEMP point at a drive, your profile, Documents or any other folder of your own.\n");
    }
    void CleanPrefetchFolder() override {
        Add("The contents of the Windows folder's Prefetch (usually C:\\Windows\\Prefetch) are deleted.\n");
    }
    std::wstring GetCurrentUserSid() override { return FromUtf8(kSidPlaceholder); }
    bool SetAppOffloadingDisabled(const std::wstring& sid, bool disable) override {
        const std::wstring spec =
            L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\InstallService\\Stubification\\" + sid +
            L":EnableAppOffloading";
        AddRegistry(disable ? "set" : "delete", 2, spec, disable ? "0 (REG_DWORD)" : "");
        return true;
    }

private:
    void Add(std::string text) { changes.push_back({false, std::move(text), 0, {}, {}}); }
    void AddRegistry(const char* action, RegistryRoot root, const std::wstring& spec, std::string data) {
        changes.push_back({true, action, root, spec, std::move(data)});
    }
    void AddCommands(const char* intro, const std::vector<std::wstring>& commands) {
        std::string text = std::string(intro) + "\n\n```\n";
        for (const auto& command : commands) {
            text += Utf8(command) + "\n";
        }
        Add(text + "```\n");
    }
};

std::string RegistryTable(std::vector<Change>::const_iterator first,
                          std::vector<Change>::const_iterator last) {
    std::string text = "| # | Change | Root | Key | Value | Data |\n|---|---|---|---|---|---|\n";
    int number = 1;
    for (auto it = first; it != last; ++it) {
        const size_t colon = it->spec.rfind(L':');
        const std::wstring key = colon == std::wstring::npos ? it->spec : it->spec.substr(0, colon);
        std::wstring value = colon == std::wstring::npos ? L"" : it->spec.substr(colon + 1);
        if (value.empty() && it->action == "set") {
            value = L"(default)";
        } else if (value.empty()) {
            value = L"(the key itself)";
        }
        // Keys may end in a blank; code spans keep it visible.
        text += "| " + std::to_string(number++) + " | " + it->action + " | " + RootName(it->root) + " | `" +
                Cell(key) + "` | " + Cell(value) + " | " + it->data + " |\n";
    }
    return text;
}

std::string DocumentProfile(const RunController& controller, SettingsProfile profile) {
    DocumentingSystem system;
    DiscardingDispatcher dispatcher;
    const std::atomic<SettingsProfile> selected{profile};
    RunApplyPipeline(ApplyRunContext{controller, selected, system, dispatcher, {}, {}, {}, nullptr});

    std::string text;
    int step = 1;
    for (auto it = system.changes.cbegin(); it != system.changes.cend();) {
        text += "#### Step " + std::to_string(step++) + "\n\n";
        if (!it->isRegistry) {
            text += it->action + "\n";
            ++it;
            continue;
        }
        auto end = it;
        while (end != system.changes.cend() && end->isRegistry) {
            ++end;
        }
        text += "Registry values:\n\n" + RegistryTable(it, end) + "\n";
        it = end;
    }
    return text;
}

// ---- features ----

std::string Bilingual(const BilingualText& text) {
    return "{\"en\": " + JsonString(std::wstring(text.en)) +
           ", \"ar\": " + JsonString(std::wstring(text.ar)) + "}";
}

std::string ProfileNames(const std::vector<SettingsProfile>& profiles, const char* separator, bool quoted) {
    static const char* const kNames[] = {"Essential", "Standard", "Maximum"};
    std::string text;
    for (const SettingsProfile profile : profiles) {
        text += (text.empty() ? "" : separator) + std::string(quoted ? "\"" : "") + kNames[profile] +
                (quoted ? "\"" : "");
    }
    return text;
}

std::string FeatureJson(const FeatureCatalogue& catalogue, std::size_t feature) {
    const FeatureDefinition& f = catalogue.Features()[feature];
    std::string json = "    {\"id\": \"" + std::string(f.id) + "\", \"category\": \"" +
                       std::string(CategoryId(f.category)) + "\",\n     \"title\": " + Bilingual(f.title) +
                       ",\n     \"description\": " + Bilingual(f.description) + ",\n     \"affects\": [";
    for (std::size_t i = 0; i < f.affects.size(); ++i) {
        json += (i == 0 ? "" : ", ") + std::string("{\"tag\": \"") + std::string(TagId(f.affects[i].tag)) +
                "\", \"reason\": " + Bilingual(f.affects[i].reason) + "}";
    }
    json +=
        "], \"warnedProfiles\": [" + ProfileNames(catalogue.WarnedProfiles(feature), ", ", true) +
        "],\n     \"profiles\": [" + ProfileNames(catalogue.ProfilesOf(feature), ", ", true) +
        "], \"keepable\": " + (f.keepable ? "true" : "false") +
        (f.optional ? ", \"optional\": true, \"builds\": {\"minimum\": " + std::to_string(f.builds.minimum) +
                          ", \"maximum\": " + std::to_string(f.builds.maximum) + "}" +
                          (f.needsEdge ? ", \"needsEdge\": true" : "")
                    : std::string()) +
        ",\n     \"items\": [";
    std::string items;
    for (const TableRow& row : catalogue.RowsOf(feature)) {
        items += (items.empty() ? "" : ", ") + std::string("{\"table\": \"") +
                 std::string(TableName(row.table)) + "\", \"index\": " + std::to_string(row.index) + "}";
    }
    for (const BuiltInItem item : catalogue.BuiltInsOf(feature)) {
        items += (items.empty() ? "" : ", ") + std::string("{\"kind\": \"") +
                 std::string(BuiltInName(item).kind) + "\", \"name\": \"" +
                 std::string(BuiltInName(item).name) + "\"}";
    }
    return json + items + "]}";
}

// What a built-in item does, in a sentence.
std::string BuiltInText(BuiltInItem item) {
    switch (item) {
    case BuiltInItem::RecycleBin:
        return "The Recycle Bin of the drive Windows lives on is emptied.";
    case BuiltInItem::TempFolders:
        return "The Windows folder's Temp and your own temporary folder are cleaned (see the run order below).";
    case BuiltInItem::PrefetchFolder:
        return "The Windows folder's Prefetch is cleaned.";
    case BuiltInItem::ProcessorMaximum:
        return "The maximum processor state of the active power scheme becomes 99 % wherever it is 100 %.";
    case BuiltInItem::SvcHostSplitThreshold:
        return "HKLM `SYSTEM\\CurrentControlSet\\Control`: SvcHostSplitThresholdInKB is sized to the installed "
               "memory.";
    case BuiltInItem::MemoryAdjustedSysMain:
        return "Maximum: SysMain is disabled in its registry key when the PC has 16 GiB of memory or more.";
    case BuiltInItem::MemoryAdjustedSpooler:
        return "Maximum: Spooler is set to start on demand in its registry key.";
    case BuiltInItem::MemoryAdjustedServer:
        return "Maximum: LanmanServer is set to start on demand in its registry key.";
    case BuiltInItem::EdgeUpdateTasks:
        return "Scheduled tasks whose name begins with MicrosoftEdgeUpdateTaskMachineCore or "
               "MicrosoftEdgeUpdateTaskMachineUA, in any folder, are disabled.";
    case BuiltInItem::LogonBackgroundImage:
        return "HKLM `SOFTWARE\\Policies\\Microsoft\\Windows\\System`: DisableLogonBackgroundImage is deleted before "
               "the common table writes it afresh.";
    case BuiltInItem::LegacyContextMenu:
        return "Maximum sets HKCU `SOFTWARE\\CLASSES\\CLSID\\{86ca1aa0-34aa-4e8b-a509-50c905bae2a2}\\InprocServer32` "
               "(default) to an empty string; a lower profile deletes that key.";
    case BuiltInItem::Transparency:
        return "HKCU `Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize`: EnableTransparency is 0 "
               "with Maximum, 1 with a lower profile.";
    case BuiltInItem::AppOffloading:
        return "Maximum sets HKLM `SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\InstallService\\Stubification\\" +
               std::string(kSidPlaceholder) + "`: EnableAppOffloading to 0; a lower profile deletes it.";
    case BuiltInItem::AppRemoval:
        return "With Standard or Maximum, and only when you tick the option: the preinstalled apps below are "
               "removed (see *Preinstalled apps*).";
    case BuiltInItem::AppliedProfileRecord:
        return "Velmora records the applied profile and its revision (AppliedTask, AppliedTaskBuild<Profile>).";
    }
    return {};
}

std::string FeatureItemsMarkdown(const RunController& c, const FeatureCatalogue& catalogue,
                                 std::size_t feature) {
    std::string registry;
    std::string services;
    std::string tasks;
    std::string other;
    for (const TableRow& row : catalogue.RowsOf(feature)) {
        const std::string where = std::string(TableName(row.table)) + "[" + std::to_string(row.index) + "]";
        const RegistryDwordSetting* setting = nullptr;
        const char* profiles = "";
        switch (row.table) {
        case CatalogueTable::CommonRegistryTable:
            setting = &c.commonRegistryTable[row.index];
            profiles = "all three";
            break;
        case CatalogueTable::StandardRegistryTable:
            setting = &c.standardRegistryTable[row.index];
            profiles = "Standard, Maximum; Essential deletes it";
            break;
        case CatalogueTable::MaximumRegistryTable:
            setting = &c.maximumRegistryTable[row.index];
            profiles = "Maximum; Essential and Standard delete it";
            break;
        case CatalogueTable::OptionalRegistryTable:
            setting = &c.optionalRegistryTable[row.index];
            profiles = "where included";
            break;
        case CatalogueTable::OptionalListTable: {
            const RegistryListEntry& entry = c.optionalListTable[row.index];
            const std::size_t colon = entry.spec.rfind(L':');
            other +=
                "- " + std::string(RootName(entry.root)) + " `" + Cell(entry.spec.substr(0, colon)) +
                "`: " + Cell(entry.spec.substr(colon + 1)) + " gains \"" + Utf8(entry.entry) +
                "\" in its list of hidden pages; pages others hide stay hidden, and a show-only list that "
                "names the page is left as it is (" +
                where + ")\n";
            break;
        }
        case CatalogueTable::ServiceTable:
            services += "| " + where + " | " + Cell(c.serviceTable[row.index].name) + " | " +
                        StartTypeName(c.serviceTable[row.index].code) + " |\n";
            break;
        case CatalogueTable::PerUserServiceTemplates:
            services += "| " + where + " | " + Cell(c.perUserServiceTemplates[row.index].name) + " | " +
                        StartTypeName(c.perUserServiceTemplates[row.index].code) + " |\n";
            break;
        case CatalogueTable::ScheduledTaskPaths:
            tasks += "- " + Utf8(c.scheduledTaskPaths[row.index]) + " (disabled)\n";
            break;
        default:
            other += "- `" + Utf8(RowName(c, row)) + "` (" + where + ")\n";
            break;
        }
        if (setting != nullptr) {
            const std::size_t colon = setting->spec.rfind(L':');
            std::wstring value = setting->spec.substr(colon + 1);
            registry += "| " + where + " | " + profiles + " | " + RootName(setting->root) + " | `" +
                        Cell(setting->spec.substr(0, colon)) + "` | " +
                        Cell(value.empty() ? L"(default)" : value) + " | " + std::to_string(setting->data) +
                        " (REG_DWORD) |\n";
        }
    }
    std::string text;
    if (!registry.empty()) {
        text +=
            "| Row | Profiles | Root | Key | Value | Data |\n|---|---|---|---|---|---|\n" + registry + "\n";
    }
    if (!services.empty()) {
        text += "| Row | Service | Start type |\n|---|---|---|\n" + services + "\n";
    }
    text += tasks.empty() ? "" : "Scheduled tasks:\n\n" + tasks + "\n";
    text += other.empty() ? "" : other + "\n";
    for (const BuiltInItem item : catalogue.BuiltInsOf(feature)) {
        text += "- " + BuiltInText(item) + "\n";
    }
    return text + (catalogue.BuiltInsOf(feature).empty() ? "" : "\n");
}

std::string BuildsText(const BuildRange& builds) {
    if (builds.minimum == 0 && builds.maximum == 0) {
        return "every Windows build";
    }
    std::string text =
        builds.minimum == 0 ? "" : "Windows build " + std::to_string(builds.minimum) + " and later";
    if (builds.maximum != 0) {
        text += (text.empty() ? "Windows builds up to " : ", up to ") + std::to_string(builds.maximum);
    }
    return text;
}

// The profiles' features, or (with `optional`) the optional ones.
std::string FeaturesMarkdown(const RunController& c, bool optional) {
    const FeatureCatalogue catalogue(c, MakeFeatureTable());
    std::string text;
    std::optional<FeatureCategory> category;
    for (std::size_t feature = 0; feature < catalogue.Features().size(); ++feature) {
        const FeatureDefinition& f = catalogue.Features()[feature];
        if (f.optional != optional) {
            continue;
        }
        if (category != f.category) {
            category = f.category;
            text += "### " + Utf8(std::wstring(CategoryTitle(f.category).en)) + "\n\n";
        }
        text += "#### " + Utf8(std::wstring(f.title.en)) + "\n\n`" + std::string(f.id) + "` · " +
                (optional ? "optional, " + BuildsText(f.builds) +
                                (f.needsEdge ? ", where Microsoft Edge is installed" : "")
                          : ProfileNames(catalogue.ProfilesOf(feature), ", ", false)) +
                "\n\n" + Utf8(std::wstring(f.description.en)) + "\n\n";
        const std::vector<SettingsProfile> warned = catalogue.WarnedProfiles(feature);
        const std::string with =
            warned == catalogue.ProfilesOf(feature) ? "" : " with " + ProfileNames(warned, " and ", false);
        for (const FeatureWarning& warning : f.affects) {
            text += "> **May turn off" + with + ": " + Utf8(std::wstring(TagTitle(warning.tag).en)) +
                    "** (`" + std::string(TagId(warning.tag)) + "`). " +
                    Utf8(std::wstring(warning.reason.en)) + "\n>\n";
        }
        if (!f.affects.empty()) {
            text.resize(text.size() - 2); // the last quote line's continuation
            text += "\n";
        }
        text += FeatureItemsMarkdown(c, catalogue, feature);
    }
    return text;
}

} // namespace

std::string CatalogueJson(const RunController& c) {
    std::ostringstream out;
    const auto text = [](const std::wstring& row) { return JsonString(row); };
    out << "{\n";
    JsonArray(out, "serviceTable", c.serviceTable, ServiceRowJson, false);
    JsonArray(out, "perUserServiceTemplates", c.perUserServiceTemplates, ServiceRowJson, false);
    JsonArray(out, "baseCmdCommands", c.baseCmdCommands, text, false);
    JsonArray(out, "basePowerShellCommands", c.basePowerShellCommands, text, false);
    JsonArray(out, "commonRegistryTable", c.commonRegistryTable, RegistryRowJson, false);
    JsonArray(out, "scheduledTaskPaths", c.scheduledTaskPaths, text, false);
    JsonArray(out, "standardRegistryTable", c.standardRegistryTable, RegistryRowJson, false);
    JsonArray(out, "ipv6DisableCommands", c.ipv6DisableCommands, text, false);
    JsonArray(out, "maximumRegistryTable", c.maximumRegistryTable, RegistryRowJson, false);
    JsonArray(out, "preinstalledPackageNames", c.preinstalledPackageNames, text, false);
    JsonArray(out, "optionalRegistryTable", c.optionalRegistryTable, RegistryRowJson, false);
    JsonArray(out, "optionalListTable", c.optionalListTable, ListRowJson, false);
    const FeatureCatalogue catalogue(c, MakeFeatureTable());
    out << "  \"features\": [";
    for (std::size_t feature = 0; feature < catalogue.Features().size(); ++feature) {
        out << (feature == 0 ? "\n" : ",\n") << FeatureJson(catalogue, feature);
    }
    out << "\n  ]\n}\n";
    return out.str();
}

std::string ProfilesMarkdown(const RunController& c) {
    std::string text =
        "# What each Velmora profile changes\n\n"
        "This page lists every change a profile makes to your PC, in the order Velmora makes it. It is written by "
        "the program itself from the tables it applies (`scripts/catalogue`), so it is always exactly what the "
        "program does.\n\n"
        "The profiles build on each other: Standard is Essential plus more, Maximum is Standard plus more. A lower "
        "profile first deletes what only the higher profiles write, so you can always step down again; a deleted "
        "value means Windows falls back to its own default.\n\n"
        "Roots: HKCU is HKEY_CURRENT_USER (your account), HKLM is HKEY_LOCAL_MACHINE (the whole PC), HKU is "
        "HKEY_USERS. " +
        std::string(kSidPlaceholder) +
        " stands for the security identifier of your account. A key that does not exist yet is created when a "
        "value is set in it.\n\n"
        "- [Features](#features): every change by what it does, with what it may turn off\n"
        "- [In the order a run makes them](#in-the-order-a-run-makes-them): [Essential](#essential), "
        "[Standard](#standard), [Maximum](#maximum)\n"
        "- [Preinstalled apps](#preinstalled-apps)\n"
        "- [Optional features](#optional-features): in no profile, set only where you include them\n\n"
        "## Features\n\n"
        "Every change belongs to exactly one feature: what a person would call one change. Each feature names the "
        "profiles that make it and, where it can turn off something you may use, says so. A feature's id "
        "(`velmora-cli features`) is stable. Rows are named by their table and index, as in "
        "[catalogue.json](catalogue.json).\n\n" +
        FeaturesMarkdown(c, false) + "## In the order a run makes them\n\n";
    const char* names[] = {"Essential", "Standard", "Maximum"};
    for (SettingsProfile profile = kEssentialProfile; profile <= kMaximumProfile; ++profile) {
        text += std::string("### ") + names[profile] + "\n\n" + DocumentProfile(c, profile);
    }
    text +=
        "## Preinstalled apps\n\n"
        "Only when you tick the option to remove preinstalled apps, and only with Standard or Maximum: every "
        "installed Store app of your account whose package name contains one of these fragments (upper and "
        "lower case alike) is uninstalled, fragment by fragment in this order. Beforehand the Store's cached "
        "account data is removed (HKCU `SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\CloudStore\\Store\\Cache\\"
        "DefaultAccount` with everything below it).\n\n";
    for (const auto& fragment : c.preinstalledPackageNames) {
        text += "- " + Utf8(fragment) + "\n";
    }
    text +=
        "\n## Optional features\n\n"
        "These are in none of the three profiles, and a run sets them only where they are included: ticked on the "
        "Review page, named with `--include` or in a choices file's `include`, or listed in the `Include` value "
        "of `HKLM\\SOFTWARE\\Velmora\\Choices` or of the policy key `HKLM\\SOFTWARE\\Policies\\Velmora`. An "
        "included feature is set after the profile's own steps, whichever profile runs, on the Windows builds it "
        "applies to only, and one for Microsoft Edge only where Edge is installed (elsewhere it is shown as not "
        "available on this PC); it is journaled, restored, counted "
        "and repaired like every other change. Each value rests on the Microsoft page cited beside its row in the "
        "source.\n\n" +
        FeaturesMarkdown(c, true);
    while (text.ends_with("\n\n")) {
        text.pop_back(); // one line end closes the file
    }
    return text;
}

} // namespace Velmora
