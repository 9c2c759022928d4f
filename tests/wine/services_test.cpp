// The service step against Wine's real service manager and registry: test services (per-user
// instances among them) are created, the step runs, and each one's start type is read back through
// the service manager and from its registry key.

#include "common/diagnostics.h"
#include "common/win32_handles.h"
#include "system/services.h"
#include "support/service_start_snapshot.h"
#include "tweaks/run_controller.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace Velmora;
using ::testing::Contains;
using ::testing::Not;

const std::wstring kServicesKey = L"SYSTEM\\CurrentControlSet\\Services\\";

std::optional<DWORD> ReadDword(const std::wstring& key, const wchar_t* value) {
    DWORD data = 0;
    DWORD size = sizeof data;
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), value, RRF_RT_REG_DWORD, nullptr, &data, &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    return data;
}

std::optional<DWORD> RegistryStart(const std::wstring& service) {
    return ReadDword(kServicesKey + service, L"Start");
}

std::optional<DWORD> RegistryDelayed(const std::wstring& service) {
    return ReadDword(kServicesKey + service, L"DelayedAutoStart");
}

bool ServiceKeyExists(const std::wstring& service) {
    UniqueRegistryKey key;
    return ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, (kServicesKey + service).c_str(), 0, KEY_READ, key.Put()) ==
           ERROR_SUCCESS;
}

// The start type the service manager reports.
std::optional<DWORD> ScmStart(const std::wstring& service) {
    const UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    const UniqueServiceHandle handle(::OpenServiceW(manager.Get(), service.c_str(), SERVICE_QUERY_CONFIG));
    if (!handle) {
        return std::nullopt;
    }
    DWORD needed = 0;
    ::QueryServiceConfigW(handle.Get(), nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed);
    if (needed == 0 ||
        !::QueryServiceConfigW(handle.Get(), reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data()), needed,
                               &needed)) {
        return std::nullopt;
    }
    return reinterpret_cast<const QUERY_SERVICE_CONFIGW*>(buffer.data())->dwStartType;
}

bool CreateTestService(const std::wstring& name, DWORD startType) {
    const UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    // Never started: any harmless program will do as its binary.
    const UniqueServiceHandle service(::CreateServiceW(
        manager.Get(), name.c_str(), name.c_str(), SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS, startType,
        SERVICE_ERROR_IGNORE, L"C:\\windows\\system32\\cmd.exe /c exit", nullptr, nullptr, nullptr, nullptr,
        nullptr));
    return service.IsValid();
}

void DeleteTestService(const std::wstring& name) {
    const UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    const UniqueServiceHandle service(::OpenServiceW(manager.Get(), name.c_str(), DELETE));
    if (service) {
        ::DeleteService(service.Get());
    }
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, (kServicesKey + name).c_str());
}

// Test services are created disabled, so that any start type the step writes is visible.
class ServiceStep : public ::testing::Test {
protected:
    void SetUp() override {
        for (const auto& name : kTestServices) {
            DeleteTestService(name);
            ASSERT_TRUE(CreateTestService(name, SERVICE_DISABLED)) << "cannot create a test service";
        }
        SetDiagnosticSink(lines);
    }
    void TearDown() override {
        SetDiagnosticSink(nullptr);
        for (const auto& name : kTestServices) {
            DeleteTestService(name);
        }
    }

    [[nodiscard]] std::vector<std::wstring> Lines() const { return lines->Lines(); }

    // Two users' per-user instances ("1a2b3" and "f00d"), a templated service that is not one of the
    // discovery prefixes, and names that must reveal no suffix.
    const std::vector<std::wstring> kTestServices = {
        L"OneSyncSvc_1a2b3",          L"WpnUserService_1a2b3", L"CDPUserSvc_1a2b3",
        L"webthreatdefusersvc_1a2b3", L"UdkUserSvc_f00d",      L"UserDataSvc_9z_9z",
        L"CDPUserSvc_9z_9z",          L"onesyncsvc_c0ffee",    L"CDPUserSvc_c0ffee",
    };
    const RunController controller;
    Testing::ServiceStartSnapshot wineServices;
    std::shared_ptr<MemoryDiagnosticSink> lines = std::make_shared<MemoryDiagnosticSink>();
};

TEST_F(ServiceStep, PerUserInstancesGetTheirTemplatesStartTypeThroughTheScmAndTheRegistry) {
    ConfigureServiceStartTypes(controller.serviceTable, controller.perUserServiceTemplates);

    const std::map<std::wstring, DWORD> expected = {
        {L"OneSyncSvc_1a2b3", 2},          {L"WpnUserService_1a2b3", 3}, {L"CDPUserSvc_1a2b3", 2},
        {L"webthreatdefusersvc_1a2b3", 2}, {L"UdkUserSvc_f00d", 3},
    };
    for (const auto& [name, start] : expected) {
        EXPECT_EQ(ScmStart(name), std::optional<DWORD>(start)) << "service manager";
        EXPECT_EQ(RegistryStart(name), std::optional<DWORD>(start)) << "registry";
        EXPECT_THAT(Lines(), Contains(L"\u2705 Configured " + name + L" successfully.\n"));
    }
}

TEST_F(ServiceStep, DelayedStartReachesTheRegistryAlthoughWineRefusesItThroughTheScm) {
    // Wine answers the delayed-start configuration call with error 124; only the registry pass sets it.
    ConfigureServiceStartTypes(controller.serviceTable, controller.perUserServiceTemplates);
    EXPECT_EQ(RegistryStart(L"OneSyncSvc_1a2b3"), std::optional<DWORD>(2));
    EXPECT_EQ(RegistryDelayed(L"OneSyncSvc_1a2b3"), std::optional<DWORD>(1));
    EXPECT_FALSE(RegistryDelayed(L"WpnUserService_1a2b3").has_value()) << "only code 5 sets the flag";
}

TEST_F(ServiceStep, NamesWithASecondUnderscoreOrAnotherCaseRevealNoSuffix) {
    ConfigureServiceStartTypes(controller.serviceTable, controller.perUserServiceTemplates);
    // Had "9z_9z" or "c0ffee" been taken as suffixes, these would have become automatic.
    for (const wchar_t* name :
         {L"CDPUserSvc_9z_9z", L"CDPUserSvc_c0ffee", L"UserDataSvc_9z_9z", L"onesyncsvc_c0ffee"}) {
        EXPECT_EQ(ScmStart(name), std::optional<DWORD>(SERVICE_DISABLED)) << "service manager";
        EXPECT_EQ(RegistryStart(name), std::optional<DWORD>(SERVICE_DISABLED)) << "registry";
    }
}

TEST_F(ServiceStep, AnAutomaticEntryLeavesAnExistingDelayedStartFlagSet) {
    ASSERT_TRUE(SetServiceStartInRegistry(L"CDPUserSvc_1a2b3", 5));
    ASSERT_EQ(RegistryDelayed(L"CDPUserSvc_1a2b3"), std::optional<DWORD>(1));
    ConfigureServiceStartTypes(controller.serviceTable, controller.perUserServiceTemplates);
    EXPECT_EQ(RegistryStart(L"CDPUserSvc_1a2b3"), std::optional<DWORD>(2));
    EXPECT_EQ(RegistryDelayed(L"CDPUserSvc_1a2b3"), std::optional<DWORD>(1));
}

TEST_F(ServiceStep, ANameWithoutAServiceIsSkippedAndNothingIsCreated) {
    // Not "DiagTrack": a row of the common registry table gives that name a key of its own.
    ASSERT_FALSE(ServiceKeyExists(L"RemoteRegistry"));
    ASSERT_FALSE(ServiceKeyExists(L"BcastDVRUserService_1a2b3"));
    ConfigureServiceStartTypes(controller.serviceTable, controller.perUserServiceTemplates);
    EXPECT_FALSE(ServiceKeyExists(L"RemoteRegistry"));
    EXPECT_FALSE(ServiceKeyExists(L"BcastDVRUserService_1a2b3"));
    EXPECT_THAT(Lines(), Contains(L"\u26A0\uFE0F Failed to open key for RemoteRegistry (error 2)\n"));
    EXPECT_THAT(Lines(),
                Contains(L"\u26A0\uFE0F Failed to open key for BcastDVRUserService_1a2b3 (error 2)\n"));
    // The run went on to the end of the list.
    EXPECT_THAT(Lines(),
                Contains(L"\u26A0\uFE0F Failed to open key for webthreatdefusersvc_f00d (error 2)\n"));
}

TEST_F(ServiceStep, TheRegistryPassFollowsTheListOrderSoTheLaterOneSyncEntryWins) {
    ConfigureServiceStartTypes(controller.serviceTable, controller.perUserServiceTemplates);
    const std::vector<std::wstring> written = Lines();
    const std::wstring oneSync = L"\u2705 Configured OneSyncSvc_1a2b3 successfully.\n";
    EXPECT_EQ(std::count(written.begin(), written.end(), oneSync), 2);
    // The table's last entry, whether or not the prefix has that service.
    const auto table = std::find_if(written.begin(), written.end(), [](const std::wstring& line) {
        return line.find(L" wudfsvc ") != line.npos;
    });
    ASSERT_NE(table, written.end());
    const auto perUser = std::find(written.begin(), written.end(), oneSync);
    EXPECT_LT(table - written.begin(), perUser - written.begin())
        << "the whole table comes before the per-user entries";
}

TEST_F(ServiceStep, WinesSpoolerAndServerEndManualAfterMaximumAndAutomaticAfterStandard) {
    ASSERT_TRUE(RegistryStart(L"Spooler").has_value());
    ASSERT_TRUE(RegistryStart(L"LanmanServer").has_value());

    // Maximum: the service step, then the memory adjustment (registry only).
    ConfigureServiceStartTypes(controller.serviceTable, controller.perUserServiceTemplates);
    AdjustServicesForMemory();
    EXPECT_EQ(RegistryStart(L"Spooler"), std::optional<DWORD>(3));
    EXPECT_EQ(RegistryStart(L"LanmanServer"), std::optional<DWORD>(3));

    // Standard: the service step alone puts them back.
    ConfigureServiceStartTypes(controller.serviceTable, controller.perUserServiceTemplates);
    for (const wchar_t* name : {L"Spooler", L"LanmanServer"}) {
        EXPECT_EQ(RegistryStart(name), std::optional<DWORD>(2)) << "registry";
        EXPECT_EQ(ScmStart(name), std::optional<DWORD>(2)) << "service manager";
    }
}

std::uint32_t ExpectedGiB() {
    MEMORYSTATUSEX memory{};
    memory.dwLength = sizeof memory;
    EXPECT_TRUE(::GlobalMemoryStatusEx(&memory));
    const std::uint64_t kb = memory.ullTotalPhys / 1024;
    const std::uint64_t started = (kb + 1048575) / 1048576;
    return static_cast<std::uint32_t>(std::clamp<std::uint64_t>(started, 1, 64));
}

TEST_F(ServiceStep, SysMainIsDisabledOnlyFromSixteenGiBAndNeverCreated) {
    AdjustServicesForMemory();
    const std::wstring sysMainLine = L"\u26A0\uFE0F Failed to open key for sysmain (error 2)\n";
    if (ExpectedGiB() >= 16) {
        EXPECT_THAT(Lines(), Contains(sysMainLine));
    } else {
        EXPECT_THAT(Lines(), Not(Contains(sysMainLine)));
    }
    EXPECT_FALSE(ServiceKeyExists(L"sysmain")) << "Wine has no SysMain; its key must not appear";
    EXPECT_THAT(Lines(), Contains(L"\u2705 Configured Spooler successfully.\n"));
    EXPECT_THAT(Lines(), Contains(L"\u2705 Configured LanmanServer successfully.\n"));
}

TEST_F(ServiceStep, SvcHostSplitThresholdMatchesTheInstalledMemory) {
    SetSvcHostSplitThreshold();
    const DWORD expected = ExpectedGiB() * 1048576u + 20480u;
    EXPECT_EQ(ReadDword(L"SYSTEM\\CurrentControlSet\\Control", L"SvcHostSplitThresholdInKB"),
              std::optional<DWORD>(expected));
    EXPECT_THAT(Lines(),
                Contains(L"\u2705 Set SvcHostSplitThresholdInKB to " + std::to_wstring(expected) + L" KB"));
}

TEST_F(ServiceStep, RegistryStartTypesFollowTheCodeMapping) {
    const std::wstring name = L"OneSyncSvc_1a2b3";
    for (const auto& [code, start] :
         std::vector<std::pair<ServiceStartCode, DWORD>>{{0, 3}, {7, 3}, {1, 1}, {4, 4}}) {
        EXPECT_TRUE(SetServiceStartInRegistry(name, code));
        EXPECT_EQ(RegistryStart(name), std::optional<DWORD>(start)) << "code " << code;
    }
    EXPECT_FALSE(RegistryDelayed(name).has_value());
    EXPECT_TRUE(SetServiceStartInRegistry(name, 5));
    EXPECT_EQ(RegistryStart(name), std::optional<DWORD>(2));
    EXPECT_EQ(RegistryDelayed(name), std::optional<DWORD>(1));
}

TEST_F(ServiceStep, ANameThatIsNotOneServiceKeyWritesNothing) {
    const std::wstring below = L"OneSyncSvc_1a2b3\\Parameters";
    UniqueRegistryKey created;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, (kServicesKey + below).c_str(), 0, nullptr, 0, KEY_WRITE,
                                nullptr, created.Put(), nullptr),
              ERROR_SUCCESS);
    created.Reset();

    EXPECT_FALSE(SetServiceStartInRegistry(L"", 2));
    EXPECT_FALSE(SetServiceStartInRegistry(below, 2));
    EXPECT_FALSE(ReadDword(L"SYSTEM\\CurrentControlSet\\Services", L"Start").has_value());
    EXPECT_FALSE(ReadDword(kServicesKey + below, L"Start").has_value());
    EXPECT_EQ(Lines(), (std::vector<std::wstring>{L"\u26A0\uFE0F Failed to open key for  (error 123)\n",
                                                  L"\u26A0\uFE0F Failed to open key for " + below +
                                                      L" (error 123)\n"}));
}

TEST(PerUserServiceDiscovery, FindsTheSuffixOfAnInstalledInstance) {
    const std::wstring name = L"PimIndexMaintenanceSvc_7e57";
    DeleteTestService(name);
    ASSERT_TRUE(CreateTestService(name, SERVICE_DEMAND_START));
    const auto suffixes = CollectPerUserServiceSuffixes();
    DeleteTestService(name);
    EXPECT_THAT(suffixes, Contains(L"7e57"));
    EXPECT_THAT(CollectPerUserServiceSuffixes(), Not(Contains(L"7e57"))) << "gone with its service";
}

} // namespace
