// App removal against Wine's registry and COM. Wine has no package manager, so a run ends after the
// store cache key; the matching and failure rules are tested on the host.

#include "support/registry_reads.h"
#include "system/packages.h"
#include "tweaks/run_controller_tables.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using namespace Velmora;

const std::wstring kCache = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\CloudStore\\Store\\Cache\\";

bool KeyExists(const std::wstring& key) {
    return Testing::KeyExists(HKEY_CURRENT_USER, key);
}

// Only the named tree goes, and only from a multithreaded apartment of the worker's own, which it
// leaves again; the detached start runs the same removal beside its starter.
TEST(AppRemoval, TheWorkerDeletesOnlyTheCacheTreeAndOnlyInAMultithreadedApartmentOfItsOwn) {
    const DWORD data = 1;
    for (const wchar_t* key : {L"DefaultAccount\\$de.Store\\Entries", L"VelmoraTestsSibling"}) {
        ASSERT_EQ(
            ::RegSetKeyValueW(HKEY_CURRENT_USER, (kCache + key).c_str(), L"Cached", REG_DWORD, &data, 4), 0);
    }
    std::thread([] {
        const ComApartment single = InitializeComApartment(COINIT_APARTMENTTHREADED);
        ASSERT_EQ(single.result, S_OK);
        AppRemovalThread(MakePreinstalledPackageNames());
    }).join();
    EXPECT_TRUE(KeyExists(kCache + L"DefaultAccount")) << "the removal does not run without its apartment";
    HRESULT afterwards = E_FAIL;
    std::thread([&afterwards] {
        AppRemovalThread(MakePreinstalledPackageNames());
        // S_OK only when the worker's multithreaded apartment was left again.
        afterwards = InitializeComApartment(COINIT_APARTMENTTHREADED).result;
    }).join();
    EXPECT_EQ(afterwards, S_OK);
    EXPECT_FALSE(KeyExists(kCache + L"DefaultAccount"));
    EXPECT_TRUE(KeyExists(kCache + L"VelmoraTestsSibling"));
    ::RegDeleteTreeW(HKEY_CURRENT_USER, (kCache + L"VelmoraTestsSibling").c_str());

    ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, (kCache + L"DefaultAccount").c_str(), L"Cached", REG_DWORD,
                                &data, 4),
              0);
    ASSERT_TRUE(StartAppRemovalThread(MakePreinstalledPackageNames()));
    // The thread is never joined. Once another removal may start, the first has ended.
    while (!StartExclusiveAppRemoval([] {})) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_FALSE(KeyExists(kCache + L"DefaultAccount"));
}

} // namespace
