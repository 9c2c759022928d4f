#include "system/win32_system_operations.h"

#include "system/app_offloading.h"
#include "system/cleanup.h"
#include "system/commands.h"
#include "system/power.h"
#include "system/registry.h"
#include "system/scheduled_tasks.h"
#include "system/services.h"

namespace Velmora {

bool Win32SystemOperations::SetRegistryDword(RegistryDwordSetting setting) {
    return Velmora::SetRegistryDword(std::move(setting));
}

bool Win32SystemOperations::SetRegistryString(RegistryStringSetting setting) {
    return Velmora::SetRegistryString(std::move(setting));
}

bool Win32SystemOperations::MergeRegistryListEntry(RegistryListEntry entry) {
    return Velmora::MergeRegistryListEntry(entry);
}

bool Win32SystemOperations::DeleteRegistryEntry(RegistryDwordSetting setting) {
    return Velmora::DeleteRegistryEntry(std::move(setting));
}

bool Win32SystemOperations::DeleteRegistryTree(RegistryDwordSetting setting) {
    return Velmora::DeleteRegistryTree(std::move(setting));
}

void Win32SystemOperations::ConfigureServiceStartTypes(
    const std::vector<ServiceStartEntry>& services, const std::vector<ServiceStartEntry>& perUserTemplates) {
    Velmora::ConfigureServiceStartTypes(services, perUserTemplates);
}

void Win32SystemOperations::SetSvcHostSplitThreshold() {
    Velmora::SetSvcHostSplitThreshold();
}

void Win32SystemOperations::AdjustServicesForMemory(const std::vector<std::wstring>& leaveAlone) {
    Velmora::AdjustServicesForMemory(leaveAlone);
}

void Win32SystemOperations::DisableEdgeUpdateTasks() {
    Velmora::DisableEdgeUpdateTasks();
}

bool Win32SystemOperations::DisableScheduledTask(const std::wstring& taskPath) {
    return Velmora::DisableScheduledTask(taskPath);
}

std::uint32_t Win32SystemOperations::RunPowerShellCommands(const std::vector<std::wstring>& commands) {
    return Velmora::RunPowerShellCommands(commands);
}

std::uint32_t Win32SystemOperations::RunCmdCommands(const std::vector<std::wstring>& commands) {
    return Velmora::RunCmdCommands(commands);
}

void Win32SystemOperations::TunePowerScheme() {
    Velmora::TunePowerScheme();
}

void Win32SystemOperations::EmptyRecycleBin() {
    Velmora::EmptyRecycleBin();
}

void Win32SystemOperations::CleanTempFolders() {
    Velmora::CleanTempFolders();
}

void Win32SystemOperations::CleanPrefetchFolder() {
    Velmora::CleanPrefetchFolder();
}

std::wstring Win32SystemOperations::GetCurrentUserSid() {
    return Velmora::GetCurrentUserSid();
}

bool Win32SystemOperations::SetAppOffloadingDisabled(const std::wstring& userSid, bool disable) {
    return Velmora::SetAppOffloadingDisabled(userSid, disable);
}

} // namespace Velmora
