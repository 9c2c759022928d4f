#pragma once

// The detection marker: HKLM\SOFTWARE\Velmora says which profile this PC holds, so that management
// tools (Intune, Configuration Manager, Ansible) can detect it without running Velmora. It mirrors the
// applied state the local settings record ("AppliedTask" and its revision key): written after every
// successful run and after every restore, removed by a restore that leaves no profile applied. It is
// Velmora's own record, not a setting of the user, so journals do not hold it.

#include "engine/state_reader.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Velmora {

class LocalSettingsValues;

inline constexpr wchar_t kDetectionMarkerKey[] = L"SOFTWARE\\Velmora"; // under HKEY_LOCAL_MACHINE

enum class MarkerResult : std::uint8_t {
    Succeeded, // a run applied the profile
    Restored,  // a restore put the PC back to the profile's state
};

struct DetectionMarker {
    std::wstring appliedProfile; // "Essential", "Standard", "Maximum"
    std::optional<std::uint32_t> revision;
    std::wstring appliedUtc; // "2026-01-31T12:00:00Z"
    std::wstring result;     // "Succeeded", "Restored"
    std::wstring version;    // of the program that wrote it
    // The features the run kept as they are ("Keep"), and those it included besides the profile
    // ("Include"), by id: a detection rule notices when a PC's choices changed.
    std::vector<std::wstring> keep;
    std::vector<std::wstring> include;
    std::wstring windowsBuild; // "CurrentBuild.UBR" of Windows when the run was made ("Build")
    std::wstring repairedUtc;  // the last repair ("RepairedUtc"), and its exit code ("RepairResult")
    std::optional<std::uint32_t> repairResult;
};

// What a run adds to the marker besides the applied state.
struct MarkerChoices {
    std::vector<std::wstring> keep;
    std::vector<std::wstring> include;
    std::wstring windowsBuild; // empty: left out
};

// Writes the marker from what the settings say is applied, or removes its values (and the key, once
// empty) when they say nothing is; the choices' values only where `choices` are given (a run). False with
// the Win32 error when a write was refused.
[[nodiscard]] bool UpdateDetectionMarker(StateWriter& writer, const LocalSettingsValues& settings,
                                         MarkerResult result, const std::string& utcTimestamp,
                                         const std::wstring& programVersion, const MarkerChoices* choices,
                                         std::uint32_t& error);

// "CurrentBuild.UBR" of the running Windows ("26100.3194"), "CurrentBuild" where Windows records no
// update revision; empty when not even the build can be read.
[[nodiscard]] std::wstring ReadWindowsBuild(StateReader& reader);

// A repair's mark: the marker's "Build" alone, left as it was when `build` is empty. The Win32 error, or 0.
[[nodiscard]] std::uint32_t RecordWindowsBuild(StateWriter& writer, const std::wstring& build);

// The last repair's time and exit code, for `keep status`. The Win32 error, or 0.
[[nodiscard]] std::uint32_t RecordRepair(StateWriter& writer, const std::string& utcTimestamp,
                                         std::uint32_t exitCode);

// The marker as the registry holds it; nullopt when it has no AppliedProfile value (or it is not text).
[[nodiscard]] std::optional<DetectionMarker> ReadDetectionMarker(StateReader& reader);

} // namespace Velmora
