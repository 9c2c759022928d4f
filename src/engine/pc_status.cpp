#include "engine/pc_status.h"

#include "engine/detection_marker.h"
#include "engine/engine.h"
#include "engine/feature_items.h"
#include "engine/journal_store.h"
#include "engine/repair_filter.h"

#include <cwctype>
#include <set>

namespace Velmora {
namespace {

// A journal by its run: the file name without its folder and without ".json" or ".json.partial", so
// that a killed run's partial file and its closed document are one run.
std::wstring RunName(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    name = name.substr(0, name.rfind(L".json"));
    for (wchar_t& c : name) {
        c = static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(c)));
    }
    return name;
}

} // namespace

std::size_t ChangedSinceRun(const ProfilePlan& plan, const Journal& journal) {
    std::set<std::wstring> changed;
    for (const JournalEntry& entry : journal.entries) {
        if (entry.outcome && entry.outcome->succeeded) {
            changed.insert(ItemIdentity(entry.target));
        }
    }
    std::size_t count = 0;
    for (const PlanEntry& entry : plan.entries) {
        if (Drifted(entry) && changed.contains(ItemIdentity(entry.target))) {
            ++count;
        }
    }
    return count;
}

JournalFindings ReadNewestJournals(JournalStore& store) {
    JournalFindings found;
    std::set<std::wstring> restoredRuns;
    for (const std::wstring& path : store.List()) {
        if (found.lastSucceededRun && found.restorable) {
            break;
        }
        std::wstring error;
        const std::optional<std::string> text = store.ReadTrusted(path, error);
        std::optional<Journal> journal = text ? ParseJournal(*text, error) : std::nullopt;
        if (!journal) {
            continue;
        }
        if (journal->header.kind == JournalKind::Restore) {
            restoredRuns.insert(RunName(journal->header.restoredJournal));
            continue;
        }
        if (journal->header.kind == JournalKind::Repair) {
            continue; // the run that applied the profile is what a person takes back, and what drift is of
        }
        if (!found.restorable && !journal->entries.empty() && !restoredRuns.contains(RunName(path))) {
            found.restorable = RestorableRun{path, journal->header.profile, journal->header.startedUtc};
        }
        if (!found.lastSucceededRun && journal->end && journal->end->state == JournalEndState::Succeeded) {
            found.lastSucceededRun = std::move(journal);
        }
    }
    return found;
}

PcStatus ScanPc(EngineServices& services, const RunController& controller, SettingsProfile applied,
                const FeatureIndex* features) {
    const std::shared_ptr<void> connections = services.reader.KeepConnections();
    const std::shared_ptr<void> keys = services.reader.KeepKeysOpen(); // the three plans read the same keys
    JournalFindings journals = ReadNewestJournals(services.journals);
    PcStatus status;
    status.restorable = std::move(journals.restorable);
    if (const std::optional<DetectionMarker> marker = ReadDetectionMarker(services.reader)) {
        status.buildAtRun = marker->windowsBuild;
    }
    status.buildNow = ReadWindowsBuild(services.reader);
    if (features != nullptr) {
        status.choices = ReadChoices(services.reader, *features);
    }
    const std::optional<RunChoices> choices =
        features != nullptr ? std::optional<RunChoices>(RunChoices{*features, status.choices}) : std::nullopt;
    for (SettingsProfile profile = kEssentialProfile; profile <= kMaximumProfile; ++profile) {
        const ProfilePlan plan = PlanProfile(services, controller, profile,
                                             {false, false, nullptr, choices ? &*choices : nullptr});
        ProfileStatus& entry = status.profiles[static_cast<std::size_t>(profile)];
        entry.profile = profile;
        entry.counts = CountPlan(plan);
        if (features != nullptr) {
            entry.warnings = WarningFeatures(GroupByFeature(plan, *features), *features, profile);
        }
        const Journal* run = journals.lastSucceededRun ? &*journals.lastSucceededRun : nullptr;
        if (profile == applied && run != nullptr && run->header.profile == ProfileName(profile)) {
            entry.changedSinceRun = ChangedSinceRun(plan, *run);
        }
    }
    return status;
}

} // namespace Velmora
