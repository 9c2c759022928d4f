// App removal against Wine's real registry, COM and Windows Runtime. Wine has no package manager
// (the class is not registered), so every run here ends after deleting the store cache key; the
// matching and the per-fragment rules are tested on the host.

#include "common/win32_handles.h"
#include "system/packages.h"
#include "tweaks/run_controller_tables.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using namespace Velmora;

const std::wstring kCacheParent = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\CloudStore\\Store\\Cache";
const std::wstring kCacheKey = kCacheParent + L"\\DefaultAccount";
const std::wstring kSiblingKey = kCacheParent + L"\\VelmoraTestsSibling";

bool KeyExists(const std::wstring& key) {
    UniqueRegistryKey handle;
    return ::RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, handle.Put()) == ERROR_SUCCESS;
}

class AppRemoval : public ::testing::Test {
protected:
    void SetUp() override {
        const DWORD data = 1;
        for (const std::wstring& key : {kCacheKey + L"\\$de.Store\\Entries", kSiblingKey}) {
            ASSERT_EQ(
                ::RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"Cached", REG_DWORD, &data, sizeof data),
                ERROR_SUCCESS);
        }
    }
    void TearDown() override {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kCacheKey.c_str());
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kSiblingKey.c_str());
    }
};

TEST_F(AppRemoval, ARunDeletesOnlyTheCacheTreeThenEndsForWantOfAPackageManager) {
    const ComApartment apartment = InitializeComApartment(COINIT_MULTITHREADED);
    ASSERT_TRUE(SUCCEEDED(apartment.result));
    const std::unique_ptr<PackageRemovalPlatform> platform = CreateWindowsPackageRemovalPlatform();
    EXPECT_FALSE(RemovePreinstalledApps(MakePreinstalledPackageNames(), *platform));
    EXPECT_FALSE(KeyExists(kCacheKey));
    EXPECT_TRUE(KeyExists(kSiblingKey)) << "only the named tree goes";
    EXPECT_FALSE(RemovePreinstalledApps(MakePreinstalledPackageNames(), *platform))
        << "a second run is harmless";
}

TEST_F(AppRemoval, TheWorkerRunsOnlyInAMultithreadedApartmentOfItsOwnAndLeavesIt) {
    HRESULT afterwards = E_FAIL;
    std::thread([&] {
        const ComApartment single = InitializeComApartment(COINIT_APARTMENTTHREADED);
        ASSERT_EQ(single.result, S_OK);
        AppRemovalThread(MakePreinstalledPackageNames());
    }).join();
    EXPECT_TRUE(KeyExists(kCacheKey)) << "the removal does not run without its apartment";
    std::thread([&] {
        AppRemovalThread(MakePreinstalledPackageNames());
        // S_OK only when the worker's multithreaded apartment was left again.
        afterwards = InitializeComApartment(COINIT_APARTMENTTHREADED).result;
    }).join();
    EXPECT_FALSE(KeyExists(kCacheKey));
    EXPECT_EQ(afterwards, S_OK);
}

TEST_F(AppRemoval, TheDetachedRemovalRunsBesideItsStarter) {
    ASSERT_TRUE(StartAppRemovalThread(MakePreinstalledPackageNames()));
    // The thread is never joined. Once another removal may start, the first has ended: its effect
    // is there and the process may end.
    while (!StartExclusiveAppRemoval([] {})) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_FALSE(KeyExists(kCacheKey));
}

} // namespace
