#pragma once

#include "system/registry_records.h"
#include "system/service_records.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Velmora {

class SystemOperations;

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

    // The steps of a run. Each returns its share of the outcome: minus the number of rows of its
    // counted table whose write failed.
    [[nodiscard]] std::int32_t ApplyCommonTweaks(SystemOperations& system) const;
    [[nodiscard]] std::int32_t ApplyStandardTweaks(SystemOperations& system) const;
    void UndoStandardTweaks(SystemOperations& system) const;
    void UndoMaximumTweaks(SystemOperations& system) const;
    [[nodiscard]] std::int32_t ApplyMaximumTweaks(SystemOperations& system) const;

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
