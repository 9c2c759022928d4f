#include "tweaks/run_controller.h"

#include "tweaks/run_controller_tables.h"
#include "tweaks/system_operations.h"

namespace Velmora {
namespace {

// Writes every row in order and returns minus the number of failed writes.
std::int32_t WriteCountedTable(SystemOperations& system, const std::vector<RegistryDwordSetting>& table) {
    std::int32_t succeeded = 0;
    for (const RegistryDwordSetting& row : table) {
        if (system.SetRegistryDword(row)) {
            ++succeeded;
        }
    }
    return succeeded - static_cast<std::int32_t>(table.size());
}

void DeleteEveryValue(SystemOperations& system, const std::vector<RegistryDwordSetting>& table) {
    for (const RegistryDwordSetting& row : table) {
        system.DeleteRegistryEntry(row);
    }
}

} // namespace

RegistryDwordSetting LogonImageRecord() {
    return {2, L"SOFTWARE\\Policies\\Microsoft\\Windows\\System:DisableLogonBackgroundImage", 0};
}

RegistryStringSetting LegacyContextMenuRecord() {
    return {1, L"SOFTWARE\\CLASSES\\CLSID\\{86ca1aa0-34aa-4e8b-a509-50c905bae2a2}\\InprocServer32:", L""};
}

RegistryDwordSetting TransparencyRecord(std::uint32_t data) {
    return {1, L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize:EnableTransparency", data};
}

RunController::RunController()
    : serviceTable(MakeServiceTable()), perUserServiceTemplates(MakePerUserServiceTemplates()),
      baseCmdCommands(MakeBaseCmdCommands()), basePowerShellCommands(MakeBasePowerShellCommands()),
      commonRegistryTable(MakeCommonRegistryTable()), scheduledTaskPaths(MakeScheduledTaskPaths()),
      standardRegistryTable(MakeStandardRegistryTable()), ipv6DisableCommands(MakeIpv6DisableCommands()),
      maximumRegistryTable(MakeMaximumRegistryTable()),
      preinstalledPackageNames(MakePreinstalledPackageNames()),
      optionalRegistryTable(MakeOptionalRegistryTable()), optionalListTable(MakeOptionalListTable()),
      apartment_(EnterUiThreadApartment()) {}

std::int32_t RunController::ApplyCommonTweaks(SystemOperations& system) const {
    system.EmptyRecycleBin();
    system.CleanTempFolders();
    system.CleanPrefetchFolder();
    system.TunePowerScheme();
    system.ConfigureServiceStartTypes(serviceTable, perUserServiceTemplates);
    system.SetSvcHostSplitThreshold();
    // Removed first so that the table row below writes it afresh.
    system.DeleteRegistryEntry(LogonImageRecord());
    system.RunPowerShellCommands(basePowerShellCommands);
    system.RunCmdCommands(baseCmdCommands);
    system.DisableEdgeUpdateTasks();
    for (const std::wstring& path : scheduledTaskPaths) {
        system.DisableScheduledTask(path);
    }
    return WriteCountedTable(system, commonRegistryTable);
}

std::int32_t RunController::ApplyStandardTweaks(SystemOperations& system) const {
    return WriteCountedTable(system, standardRegistryTable);
}

void RunController::UndoStandardTweaks(SystemOperations& system) const {
    DeleteEveryValue(system, standardRegistryTable);
}

void RunController::UndoMaximumTweaks(SystemOperations& system) const {
    system.SetAppOffloadingDisabled(system.GetCurrentUserSid(), false);
    system.DeleteRegistryEntry({LegacyContextMenuRecord().root, LegacyContextMenuRecord().spec, 0});
    system.SetRegistryDword(TransparencyRecord(1));
    DeleteEveryValue(system, maximumRegistryTable);
}

std::int32_t RunController::ApplyMaximumTweaks(SystemOperations& system) const {
    system.AdjustServicesForMemory({});
    system.SetAppOffloadingDisabled(system.GetCurrentUserSid(), true);
    system.RunCmdCommands(ipv6DisableCommands);
    system.SetRegistryString(LegacyContextMenuRecord());
    system.SetRegistryDword(TransparencyRecord(0));
    return WriteCountedTable(system, maximumRegistryTable);
}

std::int32_t RunController::ApplyOptionalTweaks(SystemOperations& system, const OptionalRows& rows) const {
    std::int32_t outcome = 0;
    for (const std::size_t row : rows.registry) {
        outcome -=
            row < optionalRegistryTable.size() && system.SetRegistryDword(optionalRegistryTable[row]) ? 0 : 1;
    }
    for (const std::size_t row : rows.lists) {
        outcome -=
            row < optionalListTable.size() && system.MergeRegistryListEntry(optionalListTable[row]) ? 0 : 1;
    }
    return outcome;
}

} // namespace Velmora
