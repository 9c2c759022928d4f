#pragma once

// What this PC looks like against the profiles: how many of each profile's changes are in effect,
// how many of the changes the applied profile's last run made have been undone since (by Windows or
// another program), and the newest run a restore can take back. Reads only.

#include "engine/choices.h"
#include "engine/journal.h"
#include "engine/plan.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>

namespace Velmora {

class FeatureIndex;
class JournalStore;
class RunController;
struct EngineServices;

struct ProfileStatus {
    SettingsProfile profile = kNoProfile;
    PlanCounts counts;
    // For the applied profile: changes its last successful run made that are no longer in effect.
    std::size_t changedSinceRun = 0;
    // The features whose warnings a run of this profile would make true now (WarningFeatures).
    std::vector<std::size_t> warnings = {};
};

// A run whose journal a restore can put back: the newest one no later restore has put back already.
struct RestorableRun {
    std::wstring journalPath;
    std::wstring profile; // as the journal names it: "Essential", "Standard", "Maximum"
    std::string startedUtc;
};

struct PcStatus {
    std::array<ProfileStatus, 3> profiles; // Essential, Standard, Maximum
    std::optional<RestorableRun> restorable;
    // The choices of this PC (with the features), which the counts and warnings leave out.
    Choices choices;
    // Windows' build at the applied profile's last run or repair (the detection marker's), and now.
    std::wstring buildAtRun;
    std::wstring buildNow;
    // Whether keeping settings in place is on; nullopt where it is not offered.
    std::optional<bool> keeping;
};

// Plans the three profiles (without surveying the cleanups) and reads the newest journals.
// With `features`, the PC's choices too, left out of the counts, and each profile's warnings.
[[nodiscard]] PcStatus ScanPc(EngineServices& services, const RunController& controller,
                              SettingsProfile applied, const FeatureIndex* features = nullptr);

// The entries of `plan` that the run of `journal` changed with success and that have drifted since, as
// status and repair count drift (Drifted): what cannot be read now, services Windows does not have and
// Velmora's own record do not count.
[[nodiscard]] std::size_t ChangedSinceRun(const ProfilePlan& plan, const Journal& journal);

// What the newest journals say, newest first: the last successful run (for ChangedSinceRun) and
// the run a restore would take back. Journals that cannot be read are passed over.
struct JournalFindings {
    std::optional<Journal> lastSucceededRun;
    std::optional<RestorableRun> restorable;
};
[[nodiscard]] JournalFindings ReadNewestJournals(JournalStore& store);

} // namespace Velmora
