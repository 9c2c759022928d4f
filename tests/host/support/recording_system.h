#pragma once

// A recording stand-in for the system (host tests cannot reach the Windows registry, services or
// tasks): it logs every call in order and can be told which registry writes fail.

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

    [[nodiscard]] std::vector<std::wstring> Calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }

    bool SetRegistryDword(RegistryDwordSetting setting) override {
        Record(L"SetRegistryDword " + Describe(setting.root, setting.spec) + L" = " +
               std::to_wstring(setting.data));
        return !dwordWriteSucceeds || dwordWriteSucceeds(setting);
    }
    bool SetRegistryString(RegistryStringSetting setting) override {
        Record(L"SetRegistryString " + Describe(setting.root, setting.spec) + L" = \"" + setting.data +
               L"\"");
        return true;
    }
    bool DeleteRegistryEntry(RegistryDwordSetting setting) override {
        Record(L"DeleteRegistryEntry " + Describe(setting.root, setting.spec));
        return true;
    }
    bool DeleteRegistryTree(RegistryDwordSetting setting) override {
        Record(L"DeleteRegistryTree " + Describe(setting.root, setting.spec));
        return true;
    }
    void ConfigureServiceStartTypes(const std::vector<ServiceStartEntry>& services,
                                    const std::vector<ServiceStartEntry>& templates) override {
        Record(L"ConfigureServiceStartTypes " + std::to_wstring(services.size()) + L" " +
               std::to_wstring(templates.size()));
    }
    void SetSvcHostSplitThreshold() override { Record(L"SetSvcHostSplitThreshold"); }
    void AdjustServicesForMemory() override { Record(L"AdjustServicesForMemory"); }
    void DisableEdgeUpdateTasks() override { Record(L"DisableEdgeUpdateTasks"); }
    bool DisableScheduledTask(const std::wstring& path) override {
        Record(L"DisableScheduledTask " + path);
        return true;
    }
    std::uint32_t RunPowerShellCommands(const std::vector<std::wstring>& commands) override {
        Record(L"RunPowerShellCommands " + std::to_wstring(commands.size()));
        return 0;
    }
    std::uint32_t RunCmdCommands(const std::vector<std::wstring>& commands) override {
        Record(L"RunCmdCommands " + (commands.empty() ? std::wstring() : commands.back()));
        return 0;
    }
    void TunePowerScheme() override { Record(L"TunePowerScheme"); }
    void EmptyRecycleBin() override { Record(L"EmptyRecycleBin"); }
    void CleanTempFolders() override { Record(L"CleanTempFolders"); }
    void CleanPrefetchFolder() override { Record(L"CleanPrefetchFolder"); }
    std::wstring GetCurrentUserSid() override {
        Record(L"GetCurrentUserSid");
        return L"S-1-5-21-1-2-3-1001";
    }
    bool SetAppOffloadingDisabled(const std::wstring& sid, bool disable) override {
        Record(L"SetAppOffloadingDisabled " + sid + (disable ? L" true" : L" false"));
        return true;
    }

private:
    static std::wstring Describe(RegistryRoot root, const std::wstring& spec) {
        return std::to_wstring(root) + L" " + spec;
    }
    void Record(std::wstring call) {
        std::lock_guard lock(mutex_);
        calls_.push_back(std::move(call));
    }

    mutable std::mutex mutex_;
    std::vector<std::wstring> calls_;
};

} // namespace Velmora::Testing
