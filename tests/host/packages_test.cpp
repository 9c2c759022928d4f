// Preinstalled app removal over a fake package catalogue (the package manager exists only on
// Windows): matching, the per-fragment failure rules, the bounded wait, one removal at a time.

#include "common/diagnostics.h"
#include "system/packages.h"
#include "tweaks/run_controller.h"
#include "tweaks/run_controller_tables.h"

#include "support/fake_package_platform.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <future>
#include <thread>

namespace {

using namespace Velmora;
using ::testing::ElementsAre;
using Fake = Velmora::Testing::FakePackagePlatform;
using enum Velmora::Testing::FakePackagePlatform::Behaviour;

const std::wstring kCacheKey =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\CloudStore\\Store\\Cache\\DefaultAccount";

std::wstring FullName(const std::wstring& name) {
    return Fake::Package{name}.FullName();
}

TEST(PackageNameMatching, AFragmentMatchesAnywhereInTheNameWhateverTheCaseButNeverBeyondIt) {
    const struct {
        const wchar_t* fragment;
        const wchar_t* name;
        bool matches;
    } cases[] = {
        {L"Microsoft.BingNews", L"microsoft.bingnews", true},
        {L"MICROSOFT.BINGNEWS", L"Contoso.Microsoft.BingNews.Preview", true},
        {L"microsoft.windowscommunicationsapps", L"Microsoft.WindowsCommunicationsApps", true},
        {L"Microsoft.BingNews", L"Microsoft.BingWeather", false},
        {L"Microsoft.BingNewsDaily", L"Microsoft.BingNews", false},
        // Package names carry no publisher identifier, so such a fragment never matches.
        {L"Microsoft.LinkedIn_8wekyb3d8bbwe", L"Microsoft.LinkedIn", false},
        // An empty fragment would be part of every name and uninstall every app.
        {L"", L"Microsoft.WindowsStore", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PackageNameMatches(c.fragment, c.name), c.matches)
            << testing::PrintToString(std::wstring(c.fragment));
    }
}

TEST(PackageRemovalRun, TheCacheKeyIsDeletedFirstAndWithoutACatalogueTheRunEndsThere) {
    for (const bool catalogue : {true, false}) {
        Fake platform({{L"Microsoft.BingNews"}});
        platform.catalogueAvailable = catalogue;
        EXPECT_EQ(RemovePreinstalledApps({L"Microsoft.BingNews"}, platform), catalogue);
        EXPECT_THAT(platform.calls, ElementsAre(L"Windows.Foundation.UniversalApiContract 13",
                                                L"1 " + kCacheKey, L"OpenCatalogue"));
        EXPECT_EQ(platform.InstalledNames().empty(), catalogue) << "a failed cache deletion is ignored";
    }
}

// A failed removal or an unreadable package ends only that fragment's pass; a removal still running
// after the wait is logged and the pass goes on.
TEST(PackageRemovalRun, AFragmentRemovesEveryMatchUntilAFailureWhichEndsOnlyThatFragmentsPass) {
    const std::wstring zune = FullName(L"Microsoft.ZuneVideo");
    const std::wstring broken = FullName(L"Microsoft.ZuneBroken");
    const std::wstring music = FullName(L"Microsoft.ZuneMusic");
    const std::wstring news = FullName(L"Microsoft.BingNews");
    const struct {
        Fake::Behaviour behaviour;
        std::vector<std::wstring> attempts;
    } cases[] = {{RemovalFails, {zune, broken, news}},
                 {ReadFails, {zune, news}},
                 {ReadThrows, {zune, news}},
                 {RemovalHangs, {zune, broken, music, news}}};
    for (const auto& c : cases) {
        const auto sink = std::make_shared<MemoryDiagnosticSink>();
        SetDiagnosticSink(sink);
        Fake platform({{L"Microsoft.BingNews"},
                       {L"Microsoft.ZuneVideo"},
                       {L"Microsoft.WindowsStore"},
                       {L"Microsoft.ZuneBroken", c.behaviour},
                       {L"Microsoft.ZuneMusic"}});
        EXPECT_TRUE(RemovePreinstalledApps({L"microsoft.zune", L"Microsoft.BingNews"}, platform));
        EXPECT_EQ(platform.attempts, c.attempts);
        const bool goesOn = c.behaviour == RemovalHangs;
        EXPECT_EQ(platform.InstalledNames().size(), goesOn ? 2u : 3u) << "the store and the broken one stay";
        EXPECT_EQ(sink->Lines().size(), goesOn ? 1u : 0u);
        if (goesOn) {
            EXPECT_EQ(sink->Lines()[0],
                      L"The removal of Microsoft.ZuneBroken did not finish within 10 minutes; "
                      L"going on without it");
        }
    }
    SetDiagnosticSink(nullptr);
}

TEST(PackageRemovalRun, AWalkThatCannotStartSkipsOnlyItsFragmentAndARepeatedFragmentRetriesFailures) {
    Fake platform({{L"Microsoft.BingNews"}, {L"Microsoft.SkypeApp", RemovalFails}, {L"Microsoft.ZuneMusic"}});
    platform.walksThatCannotStart = 1;
    EXPECT_TRUE(RemovePreinstalledApps({L"Microsoft.BingNews", L"Microsoft.SkypeApp", L"Microsoft.ZuneMusic",
                                        L"Microsoft.SkypeApp", L"Microsoft.ZuneMusic"},
                                       platform));
    EXPECT_EQ(platform.walks, 5);
    EXPECT_THAT(platform.attempts,
                ElementsAre(FullName(L"Microsoft.SkypeApp"), FullName(L"Microsoft.ZuneMusic"),
                            FullName(L"Microsoft.SkypeApp")));
    EXPECT_THAT(platform.InstalledNames(), ElementsAre(L"Microsoft.BingNews", L"Microsoft.SkypeApp"));
}

// A Mail and Calendar package whose removal fails is tried once per pass over its fragment.
TEST(PackageRemovalRun, TheExtraFragmentIsAddedOncePerRunOnlyWhenTheContractIsPresent) {
    const RunController controller;
    const std::wstring mail = L"microsoft.windowscommunicationsapps";
    for (const bool present : {true, false}) {
        Fake platform({{mail, RemovalFails}}, present);
        for (int run = 1; run <= 2; ++run) {
            EXPECT_TRUE(RemovePreinstalledApps(controller.preinstalledPackageNames, platform));
            EXPECT_EQ(std::count(platform.attempts.begin(), platform.attempts.end(), FullName(mail)),
                      run * (present ? 2 : 1));
        }
        EXPECT_EQ(platform.walks, 2 * (66 + (present ? 1 : 0)));
    }
    EXPECT_EQ(controller.preinstalledPackageNames, MakePreinstalledPackageNames())
        << "the caller's table stays";
}

// Apply, a failed run, Cancel and Apply again must not start a second removal beside the first. The
// promises are shared with the detached threads, which may still hold them when the test ends.
TEST(AppRemovalStart, ASecondRemovalWhileOneRunsIsSkippedAndLoggedAndTheNextOneAfterItRuns) {
    const auto sink = std::make_shared<MemoryDiagnosticSink>();
    SetDiagnosticSink(sink);
    const auto started = std::make_shared<std::promise<void>>();
    const auto release = std::make_shared<std::promise<void>>();
    const auto runs = std::make_shared<std::atomic<int>>(0);
    ASSERT_TRUE(StartExclusiveAppRemoval([started, released = release->get_future().share(), runs] {
        ++*runs;
        started->set_value();
        released.wait();
    }));
    started->get_future().wait();
    EXPECT_FALSE(StartExclusiveAppRemoval([runs] { ++*runs; }));
    EXPECT_THAT(sink->Lines(), ElementsAre(L"An app removal is still running; this one is not started"));
    release->set_value();

    const auto next = std::make_shared<std::promise<void>>();
    std::future<void> nextRan = next->get_future();
    while (!StartExclusiveAppRemoval([next] { next->set_value(); })) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1)); // the first one is still finishing
    }
    nextRan.wait();
    EXPECT_EQ(runs->load(), 1);
    SetDiagnosticSink(nullptr);
}

} // namespace
