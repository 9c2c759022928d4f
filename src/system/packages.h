#pragma once

#include "system/registry_records.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace Velmora {

// The user's cloud-store cache key (HKEY_CURRENT_USER), deleted with everything below it before
// any app is removed.
[[nodiscard]] RegistryDwordSetting StoreCacheKeyRecord();

// Added to a run's fragments when the platform check below succeeds.
inline constexpr std::wstring_view kMailAndCalendarFragment = L"microsoft.windowscommunicationsapps";
inline constexpr std::wstring_view kUniversalApiContract = L"Windows.Foundation.UniversalApiContract";
inline constexpr std::uint16_t kUniversalApiContractMajor = 13;

// Lower-cases character by character with the C library's wide-character mapping (towlower).
[[nodiscard]] std::wstring LowerForMatching(std::wstring_view text);

// True when the package name (PackageId.Name) contains the fragment anywhere, compared without
// regard to case. An empty fragment matches nothing: it would otherwise match every package.
[[nodiscard]] bool PackageNameMatches(std::wstring_view fragment, std::wstring_view packageName);

enum class PackageWalkStep { Package, End, Failed };

// How one package's removal ended, as far as the run waited for it.
enum class PackageRemoval { Removed, Failed, StillRunning };

// How long a run waits for one package's removal: generous, as a removal takes seconds, but bounded,
// so that one removal that never reports back cannot hold the run (and every later one) for ever.
inline constexpr std::chrono::minutes kPackageRemovalWaitBound{10};

// One walk over the current user's installed packages, from the first one. A walk never outlives
// the catalogue that started it.
class PackageWalk {
public:
    virtual ~PackageWalk() = default;
    // Moves to the next package and gives its name without version, architecture or publisher.
    // Failed: this walk cannot go on.
    [[nodiscard]] virtual PackageWalkStep Next(std::wstring& name) = 0;
    // Uninstalls the package the walk stands on for the current user and waits until that has
    // finished, at most kPackageRemovalWaitBound. Failed also when the removal was cancelled.
    [[nodiscard]] virtual PackageRemoval RemoveCurrent() = 0;
};

// The current user's installed packages, walked once per fragment.
class PackageCatalogue {
public:
    virtual ~PackageCatalogue() = default;
    // A walk from the first package; nullptr when the packages cannot be walked this time.
    [[nodiscard]] virtual std::unique_ptr<PackageWalk> Walk() = 0;
};

// What a removal run asks of the platform.
class PackageRemovalPlatform {
public:
    virtual ~PackageRemovalPlatform() = default;
    // False also when the question cannot be asked.
    [[nodiscard]] virtual bool IsApiContractPresent(std::wstring_view contract, std::uint16_t major) = 0;
    virtual bool DeleteRegistryTree(RegistryDwordSetting key) = 0;
    // The package manager with the current user's package list; nullptr when either is unavailable.
    [[nodiscard]] virtual std::unique_ptr<PackageCatalogue> OpenCatalogue() = 0;
};

// One removal run over its own list of name fragments (a copy of the caller's table): appends the
// extra fragment when the contract is present, deletes the store cache key (result ignored), then
// removes, fragment by fragment in list order, every package whose name contains the fragment. A
// failure or an exception while one fragment is processed ends only that fragment's pass; a removal
// still running after the wait bound is logged and the pass goes on. False when the run ended early
// because there is no package catalogue.
bool RemovePreinstalledApps(std::vector<std::wstring> packageNames, PackageRemovalPlatform& platform);

// Runs `removal` on a new detached thread unless a removal started this way is still running in this
// process: one removal at a time, so that Apply, a failed run, Cancel and Apply again never start a
// second one beside the first. A skipped request is logged. False when skipped or when no thread
// could be started.
bool StartExclusiveAppRemoval(std::function<void()> removal);

// Windows only.

// The platform of the Windows build: ApiInformation, the registry and the PackageManager of the
// Windows Runtime. Its methods need a COM apartment on the calling thread.
[[nodiscard]] std::unique_ptr<PackageRemovalPlatform> CreateWindowsPackageRemovalPlatform();

// The app-removal worker: enters the multithreaded COM apartment and, only when that succeeded,
// runs the removal over the given list. Never throws.
void AppRemovalThread(std::vector<std::wstring> packageNames) noexcept;

// Starts AppRemovalThread through StartExclusiveAppRemoval.
bool StartAppRemovalThread(std::vector<std::wstring> packageNames);

} // namespace Velmora
