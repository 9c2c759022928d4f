#include "system/commands.h"
#include "system/services.h"
#include "tweaks/run_controller.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using namespace Velmora;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Names = std::vector<std::wstring>;

constexpr std::uint64_t kGiB = 1024ull * 1024 * 1024;

TEST(PerUserServiceSuffixes, OnlyTheEightBasePrefixesInExactCaseWithOneUnderscoreRevealSuffixes) {
    const struct {
        Names services;
        Names suffixes;
    } cases[] = {
        {{L"Spooler", L"OneSyncSvc_1a2b3", L"WpnUserService_1a2b3"}, {L"1a2b3"}},
        {{L"UserDataSvc_f00d", L"OneSyncSvc_1a2b3", L"UdkUserSvc_f00d"}, {L"1a2b3", L"f00d"}},
        {{L"OneSyncSvc_b1", L"OneSyncSvc_B2"}, {L"B2", L"b1"}}, // code units, not a collation
        {{L"BluetoothUserService_a", L"BcastDVRUserService_b", L"PimIndexMaintenanceSvc_c",
          L"webthreatdefusersvc_d"},
         {L"a", L"b", L"c", L"d"}},
        {{L"OneSyncSvc_1a2b3_x", L"onesyncsvc_1a2b3", L"WPNUSERSERVICE_1a2b3", L"CDPUserSvc_1a2b3",
          L"OneSyncSvc", L"XOneSyncSvc_1a2b3", L"cbdhsvc_1a2b3"},
         {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PerUserServiceSuffixesOf(c.services), c.suffixes);
    }
}

TEST(PerUserServiceTemplates, EachTemplateInTableOrderGetsEverySuffixSmallestFirstWithItsCode) {
    const RunController controller;
    const auto& templates = controller.perUserServiceTemplates;
    const auto expanded = ExpandPerUserServiceTemplates(templates, {L"1a2b3", L"f00d"});
    ASSERT_EQ(expanded.size(), 2 * templates.size());
    for (size_t i = 0; i < templates.size(); ++i) {
        const std::wstring stem = templates[i].name.substr(0, templates[i].name.size() - 1);
        EXPECT_EQ(expanded[2 * i], (ServiceStartEntry{stem + L"1a2b3", templates[i].code}));
        EXPECT_EQ(expanded[2 * i + 1], (ServiceStartEntry{stem + L"f00d", templates[i].code}));
    }
    EXPECT_THAT(ExpandPerUserServiceTemplates({{L"A_*_*", 3}, {L"Plain", 4}, {L"B_*x", 7}}, {L"s"}),
                ElementsAre(ServiceStartEntry{L"A_s_*", 3}, ServiceStartEntry{L"Plain", 4},
                            ServiceStartEntry{L"B_sx", 7}));
    EXPECT_THAT(ExpandPerUserServiceTemplates(templates, {}), IsEmpty());
}

TEST(PerUserServiceTemplates, TheTableComesFirstThenTheInstancesSoTheLaterOneSyncEntryWins) {
    const RunController controller;
    const auto expanded = ExpandPerUserServiceTemplates(controller.perUserServiceTemplates, {L"1a2b3"});
    auto expected = controller.serviceTable;
    expected.insert(expected.end(), expanded.begin(), expanded.end());
    EXPECT_EQ(CombineServiceLists(controller.serviceTable, expanded), expected);
}

TEST(ServiceStartCodes, DelayedStartIsAutomaticWithTheFlagAndUnknownCodesAreManual) {
    const std::pair<ServiceStartCode, ServiceStartType> cases[] = {
        {1, {1, false}}, {2, {2, false}}, {3, {3, false}}, {4, {4, false}},
        {5, {2, true}},  {0, {3, false}}, {6, {3, false}}, {-2, {3, false}},
    };
    for (const auto& [code, type] : cases) {
        EXPECT_EQ(MapServiceStartCode(code), type) << code;
    }
}

TEST(InstalledMemory, WholeOrStartedGiBFromOneToSixtyFourDecideTheThresholdAndSysMain) {
    const struct {
        std::uint64_t bytes;
        std::uint32_t gib;
        std::uint32_t thresholdKB;
        bool sysMainOff;
    } cases[] = {
        {0, 1, 1069056, false},
        {kGiB, 1, 1069056, false},
        {kGiB + 1023, 1, 1069056, false}, // bytes below a whole kilobyte are dropped
        {kGiB + 1024, 2, 2117632, false}, // one kilobyte more starts the second GiB
        {8 * kGiB, 8, 8409088, false},
        {15 * kGiB, 15, 15749120, false},
        {15 * kGiB + 8 * kGiB / 10, 16, 16797696, true},
        {16 * kGiB, 16, 16797696, true},
        {64 * kGiB + 1024, 64, 67129344, true},
        {~0ull, 64, 67129344, true},
    };
    const std::vector<ServiceStartEntry> printSharing{{L"Spooler", 3}, {L"LanmanServer", 3}};
    for (const auto& c : cases) {
        const std::uint32_t gib = InstalledMemoryGiB(c.bytes);
        EXPECT_EQ(gib, c.gib) << c.bytes;
        EXPECT_EQ(SvcHostSplitThresholdKB(gib), c.thresholdKB) << c.bytes;
        std::vector<ServiceStartEntry> adjustments = printSharing;
        if (c.sysMainOff) {
            adjustments.insert(adjustments.begin(), ServiceStartEntry{L"sysmain", 4});
        }
        EXPECT_EQ(ServiceAdjustmentsForMemory(gib), adjustments) << c.bytes;
    }
}

TEST(ServiceKeys, OnlyANonEmptyNameWithoutBackslashAddressesOneKeyAndTheScmLineIsUnsigned) {
    EXPECT_TRUE(IsServiceKeyName(L"diagnosticshub.standardcollector.service"));
    for (const wchar_t* name : {L"", L"Spooler\\Parameters", L"\\"}) {
        EXPECT_FALSE(IsServiceKeyName(name));
    }
    EXPECT_EQ(ScmOpenFailureLine(0x80070005u), "Failed to open Service Control Manager: 2147942405\n");
}

// Wine's cmd runs the next entry after a failing one whatever joins them, so only the line itself shows
// that every entry runs: " & ", never " && " or " || ".
TEST(CommandLines, CmdJoinsTheEntriesAsStoredWithASingleAmpersand) {
    const struct {
        std::vector<std::wstring> entries;
        std::optional<std::wstring> line;
    } cases[] = {
        {{}, std::nullopt},
        {{L"NET STOP w32time"}, L"cmd.exe /C NET STOP w32time"},
        {{L"c", L"exit 3", L"b"}, L"cmd.exe /C c & exit 3 & b"},
        {{L"", L"echo \"a&b\""}, L"cmd.exe /C  & echo \"a&b\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BuildCmdCommandLine(c.entries), c.line);
    }
}

} // namespace
