#include "system/win32_system_operations.h"

#include "common/diagnostics.h"
#include "system/cleanup.h"
#include "system/power.h"
#include "system/registry.h"

namespace Velmora {
namespace {

// Steps this build does not carry yet say so in the run's log and change nothing.
void NotAvailable(const wchar_t* operation) {
    Diagnose(std::wstring(operation) + L" is not available in this build; nothing was changed");
}

} // namespace

bool Win32SystemOperations::SetRegistryDword(RegistryDwordSetting setting) {
    return Velmora::SetRegistryDword(std::move(setting));
}

bool Win32SystemOperations::SetRegistryString(RegistryStringSetting setting) {
    return Velmora::SetRegistryString(std::move(setting));
}

bool Win32SystemOperations::DeleteRegistryEntry(RegistryDwordSetting setting) {
    return Velmora::DeleteRegistryEntry(std::move(setting));
}

bool Win32SystemOperations::DeleteRegistryTree(RegistryDwordSetting setting) {
    return Velmora::DeleteRegistryTree(std::move(setting));
}

void Win32SystemOperations::ConfigureServiceStartTypes(const std::vector<ServiceStartEntry>&,
                                                       const std::vector<ServiceStartEntry>&) {
    NotAvailable(L"ConfigureServiceStartTypes");
}

void Win32SystemOperations::SetSvcHostSplitThreshold() {
    NotAvailable(L"SetSvcHostSplitThreshold");
}

void Win32SystemOperations::AdjustServicesForMemory() {
    NotAvailable(L"AdjustServicesForMemory");
}

void Win32SystemOperations::DisableEdgeUpdateTasks() {
    NotAvailable(L"DisableEdgeUpdateTasks");
}

bool Win32SystemOperations::DisableScheduledTask(const std::wstring&) {
    NotAvailable(L"DisableScheduledTask");
    return false;
}

std::uint32_t Win32SystemOperations::RunPowerShellCommands(const std::vector<std::wstring>&) {
    NotAvailable(L"RunPowerShellCommands");
    return 0xFFFFFFFFu;
}

std::uint32_t Win32SystemOperations::RunCmdCommands(const std::vector<std::wstring>&) {
    NotAvailable(L"RunCmdCommands");
    return 0xFFFFFFFFu;
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
    NotAvailable(L"GetCurrentUserSid");
    return {};
}

bool Win32SystemOperations::SetAppOffloadingDisabled(const std::wstring&, bool) {
    NotAvailable(L"SetAppOffloadingDisabled");
    return false;
}

} // namespace Velmora
