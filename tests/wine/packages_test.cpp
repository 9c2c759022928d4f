// App removal against Wine's real registry, COM and Windows Runtime. Wine has no package manager
// (the class is not registered), so every run here ends after deleting the store cache key; the
// matching and the per-fragment rules are tested on the host.

#include "common/diagnostics.h"
#include "common/win32_handles.h"
#include "system/packages.h"
#include "tweaks/run_controller_tables.h"

#include <tlhelp32.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

using namespace Velmora;
using ::testing::ElementsAre;

const std::wstring kCacheParent = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\CloudStore\\Store\\Cache";
const std::wstring kCacheKey = kCacheParent + L"\\DefaultAccount";
const std::wstring kSiblingKey = kCacheParent + L"\\VelmoraTestsSibling";

bool KeyExists(const std::wstring& key) {
    UniqueRegistryKey handle;
    return ::RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, handle.Put()) == ERROR_SUCCESS;
}

void CreateKeyWithValue(const std::wstring& key) {
    UniqueRegistryKey handle;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                handle.Put(), nullptr),
              ERROR_SUCCESS);
    const DWORD data = 1;
    ASSERT_EQ(::RegSetValueExW(handle.Get(), L"Cached", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                               sizeof data),
              ERROR_SUCCESS);
}

class AppRemoval : public ::testing::Test {
protected:
    void SetUp() override {
        CreateKeyWithValue(kCacheKey);
        CreateKeyWithValue(kCacheKey + L"\\$de.Store\\Entries");
        CreateKeyWithValue(kSiblingKey);
        SetDiagnosticSink(lines);
    }
    void TearDown() override {
        SetDiagnosticSink(nullptr);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kCacheKey.c_str());
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kSiblingKey.c_str());
    }
    std::shared_ptr<MemoryDiagnosticSink> lines = std::make_shared<MemoryDiagnosticSink>();
};

TEST_F(AppRemoval, ARunDeletesTheCacheTreeThenEndsForWantOfAPackageManager) {
    const ComApartment apartment = InitializeComApartment(COINIT_MULTITHREADED);
    ASSERT_TRUE(SUCCEEDED(apartment.result));
    const std::unique_ptr<PackageRemovalPlatform> platform = CreateWindowsPackageRemovalPlatform();
    EXPECT_EQ(platform->OpenCatalogue(), nullptr);

    EXPECT_FALSE(RemovePreinstalledApps(MakePreinstalledPackageNames(), *platform));
    EXPECT_FALSE(KeyExists(kCacheKey));
    EXPECT_TRUE(KeyExists(kSiblingKey)) << "only the named tree goes";

    EXPECT_FALSE(RemovePreinstalledApps(MakePreinstalledPackageNames(), *platform))
        << "a second run is harmless";
    EXPECT_FALSE(KeyExists(kCacheKey));
    EXPECT_THAT(lines->Lines(), ElementsAre(L"Successfully deleted key and all subkeys/values: " + kCacheKey,
                                            L"Key not found (nothing deleted): " + kCacheKey));
}

TEST_F(AppRemoval, TheWorkerRunsInItsOwnApartmentAndLeavesIt) {
    HRESULT afterwards = E_FAIL;
    std::thread worker([&] {
        AppRemovalThread(MakePreinstalledPackageNames());
        // S_OK only when the worker's multithreaded apartment was left again.
        afterwards = InitializeComApartment(COINIT_APARTMENTTHREADED).result;
    });
    worker.join();
    EXPECT_FALSE(KeyExists(kCacheKey));
    EXPECT_EQ(afterwards, S_OK);
}

TEST_F(AppRemoval, WithoutAMultithreadedApartmentTheRemovalDoesNotRun) {
    HRESULT singleThreaded = E_FAIL;
    std::thread worker([&] {
        const ComApartment apartment = InitializeComApartment(COINIT_APARTMENTTHREADED);
        singleThreaded = apartment.result;
        AppRemovalThread(MakePreinstalledPackageNames());
    });
    worker.join();
    ASSERT_EQ(singleThreaded, S_OK);
    EXPECT_TRUE(KeyExists(kCacheKey));
    EXPECT_TRUE(lines->Lines().empty());
}

int ThreadsOfThisProcess() {
    const UniqueKernelHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = ::Thread32First(snapshot.Get(), &entry); more;
         more = ::Thread32Next(snapshot.Get(), &entry)) {
        count += entry.th32OwnerProcessID == ::GetCurrentProcessId() ? 1 : 0;
    }
    return count;
}

TEST_F(AppRemoval, TheDetachedThreadRunsBesideItsStarter) {
    const int threadsBefore = ThreadsOfThisProcess();
    ASSERT_TRUE(StartAppRemovalThread(MakePreinstalledPackageNames()));
    // The thread is never joined; its first visible effect is the deleted key. The bound only keeps
    // a hung run from hanging the test.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (KeyExists(kCacheKey) && std::chrono::steady_clock::now() < giveUp) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_FALSE(KeyExists(kCacheKey));
    // Let the thread finish before the process ends, so the end of the test is not the end of its run.
    while (ThreadsOfThisProcess() > threadsBefore && std::chrono::steady_clock::now() < giveUp) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

} // namespace
