#pragma once

#include "system/registry_records.h"
#include "system/service_records.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Velmora {

class SystemOperations;

// The rows of the optional tables a run sets, by index: those of the included features that apply to
// this PC's Windows build.
struct OptionalRows {
    std::vector<std::size_t> registry;
    std::vector<std::size_t> lists;
    [[nodiscard]] bool Empty() const { return registry.empty() && lists.empty(); }
};

// Keeps the COM apartment of the constructing (UI) thread for as long as the controller lives.
struct UiThreadApartment;
struct UiThreadApartmentDeleter {
    void operator()(UiThreadApartment* apartment) const noexcept;
};

// The catalogue of everything a settings profile changes, and the step routines that apply it.
// The tables are filled once from literal lists and only read afterwards.
class RunController {
public:
    RunController();

    std::vector<ServiceStartEntry> serviceTable;
    std::vector<ServiceStartEntry> perUserServiceTemplates;
    std::vector<std::wstring> baseCmdCommands;
    std::vector<std::wstring> basePowerShellCommands;
    std::vector<RegistryDwordSetting> commonRegistryTable;
    std::vector<std::wstring> scheduledTaskPaths;
    std::vector<RegistryDwordSetting> standardRegistryTable;
    std::vector<std::wstring> ipv6DisableCommands;
    std::vector<RegistryDwordSetting> maximumRegistryTable;
    std::vector<std::wstring> preinstalledPackageNames;
    // The optional features' rows, in no profile.
    std::vector<RegistryDwordSetting> optionalRegistryTable;
    std::vector<RegistryListEntry> optionalListTable;

    // The steps of a run. Each returns its share of the outcome: minus the number of rows of its
    // counted table whose write failed.
    [[nodiscard]] std::int32_t ApplyCommonTweaks(SystemOperations& system) const;
    [[nodiscard]] std::int32_t ApplyStandardTweaks(SystemOperations& system) const;
    void UndoStandardTweaks(SystemOperations& system) const;
    void UndoMaximumTweaks(SystemOperations& system) const;
    [[nodiscard]] std::int32_t ApplyMaximumTweaks(SystemOperations& system) const;
    // The chosen optional rows, after a profile's steps: the registry values, then the lists, each
    // counted as a profile's table rows are.
    [[nodiscard]] std::int32_t ApplyOptionalTweaks(SystemOperations& system, const OptionalRows& rows) const;

private:
    std::unique_ptr<UiThreadApartment, UiThreadApartmentDeleter> apartment_;
};

// Records the run builds itself besides the table rows.
[[nodiscard]] RegistryDwordSetting LogonImageRecord();
[[nodiscard]] RegistryStringSetting LegacyContextMenuRecord();
[[nodiscard]] RegistryDwordSetting TransparencyRecord(std::uint32_t data);

// Enters the COM apartment the UI thread needs (single-threaded, no OLE1 DDE). Defined per platform.
[[nodiscard]] UiThreadApartment* EnterUiThreadApartment();

} // namespace Velmora
