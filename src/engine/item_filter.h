#pragma once

// A run with some of its items left out: the pipeline runs as ever, and this leaves the calls of those
// items out before they reach the journal, as if the items were not in the profile. A counted write
// left out counts as done, so the failure rule is over the items that run; a list is passed on without
// the rows left out. Which items go is the subclass's rule.

#include "engine/items.h"
#include "tweaks/system_operations.h"

#include <optional>
#include <string>
#include <vector>

namespace Velmora {

class ItemFilter : public ForwardingSystemOperations {
public:
    explicit ItemFilter(SystemOperations& inner) : ForwardingSystemOperations(inner) {}

    bool SetRegistryDword(RegistryDwordSetting setting) override;
    bool SetRegistryString(RegistryStringSetting setting) override;
    bool DeleteRegistryEntry(RegistryDwordSetting setting) override;
    bool MergeRegistryListEntry(RegistryListEntry entry) override;
    bool DeleteRegistryTree(RegistryDwordSetting setting) override;
    void ConfigureServiceStartTypes(const std::vector<ServiceStartEntry>& services,
                                    const std::vector<ServiceStartEntry>& perUserTemplates) override;
    void SetSvcHostSplitThreshold() override;
    void AdjustServicesForMemory(const std::vector<std::wstring>& leaveAlone) override;
    bool DisableScheduledTask(const std::wstring& taskPath) override;
    std::uint32_t RunPowerShellCommands(const std::vector<std::wstring>& commands) override;
    std::uint32_t RunCmdCommands(const std::vector<std::wstring>& commands) override;
    void TunePowerScheme() override;
    void EmptyRecycleBin() override;
    void CleanTempFolders() override;
    void CleanPrefetchFolder() override;
    bool SetAppOffloadingDisabled(const std::wstring& userSid, bool disable) override;

protected:
    [[nodiscard]] virtual bool LeavesOut(const ItemTarget& target) const = 0;
    // A per-user service template ("Name_*"), which stands for its instances.
    [[nodiscard]] virtual bool LeavesOutTemplate(const std::wstring& name) const = 0;
    // The hive a per-user record's item is named with; empty names it for every user alike.
    [[nodiscard]] virtual std::wstring UserHive() const { return {}; }

private:
    [[nodiscard]] bool LeavesOutAny(const std::optional<ItemTarget>& target) const {
        return target && LeavesOut(*target);
    }
    [[nodiscard]] std::vector<ServiceStartEntry> Running(const std::vector<ServiceStartEntry>& entries,
                                                         bool templates) const;
};

} // namespace Velmora
