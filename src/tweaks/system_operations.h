#pragma once

#include "system/registry_records.h"
#include "system/service_records.h"

#include <cstdint>
#include <string>
#include <utility>
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
    // Merges the entry into the list value; false (and the value left alone) when the value is not such
    // a list.
    virtual bool MergeRegistryListEntry(RegistryListEntry entry) = 0;
    virtual bool DeleteRegistryTree(RegistryDwordSetting setting) = 0;

    // Services
    virtual void ConfigureServiceStartTypes(const std::vector<ServiceStartEntry>& services,
                                            const std::vector<ServiceStartEntry>& perUserTemplates) = 0;
    virtual void SetSvcHostSplitThreshold() = 0;
    // The memory adjustment of the services, except the services named in `leaveAlone` (kept as they are).
    virtual void AdjustServicesForMemory(const std::vector<std::wstring>& leaveAlone) = 0;

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

// Passes every call on to another implementation: the base of the decorators over the seam, so that
// each overrides only the calls it changes.
class ForwardingSystemOperations : public SystemOperations {
public:
    explicit ForwardingSystemOperations(SystemOperations& inner) : inner_(inner) {}

    bool SetRegistryDword(RegistryDwordSetting setting) override {
        return inner_.SetRegistryDword(std::move(setting));
    }
    bool SetRegistryString(RegistryStringSetting setting) override {
        return inner_.SetRegistryString(std::move(setting));
    }
    bool DeleteRegistryEntry(RegistryDwordSetting setting) override {
        return inner_.DeleteRegistryEntry(std::move(setting));
    }
    bool MergeRegistryListEntry(RegistryListEntry entry) override {
        return inner_.MergeRegistryListEntry(std::move(entry));
    }
    bool DeleteRegistryTree(RegistryDwordSetting setting) override {
        return inner_.DeleteRegistryTree(std::move(setting));
    }
    void ConfigureServiceStartTypes(const std::vector<ServiceStartEntry>& services,
                                    const std::vector<ServiceStartEntry>& perUserTemplates) override {
        inner_.ConfigureServiceStartTypes(services, perUserTemplates);
    }
    void SetSvcHostSplitThreshold() override { inner_.SetSvcHostSplitThreshold(); }
    void AdjustServicesForMemory(const std::vector<std::wstring>& leaveAlone) override {
        inner_.AdjustServicesForMemory(leaveAlone);
    }
    void DisableEdgeUpdateTasks() override { inner_.DisableEdgeUpdateTasks(); }
    bool DisableScheduledTask(const std::wstring& taskPath) override {
        return inner_.DisableScheduledTask(taskPath);
    }
    std::uint32_t RunPowerShellCommands(const std::vector<std::wstring>& commands) override {
        return inner_.RunPowerShellCommands(commands);
    }
    std::uint32_t RunCmdCommands(const std::vector<std::wstring>& commands) override {
        return inner_.RunCmdCommands(commands);
    }
    void TunePowerScheme() override { inner_.TunePowerScheme(); }
    void EmptyRecycleBin() override { inner_.EmptyRecycleBin(); }
    void CleanTempFolders() override { inner_.CleanTempFolders(); }
    void CleanPrefetchFolder() override { inner_.CleanPrefetchFolder(); }
    std::wstring GetCurrentUserSid() override { return inner_.GetCurrentUserSid(); }
    bool SetAppOffloadingDisabled(const std::wstring& userSid, bool disable) override {
        return inner_.SetAppOffloadingDisabled(userSid, disable);
    }

protected:
    [[nodiscard]] SystemOperations& Inner() { return inner_; }

private:
    SystemOperations& inner_;
};

} // namespace Velmora
