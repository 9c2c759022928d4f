#include "system/packages.h"

#include "common/diagnostics.h"

#include <atomic>
#include <cwctype>
#include <thread>

namespace Velmora {
namespace {

// Removes, one after the other, every package of one walk whose name contains the fragment. Any
// failure ends this pass only.
void RemoveMatchingPackages(PackageCatalogue& catalogue, const std::wstring& fragment) noexcept {
    try {
        const std::unique_ptr<PackageWalk> walk = catalogue.Walk();
        if (!walk) {
            return;
        }
        std::wstring name;
        while (walk->Next(name) == PackageWalkStep::Package) {
            if (!PackageNameMatches(fragment, name)) {
                continue;
            }
            const PackageRemoval removal = walk->RemoveCurrent();
            if (removal == PackageRemoval::Failed) {
                return;
            }
            if (removal == PackageRemoval::StillRunning) {
                Diagnose(L"The removal of " + name + L" did not finish within " +
                         std::to_wstring(kPackageRemovalWaitBound.count()) +
                         L" minutes; going on without it");
            }
        }
    } catch (...) {
        // A fragment's pass never ends the run.
    }
}

// Set while a removal started by StartExclusiveAppRemoval runs.
std::atomic<bool> removalRunning{false};

} // namespace

RegistryDwordSetting StoreCacheKeyRecord() {
    return {1, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\CloudStore\\Store\\Cache\\DefaultAccount", 0};
}

std::wstring LowerForMatching(std::wstring_view text) {
    std::wstring lowered(text);
    for (wchar_t& c : lowered) {
        c = static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(c)));
    }
    return lowered;
}

bool PackageNameMatches(std::wstring_view fragment, std::wstring_view packageName) {
    if (fragment.empty()) {
        return false;
    }
    return LowerForMatching(packageName).find(LowerForMatching(fragment)) != std::wstring::npos;
}

bool RemovePreinstalledApps(std::vector<std::wstring> packageNames, PackageRemovalPlatform& platform) {
    // The list is this run's own copy, so overlapping runs never share it and the caller's table
    // keeps its rows.
    if (platform.IsApiContractPresent(kUniversalApiContract, kUniversalApiContractMajor)) {
        packageNames.emplace_back(kMailAndCalendarFragment);
    }
    platform.DeleteRegistryTree(StoreCacheKeyRecord());
    const std::unique_ptr<PackageCatalogue> catalogue = platform.OpenCatalogue();
    if (!catalogue) {
        return false;
    }
    for (const std::wstring& fragment : packageNames) {
        RemoveMatchingPackages(*catalogue, fragment);
    }
    return true;
}

bool StartExclusiveAppRemoval(std::function<void()> removal) {
    if (removalRunning.exchange(true)) {
        Diagnose(L"An app removal is still running; this one is not started");
        return false;
    }
    try {
        std::thread([removal = std::move(removal)] {
            try {
                removal();
            } catch (...) {
                // Nothing leaves the thread.
            }
            removalRunning = false;
        }).detach();
        return true;
    } catch (...) {
        removalRunning = false;
        return false;
    }
}

} // namespace Velmora
