#include "tweaks/run_controller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

namespace {

using namespace Velmora;

std::map<RegistryRoot, int> RootCounts(const std::vector<RegistryDwordSetting>& table) {
    std::map<RegistryRoot, int> counts;
    for (const auto& row : table) {
        ++counts[row.root];
    }
    return counts;
}

std::map<ServiceStartCode, int> CodeCounts(const std::vector<ServiceStartEntry>& table) {
    std::map<ServiceStartCode, int> counts;
    for (const auto& row : table) {
        ++counts[row.code];
    }
    return counts;
}

TEST(RunControllerTables, RegistryTablesHaveTheirRowsAndRoots) {
    const RunController c;
    EXPECT_EQ(c.commonRegistryTable.size(), 166u);
    EXPECT_EQ(RootCounts(c.commonRegistryTable), (std::map<RegistryRoot, int>{{1, 58}, {2, 106}, {3, 2}}));
    EXPECT_EQ(c.standardRegistryTable.size(), 73u);
    EXPECT_EQ(RootCounts(c.standardRegistryTable), (std::map<RegistryRoot, int>{{1, 37}, {2, 36}}));
    EXPECT_EQ(c.maximumRegistryTable.size(), 40u);
    EXPECT_EQ(RootCounts(c.maximumRegistryTable), (std::map<RegistryRoot, int>{{1, 14}, {2, 26}}));
}

TEST(RunControllerTables, ServiceTablesHaveTheirEntriesInOrder) {
    const RunController c;
    ASSERT_EQ(c.serviceTable.size(), 252u);
    EXPECT_EQ(CodeCounts(c.serviceTable), (std::map<ServiceStartCode, int>{{2, 43}, {3, 195}, {4, 14}}));
    // The automatic group, then disabled, then manual.
    const auto nameAt = [&c](size_t i) { return c.serviceTable[i].name; };
    EXPECT_EQ((std::vector<std::wstring>{nameAt(0), nameAt(1), nameAt(2), nameAt(3)}),
              (std::vector<std::wstring>{L"WinDefend", L"RpcSs", L"DcomLaunch", L"PlugPlay"}));
    EXPECT_EQ((std::vector<std::wstring>{nameAt(248), nameAt(249), nameAt(250), nameAt(251)}),
              (std::vector<std::wstring>{L"wlpasvc", L"wmiApSrv", L"workfolderssvc", L"wudfsvc"}));
    EXPECT_EQ(c.serviceTable[42], (ServiceStartEntry{L"sppsvc", 2}));
    EXPECT_EQ(c.serviceTable[43], (ServiceStartEntry{L"DiagTrack", 4}));
    EXPECT_EQ(c.serviceTable[57], (ServiceStartEntry{L"NlaSvc", 3}));
    std::set<std::wstring> names;
    for (const auto& entry : c.serviceTable) {
        EXPECT_TRUE(names.insert(entry.name).second) << "repeated service name";
    }

    ASSERT_EQ(c.perUserServiceTemplates.size(), 23u);
    EXPECT_EQ(CodeCounts(c.perUserServiceTemplates),
              (std::map<ServiceStartCode, int>{{2, 3}, {3, 19}, {5, 1}}));
    EXPECT_EQ(c.perUserServiceTemplates[11], (ServiceStartEntry{L"OneSyncSvc_*", 2}));
    EXPECT_EQ(c.perUserServiceTemplates[12], (ServiceStartEntry{L"OneSyncSvc_*", 5}));
    for (const auto& entry : c.perUserServiceTemplates) {
        EXPECT_TRUE(entry.name.ends_with(L"_*")) << entry.name.size();
    }
}

TEST(RunControllerTables, StringListsKeepTheirRowsAndRepetitions) {
    const RunController c;
    EXPECT_EQ(c.basePowerShellCommands,
              (std::vector<std::wstring>{L"setx DOTNET_CLI_TELEMETRY_OPTOUT 1",
                                         L"setx POWERSHELL_TELEMETRY_OPTOUT 1", L"ipconfig /flushdns",
                                         L"ie4uinit -show"}));
    ASSERT_EQ(c.baseCmdCommands.size(), 10u);
    EXPECT_NE(c.baseCmdCommands[4].find(L"/manualpeerlist:\"time.windows.com\""), std::wstring::npos);
    EXPECT_EQ(c.baseCmdCommands[6], L"netsh interface ipv6 set interface \"Ethernet\" admin=enable");
    EXPECT_EQ(c.ipv6DisableCommands.size(), 4u);
    EXPECT_EQ(c.ipv6DisableCommands[3],
              L"netsh interface ipv6 set interface \"Wireless Network Connection\" admin=disable");
    EXPECT_EQ(c.scheduledTaskPaths.size(), 19u);
    ASSERT_EQ(c.preinstalledPackageNames.size(), 66u);
    EXPECT_EQ(c.preinstalledPackageNames[63], c.preinstalledPackageNames[19]);
    EXPECT_EQ(c.preinstalledPackageNames[64], c.preinstalledPackageNames[32]);
    EXPECT_EQ(c.preinstalledPackageNames[65], c.preinstalledPackageNames[39]);
}

TEST(RunControllerTables, RowsKeepTheirRootWhereThePathSuggestsAnother) {
    const RunController c;
    EXPECT_EQ(c.commonRegistryTable[143],
              (RegistryDwordSetting{1, L"SYSTEM\\CurrentControlSet\\Control\\GraphicsDrivers:HwSchMode", 2}));
    EXPECT_EQ(c.standardRegistryTable[20].root, 1u);
    EXPECT_EQ(c.standardRegistryTable[20].spec,
              L"SYSTEM\\CurrentControlSet\\Control\\FileSystem:MemoryUsage");
    EXPECT_EQ(c.maximumRegistryTable[30].root, 1u);
    EXPECT_EQ(c.maximumRegistryTable[30].spec,
              L"SYSTEM\\CurrentControlSet\\Services\\Tcpip6\\Parameters:DisabledComponents");
    EXPECT_EQ(c.standardRegistryTable[60].root, 2u);
    EXPECT_EQ(c.standardRegistryTable[60].spec,
              L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced:TaskbarDa");
    EXPECT_EQ(c.maximumRegistryTable[3].root, 2u);
    EXPECT_EQ(c.maximumRegistryTable[3].spec,
              L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced:DisallowShaking");
}

TEST(RunControllerTables, KeyPathsKeepTheirTrailingBlanks) {
    const RunController c;
    EXPECT_EQ(c.commonRegistryTable[124].spec, L"Software\\Autodesk\\MC3 :ADAOptIn");
    EXPECT_EQ(c.commonRegistryTable[125].spec, L"Software\\Autodesk\\MC3 :ADARePrompted");
    EXPECT_EQ(c.commonRegistryTable[55].data, 4294967295u);
}

TEST(RunControllerTables, HkeyUsersRowsAddressTheKeysAsTheyStand) {
    const RunController c;
    std::vector<std::wstring> users;
    for (const auto& row : c.commonRegistryTable) {
        if (row.root == 3) {
            users.push_back(row.spec);
        }
    }
    EXPECT_EQ(users,
              (std::vector<std::wstring>{L".DEFAULT\\Control Panel\\Keyboard:InitialKeyboardIndicators",
                                         L"\\Control Panel\\Keyboard:InitialKeyboardIndicators"}));
}

TEST(RunControllerTables, ARepeatedSpecIsKeptAndTheLaterFeatureOverrideWins) {
    const RunController c;
    const std::wstring enabledState =
        L"SYSTEM\\CurrentControlSet\\Control\\FeatureManagement\\Overrides\\4\\586118283:EnabledState";
    std::vector<std::uint32_t> data;
    for (const auto& row : c.maximumRegistryTable) {
        if (row.spec == enabledState) {
            data.push_back(row.data);
        }
    }
    EXPECT_EQ(data, (std::vector<std::uint32_t>{0, 1}));
}

} // namespace
