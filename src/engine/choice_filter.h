#pragma once

// A run with features kept as they are: the pipeline runs as ever, and this leaves the kept features'
// calls out before they reach the journal, as if those items were not in the profile. A counted write
// left out counts as done, so the failure rule is over the items that run; a list is passed on without
// the kept rows.

#include "engine/choices.h"
#include "tweaks/system_operations.h"

namespace Velmora {

// The features and the choices a plan or a run is made with; both outlive it.
struct RunChoices {
    const FeatureIndex& features;
    const Choices& choices;
    [[nodiscard]] bool Keeps(const ItemTarget& target) const;
};

class ChoiceFilter final : public ForwardingSystemOperations {
public:
    ChoiceFilter(SystemOperations& inner, const RunChoices& choices)
        : ForwardingSystemOperations(inner), choices_(choices) {}

    bool SetRegistryDword(RegistryDwordSetting setting) override;
    bool SetRegistryString(RegistryStringSetting setting) override;
    bool DeleteRegistryEntry(RegistryDwordSetting setting) override;
    bool DeleteRegistryTree(RegistryDwordSetting setting) override;
    void ConfigureServiceStartTypes(const std::vector<ServiceStartEntry>& services,
                                    const std::vector<ServiceStartEntry>& perUserTemplates) override;
    void SetSvcHostSplitThreshold() override;
    void AdjustServicesForMemory(const std::vector<std::wstring>& leaveAlone) override;
    void DisableEdgeUpdateTasks() override;
    bool DisableScheduledTask(const std::wstring& taskPath) override;
    std::uint32_t RunPowerShellCommands(const std::vector<std::wstring>& commands) override;
    std::uint32_t RunCmdCommands(const std::vector<std::wstring>& commands) override;
    void TunePowerScheme() override;
    void EmptyRecycleBin() override;
    void CleanTempFolders() override;
    void CleanPrefetchFolder() override;
    bool SetAppOffloadingDisabled(const std::wstring& userSid, bool disable) override;

private:
    [[nodiscard]] bool Keeps(const std::optional<ItemTarget>& target) const {
        return target && choices_.Keeps(*target);
    }
    [[nodiscard]] std::vector<ServiceStartEntry> Running(const std::vector<ServiceStartEntry>& entries) const;

    const RunChoices& choices_;
};

} // namespace Velmora
