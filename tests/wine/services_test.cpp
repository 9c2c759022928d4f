// The service step against Wine's service manager and registry, with test services (per-user
// instances among them) read back through both.

#include "common/diagnostics.h"
#include "common/win32_handles.h"
#include "support/registry_reads.h"
#include "support/this_pc.h"
#include "system/services.h"
#include "tweaks/run_controller.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace Velmora;
using ::testing::Contains;
using ::testing::Not;

const std::wstring kServicesKey = L"SYSTEM\\CurrentControlSet\\Services\\";

std::optional<DWORD> RegistryStart(const std::wstring& service) {
    return Testing::ReadDword(HKEY_LOCAL_MACHINE, kServicesKey + service, L"Start");
}

std::optional<DWORD> RegistryDelayed(const std::wstring& service) {
    return Testing::ReadDword(HKEY_LOCAL_MACHINE, kServicesKey + service, L"DelayedAutoStart");
}

bool ServiceKeyExists(const std::wstring& service) {
    return Testing::KeyExists(HKEY_LOCAL_MACHINE, kServicesKey + service);
}

// The start type the service manager reports. (Whole runs with Wine's own Spooler and LanmanServer
// are watched end to end.)
std::optional<DWORD> ScmStart(const std::wstring& service) {
    const UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    const UniqueServiceHandle handle(::OpenServiceW(manager.Get(), service.c_str(), SERVICE_QUERY_CONFIG));
    DWORD needed = 0;
    ::QueryServiceConfigW(handle.Get(), nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    if (!handle || needed == 0 || !::QueryServiceConfigW(handle.Get(), config, needed, &needed)) {
        return std::nullopt;
    }
    return config->dwStartType;
}

// The delayed flag the service manager reports; nullopt when it cannot be asked (Wine: error 124).
std::optional<bool> ScmDelayed(const std::wstring& service) {
    const UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    const UniqueServiceHandle handle(::OpenServiceW(manager.Get(), service.c_str(), SERVICE_QUERY_CONFIG));
    SERVICE_DELAYED_AUTO_START_INFO delayed{};
    DWORD needed = 0;
    if (!handle || !::QueryServiceConfig2W(handle.Get(), SERVICE_CONFIG_DELAYED_AUTO_START_INFO,
                                           reinterpret_cast<BYTE*>(&delayed), sizeof delayed, &needed)) {
        return std::nullopt;
    }
    return delayed.fDelayedAutostart != FALSE;
}

void DeleteTestService(const std::wstring& name) {
    const UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    const UniqueServiceHandle service(::OpenServiceW(manager.Get(), name.c_str(), DELETE));
    if (service) {
        ::DeleteService(service.Get());
    }
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, (kServicesKey + name).c_str());
}

// Test services are created disabled, so that any start type the step writes is visible: two users'
// per-user instances ("1a2b3" and "f00d"), a templated service that is not one of the discovery
// prefixes, and names that must reveal no suffix.
class ServiceStep : public ::testing::Test {
protected:
    void SetUp() override {
        const UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        for (const auto& name : kTestServices) {
            DeleteTestService(name);
            // Never started: any harmless program will do as its binary.
            ASSERT_TRUE(UniqueServiceHandle(::CreateServiceW(
                manager.Get(), name.c_str(), name.c_str(), SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                SERVICE_DISABLED, SERVICE_ERROR_IGNORE, L"C:\\windows\\system32\\cmd.exe /c exit", nullptr,
                nullptr, nullptr, nullptr, nullptr)));
        }
        SetDiagnosticSink(lines);
    }
    void TearDown() override {
        SetDiagnosticSink(nullptr);
        for (const auto& name : kTestServices) {
            DeleteTestService(name);
        }
    }

    const std::vector<std::wstring> kTestServices = {
        L"OneSyncSvc_1a2b3",          L"WpnUserService_1a2b3", L"CDPUserSvc_1a2b3",
        L"webthreatdefusersvc_1a2b3", L"UdkUserSvc_f00d",      L"UserDataSvc_9z_9z",
        L"CDPUserSvc_9z_9z",          L"onesyncsvc_c0ffee",    L"CDPUserSvc_c0ffee",
    };
    const RunController controller;
    std::shared_ptr<MemoryDiagnosticSink> lines = std::make_shared<MemoryDiagnosticSink>();
};

TEST_F(ServiceStep, PerUserInstancesGetTheirTemplatesStartTypeAndAMissingServiceIsSkippedNotCreated) {
    // A delayed flag set before, in the registry and (where it can be) through the service manager.
    ASSERT_TRUE(SetServiceStartInRegistry(L"CDPUserSvc_1a2b3", 5));
    const std::uint32_t delayedSet = SetServiceDelayedFlagThroughManager(L"CDPUserSvc_1a2b3", true);
    EXPECT_EQ(delayedSet,
              static_cast<std::uint32_t>(Testing::UnderWine() ? ERROR_INVALID_LEVEL : ERROR_SUCCESS));
    // A service no PC has, at the end of the table.
    std::vector<ServiceStartEntry> table = controller.serviceTable;
    table.push_back({L"VelmoraNoSuchService", 4});
    ConfigureServiceStartTypes(table, controller.perUserServiceTemplates);
    EXPECT_FALSE(ServiceKeyExists(L"VelmoraNoSuchService"));
    EXPECT_FALSE(ServiceKeyExists(L"BcastDVRUserService_1a2b3"));
    EXPECT_THAT(lines->Lines(),
                Contains(L"\u26A0\uFE0F Failed to open key for VelmoraNoSuchService (error 2)\n"));
    EXPECT_THAT(lines->Lines(),
                Contains(L"\u26A0\uFE0F Failed to open key for webthreatdefusersvc_f00d (error 2)\n"))
        << "the last entry of the list was still tried";
    const std::tuple<const wchar_t*, DWORD, std::optional<DWORD>> expected[] = {
        {L"OneSyncSvc_1a2b3", 2, 1}, // the later template row, delayed start, wins
        {L"WpnUserService_1a2b3", 3, std::nullopt},
        {L"CDPUserSvc_1a2b3", 2, 1}, // automatic leaves the delayed flag as it was
        {L"webthreatdefusersvc_1a2b3", 2, std::nullopt},
        {L"UdkUserSvc_f00d", 3, std::nullopt},
        // Had "9z_9z" or "c0ffee" been taken as suffixes, these would have changed.
        {L"CDPUserSvc_9z_9z", SERVICE_DISABLED, std::nullopt},
        {L"UserDataSvc_9z_9z", SERVICE_DISABLED, std::nullopt},
        {L"onesyncsvc_c0ffee", SERVICE_DISABLED, std::nullopt},
        {L"CDPUserSvc_c0ffee", SERVICE_DISABLED, std::nullopt},
    };
    for (const auto& [name, start, delayed] : expected) {
        EXPECT_EQ(ScmStart(name), std::optional<DWORD>(start)) << "service manager";
        EXPECT_EQ(RegistryStart(name), std::optional<DWORD>(start)) << "registry";
        EXPECT_EQ(RegistryDelayed(name), delayed);
        // Wine refuses the delayed-start calls of the service manager (error 124): only the registry has
        // the flag. Windows' service manager holds it as set, any service may carry it
        // (https://learn.microsoft.com/windows/win32/api/winsvc/ns-winsvc-service_delayed_auto_start_info).
        EXPECT_EQ(ScmDelayed(name),
                  Testing::UnderWine() ? std::nullopt : std::optional<bool>(delayed.value_or(0) != 0))
            << name;
    }
    EXPECT_THAT(lines->Lines(), Contains(L"\u2705 Configured OneSyncSvc_1a2b3 successfully.\n"));
}

TEST_F(ServiceStep, TheThresholdAndSysMainFollowTheInstalledMemoryAndSysMainIsNeverCreated) {
    MEMORYSTATUSEX memory{};
    memory.dwLength = sizeof memory;
    ASSERT_TRUE(::GlobalMemoryStatusEx(&memory));
    const std::uint64_t started = (memory.ullTotalPhys / 1024 + 1048575) / 1048576;
    const auto gib = static_cast<DWORD>(std::clamp<std::uint64_t>(started, 1, 64));
    // Wine has no SysMain; Windows has.
    const bool sysMainThere = ServiceKeyExists(L"sysmain");
    SetSvcHostSplitThreshold();
    AdjustServicesForMemory();
    EXPECT_EQ(Testing::ReadDword(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control",
                                 L"SvcHostSplitThresholdInKB"),
              std::optional<DWORD>(gib * 1048576u + 20480u));
    const std::wstring sysMainLine = sysMainThere
                                         ? L"\u2705 Configured sysmain successfully.\n"
                                         : L"\u26A0\uFE0F Failed to open key for sysmain (error 2)\n";
    if (gib >= 16) {
        EXPECT_THAT(lines->Lines(), Contains(sysMainLine));
        EXPECT_EQ(RegistryStart(L"sysmain"), sysMainThere ? std::optional<DWORD>(4) : std::nullopt);
    } else {
        EXPECT_THAT(lines->Lines(), Not(Contains(sysMainLine)));
    }
    EXPECT_EQ(ServiceKeyExists(L"sysmain"), sysMainThere) << "its key is never created";
}

TEST_F(ServiceStep, RegistryStartTypesFollowTheCodesAndOnlyOneServiceKeyIsEverWritten) {
    const std::wstring name = L"WpnUserService_1a2b3";
    for (const auto& [code, start] :
         std::vector<std::pair<ServiceStartCode, DWORD>>{{0, 3}, {7, 3}, {1, 1}, {4, 4}}) {
        EXPECT_TRUE(SetServiceStartInRegistry(name, code));
        EXPECT_EQ(RegistryStart(name), std::optional<DWORD>(start)) << "code " << code;
    }
    EXPECT_FALSE(RegistryDelayed(name).has_value());
    const std::wstring below = name + L"\\Parameters";
    ASSERT_EQ(::RegSetKeyValueW(HKEY_LOCAL_MACHINE, (kServicesKey + below).c_str(), L"Other", REG_SZ, L"", 2),
              ERROR_SUCCESS);
    lines->Clear();
    EXPECT_FALSE(SetServiceStartInRegistry(L"", 2));
    EXPECT_FALSE(SetServiceStartInRegistry(below, 2));
    EXPECT_FALSE(
        Testing::ReadDword(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Services", L"Start").has_value());
    EXPECT_FALSE(Testing::ReadDword(HKEY_LOCAL_MACHINE, kServicesKey + below, L"Start").has_value());
    EXPECT_EQ(lines->Lines().back(), L"\u26A0\uFE0F Failed to open key for " + below + L" (error 123)\n");
}

// A read session asks the manager once whether it can report the delayed flag at all; every service
// read in it must still say what a read on its own says.
TEST_F(ServiceStep, ServicesReadInASessionMatchServicesReadAlone) {
    const std::array<std::wstring, 4> names = {kTestServices[0], kTestServices[1], L"NoSuchVelmoraService",
                                               kTestServices[2]};
    const auto readAll = [&names] {
        std::array<ServiceState, 4> states;
        std::transform(names.begin(), names.end(), states.begin(), ReadServiceState);
        return states;
    };
    const std::array<ServiceState, 4> alone = readAll();
    EXPECT_EQ(alone[0].manager, Presence::Present);
    EXPECT_EQ(alone[0].managerStartType, std::optional<std::uint32_t>(SERVICE_DISABLED));
    EXPECT_EQ(alone[2].manager, Presence::Absent);
    const ServiceReadSession session;
    EXPECT_EQ(readAll(), alone);
}

} // namespace
