// App removal against the real registry and COM. Wine has no package manager, so there a run ends
// after the store cache key; the matching and failure rules are tested on the host.

#include "bench/fixtures_win32.h"
#include "common/text_encoding.h"
#include "support/registry_reads.h"
#include "support/this_pc.h"
#include "system/packages.h"
#include "tweaks/run_controller_tables.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
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

// The names of the current user's main packages as PowerShell's Get-AppxPackage lists them, one a line.
std::vector<std::wstring> AppxPackageNames() {
    wchar_t temp[MAX_PATH] = {};
    const std::wstring file = std::wstring(temp, ::GetTempPathW(MAX_PATH, temp)) + L"velmora-appx.txt";
    const auto status = Bench::RunToExit(
        Bench::SystemFolderPath() + L"\\WindowsPowerShell\\v1.0\\powershell.exe",
        L"powershell.exe -NoProfile -Command \"(Get-AppxPackage -PackageTypeFilter Main).Name | "
        L"Out-File -Encoding utf8 -FilePath '" +
            file + L"'\"");
    std::wistringstream lines(FromUtf8(Bench::ReadWholeFile(file).value_or(std::string())));
    ::DeleteFileW(file.c_str());
    std::vector<std::wstring> names;
    for (std::wstring line; status == 0u && std::getline(lines, line);) {
        std::erase_if(line, [](wchar_t c) { return c == L'\r' || c == L'\uFEFF'; });
        if (!line.empty()) {
            names.push_back(line);
        }
    }
    return names;
}

// The current user's packages through the Windows Runtime's PackageManager, of which Wine registers
// none. An empty security identifier stands for the current user
// (https://learn.microsoft.com/uwp/api/windows.management.deployment.packagemanager.findpackagesforuser).
TEST(AppRemoval, TheInstalledPackagesAreListedThroughThePackageManager) {
    if (Testing::UnderWine()) {
        EXPECT_EQ(MatchingInstalledPackages({L"Microsoft"}), std::nullopt);
        return;
    }
    const std::vector<std::wstring> listed = AppxPackageNames();
    ASSERT_FALSE(listed.empty()) << "Get-AppxPackage listed no package";
    const std::optional<std::vector<std::wstring>> found = MatchingInstalledPackages(listed);
    ASSERT_TRUE(found.has_value());
    for (const std::wstring& name : listed) {
        EXPECT_THAT(*found, ::testing::Contains(name));
    }
    EXPECT_EQ(MatchingInstalledPackages({L"Velmora.No.Such.Package"}), std::vector<std::wstring>{});
}

} // namespace
