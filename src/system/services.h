#pragma once

#include "system/service_records.h"
#include "system/system_state.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace Velmora {

// ---- Plain logic (every build) ----

// The per-user services whose instances reveal the instance suffixes, in the order they are tried.
inline constexpr std::array<std::wstring_view, 8> kPerUserServiceBasePrefixes = {
    L"BluetoothUserService_", L"BcastDVRUserService_", L"OneSyncSvc_",          L"PimIndexMaintenanceSvc_",
    L"UdkUserSvc_",           L"UserDataSvc_",         L"webthreatdefusersvc_", L"WpnUserService_",
};

// Unique suffixes, ascending by code unit.
using ServiceSuffixSet = std::set<std::wstring>;

// Adds the instance suffix of one service name for every base prefix it begins with (exact case);
// a name with more or fewer than one underscore yields nothing.
void AddPerUserServiceSuffixes(std::wstring_view serviceName, ServiceSuffixSet& suffixes);

// The suffixes of all the given service names, ascending.
[[nodiscard]] std::vector<std::wstring>
PerUserServiceSuffixesOf(const std::vector<std::wstring>& serviceNames);

// One entry per template and suffix: templates in table order, suffixes in the given order, the
// first "_*" replaced by "_" and the suffix, the template's code kept. Empty when either list is.
[[nodiscard]] std::vector<ServiceStartEntry>
ExpandPerUserServiceTemplates(const std::vector<ServiceStartEntry>& templates,
                              const std::vector<std::wstring>& suffixes);

// The table followed by the expanded per-user entries: the order both passes apply.
[[nodiscard]] std::vector<ServiceStartEntry>
CombineServiceLists(const std::vector<ServiceStartEntry>& services,
                    const std::vector<ServiceStartEntry>& expanded);

// What one code writes: the start type (SCM dwStartType and registry "Start") and whether the
// delayed-start flag is set as well. Unknown codes mean manual.
struct ServiceStartType {
    std::uint32_t startType = 3;
    bool delayedAutoStart = false;

    friend bool operator==(const ServiceStartType&, const ServiceStartType&) = default;
};
[[nodiscard]] ServiceStartType MapServiceStartCode(ServiceStartCode code) noexcept;

// Installed memory in whole or started GiB (from 1 to 64), from the physical byte count; the
// bytes are first truncated to whole kilobytes.
[[nodiscard]] std::uint32_t InstalledMemoryGiB(std::uint64_t totalPhysicalBytes) noexcept;

// SvcHostSplitThresholdInKB for that many GiB.
[[nodiscard]] std::uint32_t SvcHostSplitThresholdKB(std::uint32_t installedGiB) noexcept;

// `entries` without the services named in `names`, compared without regard to case.
[[nodiscard]] std::vector<ServiceStartEntry> WithoutServices(std::vector<ServiceStartEntry> entries,
                                                             const std::vector<std::wstring>& names);

// The registry start types AdjustServicesForMemory writes for that many GiB, in order.
[[nodiscard]] std::vector<ServiceStartEntry> ServiceAdjustmentsForMemory(std::uint32_t installedGiB);

// True when a name addresses exactly one key below the services key: not empty, no backslash.
[[nodiscard]] bool IsServiceKeyName(std::wstring_view name) noexcept;

// The line written to standard error when the service manager cannot be opened for enumeration;
// the error code in unsigned decimal, ended by a line feed.
[[nodiscard]] std::string ScmOpenFailureLine(std::uint32_t error);

// ---- Windows primitives ----

// The instance suffixes of the per-user services installed on this machine, ascending. Reports on
// standard error when the service manager cannot be opened; empty on any failure.
[[nodiscard]] std::vector<std::wstring> CollectPerUserServiceSuffixes();

// The service step: suffixes, expansion, then every start type through the service manager and
// afterwards into each service's registry key, both in list order. Absorbs every failure.
void ConfigureServiceStartTypes(const std::vector<ServiceStartEntry>& services,
                                const std::vector<ServiceStartEntry>& perUserTemplates);

// Writes "Start" (and, for code 5, "DelayedAutoStart" = 1) into an existing
// HKLM\SYSTEM\CurrentControlSet\Services\<name>; never creates the key. True when "Start" was written.
bool SetServiceStartInRegistry(const std::wstring& name, ServiceStartCode code);

// Sets HKLM\SYSTEM\CurrentControlSet\Control:SvcHostSplitThresholdInKB from the installed memory.
void SetSvcHostSplitThreshold();

// Maximum only: "Spooler" and "LanmanServer" manual, "sysmain" disabled from 16 GiB, in the registry.
void AdjustServicesForMemory(const std::vector<std::wstring>& leaveAlone = {});

// Installed memory of this PC in whole or started GiB, as the two steps above count it; nullopt
// when the system does not say.
[[nodiscard]] std::optional<std::uint32_t> InstalledMemoryGiBOfThisPc();

// ---- State reader and the restore's writes ----

// The service as the service manager (start type, delayed-start flag) and its registry key ("Start",
// "DelayedAutoStart") report it. Changes nothing.
[[nodiscard]] ServiceState ReadServiceState(const std::wstring& name);

// While one lives, ReadServiceState on this thread uses one connection to the service manager and one
// listing of its services, taken when the session began: a plan reads a few hundred services at once.
class ServiceReadSession {
public:
    ServiceReadSession();
    ~ServiceReadSession();
    ServiceReadSession(const ServiceReadSession&) = delete;
    ServiceReadSession& operator=(const ServiceReadSession&) = delete;

    struct Cache;

private:
    std::unique_ptr<Cache> cache_;
    Cache* previous_ = nullptr;
};

// Through the service manager only. Each returns the Win32 error, 0 when the change was made.
[[nodiscard]] std::uint32_t SetServiceStartTypeThroughManager(const std::wstring& name,
                                                              std::uint32_t startType);
[[nodiscard]] std::uint32_t SetServiceDelayedFlagThroughManager(const std::wstring& name, bool delayed);

} // namespace Velmora
