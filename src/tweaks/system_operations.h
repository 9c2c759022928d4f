#pragma once

#include "system/registry_records.h"
#include "system/service_records.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Velmora {

// Every system primitive an apply run calls, in one place. The Windows build implements it with
// the real primitives; host tests record the calls.
class SystemOperations {
public:
    virtual ~SystemOperations() = default;

    // Registry
    virtual bool SetRegistryDword(RegistryDwordSetting setting) = 0;
    virtual bool SetRegistryString(RegistryStringSetting setting) = 0;
    virtual bool DeleteRegistryEntry(RegistryDwordSetting setting) = 0;
    virtual bool DeleteRegistryTree(RegistryDwordSetting setting) = 0;

    // Services
    virtual void ConfigureServiceStartTypes(const std::vector<ServiceStartEntry>& services,
                                            const std::vector<ServiceStartEntry>& perUserTemplates) = 0;
    virtual void SetSvcHostSplitThreshold() = 0;
    virtual void AdjustServicesForMemory() = 0;

    // Scheduled tasks
    virtual void DisableEdgeUpdateTasks() = 0;
    virtual bool DisableScheduledTask(const std::wstring& taskPath) = 0;

    // Commands; the result is the child's exit code, 0xFFFFFFFF when it could not be run
    virtual std::uint32_t RunPowerShellCommands(const std::vector<std::wstring>& commands) = 0;
    virtual std::uint32_t RunCmdCommands(const std::vector<std::wstring>& commands) = 0;

    // Power and cleanup
    virtual void TunePowerScheme() = 0;
    virtual void EmptyRecycleBin() = 0;
    virtual void CleanTempFolders() = 0;
    virtual void CleanPrefetchFolder() = 0;

    // The current user and app offloading
    virtual std::wstring GetCurrentUserSid() = 0;
    virtual bool SetAppOffloadingDisabled(const std::wstring& userSid, bool disable) = 0;
};

} // namespace Velmora
