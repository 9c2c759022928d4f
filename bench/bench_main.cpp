// velmora_bench: measures Velmora as its users meet it and prints one table. It applies the
// Maximum profile for real, so it only ever runs inside the Wine sandbox (scripts/bench).
//
//   velmora_bench [--only registry,state,steps,ui,start] [--rounds N] [--registry-rounds N]
//                 [--reg-exe-rounds N] [--launches N] [--files N] [--services N] [--start-delay S]

#include "bench/bench_logic.h"
#include "bench/bench_parts_win32.h"
#include "bench/fixtures_win32.h"
#include "bench/timing_state_reader.h"
#include "support/service_start_snapshot.h"
#include "tweaks/apply_pipeline.h"
#include "tweaks/run_controller.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <thread>

namespace {

using namespace Velmora;
using namespace Velmora::Bench;

struct Options {
    std::set<std::wstring> parts{L"registry", L"state", L"steps", L"ui", L"start"};
    int rounds = 3;
    int registryRounds = 9;
    int regExeRounds = 3;
    int launches = 5;
    std::size_t files = 10000;
    std::size_t services = 50;
    int startDelaySeconds = kApplyStartDelaySeconds;
};

constexpr Target kRegistrySpeedUp{Goal::AtLeast, 100.0};
constexpr Target kStateRead{Goal::AtMost, 60.0};
constexpr Target kPlan{Goal::AtMost, 80.0};
constexpr Target kControlledSteps{Goal::Below, 1500.0};
constexpr Target kUiStall{Goal::Below, 50.0};
constexpr Target kFirstPaintOverEmpty{Goal::AtMost, 1.6};
constexpr Target kWorkingSetOverEmptyMb{Goal::AtMost, 6.0};
constexpr Target kExecutableMb{Goal::Below, 4.0};
constexpr double kProbeIntervalMs = 10.0;
constexpr int kSoakRuns = 8;

bool ParseCount(const wchar_t* text, long long minimum, long long& value) {
    wchar_t* end = nullptr;
    const long long parsed = std::wcstoll(text, &end, 10);
    if (end == text || *end != L'\0' || parsed < minimum || parsed > 1000000) {
        return false;
    }
    value = parsed;
    return true;
}

bool ParseOptions(int argc, wchar_t** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::wstring name = argv[i];
        if (i + 1 >= argc) {
            return false;
        }
        const wchar_t* value = argv[++i];
        long long number = 0;
        if (name == L"--only") {
            options.parts.clear();
            std::wstring list = value;
            for (size_t start = 0; start <= list.size();) {
                const size_t comma = std::min(list.find(L',', start), list.size());
                const std::wstring part = list.substr(start, comma - start);
                if (part != L"registry" && part != L"state" && part != L"steps" && part != L"ui" &&
                    part != L"start") {
                    return false;
                }
                options.parts.insert(part);
                start = comma + 1;
            }
        } else if (name == L"--rounds" && ParseCount(value, 1, number)) {
            options.rounds = static_cast<int>(number);
        } else if (name == L"--registry-rounds" && ParseCount(value, 1, number)) {
            options.registryRounds = static_cast<int>(number);
        } else if (name == L"--reg-exe-rounds" && ParseCount(value, 1, number)) {
            options.regExeRounds = static_cast<int>(number);
        } else if (name == L"--launches" && ParseCount(value, 1, number)) {
            options.launches = static_cast<int>(number);
        } else if (name == L"--files" && ParseCount(value, 0, number)) {
            options.files = static_cast<std::size_t>(number);
        } else if (name == L"--services" && ParseCount(value, 0, number)) {
            options.services = static_cast<std::size_t>(number);
        } else if (name == L"--start-delay" && ParseCount(value, 0, number)) {
            options.startDelaySeconds = static_cast<int>(number);
        } else {
            return false;
        }
    }
    return true;
}

std::string Count(std::size_t value) {
    return std::to_string(value);
}

std::string Of(std::size_t part, std::size_t whole) {
    return Count(part) + " of " + Count(whole);
}

// The fastest and the slowest round, to show how much the machine's load moved the figures.
std::string Spread(const std::vector<double>& samples) {
    if (samples.empty()) {
        return "no rounds";
    }
    const auto [fastest, slowest] = std::minmax_element(samples.begin(), samples.end());
    return "rounds " + FormatMilliseconds(*fastest) + " to " + FormatMilliseconds(*slowest);
}

std::optional<double> Mb(std::optional<double> bytes) {
    return bytes ? std::optional<double>(*bytes / (1024.0 * 1024.0)) : std::nullopt;
}

void ReportRegistry(ReportTable& table, const RegistryBenchResult& r) {
    table.Section("1. The three registry tables of Maximum (" + Count(r.rows) + " writes), median of rounds");
    const auto primitives = Median(r.primitiveMs);
    const auto regExe = Median(r.regExeMs);
    table.Row("through the primitives (" + Count(r.primitiveMs.size()) + " rounds)",
              FormatMilliseconds(primitives),
              Spread(r.primitiveMs) + ", rows written " + Of(r.primitiveRowsWritten, r.rows) +
                  ", values verified " + Of(r.primitiveValuesVerified, r.distinctValues));
    table.Row("one reg.exe add per row (" + Count(r.regExeMs.size()) + " rounds)", FormatMilliseconds(regExe),
              Spread(r.regExeMs) + ", rows written " + Of(r.regExeRowsWritten, r.rows) +
                  ", values verified " + Of(r.regExeValuesVerified, r.distinctValues));
    const std::optional<double> ratio = primitives && regExe && *primitives > 0.0
                                            ? std::optional<double>(*regExe / *primitives)
                                            : std::nullopt;
    table.TargetRow("primitives faster than reg.exe by", FormatRatio(ratio), kRegistrySpeedUp, "x", ratio);
}

void ReportState(ReportTable& table, const StateBenchResult& r, int rounds) {
    table.Section("1b. Knowing the PC: the state of everything Maximum may change, median of " +
                  std::to_string(rounds) + " rounds");
    const auto read = Median(r.stateReadMs);
    table.TargetRow("read the whole of Maximum's state", FormatMilliseconds(read), kStateRead, "ms", read,
                    Spread(r.stateReadMs) + ", " + Count(r.items) + " items");
    const auto plan = Median(r.planMs);
    table.TargetRow("plan of Maximum (with the files to clean and the packages)", FormatMilliseconds(plan),
                    kPlan, "ms", plan,
                    Spread(r.planMs) + ", " + Of(r.inEffect, r.changes) + " changes in effect");
    table.Row("journaled Maximum run, from Essential", FormatMilliseconds(r.runMs),
              "journal " + FormatBytes(r.journalBytes) + ", " + Count(r.journalEntries) +
                  " records of changes");
    table.Row("its restore", FormatMilliseconds(r.restoreMs),
              Count(r.restored) + " items restored, " + Count(r.restoreFailed) + " failed, own journal " +
                  FormatBytes(r.restoreJournalBytes));
    table.Row("one more state read, timed by kind of read", FormatMilliseconds(r.timedReadMs));
    double readsMs = 0.0;
    for (std::size_t kind = 0; kind < r.reads.size(); ++kind) {
        table.Row("  " + std::string(kReadKindNames[kind]), FormatMilliseconds(r.reads[kind].second),
                  Count(r.reads[kind].first) + " reads");
        readsMs += r.reads[kind].second;
    }
    // What the plan does between the reads: the tables, the steps' rules and the entries it builds.
    table.Row("  the plan's own work between the reads", FormatMilliseconds(r.timedReadMs - readsMs));
    for (const MemoryOwner& owner : r.owners) {
        table.Row("heap held by: " + owner.name, FormatBytes(owner.heldBytes));
    }
    if (!r.error.empty()) {
        table.Row("error", r.error);
    }
}

void ReportSteps(ReportTable& table, const RunStepsResult& r) {
    table.Section("2. Maximum runs through the real pipeline, run's own clock, median of " + Count(r.rounds) +
                  " rounds");
    table.Row("start delay (fixed, not counted)", FormatMilliseconds(Median(r.startDelayMs)));
    for (const RunStep step : kRunSteps) {
        const std::size_t index = static_cast<std::size_t>(step);
        std::string item(RunStepName(step));
        std::string note = Count(static_cast<std::size_t>(r.calls[index])) + " calls";
        switch (step) {
        case RunStep::Cleanup:
            item += " (" + Count(r.filesPerRound) + " files in temp)";
            note += ", files left after the run " + Of(r.filesLeftAfterLastRound, r.filesPerRound);
            break;
        case RunStep::Services:
            item += " (" + Count(r.extraServices) + " extra services)";
            break;
        case RunStep::Commands:
            item += " (external programs, not counted)";
            break;
        case RunStep::Tasks:
            item += " (" + Count(r.tasksRegistered) + " tasks registered)";
            note += ", left enabled " + Of(r.tasksLeftEnabled, r.tasksRegistered);
            break;
        default:
            break;
        }
        if (r.stubs.contains(step)) {
            note += ", NOT AVAILABLE in this build (stub)";
        }
        table.Row(item, FormatMilliseconds(Median(r.stepMs[index])), note);
    }
    table.Row("pipeline between and after the steps", FormatMilliseconds(Median(r.betweenMs)));
    table.Row("for comparison: creating the files", FormatMilliseconds(Median(r.createFilesMs)),
              "the benchmark itself, before each run");
    if (!r.deleteLeftFilesMs.empty()) {
        table.Row("for comparison: deleting the files left", FormatMilliseconds(Median(r.deleteLeftFilesMs)),
                  "one DeleteFileW per file, after each run");
    }
    table.Row("whole run after the delay", FormatMilliseconds(Median(r.afterDelayMs)),
              r.allSucceeded ? "every run reported success" : "a run reported failure");
    const auto controlled = Median(r.controlledMs);
    std::string note;
    if (!r.stubs.empty()) {
        note = "without the steps that are stubs in this build";
    }
    table.TargetRow("steps the program controls", FormatMilliseconds(controlled), kControlledSteps, "ms",
                    controlled, Spread(r.controlledMs) + (note.empty() ? "" : ", " + note));
    if (!r.error.empty()) {
        table.Row("error", r.error);
    }
}

void ReportUi(ReportTable& table, const UiStallResult& r) {
    table.Section("3. UI thread of the real window: its scan, the review of Maximum and Apply with progress "
                  "(probe every 10 ms, no start delay)");
    const std::optional<double> worst =
        r.completed ? std::optional<double>(r.runOutsideClosing.worstDelayMs) : std::nullopt;
    table.TargetRow("worst delay of a probe message during the run", FormatMilliseconds(worst), kUiStall,
                    "ms", worst,
                    Count(r.runOutsideClosing.probes) + " probes, " + Count(r.runOutsideClosing.overLimit) +
                        " over 50 ms, " + Count(r.runOutsideClosing.unanswered) + " unanswered");
    const std::optional<double> worstWhole =
        r.completed ? std::optional<double>(r.wholeOutsideClosing.worstDelayMs) : std::nullopt;
    table.TargetRow("worst delay from the window's start on", FormatMilliseconds(worstWhole), kUiStall, "ms",
                    worstWhole,
                    Count(r.wholeOutsideClosing.probes) + " probes, " +
                        Count(r.wholeOutsideClosing.overLimit) + " over 50 ms");
    table.Row("  both without the 2.1 s after the question's answer; that span alone",
              FormatMilliseconds(r.questionClosing.worstDelayMs),
              Count(r.questionClosing.probes) + " probes, " + Count(r.questionClosing.overLimit) +
                  " over 50 ms: Wine's X11 driver waits up to 2 s for a window manager as a captioned window "
                  "closes, and Xvfb has none");
    table.Row("  with it, the worst of all", FormatMilliseconds(r.whole.worstDelayMs),
              "posted " + FormatMilliseconds(r.worstAfterClickMs) + " from the Apply click");
    table.Row("median delay", FormatMilliseconds(r.whole.medianDelayMs));
    table.Row("Apply click to result on screen", FormatMilliseconds(r.completed ? r.runMs : 0.0));
    table.Row("progress states shown during the run", Count(r.progressShown));
    table.Row("scan of the three profiles, window to cards", FormatMilliseconds(r.scanMs));
    table.Row("plan of Maximum, Review click to list", FormatMilliseconds(r.planMs));
    if (!r.soakWorkingSetBytes.empty()) {
        std::string sets;
        for (const double bytes : r.soakWorkingSetBytes) {
            sets += (sets.empty() ? "" : ", ") + FormatBytes(bytes);
        }
        const double growth = r.soakWorkingSetBytes.back() - r.soakWorkingSetBytes.front();
        table.Row("soak: working set after each of " + Count(r.soakWorkingSetBytes.size()) + " runs",
                  FormatBytes(growth), "grew by this from the first to the last: " + sets);
    }
    if (!r.error.empty() || !r.completed) {
        table.Row("error", r.error.empty() ? "the run did not finish" : r.error);
    }
}

std::string Snapshot(const std::optional<MemorySnapshot>& memory) {
    return memory ? "working set " + FormatBytes(memory->workingSetBytes) + ", private " +
                        FormatBytes(memory->privateBytes)
                  : std::string("-");
}

// The modules of `memory` that `other` has not loaded, largest first, and their sum.
std::string ModulesBeyond(const MemorySnapshot& memory, const MemorySnapshot& other) {
    std::vector<std::pair<std::string, double>> extra;
    for (const auto& module : memory.modules) {
        const bool shared = std::any_of(other.modules.begin(), other.modules.end(), [&](const auto& known) {
            return _stricmp(known.first.c_str(), module.first.c_str()) == 0;
        });
        if (!shared) {
            extra.push_back(module);
        }
    }
    std::sort(extra.begin(), extra.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    double total = 0.0;
    std::string names;
    for (const auto& [name, bytes] : extra) {
        total += bytes;
        names += (names.empty() ? "" : ", ") + name + " " + FormatBytes(bytes);
    }
    return Count(extra.size()) + " modules, images of " + FormatBytes(total) +
           (names.empty() ? "" : ": " + names);
}

void ReportMemory(ReportTable& table, const StartResult& velmora, const StartResult& returning,
                  const StartResult& baseline) {
    table.Section(
        "4b. Memory of Velmora.exe: its first start, and a returning user's start with the cards' scan");
    table.Row("first start, at the first paint", Snapshot(velmora.atPaint),
              "empty window: " + Snapshot(baseline.atPaint));
    if (velmora.atPaint && baseline.atPaint) {
        table.Row("  modules beyond the empty window's", Count(velmora.atPaint->modules.size()),
                  ModulesBeyond(*velmora.atPaint, *baseline.atPaint));
    }
    table.Row("returning user, at the first paint", Snapshot(returning.atPaint),
              "the Profiles page, reading the PC");
    table.Row("returning user, after the cards' scan", Snapshot(returning.afterScan),
              "counts shown " + FormatMilliseconds(returning.scannedMs) + " after the start");
    if (velmora.atPaint && returning.atPaint) {
        table.Row("  modules beyond the first start's at its paint", Count(returning.atPaint->modules.size()),
                  ModulesBeyond(*returning.atPaint, *velmora.atPaint));
    }
    if (returning.atPaint && returning.afterScan) {
        table.Row("  modules loaded by the scan", Count(returning.afterScan->modules.size()),
                  ModulesBeyond(*returning.afterScan, *returning.atPaint));
    }
}

// Velmora's own settings as a user who has accepted the terms has them: the next start opens the profiles.
void SeedReturningUser(bool seed) {
    const wchar_t* key = L"Software\\Velmora\\LocalSettings";
    if (!seed) {
        ::RegDeleteKeyValueW(HKEY_CURRENT_USER, key, L"acceptTermsServices");
        return;
    }
    const BYTE accepted = 1;
    ::RegSetKeyValueW(HKEY_CURRENT_USER, key, L"acceptTermsServices", REG_BINARY, &accepted, 1);
}

void ReportStart(ReportTable& table, const StartResult& velmora, const StartResult& returning,
                 const StartResult& baseline, std::optional<double> exeBytes,
                 const std::optional<std::vector<std::string>>& foreignImports, int launches) {
    table.Section("4. Start of Velmora.exe to its first painted window, median of " +
                  std::to_string(launches) + " launches");
    const auto painted = Median(velmora.paintedMs);
    const auto baselinePainted = Median(baseline.paintedMs);
    const std::optional<double> paintRatio = painted && baselinePainted && *baselinePainted > 0.0
                                                 ? std::optional<double>(*painted / *baselinePainted)
                                                 : std::nullopt;
    table.TargetRow("first paint, times the empty window's", FormatRatio(paintRatio), kFirstPaintOverEmpty,
                    "x", paintRatio, "");
    table.Row("first paint", FormatMilliseconds(painted),
              velmora.paintedMs.empty()
                  ? velmora.error
                  : Spread(velmora.paintedMs) + ", first launch " +
                        FormatMilliseconds(velmora.paintedMs.front()) + ", window shown after " +
                        FormatMilliseconds(Median(velmora.visibleMs)));
    const auto workingSet = Median(velmora.workingSetBytes);
    const auto baselineSet = Median(baseline.workingSetBytes);
    const std::optional<double> above =
        workingSet && baselineSet ? std::optional<double>(*workingSet - *baselineSet) : std::nullopt;
    table.TargetRow("working set 1 s after the first paint, above the empty window's", FormatBytes(above),
                    kWorkingSetOverEmptyMb, "MB", Mb(above), "in all " + FormatBytes(workingSet));
    std::string contained = "not a readable image";
    if (foreignImports && foreignImports->empty()) {
        contained = "imports only DLLs of the system folder";
    } else if (foreignImports) {
        contained = "NOT self-contained, needs";
        for (const std::string& name : *foreignImports) {
            contained += " " + name;
        }
    }
    table.TargetRow("Velmora.exe, one self-contained file", FormatBytes(exeBytes), kExecutableMb, "MB",
                    foreignImports && foreignImports->empty() ? Mb(exeBytes) : std::optional<double>(1e9),
                    contained);
    table.Row("baseline: empty window program, first paint", FormatMilliseconds(Median(baseline.paintedMs)),
              "what Wine costs before the program does anything");
    table.Row("baseline: empty window program, working set", FormatBytes(baselineSet));
    ReportMemory(table, velmora, returning, baseline);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fputs(
            "usage: velmora_bench [--only registry,state,steps,ui,start] [--rounds N] [--registry-rounds N]\n"
            "                     [--reg-exe-rounds N] [--launches N] [--files N] [--services N]\n"
            "                     [--start-delay S]\n",
            stderr);
        return 2;
    }
    const std::string wine = WineVersion();
    if (wine.empty()) {
        // It applies Maximum, creates services and deletes files: never on a real machine.
        std::fputs("velmora_bench changes the system it runs on; it runs only under Wine, in the sandbox of "
                   "scripts/bench\n",
                   stderr);
        return 2;
    }

    const RunController controller;
    ReportTable table;
    int errors = 0;
    if (options.parts.contains(L"registry")) {
        ReportRegistry(table, BenchRegistryTables(controller, options.registryRounds, options.regExeRounds));
    }
    if (options.parts.contains(L"state")) {
        std::fputs("bench: reading the state of Maximum\n", stderr);
        const StateBenchResult state = BenchStateAndJournal(controller, options.registryRounds);
        errors += state.error.empty() ? 0 : 1;
        ReportState(table, state, options.registryRounds);
    }
    if (options.parts.contains(L"steps") || options.parts.contains(L"ui")) {
        // The runs retune the sandbox's own services; they are put back at the end.
        const Testing::ServiceStartSnapshot wineServices;
        TestServices services;
        services.Create(PickTestServiceNames(controller.serviceTable, options.services));
        TestTasks tasks;
        tasks.Register(controller.scheduledTaskPaths);
        TempFiles files(UserTempFolder());
        if (options.parts.contains(L"steps")) {
            RunStepsResult steps =
                BenchMaximumRuns(controller, options.rounds, options.startDelaySeconds, files, options.files,
                                 services.Created().size(), tasks.Registered().size());
            for (const std::wstring& path : tasks.Registered()) {
                steps.tasksLeftEnabled += TaskEnabledState(path) == true ? 1 : 0;
            }
            errors += steps.error.empty() ? 0 : 1;
            ReportSteps(table, steps);
        }
        if (options.parts.contains(L"ui")) {
            std::fputs("bench: UI thread during a Maximum run\n", stderr);
            files.RemoveAll();
            files.Create(options.files, 256);
            ::Sleep(2000); // lets the file system work of the fixture settle first
            // On a thread of its own, as the program's window has one that has done nothing before it.
            UiStallResult stall;
            std::thread([&stall] {
                stall = BenchUiStall(kProbeIntervalMs, kUiStall.limit, kSoakRuns);
            }).join();
            errors += stall.completed && stall.error.empty() ? 0 : 1;
            ReportUi(table, stall);
        }
    }
    if (options.parts.contains(L"start")) {
        std::fputs("bench: starts of Velmora.exe and of an empty window program\n", stderr);
        const std::wstring folder = ExecutableFolder();
        const std::wstring velmora = folder + L"\\Velmora.exe";
        const StartResult started = BenchStart(velmora, L"VelmoraMainWindow", options.launches);
        const StartResult baseline = BenchStart(folder + L"\\velmora_bench_empty_window.exe",
                                                L"VelmoraBenchEmptyWindow", options.launches);
        // Until the note shown while the cards' scan reads the PC goes, in English, the sandbox's language.
        SeedReturningUser(true);
        const StartResult returning = BenchStart(velmora, L"VelmoraMainWindow", 1, L"Checking this PC");
        SeedReturningUser(false);
        errors += started.paintedMs.empty() ? 1 : 0;
        ReportStart(table, started, returning, baseline, FileBytes(velmora), NonSystemImports(velmora),
                    options.launches);
    }

    SYSTEM_INFO system{};
    ::GetSystemInfo(&system);
    std::printf("Velmora benchmark under Wine %s, %lu processors\n\n%s\n%zu target(s) missed\n", wine.c_str(),
                system.dwNumberOfProcessors, table.Render().c_str(), table.MissedTargets());
    std::fflush(stdout);
    return errors == 0 && table.MissedTargets() == 0 ? 0 : 1;
}
