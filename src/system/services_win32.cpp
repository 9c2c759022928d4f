#include "system/services.h"

#include "common/diagnostics.h"
#include "common/win32_handles.h"
#include "system/registry.h"

#include <algorithm>
#include <cstdio>
#include <cwctype>
#include <optional>
#include <set>
#include <vector>

namespace Velmora {
namespace {

constexpr wchar_t kServicesKey[] = L"SYSTEM\\CurrentControlSet\\Services\\";
constexpr wchar_t kControlKey[] = L"SYSTEM\\CurrentControlSet\\Control";

// Win32 error codes in the lines are signed decimals.
std::wstring ErrorText(LSTATUS status) {
    return std::to_wstring(static_cast<std::int32_t>(status));
}

LSTATUS WriteDword(HKEY key, const wchar_t* name, DWORD data) {
    return ::RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
}

std::optional<std::uint64_t> TotalPhysicalBytes() {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (!::GlobalMemoryStatusEx(&status)) {
        return std::nullopt;
    }
    return status.ullTotalPhys;
}

// Every entry in order; a service that cannot be opened is skipped, and no result is looked at:
// the registry pass that follows writes the same start types regardless.
void ApplyThroughServiceManager(const std::vector<ServiceStartEntry>& entries) {
    const UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) {
        return;
    }
    for (const ServiceStartEntry& entry : entries) {
        const UniqueServiceHandle service(
            ::OpenServiceW(manager.Get(), entry.name.c_str(), SERVICE_CHANGE_CONFIG));
        if (!service) {
            continue;
        }
        const ServiceStartType type = MapServiceStartCode(entry.code);
        static_cast<void>(::ChangeServiceConfigW(service.Get(), SERVICE_NO_CHANGE, type.startType,
                                                 SERVICE_NO_CHANGE, nullptr, nullptr, nullptr, nullptr,
                                                 nullptr, nullptr, nullptr));
        if (type.delayedAutoStart) {
            SERVICE_DELAYED_AUTO_START_INFO delayed{TRUE};
            static_cast<void>(
                ::ChangeServiceConfig2W(service.Get(), SERVICE_CONFIG_DELAYED_AUTO_START_INFO, &delayed));
        }
    }
}

} // namespace

std::vector<std::wstring> CollectPerUserServiceSuffixes() {
    const UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE));
    if (!manager) {
        const DWORD error = ::GetLastError();
        std::fputs(ScmOpenFailureLine(error).c_str(), stderr);
        std::fflush(stderr);
        Diagnose(L"Failed to open Service Control Manager: " + std::to_wstring(error));
        return {};
    }
    // A size probe, then one buffer of exactly that size; a list that grew in between is not retried.
    DWORD bytesNeeded = 0;
    DWORD count = 0;
    DWORD resume = 0;
    static_cast<void>(::EnumServicesStatusExW(manager.Get(), SC_ENUM_PROCESS_INFO, SERVICE_WIN32,
                                              SERVICE_STATE_ALL, nullptr, 0, &bytesNeeded, &count, &resume,
                                              nullptr));
    const DWORD bufferSize = bytesNeeded;
    if (bufferSize == 0) {
        return {};
    }
    const UniqueLocalMemory buffer(::LocalAlloc(LMEM_FIXED, bufferSize));
    if (!buffer) {
        return {};
    }
    if (!::EnumServicesStatusExW(manager.Get(), SC_ENUM_PROCESS_INFO, SERVICE_WIN32, SERVICE_STATE_ALL,
                                 static_cast<BYTE*>(buffer.Get()), bufferSize, &bytesNeeded, &count, &resume,
                                 nullptr) ||
        count == 0) {
        return {};
    }
    // Never read past the buffer, whatever count says.
    const DWORD fits = bufferSize / static_cast<DWORD>(sizeof(ENUM_SERVICE_STATUS_PROCESSW));
    const auto* services = static_cast<const ENUM_SERVICE_STATUS_PROCESSW*>(buffer.Get());
    ServiceSuffixSet suffixes;
    for (DWORD i = 0; i < count && i < fits; ++i) {
        if (services[i].lpServiceName != nullptr) {
            AddPerUserServiceSuffixes(services[i].lpServiceName, suffixes);
        }
    }
    return {suffixes.begin(), suffixes.end()};
}

void ConfigureServiceStartTypes(const std::vector<ServiceStartEntry>& services,
                                const std::vector<ServiceStartEntry>& perUserTemplates) {
    const std::vector<std::wstring> suffixes = CollectPerUserServiceSuffixes();
    const std::vector<ServiceStartEntry> combined =
        CombineServiceLists(services, ExpandPerUserServiceTemplates(perUserTemplates, suffixes));
    ApplyThroughServiceManager(combined);
    for (const ServiceStartEntry& entry : combined) {
        SetServiceStartInRegistry(entry.name, entry.code);
    }
}

bool SetServiceStartInRegistry(const std::wstring& name, ServiceStartCode code) {
    // An empty name or one with a backslash would reach the services key itself or a key below a
    // service, so it is refused as the registry refuses an invalid name.
    LSTATUS opened = ERROR_INVALID_NAME;
    UniqueRegistryKey key;
    if (IsServiceKeyName(name)) {
        opened =
            ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, (kServicesKey + name).c_str(), 0, KEY_SET_VALUE, key.Put());
    }
    if (opened != ERROR_SUCCESS) {
        Diagnose(L"\u26A0\uFE0F Failed to open key for " + name + L" (error " + ErrorText(opened) + L")\n");
        return false;
    }
    const ServiceStartType type = MapServiceStartCode(code);
    const LSTATUS written = WriteDword(key.Get(), L"Start", type.startType);
    if (written != ERROR_SUCCESS) {
        Diagnose(L"\u274C Failed to set 'Start' for " + name + L" (error " + ErrorText(written) + L")\n");
        return false;
    }
    if (type.delayedAutoStart) {
        static_cast<void>(WriteDword(key.Get(), L"DelayedAutoStart", 1));
    }
    Diagnose(L"\u2705 Configured " + name + L" successfully.\n");
    return true;
}

void SetSvcHostSplitThreshold() {
    const std::optional<std::uint64_t> bytes = TotalPhysicalBytes();
    if (!bytes) {
        return;
    }
    const DWORD value = SvcHostSplitThresholdKB(InstalledMemoryGiB(*bytes));
    UniqueRegistryKey key;
    const LSTATUS opened = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kControlKey, 0, KEY_SET_VALUE, key.Put());
    if (opened != ERROR_SUCCESS) {
        Diagnose(L"\u274C Failed to open registry key. Error: " + ErrorText(opened));
        return;
    }
    const LSTATUS written = WriteDword(key.Get(), L"SvcHostSplitThresholdInKB", value);
    Diagnose(written == ERROR_SUCCESS
                 ? L"\u2705 Set SvcHostSplitThresholdInKB to " + std::to_wstring(value) + L" KB"
                 : L"\u274C Failed to set registry value. Error: " + ErrorText(written));
}

void AdjustServicesForMemory(const std::vector<std::wstring>& leaveAlone) {
    const std::optional<std::uint64_t> bytes = TotalPhysicalBytes();
    if (!bytes) {
        return;
    }
    for (const ServiceStartEntry& entry :
         WithoutServices(ServiceAdjustmentsForMemory(InstalledMemoryGiB(*bytes)), leaveAlone)) {
        SetServiceStartInRegistry(entry.name, entry.code);
    }
}

std::optional<std::uint32_t> InstalledMemoryGiBOfThisPc() {
    const std::optional<std::uint64_t> bytes = TotalPhysicalBytes();
    return bytes ? std::optional<std::uint32_t>(InstalledMemoryGiB(*bytes)) : std::nullopt;
}

struct ServiceReadSession::Cache {
    UniqueServiceHandle manager;
    std::set<std::wstring> names; // lower-cased; service names compare without regard to case
    bool listed = false;
    bool delayedInfoUnsupported = false; // the manager answered that it cannot report the delayed flag
};

namespace {

thread_local ServiceReadSession::Cache* t_serviceCache = nullptr;

std::wstring LowerName(std::wstring name) {
    for (wchar_t& c : name) {
        c = static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(c)));
    }
    return name;
}

// Every service and driver the manager knows; false when it cannot say.
bool ListServices(SC_HANDLE manager, std::set<std::wstring>& names) {
    DWORD needed = 0;
    DWORD count = 0;
    DWORD resume = 0;
    static_cast<void>(::EnumServicesStatusExW(manager, SC_ENUM_PROCESS_INFO, SERVICE_TYPE_ALL,
                                              SERVICE_STATE_ALL, nullptr, 0, &needed, &count, &resume,
                                              nullptr));
    // Room for services added between the two calls.
    std::vector<BYTE> buffer(needed + 16 * sizeof(ENUM_SERVICE_STATUS_PROCESSW) + 4096);
    resume = 0;
    if (!::EnumServicesStatusExW(manager, SC_ENUM_PROCESS_INFO, SERVICE_TYPE_ALL, SERVICE_STATE_ALL,
                                 buffer.data(), static_cast<DWORD>(buffer.size()), &needed, &count, &resume,
                                 nullptr)) {
        return false;
    }
    const auto* services = reinterpret_cast<const ENUM_SERVICE_STATUS_PROCESSW*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) {
        if (services[i].lpServiceName != nullptr) {
            names.insert(LowerName(services[i].lpServiceName));
        }
    }
    return true;
}

} // namespace

ServiceReadSession::ServiceReadSession() : cache_(std::make_unique<Cache>()), previous_(t_serviceCache) {
    cache_->manager.Reset(
        ::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE));
    cache_->listed = cache_->manager && ListServices(cache_->manager.Get(), cache_->names);
    t_serviceCache = cache_.get();
}

ServiceReadSession::~ServiceReadSession() {
    t_serviceCache = previous_;
}

ServiceState ReadServiceState(const std::wstring& name) {
    ServiceState state;
    const std::wstring keyPath = kServicesKey + name;
    if (!IsServiceKeyName(name)) {
        state.manager = Presence::Absent;
        state.key = Presence::Absent;
        state.start = state.delayedAutoStart = AbsentValue();
        return state;
    }
    // The key is opened once for both values.
    UniqueRegistryKey key;
    const LSTATUS opened =
        ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_QUERY_VALUE, key.Put());
    if (opened == ERROR_SUCCESS) {
        state.key = Presence::Present;
        state.start = ReadRegistryValue(key.Get(), L"Start");
        state.delayedAutoStart = ReadRegistryValue(key.Get(), L"DelayedAutoStart");
    } else {
        state.key = opened == ERROR_FILE_NOT_FOUND ? Presence::Absent : Presence::Unreadable;
        state.start = state.delayedAutoStart =
            opened == ERROR_FILE_NOT_FOUND
                ? AbsentValue()
                : RegistryValueState{Presence::Unreadable, 0, {}, static_cast<std::uint32_t>(opened)};
    }

    ServiceReadSession::Cache* cache = t_serviceCache;
    if (cache != nullptr && cache->listed && !cache->names.contains(LowerName(name))) {
        state.manager = Presence::Absent;
        return state;
    }
    UniqueServiceHandle ownManager;
    if (cache == nullptr || !cache->manager) {
        ownManager.Reset(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    }
    const SC_HANDLE manager = ownManager         ? ownManager.Get()
                              : cache != nullptr ? cache->manager.Get()
                                                 : nullptr;
    const UniqueServiceHandle service(manager ? ::OpenServiceW(manager, name.c_str(), SERVICE_QUERY_CONFIG)
                                              : nullptr);
    if (!service) {
        const DWORD error = ::GetLastError();
        state.manager = error == ERROR_SERVICE_DOES_NOT_EXIST ? Presence::Absent : Presence::Unreadable;
        state.managerError = error == ERROR_SERVICE_DOES_NOT_EXIST ? 0 : error;
        return state;
    }
    state.manager = Presence::Present;
    // 8 KB holds any configuration; a larger one is asked for again at its size.
    std::vector<BYTE> buffer(8192);
    DWORD needed = 0;
    BOOL queried =
        ::QueryServiceConfigW(service.Get(), reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data()),
                              static_cast<DWORD>(buffer.size()), &needed);
    if (!queried && ::GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        buffer.resize(needed);
        queried =
            ::QueryServiceConfigW(service.Get(), reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data()),
                                  static_cast<DWORD>(buffer.size()), &needed);
    }
    if (queried) {
        state.managerStartType = reinterpret_cast<const QUERY_SERVICE_CONFIGW*>(buffer.data())->dwStartType;
    } else {
        state.managerError = ::GetLastError();
    }
    // A manager that cannot report the flag (Wine) says so for every service; it is asked once.
    SERVICE_DELAYED_AUTO_START_INFO delayed{};
    if (cache != nullptr && cache->delayedInfoUnsupported) {
        state.managerError = state.managerError == 0 ? ERROR_INVALID_LEVEL : state.managerError;
    } else if (::QueryServiceConfig2W(service.Get(), SERVICE_CONFIG_DELAYED_AUTO_START_INFO,
                                      reinterpret_cast<BYTE*>(&delayed), sizeof delayed, &needed)) {
        state.managerDelayed = delayed.fDelayedAutostart != FALSE;
    } else {
        const DWORD error = ::GetLastError();
        if (cache != nullptr && error == ERROR_INVALID_LEVEL) {
            cache->delayedInfoUnsupported = true;
        }
        state.managerError = state.managerError == 0 ? error : state.managerError;
    }
    return state;
}

namespace {

// Opens the service for a configuration change and runs it; the Win32 error, 0 on success.
template <typename Change>
std::uint32_t ChangeThroughManager(const std::wstring& name, Change change) {
    if (!IsServiceKeyName(name)) {
        return ERROR_INVALID_NAME;
    }
    const UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) {
        return ::GetLastError();
    }
    const UniqueServiceHandle service(::OpenServiceW(manager.Get(), name.c_str(), SERVICE_CHANGE_CONFIG));
    if (!service) {
        return ::GetLastError();
    }
    return change(service.Get()) ? 0 : ::GetLastError();
}

} // namespace

std::uint32_t SetServiceStartTypeThroughManager(const std::wstring& name, std::uint32_t startType) {
    const std::uint32_t error = ChangeThroughManager(name, [startType](SC_HANDLE service) {
        return ::ChangeServiceConfigW(service, SERVICE_NO_CHANGE, startType, SERVICE_NO_CHANGE, nullptr,
                                      nullptr, nullptr, nullptr, nullptr, nullptr, nullptr) != FALSE;
    });
    Diagnose(L"Service manager start type of " + name + L" set back to " + std::to_wstring(startType) +
             (error == 0 ? std::wstring() : L": error " + std::to_wstring(error)));
    return error;
}

std::uint32_t SetServiceDelayedFlagThroughManager(const std::wstring& name, bool delayed) {
    const std::uint32_t error = ChangeThroughManager(name, [delayed](SC_HANDLE service) {
        SERVICE_DELAYED_AUTO_START_INFO info{delayed ? TRUE : FALSE};
        return ::ChangeServiceConfig2W(service, SERVICE_CONFIG_DELAYED_AUTO_START_INFO, &info) != FALSE;
    });
    Diagnose(L"Service manager delayed start of " + name + L" set back to " + (delayed ? L"on" : L"off") +
             (error == 0 ? std::wstring() : L": error " + std::to_wstring(error)));
    return error;
}

} // namespace Velmora
