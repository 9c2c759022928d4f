#pragma once

// The planning SystemOperations: every call reads the current state of what it would change and
// notes the state it would leave, writing nothing. Later calls see the states planned by earlier
// ones (an overlay), exactly as the real run would leave them, so an item touched several times is
// one entry with its real current state and the state after its last touch.

#include "engine/plan.h"
#include "tweaks/system_operations.h"

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace Velmora {

class PlanningSystem final : public SystemOperations {
public:
    PlanningSystem(StateReader& reader, const LocalSettingsValues& settings, bool surveyActions);

    bool SetRegistryDword(RegistryDwordSetting setting) override;
    bool SetRegistryString(RegistryStringSetting setting) override;
    bool MergeRegistryListEntry(RegistryListEntry entry) override;
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
    std::wstring GetCurrentUserSid() override;
    bool SetAppOffloadingDisabled(const std::wstring& userSid, bool disable) override;

    // The settings record the run writes on success, and the app removal beside the run.
    void PlanSetting(std::wstring_view name, std::int32_t value);
    void PlanAppRemoval(const std::vector<std::wstring>& fragments);

    [[nodiscard]] std::vector<PlanEntry> TakeEntries() { return std::move(entries_); }

private:
    // The entry of an item (created at its first touch with its real current state, read now unless
    // the caller already holds it) gets `after`.
    void Plan(ItemStep step, const ItemTarget& target, ItemState after, std::optional<ItemState> realCurrent);
    void PlanAction(ItemStep step, ActionTarget action);
    [[nodiscard]] ItemState RealState(const ItemTarget& target);

    // The value as the run would find it at this point; `real` tells whether it came from the system.
    [[nodiscard]] RegistryValueState ValueNow(const RegistryValueTarget& target, bool& real);
    [[nodiscard]] Presence KeyPresenceNow(RegistryRoot root, const std::wstring& hiveSid,
                                          const std::wstring& keyPath);
    [[nodiscard]] RegistryKeyState KeyNow(const RegistryKeyTarget& target);
    [[nodiscard]] ServiceState ServiceNow(const std::wstring& name);
    void PlanValue(ItemStep step, const RegistryValueTarget& target, RegistryValueState after);
    void PlanDeletedKey(ItemStep step, const RegistryKeyTarget& target);
    void PlanService(const ServiceStartEntry& entry, bool throughManager);
    [[nodiscard]] std::wstring UserSid();
    // Whether the key or one of its ancestors was planned deleted: what it held then is gone.
    [[nodiscard]] bool UnderDeletedKey(RegistryRoot root, const std::wstring& hiveSid,
                                       const std::wstring& keyPath) const;

    StateReader& reader_;
    const LocalSettingsValues& settings_;
    bool surveyActions_ = true;
    std::vector<PlanEntry> entries_;
    std::map<std::wstring, std::size_t> entryIndex_; // item identity -> entry
    std::map<std::wstring, ItemState> planned_;      // item identity -> state after its last touch
    // Registry values planned so far; keys planned deleted, and keys a planned write creates (by key id).
    std::vector<std::pair<RegistryValueTarget, RegistryValueState>> plannedValues_;
    std::set<std::wstring> deletedKeys_;
    std::set<std::wstring> writtenKeys_;
};

} // namespace Velmora
