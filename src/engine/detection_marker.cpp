#include "engine/detection_marker.h"

#include "common/text_encoding.h"
#include "engine/choices.h"
#include "engine/engine.h"
#include "settings/local_settings.h"
#include "tweaks/apply_pipeline.h"

#include <algorithm>
#include <array>

namespace Velmora {
namespace {

constexpr RegistryRoot kLocalMachine = 2;
constexpr std::uint32_t kErrorDirNotEmpty = 145;
constexpr std::array<const wchar_t*, 5> kMarkerValues = {L"AppliedProfile", L"Revision", L"AppliedUtc",
                                                         L"Result", L"Version"};
// Written when they hold something, deleted otherwise.
constexpr std::array<const wchar_t*, 5> kMarkerChoiceValues = {L"Keep", L"Include", L"Build", L"RepairedUtc",
                                                               L"RepairResult"};

std::wstring Text(StateReader& reader, const wchar_t* name) {
    return TextOf(reader.ReadRegistryValue(kLocalMachine, kDetectionMarkerKey, name)).value_or(L"");
}

} // namespace

bool UpdateDetectionMarker(StateWriter& writer, const LocalSettingsValues& settings, MarkerResult result,
                           const std::string& utcTimestamp, const std::wstring& programVersion,
                           const MarkerChoices* choices, std::uint32_t& error) {
    error = 0;
    const auto keep = [&error](WriteOutcome outcome) {
        if (!outcome.succeeded && error == 0) {
            error = outcome.error == 0 ? 1 : outcome.error;
        }
    };
    const SettingsProfile profile = ReadInt32Setting(settings, SettingKeys::AppliedTask, kNoProfileApplied);
    const std::wstring name = ProfileName(profile);
    if (name.empty()) {
        for (const wchar_t* value : kMarkerValues) {
            keep(writer.DeleteRegistryValue(kLocalMachine, kDetectionMarkerKey, value));
        }
        for (const wchar_t* value : kMarkerChoiceValues) {
            keep(writer.DeleteRegistryValue(kLocalMachine, kDetectionMarkerKey, value));
        }
        const WriteOutcome removed = writer.DeleteRegistryKeyIfEmpty(kLocalMachine, kDetectionMarkerKey);
        if (removed.error != kErrorDirNotEmpty) { // a key that holds more than the marker stays
            keep(removed);
        }
        return error == 0;
    }
    const auto revision = static_cast<std::uint32_t>(
        ReadInt32Setting(settings, ProfileBuildSettingKey(profile), kProfileNeverApplied));
    const std::array<RegistryValueState, 5> data = {
        StringValue(name), DwordValue(revision), StringValue(FromUtf8(utcTimestamp)),
        StringValue(result == MarkerResult::Succeeded ? L"Succeeded" : L"Restored"),
        StringValue(programVersion)};
    for (std::size_t i = 0; i < kMarkerValues.size(); ++i) {
        keep(writer.WriteRegistryValue(kLocalMachine, kDetectionMarkerKey, kMarkerValues[i], data[i].type,
                                       data[i].data));
    }
    const auto list = [&](const wchar_t* value, const std::vector<std::wstring>& ids) {
        keep(ids.empty() ? writer.DeleteRegistryValue(kLocalMachine, kDetectionMarkerKey, value)
                         : writer.WriteRegistryValue(kLocalMachine, kDetectionMarkerKey, value, kRegMultiSz,
                                                     MultiStringBytes(ids)));
    };
    if (choices == nullptr) {
        return error == 0;
    }
    list(kMarkerChoiceValues[0], choices->keep);
    list(kMarkerChoiceValues[1], choices->include);
    if (!choices->windowsBuild.empty()) {
        const RegistryValueState build = StringValue(choices->windowsBuild);
        keep(writer.WriteRegistryValue(kLocalMachine, kDetectionMarkerKey, kMarkerChoiceValues[2], build.type,
                                       build.data));
    }
    return error == 0;
}

std::wstring ReadWindowsBuild(StateReader& reader) {
    constexpr wchar_t kVersionKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
    const std::optional<std::wstring> build =
        TextOf(reader.ReadRegistryValue(kLocalMachine, kVersionKey, L"CurrentBuild"));
    // Only digits: the value is shown and compared, and anything else is no build of Windows.
    const auto digits = [](const std::wstring& text) {
        return !text.empty() && text.size() <= 10 &&
               std::all_of(text.begin(), text.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
    };
    if (!build || !digits(*build)) {
        return {};
    }
    const std::optional<std::uint32_t> revision =
        DwordOf(reader.ReadRegistryValue(kLocalMachine, kVersionKey, L"UBR"));
    return revision ? *build + L"." + std::to_wstring(*revision) : *build;
}

std::uint32_t RecordWindowsBuild(StateWriter& writer, const std::wstring& build) {
    if (build.empty()) {
        return 0;
    }
    const RegistryValueState value = StringValue(build);
    const WriteOutcome outcome = writer.WriteRegistryValue(kLocalMachine, kDetectionMarkerKey,
                                                           kMarkerChoiceValues[2], value.type, value.data);
    return outcome.succeeded ? 0 : (outcome.error == 0 ? 1 : outcome.error);
}

std::uint32_t RecordRepair(StateWriter& writer, const std::string& utcTimestamp, std::uint32_t exitCode) {
    const RegistryValueState time = StringValue(FromUtf8(utcTimestamp));
    const RegistryValueState result = DwordValue(exitCode);
    for (const auto& [name, value] :
         {std::pair{kMarkerChoiceValues[3], &time}, std::pair{kMarkerChoiceValues[4], &result}}) {
        const WriteOutcome outcome =
            writer.WriteRegistryValue(kLocalMachine, kDetectionMarkerKey, name, value->type, value->data);
        if (!outcome.succeeded) {
            return outcome.error == 0 ? 1 : outcome.error;
        }
    }
    return 0;
}

std::optional<DetectionMarker> ReadDetectionMarker(StateReader& reader) {
    DetectionMarker marker;
    marker.appliedProfile = Text(reader, kMarkerValues[0]);
    if (marker.appliedProfile.empty()) {
        return std::nullopt;
    }
    marker.revision = DwordOf(reader.ReadRegistryValue(kLocalMachine, kDetectionMarkerKey, kMarkerValues[1]));
    marker.appliedUtc = Text(reader, kMarkerValues[2]);
    marker.result = Text(reader, kMarkerValues[3]);
    marker.version = Text(reader, kMarkerValues[4]);
    const auto list = [&](const wchar_t* value) {
        return MultiStrings(reader.ReadRegistryValue(kLocalMachine, kDetectionMarkerKey, value))
            .value_or(std::vector<std::wstring>{});
    };
    marker.keep = list(kMarkerChoiceValues[0]);
    marker.include = list(kMarkerChoiceValues[1]);
    marker.windowsBuild = Text(reader, kMarkerChoiceValues[2]);
    marker.repairedUtc = Text(reader, kMarkerChoiceValues[3]);
    marker.repairResult =
        DwordOf(reader.ReadRegistryValue(kLocalMachine, kDetectionMarkerKey, kMarkerChoiceValues[4]));
    return marker;
}

} // namespace Velmora
