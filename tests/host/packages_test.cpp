// Preinstalled app removal over a fake package catalogue: matching, the per-fragment failure rules,
// the extra fragment of each run and overlapping runs (the real package manager exists only on Windows).

#include "system/packages.h"
#include "tweaks/run_controller.h"
#include "tweaks/run_controller_tables.h"

#include "support/fake_package_platform.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <latch>
#include <thread>

namespace {

using namespace Velmora;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;
using Velmora::Testing::FakePackagePlatform;

const std::wstring kCacheKey =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\CloudStore\\Store\\Cache\\DefaultAccount";
const std::wstring kContractCall = L"IsApiContractPresent Windows.Foundation.UniversalApiContract 13";

FakePackagePlatform::Package Installed(const std::wstring& name, bool removalFails = false) {
    return {name, name + L"_1.0.0.0_x64__8wekyb3d8bbwe", removalFails};
}

std::wstring FullName(const std::wstring& name) {
    return Installed(name).fullName;
}

long CountOf(const std::vector<std::wstring>& items, const std::wstring& item) {
    return static_cast<long>(std::count(items.begin(), items.end(), item));
}

TEST(PackageNameMatching, IgnoresCaseOnBothSides) {
    EXPECT_TRUE(PackageNameMatches(L"Microsoft.BingNews", L"Microsoft.BingNews"));
    EXPECT_TRUE(PackageNameMatches(L"Microsoft.BingNews", L"microsoft.bingnews"));
    EXPECT_TRUE(PackageNameMatches(L"MICROSOFT.BINGNEWS", L"Microsoft.BingNews"));
    EXPECT_TRUE(
        PackageNameMatches(L"microsoft.windowscommunicationsapps", L"Microsoft.WindowsCommunicationsApps"));
    EXPECT_FALSE(PackageNameMatches(L"Microsoft.BingNews", L"Microsoft.BingWeather"));
}

TEST(PackageNameMatching, MatchesAnywhereInALongerName) {
    EXPECT_TRUE(PackageNameMatches(L"Microsoft.BingNews", L"Contoso.Microsoft.BingNews"));
    EXPECT_TRUE(PackageNameMatches(L"Microsoft.BingNews", L"Microsoft.BingNews.Preview"));
    EXPECT_TRUE(PackageNameMatches(L"LinkedInforWindows", L"7EE7776C.LinkedInforWindows"));
}

TEST(PackageNameMatching, AFragmentLongerThanTheNameNeverMatches) {
    EXPECT_FALSE(PackageNameMatches(L"Microsoft.BingNewsDaily", L"Microsoft.BingNews"));
    EXPECT_FALSE(PackageNameMatches(L"Microsoft.Windows.DevHome", L"DevHome"));
}

TEST(PackageNameMatching, APublisherSuffixNeverMatchesBecauseOnlyTheNameIsSearched) {
    EXPECT_FALSE(PackageNameMatches(L"Microsoft.LinkedIn_8wekyb3d8bbwe", L"Microsoft.LinkedIn"));

    FakePackagePlatform platform({Installed(L"Microsoft.LinkedIn")});
    EXPECT_TRUE(RemovePreinstalledApps({L"Microsoft.LinkedIn_8wekyb3d8bbwe"}, platform));
    EXPECT_THAT(platform.RemovalAttempts(), IsEmpty());
    EXPECT_THAT(platform.InstalledNames(), ElementsAre(L"Microsoft.LinkedIn"));
}

// An empty fragment would be a substring of every name and uninstall every app.
TEST(PackageNameMatching, AnEmptyFragmentMatchesNothing) {
    EXPECT_FALSE(PackageNameMatches(L"", L"Microsoft.WindowsStore"));

    FakePackagePlatform platform({Installed(L"Microsoft.WindowsStore"), Installed(L"Microsoft.BingNews")});
    EXPECT_TRUE(RemovePreinstalledApps({L"", L"Microsoft.BingNews"}, platform));
    EXPECT_THAT(platform.InstalledNames(), ElementsAre(L"Microsoft.WindowsStore"));
}

TEST(PackageRemovalRun, DeletesTheCacheKeyBeforeOpeningTheCatalogue) {
    FakePackagePlatform platform({});
    EXPECT_TRUE(RemovePreinstalledApps({L"Microsoft.BingNews"}, platform));
    EXPECT_THAT(platform.Calls(),
                ElementsAre(kContractCall, L"DeleteRegistryTree 1 " + kCacheKey, L"OpenCatalogue"));
}

TEST(PackageRemovalRun, WithoutACatalogueTheRunEndsAfterTheCacheKeyWasDeleted) {
    FakePackagePlatform platform({Installed(L"Microsoft.BingNews")}, true);
    platform.catalogueAvailable = false;
    EXPECT_FALSE(RemovePreinstalledApps({L"Microsoft.BingNews"}, platform));
    EXPECT_THAT(platform.Calls(),
                ElementsAre(kContractCall, L"DeleteRegistryTree 1 " + kCacheKey, L"OpenCatalogue"));
    EXPECT_EQ(platform.Walks(), 0);
    EXPECT_THAT(platform.InstalledNames(), ElementsAre(L"Microsoft.BingNews"));
}

TEST(PackageRemovalRun, AFailedCacheKeyDeletionIsIgnored) {
    FakePackagePlatform platform({Installed(L"Microsoft.BingNews")});
    platform.cacheKeyDeletionSucceeds = false;
    EXPECT_TRUE(RemovePreinstalledApps({L"Microsoft.BingNews"}, platform));
    EXPECT_THAT(platform.InstalledNames(), IsEmpty());
}

TEST(PackageRemovalRun, OneFragmentRemovesEveryMatchingPackageInCatalogueOrder) {
    FakePackagePlatform platform({Installed(L"Microsoft.ZuneVideo"), Installed(L"Microsoft.WindowsStore"),
                                  Installed(L"Microsoft.ZuneMusic")});
    EXPECT_TRUE(RemovePreinstalledApps({L"microsoft.zune"}, platform));
    EXPECT_THAT(platform.RemovalAttempts(),
                ElementsAre(FullName(L"Microsoft.ZuneVideo"), FullName(L"Microsoft.ZuneMusic")));
    EXPECT_THAT(platform.InstalledNames(), ElementsAre(L"Microsoft.WindowsStore"));
    EXPECT_EQ(platform.Walks(), 1);
}

TEST(PackageRemovalRun, AFailedRemovalEndsThatFragmentsPassAndTheNextFragmentGoesOn) {
    FakePackagePlatform platform({Installed(L"Microsoft.ZuneMusic", true), Installed(L"Microsoft.ZuneVideo"),
                                  Installed(L"Microsoft.BingNews")});
    EXPECT_TRUE(RemovePreinstalledApps({L"Microsoft.Zune", L"Microsoft.BingNews"}, platform));
    EXPECT_THAT(platform.RemovalAttempts(),
                ElementsAre(FullName(L"Microsoft.ZuneMusic"), FullName(L"Microsoft.BingNews")));
    EXPECT_THAT(platform.InstalledNames(), ElementsAre(L"Microsoft.ZuneMusic", L"Microsoft.ZuneVideo"));
}

TEST(PackageRemovalRun, AnUnreadablePackageEndsOnlyThatFragmentsPass) {
    for (const auto reading : {FakePackagePlatform::Reading::Fails, FakePackagePlatform::Reading::Throws}) {
        SCOPED_TRACE(reading == FakePackagePlatform::Reading::Fails ? "failure" : "exception");
        FakePackagePlatform::Package broken = Installed(L"Contoso.Broken");
        broken.reading = reading;
        FakePackagePlatform platform({Installed(L"Microsoft.BingNews"), Installed(L"Microsoft.ZuneMusic"),
                                      broken, Installed(L"Microsoft.ZuneVideo")});
        EXPECT_TRUE(RemovePreinstalledApps({L"Microsoft.Zune", L"Microsoft.BingNews"}, platform));
        EXPECT_THAT(platform.RemovalAttempts(),
                    ElementsAre(FullName(L"Microsoft.ZuneMusic"), FullName(L"Microsoft.BingNews")));
        EXPECT_THAT(platform.InstalledNames(), ElementsAre(L"Contoso.Broken", L"Microsoft.ZuneVideo"));
    }
}

TEST(PackageRemovalRun, AWalkThatCannotStartSkipsOnlyThatFragment) {
    FakePackagePlatform platform({Installed(L"Microsoft.BingNews"), Installed(L"Microsoft.ZuneMusic")});
    platform.walksThatCannotStart = {1};
    EXPECT_TRUE(RemovePreinstalledApps({L"Microsoft.BingNews", L"Microsoft.ZuneMusic"}, platform));
    EXPECT_THAT(platform.InstalledNames(), ElementsAre(L"Microsoft.BingNews"));
    EXPECT_EQ(platform.Walks(), 2);
}

TEST(PackageRemovalRun, ARepeatedFragmentFindsNothingMoreOrRetriesWhatFailed) {
    FakePackagePlatform removable({Installed(L"Microsoft.SkypeApp")});
    EXPECT_TRUE(RemovePreinstalledApps({L"Microsoft.SkypeApp", L"Microsoft.SkypeApp"}, removable));
    EXPECT_THAT(removable.RemovalAttempts(), ElementsAre(FullName(L"Microsoft.SkypeApp")));
    EXPECT_EQ(removable.Walks(), 2);

    FakePackagePlatform stubborn({Installed(L"Microsoft.SkypeApp", true)});
    EXPECT_TRUE(RemovePreinstalledApps({L"Microsoft.SkypeApp", L"Microsoft.SkypeApp"}, stubborn));
    EXPECT_THAT(stubborn.RemovalAttempts(),
                ElementsAre(FullName(L"Microsoft.SkypeApp"), FullName(L"Microsoft.SkypeApp")));
}

// A Mail and Calendar package whose removal fails is tried once per pass that matches it, so the
// attempts count the passes over "microsoft.windowscommunicationsapps".
TEST(PackageRemovalRun, TheExtraFragmentIsAddedOncePerRunWhenTheContractIsPresent) {
    const RunController controller;
    FakePackagePlatform platform({Installed(L"microsoft.windowscommunicationsapps", true)}, true);
    const std::wstring mail = FullName(L"microsoft.windowscommunicationsapps");

    EXPECT_TRUE(RemovePreinstalledApps(controller.preinstalledPackageNames, platform));
    EXPECT_EQ(CountOf(platform.RemovalAttempts(), mail), 2);
    EXPECT_EQ(platform.Walks(), 67);

    EXPECT_TRUE(RemovePreinstalledApps(controller.preinstalledPackageNames, platform));
    EXPECT_EQ(CountOf(platform.RemovalAttempts(), mail), 4) << "the second run adds it once, not twice";
    EXPECT_EQ(platform.Walks(), 134);
    EXPECT_EQ(controller.preinstalledPackageNames, MakePreinstalledPackageNames());
}

TEST(PackageRemovalRun, TheExtraFragmentIsNeverAddedWhenTheContractIsAbsent) {
    const RunController controller;
    FakePackagePlatform platform({Installed(L"microsoft.windowscommunicationsapps", true)}, false);
    EXPECT_TRUE(RemovePreinstalledApps(controller.preinstalledPackageNames, platform));
    EXPECT_EQ(CountOf(platform.RemovalAttempts(), FullName(L"microsoft.windowscommunicationsapps")), 1);
    EXPECT_EQ(platform.Walks(), 66);
}

TEST(PackageRemovalRun, TheTableRemovesThePreinstalledAppsAndKeepsTheSystemOnes) {
    const RunController controller;
    FakePackagePlatform platform(
        {Installed(L"Microsoft.WindowsStore"), Installed(L"Microsoft.BingNews"),
         Installed(L"Microsoft.DesktopAppInstaller"), Installed(L"MSTeams"),
         Installed(L"Microsoft.WindowsCalculator"), Installed(L"Microsoft.Windows.Photos"),
         Installed(L"microsoft.windowscommunicationsapps"), Installed(L"Microsoft.SecHealthUI"),
         Installed(L"Microsoft.XboxGamingOverlay"), Installed(L"Microsoft.WindowsTerminal"),
         Installed(L"Microsoft.LinkedIn"), Installed(L"Clipchamp.Clipchamp"),
         Installed(L"Microsoft.VCLibs.140.00")},
        true);
    EXPECT_TRUE(RemovePreinstalledApps(controller.preinstalledPackageNames, platform));
    EXPECT_THAT(platform.InstalledNames(),
                UnorderedElementsAre(L"Microsoft.WindowsStore", L"Microsoft.DesktopAppInstaller",
                                     L"Microsoft.WindowsCalculator", L"Microsoft.Windows.Photos",
                                     L"Microsoft.SecHealthUI", L"Microsoft.WindowsTerminal",
                                     L"Microsoft.VCLibs.140.00"));
}

// Apply, failure, Cancel and Apply again can start a second removal while the first still runs.
// Under ThreadSanitizer this shows that the runs share nothing but the read-only table.
TEST(PackageRemovalRun, OverlappingRunsEachWorkOnTheirOwnCopyOfTheTable) {
    const RunController controller;
    FakePackagePlatform platform({Installed(L"microsoft.windowscommunicationsapps", true),
                                  Installed(L"Microsoft.BingNews"), Installed(L"Microsoft.ZuneMusic"),
                                  Installed(L"Microsoft.WindowsStore")},
                                 true);
    std::latch start(2);
    bool completed[2] = {false, false};
    std::thread runs[2];
    for (int i = 0; i < 2; ++i) {
        runs[i] = std::thread([&, i] {
            start.arrive_and_wait();
            completed[i] = RemovePreinstalledApps(controller.preinstalledPackageNames, platform);
        });
    }
    for (std::thread& run : runs) {
        run.join();
    }
    EXPECT_TRUE(completed[0]);
    EXPECT_TRUE(completed[1]);
    EXPECT_EQ(controller.preinstalledPackageNames.size(), 66u);
    EXPECT_EQ(controller.preinstalledPackageNames, MakePreinstalledPackageNames());
    EXPECT_EQ(platform.Walks(), 2 * 67);
    EXPECT_EQ(CountOf(platform.RemovalAttempts(), FullName(L"microsoft.windowscommunicationsapps")), 4);
    EXPECT_THAT(platform.InstalledNames(),
                ElementsAre(L"microsoft.windowscommunicationsapps", L"Microsoft.WindowsStore"));
}

} // namespace
