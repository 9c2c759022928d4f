#pragma once

// A recording stand-in for the system (host tests cannot reach the Windows registry, services or
// tasks): it logs the name of every call in order and can be told which registry writes fail.

#include "tweaks/system_operations.h"

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace Velmora::Testing {

class RecordingSystem final : public SystemOperations {
public:
    // Decides whether a SetRegistryDword call succeeds; all succeed by default.
    std::function<bool(const RegistryDwordSetting&)> dwordWriteSucceeds;

    [[nodiscard]] std::vector<std::string> Calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }

    bool SetRegistryDword(RegistryDwordSetting setting) override {
        return Record("SetRegistryDword") && (!dwordWriteSucceeds || dwordWriteSucceeds(setting));
    }
    bool SetRegistryString(RegistryStringSetting) override { return Record("SetRegistryString"); }
    bool MergeRegistryListEntry(RegistryListEntry) override { return Record("MergeRegistryListEntry"); }
    bool DeleteRegistryEntry(RegistryDwordSetting) override { return Record("DeleteRegistryEntry"); }
    bool DeleteRegistryTree(RegistryDwordSetting) override { return Record("DeleteRegistryTree"); }
    void ConfigureServiceStartTypes(const std::vector<ServiceStartEntry>&,
                                    const std::vector<ServiceStartEntry>&) override {
        Record("ConfigureServiceStartTypes");
    }
    void SetSvcHostSplitThreshold() override { Record("SetSvcHostSplitThreshold"); }
    void AdjustServicesForMemory(const std::vector<std::wstring>& leaveAlone) override {
        std::string call = "AdjustServicesForMemory";
        for (const std::wstring& name : leaveAlone) {
            call += " -" + std::string(name.begin(), name.end());
        }
        Record(call);
    }
    void DisableEdgeUpdateTasks() override { Record("DisableEdgeUpdateTasks"); }
    bool DisableScheduledTask(const std::wstring&) override { return Record("DisableScheduledTask"); }
    std::uint32_t RunPowerShellCommands(const std::vector<std::wstring>&) override {
        return Record("RunPowerShellCommands") ? 0 : 1;
    }
    std::uint32_t RunCmdCommands(const std::vector<std::wstring>&) override {
        return Record("RunCmd") ? 0 : 1;
    }
    void TunePowerScheme() override { Record("TunePowerScheme"); }
    void EmptyRecycleBin() override { Record("EmptyRecycleBin"); }
    void CleanTempFolders() override { Record("CleanTempFolders"); }
    void CleanPrefetchFolder() override { Record("CleanPrefetchFolder"); }
    std::wstring GetCurrentUserSid() override { return Record("GetCurrentUserSid") ? userSid : L""; }
    bool SetAppOffloadingDisabled(const std::wstring&, bool) override { return Record("SetAppOffloading"); }

    std::wstring userSid = L"S-1-5-21-1001";

private:
    bool Record(std::string call) {
        std::lock_guard lock(mutex_);
        calls_.push_back(std::move(call));
        return true;
    }

    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
};

} // namespace Velmora::Testing
