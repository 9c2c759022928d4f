#pragma once

// The literal lists the RunController builds its tables from, one function per table.

#include "system/registry_records.h"
#include "system/service_records.h"

#include <string>
#include <vector>

namespace Velmora {

[[nodiscard]] std::vector<ServiceStartEntry> MakeServiceTable();
[[nodiscard]] std::vector<ServiceStartEntry> MakePerUserServiceTemplates();
[[nodiscard]] std::vector<std::wstring> MakeBaseCmdCommands();
[[nodiscard]] std::vector<std::wstring> MakeBasePowerShellCommands();
[[nodiscard]] std::vector<RegistryDwordSetting> MakeCommonRegistryTable();
[[nodiscard]] std::vector<std::wstring> MakeScheduledTaskPaths();
[[nodiscard]] std::vector<RegistryDwordSetting> MakeStandardRegistryTable();
[[nodiscard]] std::vector<std::wstring> MakeIpv6DisableCommands();
[[nodiscard]] std::vector<RegistryDwordSetting> MakeMaximumRegistryTable();
[[nodiscard]] std::vector<std::wstring> MakePreinstalledPackageNames();
[[nodiscard]] std::vector<RegistryDwordSetting> MakeOptionalRegistryTable();
[[nodiscard]] std::vector<RegistryListEntry> MakeOptionalListTable();

} // namespace Velmora
