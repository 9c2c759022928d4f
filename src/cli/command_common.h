#pragma once

// What velmora-cli's commands share: the answer each gives, the session it runs in, and the helpers
// that turn engine results into words and JSON.

#include "cli/cli.h"
#include "engine/choice_filter.h"
#include "engine/engine.h"
#include "engine/plan.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <string_view>

namespace Velmora {
class FeatureIndex;
class LocalSettingsValues;
struct DetectionMarker;
class RunController;
} // namespace Velmora

namespace Velmora::Cli {

struct Arguments;

using Json = nlohmann::ordered_json;

// What a command answers: the exit code, the words for people, and its part of the JSON document.
struct Answer {
    int exitCode = 0;
    std::wstring message; // one line; in words on standard output, or on the error stream for a refusal
    std::wstring details; // more lines in words, after the message
    Json fields = Json::object();
    bool ran = false; // the run was made (whatever its outcome): --report writes its document
};

struct Session {
    const Arguments& args;
    CliPlatform& platform;
    // The stored and policy choices, with --keep and --choices for this command (ReadSessionChoices).
    Choices choices = {};
};

[[nodiscard]] std::string U8(std::wstring_view text);
[[nodiscard]] std::wstring Lower(std::wstring text);
[[nodiscard]] Json ItemJson(const ItemTarget& target);
[[nodiscard]] Json StateJson(const ItemState& state);
[[nodiscard]] Json ProfileJson(SettingsProfile profile);
[[nodiscard]] bool IsSetting(const PlanEntry& entry);
[[nodiscard]] std::wstring Padded(std::string_view text, std::size_t width);
// "  registry  HKLM\...: <tail>" and a line end: one item in the words of a command.
[[nodiscard]] std::wstring Line(const PlanEntry& entry, const std::wstring& tail);

// A refusal: the message goes to the error stream, and to the document as "error".
[[nodiscard]] Answer Refusal(int exitCode, std::wstring message);
[[nodiscard]] std::optional<Answer> RequireElevation(Session& session, std::wstring_view why);
// Takes the PC's one run lock into `claim`, or answers why not.
[[nodiscard]] std::optional<Answer> Claim(Session& session, RunClaim& claim);

[[nodiscard]] const RunController& Controller();
// Reads the session's choices: the stored and the policy ones, whose unknown ids are ignored, and those
// of --keep, --include and --choices FILE, which are refused (87) when they name no feature that can be
// kept (included).
[[nodiscard]] std::optional<Answer> ReadSessionChoices(Session& session);
// Adds the ids of the --choices file, if one is named, to ids; a refusal when it cannot be used.
[[nodiscard]] std::optional<Answer> ReadChoicesFileIds(Session& session, ChoicesFile& ids);
// Checks ids given on the command line or in a file: nullopt, or the refusal.
[[nodiscard]] std::optional<Answer> RefuseUnknownFeatures(const std::vector<std::wstring>& ids,
                                                          const std::wstring& where,
                                                          ChoiceKind kind = ChoiceKind::Keep);
[[nodiscard]] RunChoices SessionChoices(const Session& session);
[[nodiscard]] Json KeptJson(const Choices& choices);
[[nodiscard]] Json IncludedJson(const Choices& choices);
// " K features are kept as they are." after a count, and the number of optional features included;
// empty when there are none.
[[nodiscard]] std::wstring KeptNote(const Choices& choices);
[[nodiscard]] const FeatureIndex& Features();
// The feature an entry belongs to, by id; null for none.
[[nodiscard]] Json FeatureId(const ItemTarget& target);
// "  Title [id]" and a line end: the heading of a feature's items in words.
[[nodiscard]] std::wstring FeatureHeading(std::size_t feature);
[[nodiscard]] ProfilePlan PlanOf(Session& session, SettingsProfile profile, bool surveyActions);

// The profile this PC holds: as the detection marker names it, or else as Velmora's settings record it.
struct AppliedProfile {
    SettingsProfile profile = kNoProfile;
    std::optional<std::uint32_t> revision;
    std::string_view source; // "marker" or "settings"
};
[[nodiscard]] AppliedProfile FindAppliedProfile(const std::optional<DetectionMarker>& marker,
                                                const LocalSettingsValues& settings);
// "Windows was updated since (a → b): N settings were turned back"; empty when the build is the same
// or either is unknown.
[[nodiscard]] std::wstring WindowsUpdatedNote(const std::wstring& before, const std::wstring& now,
                                              std::size_t turnedBack);
// The words and the exit code of a run's outcome; `succeeded` and `succeededCode` for a run that succeeded.
[[nodiscard]] std::wstring RunOutcomeMessage(const RunReport& report, std::wstring succeeded);
[[nodiscard]] int RunExitCode(RunOutcome outcome, int succeededCode);
// Refuses a --report path that cannot be written (87), before anything is changed.
[[nodiscard]] std::optional<Answer> RefuseReportPath(Session& session);

// The commands.
[[nodiscard]] Answer ProfilesCommand(Session& session);
[[nodiscard]] Answer PlanCommand(Session& session);
[[nodiscard]] Answer ApplyCommand(Session& session);
[[nodiscard]] Answer StatusCommand(Session& session);
[[nodiscard]] Answer RestoreCommand(Session& session);
[[nodiscard]] Answer JournalsCommand(Session& session);
[[nodiscard]] Answer FeaturesCommand(Session& session);
[[nodiscard]] Answer ChoicesCommand(Session& session);
// status in one line, for detection scripts: exit 0 when the applied profile holds, else 1.
[[nodiscard]] Answer CheckCommand(Session& session);
// Sets again what no longer holds of the applied profile: 0 nothing had drifted, 3010 repaired.
[[nodiscard]] Answer RepairCommand(Session& session);
// keep on|off|status: the scheduled repair as SYSTEM from a protected copy.
[[nodiscard]] Answer KeepCommand(Session& session);

} // namespace Velmora::Cli
