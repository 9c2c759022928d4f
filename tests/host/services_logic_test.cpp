#include "system/services.h"
#include "tweaks/run_controller.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

namespace {

using namespace Velmora;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr std::uint64_t kGiB = 1024ull * 1024 * 1024;

// The start code each name ends with when the list is applied in order (a later entry overrides).
std::map<std::wstring, ServiceStartCode> FinalCodes(const std::vector<ServiceStartEntry>& list) {
    std::map<std::wstring, ServiceStartCode> codes;
    for (const auto& entry : list) {
        codes.insert_or_assign(entry.name, entry.code);
    }
    return codes;
}

TEST(PerUserServiceSuffixes, OneSuffixSharedByTwoPrefixesIsCollectedOnce) {
    EXPECT_THAT(PerUserServiceSuffixesOf({L"Spooler", L"OneSyncSvc_1a2b3", L"WpnUserService_1a2b3"}),
                ElementsAre(L"1a2b3"));
}

TEST(PerUserServiceSuffixes, TwoUsersGiveTwoSuffixesInAscendingCodeUnitOrder) {
    EXPECT_THAT(PerUserServiceSuffixesOf({L"UserDataSvc_f00d", L"OneSyncSvc_1a2b3", L"UdkUserSvc_f00d",
                                          L"BluetoothUserService_1a2b3"}),
                ElementsAre(L"1a2b3", L"f00d"));
    // Upper case sorts before lower case: code units, not a collation.
    EXPECT_THAT(PerUserServiceSuffixesOf({L"OneSyncSvc_b1", L"OneSyncSvc_B2"}), ElementsAre(L"B2", L"b1"));
}

TEST(PerUserServiceSuffixes, EveryBasePrefixYieldsItsSuffix) {
    std::vector<std::wstring> names;
    for (const std::wstring_view prefix : kPerUserServiceBasePrefixes) {
        names.push_back(std::wstring(prefix) + L"s" + std::to_wstring(names.size()));
    }
    EXPECT_EQ(PerUserServiceSuffixesOf(names).size(), 8u);
}

TEST(PerUserServiceSuffixes, ASecondUnderscoreOrAnotherCaseYieldsNothing) {
    EXPECT_THAT(PerUserServiceSuffixesOf({L"OneSyncSvc_1a2b3_x", L"WpnUserService_a_b", L"onesyncsvc_1a2b3",
                                          L"WPNUSERSERVICE_1a2b3", L"Webthreatdefusersvc_1a2b3"}),
                IsEmpty());
}

TEST(PerUserServiceSuffixes, OnlyTheEightBasePrefixesRevealSuffixes) {
    // Templates outside the base list ("CDPUserSvc_*") are expanded but never used for discovery,
    // and a prefix must stand at the start of the name.
    EXPECT_THAT(PerUserServiceSuffixesOf(
                    {L"CDPUserSvc_1a2b3", L"cbdhsvc_1a2b3", L"OneSyncSvc", L"XOneSyncSvc_1a2b3"}),
                IsEmpty());
}

TEST(PerUserServiceTemplateExpansion, OneSuffixGivesEveryTemplateOnceInTableOrderWithItsCode) {
    const RunController controller;
    const auto expanded = ExpandPerUserServiceTemplates(controller.perUserServiceTemplates, {L"1a2b3"});
    ASSERT_EQ(expanded.size(), 23u);
    for (size_t i = 0; i < expanded.size(); ++i) {
        const ServiceStartEntry& from = controller.perUserServiceTemplates[i];
        EXPECT_EQ(expanded[i].name, from.name.substr(0, from.name.size() - 1) + L"1a2b3");
        EXPECT_EQ(expanded[i].code, from.code);
    }
    EXPECT_EQ(expanded[2], (ServiceStartEntry{L"CDPUserSvc_1a2b3", 2}));
    EXPECT_EQ(expanded[11], (ServiceStartEntry{L"OneSyncSvc_1a2b3", 2}));
    EXPECT_EQ(expanded[12], (ServiceStartEntry{L"OneSyncSvc_1a2b3", 5}));
    EXPECT_EQ(expanded.back(), (ServiceStartEntry{L"webthreatdefusersvc_1a2b3", 2}));
}

TEST(PerUserServiceTemplateExpansion, TwoSuffixesGiveTheSmallerFirstForEachTemplate) {
    const RunController controller;
    const auto expanded =
        ExpandPerUserServiceTemplates(controller.perUserServiceTemplates, {L"1a2b3", L"f00d"});
    ASSERT_EQ(expanded.size(), 46u);
    EXPECT_EQ(expanded[0], (ServiceStartEntry{L"BcastDVRUserService_1a2b3", 3}));
    EXPECT_EQ(expanded[1], (ServiceStartEntry{L"BcastDVRUserService_f00d", 3}));
    EXPECT_EQ(expanded[4], (ServiceStartEntry{L"CDPUserSvc_1a2b3", 2}));
    EXPECT_EQ(expanded[5], (ServiceStartEntry{L"CDPUserSvc_f00d", 2}));
    EXPECT_THAT(
        std::vector<ServiceStartEntry>(expanded.begin() + 22, expanded.begin() + 26),
        ElementsAre(ServiceStartEntry{L"OneSyncSvc_1a2b3", 2}, ServiceStartEntry{L"OneSyncSvc_f00d", 2},
                    ServiceStartEntry{L"OneSyncSvc_1a2b3", 5}, ServiceStartEntry{L"OneSyncSvc_f00d", 5}));
}

TEST(PerUserServiceTemplateExpansion, OnlyTheFirstWildcardIsReplacedAndANameWithoutOneIsCopied) {
    EXPECT_THAT(ExpandPerUserServiceTemplates({{L"A_*_*", 3}, {L"Plain", 4}, {L"B_*x", 7}}, {L"s"}),
                ElementsAre(ServiceStartEntry{L"A_s_*", 3}, ServiceStartEntry{L"Plain", 4},
                            ServiceStartEntry{L"B_sx", 7}));
}

TEST(PerUserServiceTemplateExpansion, NoSuffixesOrNoTemplatesExpandToNothing) {
    const RunController controller;
    EXPECT_THAT(ExpandPerUserServiceTemplates(controller.perUserServiceTemplates, {}), IsEmpty());
    EXPECT_THAT(ExpandPerUserServiceTemplates({}, {L"1a2b3"}), IsEmpty());
}

TEST(CombinedServiceList, TheTableComesFirstAndTheLaterOneSyncEntryWins) {
    const RunController controller;
    const auto combined =
        CombineServiceLists(controller.serviceTable,
                            ExpandPerUserServiceTemplates(controller.perUserServiceTemplates, {L"1a2b3"}));
    ASSERT_EQ(combined.size(), 252u + 23u);
    EXPECT_TRUE(std::equal(controller.serviceTable.begin(), controller.serviceTable.end(), combined.begin()));
    EXPECT_EQ(combined[252], (ServiceStartEntry{L"BcastDVRUserService_1a2b3", 3}));
    const auto codes = FinalCodes(combined);
    EXPECT_EQ(codes.at(L"OneSyncSvc_1a2b3"), 5);
    EXPECT_EQ(codes.at(L"CDPUserSvc_1a2b3"), 2);
    EXPECT_EQ(codes.at(L"Spooler"), 2);
    EXPECT_EQ(codes.at(L"DiagTrack"), 4);
}

TEST(CombinedServiceList, WithoutSuffixesOnlyTheTableIsAppliedAndNoWildcardSurvives) {
    const RunController controller;
    const auto combined = CombineServiceLists(
        controller.serviceTable, ExpandPerUserServiceTemplates(controller.perUserServiceTemplates, {}));
    EXPECT_EQ(combined, controller.serviceTable);
    for (const auto& entry : combined) {
        EXPECT_EQ(entry.name.find(L"_*"), std::wstring::npos);
    }
}

TEST(ServiceStartCodeMapping, DelayedStartIsAutomaticWithTheFlagAndUnknownCodesAreManual) {
    EXPECT_EQ(MapServiceStartCode(1), (ServiceStartType{1, false}));
    EXPECT_EQ(MapServiceStartCode(2), (ServiceStartType{2, false}));
    EXPECT_EQ(MapServiceStartCode(3), (ServiceStartType{3, false}));
    EXPECT_EQ(MapServiceStartCode(4), (ServiceStartType{4, false}));
    EXPECT_EQ(MapServiceStartCode(5), (ServiceStartType{2, true}));
    EXPECT_EQ(MapServiceStartCode(0), (ServiceStartType{3, false}));
    EXPECT_EQ(MapServiceStartCode(7), (ServiceStartType{3, false}));
    EXPECT_EQ(MapServiceStartCode(-2), (ServiceStartType{3, false}));
}

TEST(InstalledMemoryRule, OneGiBOrLessCountsAsOne) {
    EXPECT_EQ(InstalledMemoryGiB(0), 1u);
    EXPECT_EQ(InstalledMemoryGiB(512 * 1024 * 1024), 1u);
    EXPECT_EQ(InstalledMemoryGiB(kGiB), 1u);
    EXPECT_EQ(SvcHostSplitThresholdKB(InstalledMemoryGiB(kGiB)), 1069056u);
    EXPECT_EQ(InstalledMemoryGiB(kGiB + 1024), 2u) << "one kilobyte more starts the second GiB";
}

TEST(InstalledMemoryRule, WholeGiBCountThemselvesAndStartedOnesRoundUp) {
    EXPECT_EQ(InstalledMemoryGiB(8 * kGiB), 8u);
    EXPECT_EQ(SvcHostSplitThresholdKB(8), 8409088u);
    EXPECT_EQ(InstalledMemoryGiB(15 * kGiB), 15u);
    EXPECT_EQ(InstalledMemoryGiB(15 * kGiB + 1023), 15u) << "bytes below a whole kilobyte are dropped";
    EXPECT_EQ(InstalledMemoryGiB(15 * kGiB + 8 * kGiB / 10), 16u); // 15.8 GiB
    EXPECT_EQ(SvcHostSplitThresholdKB(16), 16797696u);
    EXPECT_EQ(InstalledMemoryGiB(16 * kGiB), 16u);
}

TEST(InstalledMemoryRule, CountIsCappedAtSixtyFour) {
    EXPECT_EQ(InstalledMemoryGiB(64 * kGiB), 64u);
    EXPECT_EQ(InstalledMemoryGiB(64 * kGiB + 1024), 64u);
    EXPECT_EQ(InstalledMemoryGiB(200 * kGiB), 64u);
    EXPECT_EQ(SvcHostSplitThresholdKB(InstalledMemoryGiB(200 * kGiB)), 67129344u);
    EXPECT_EQ(InstalledMemoryGiB(~0ull), 64u);
}

TEST(InstalledMemoryRule, SysMainIsDisabledFromSixteenGiBAndPrintSharingAlwaysBecomesManual) {
    const std::vector<ServiceStartEntry> manualOnly{{L"Spooler", 3}, {L"LanmanServer", 3}};
    EXPECT_EQ(ServiceAdjustmentsForMemory(InstalledMemoryGiB(kGiB)), manualOnly);
    EXPECT_EQ(ServiceAdjustmentsForMemory(InstalledMemoryGiB(8 * kGiB)), manualOnly);
    EXPECT_EQ(ServiceAdjustmentsForMemory(InstalledMemoryGiB(15 * kGiB)), manualOnly);
    const std::vector<ServiceStartEntry> withSysMain{{L"sysmain", 4}, {L"Spooler", 3}, {L"LanmanServer", 3}};
    EXPECT_EQ(ServiceAdjustmentsForMemory(InstalledMemoryGiB(15 * kGiB + 8 * kGiB / 10)), withSysMain);
    EXPECT_EQ(ServiceAdjustmentsForMemory(InstalledMemoryGiB(16 * kGiB)), withSysMain);
    EXPECT_EQ(ServiceAdjustmentsForMemory(InstalledMemoryGiB(200 * kGiB)), withSysMain);
}

TEST(ServiceStepLines, ScmOpenFailureIsUnsignedDecimalWithALineEnd) {
    EXPECT_EQ(ScmOpenFailureLine(5), "Failed to open Service Control Manager: 5\n");
    EXPECT_EQ(ScmOpenFailureLine(0x80070005u), "Failed to open Service Control Manager: 2147942405\n");
}

TEST(ServiceKeyNames, OnlyANonEmptyNameWithoutBackslashAddressesOneServiceKey) {
    EXPECT_TRUE(IsServiceKeyName(L"Spooler"));
    EXPECT_TRUE(IsServiceKeyName(L"diagnosticshub.standardcollector.service"));
    EXPECT_TRUE(IsServiceKeyName(L"OneSyncSvc_1a2b3"));
    EXPECT_FALSE(IsServiceKeyName(L""));
    EXPECT_FALSE(IsServiceKeyName(L"Spooler\\Parameters"));
    EXPECT_FALSE(IsServiceKeyName(L"\\"));
}

} // namespace
