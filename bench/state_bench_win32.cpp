#include "bench/bench_parts_win32.h"

#include "bench/fixtures_win32.h"
#include "bench/timing_state_reader.h"
#include "engine/windows_engine.h"
#include "settings/local_settings.h"
#include "tweaks/run_controller.h"

#include <cstdio>

namespace Velmora::Bench {
namespace {

constexpr wchar_t kSettingsKey[] = L"Software\\Velmora\\BenchSettings";

std::optional<double> SizeOf(const std::wstring& path) {
    return path.empty() ? std::nullopt : FileBytes(path);
}

} // namespace

StateBenchResult BenchStateAndJournal(const RunController& controller, int rounds) {
    StateBenchResult result;
    const auto settings = MakeRegistrySettings(kSettingsKey);
    WindowsEngine engine(*settings);
    for (int round = 0; round < rounds; ++round) {
        double start = NowMs();
        const ProfilePlan stateOnly =
            PlanProfile(engine.Services(), controller, kMaximumProfile, {false, false});
        result.stateReadMs.push_back(NowMs() - start);
        result.items = stateOnly.entries.size();
        start = NowMs();
        const ProfilePlan plan = PlanProfile(engine.Services(), controller, kMaximumProfile);
        result.planMs.push_back(NowMs() - start);
        const PlanCounts counts = CountPlan(plan);
        result.inEffect = counts.inEffect;
        result.changes = counts.changes;
    }

    // One more read of the state, through a reader that times each kind of read.
    TimingStateReader timing(engine.Services().reader);
    const EngineServices& real = engine.Services();
    EngineServices timed{
        real.system,        timing,         real.writer,         real.settings,  real.journals,
        real.restorePoints, real.lastError, real.programVersion, real.userHives, real.targetUsers};
    const double timedStart = NowMs();
    static_cast<void>(PlanProfile(timed, controller, kMaximumProfile, {false, false}));
    result.timedReadMs = NowMs() - timedStart;
    for (std::size_t kind = 0; kind < timing.Tallies().size(); ++kind) {
        result.reads[kind] = {timing.Tallies()[kind].calls, timing.Tallies()[kind].ms};
    }

    // From Essential, so that Maximum and its restore change something; Essential is put back at the end.
    std::fputs("bench: a journaled Maximum run from Essential, and its restore\n", stderr);
    const RunReport essential = RunProfile(engine.Services(), controller, kEssentialProfile);
    double start = NowMs();
    const RunReport run = RunProfile(engine.Services(), controller, kMaximumProfile);
    result.runMs = NowMs() - start;
    result.journalBytes = SizeOf(run.journalPath);
    result.journalEntries = run.items.size();
    result.owners = BenchMemoryOwners(engine.Services(), controller, run.journalPath);
    start = NowMs();
    const RestoreResult restored = RestoreJournal(engine.Services(), run.journalPath);
    result.restoreMs = NowMs() - start;
    result.restoreJournalBytes = SizeOf(restored.journalPath);
    result.restored = restored.restored.size();
    result.restoreFailed = restored.failed.size();
    const RestoreResult back = RestoreJournal(engine.Services(), essential.journalPath);
    if (run.outcome != RunOutcome::Succeeded || restored.refused || back.refused) {
        result.error = "the journaled run or its restore did not finish";
    }
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
    return result;
}

} // namespace Velmora::Bench
