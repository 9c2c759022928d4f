#pragma once

// The four measurements of the benchmark. Each runs against the real system of the sandbox it
// is started in and returns raw samples; bench_main turns them into the table.

#include "bench/bench_logic.h"
#include "bench/timing_state_reader.h"
#include "bench/timing_system_operations.h"

#include <array>
#include <cstddef>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace Velmora {
class RunController;
struct EngineServices;
} // namespace Velmora

namespace Velmora::Bench {

class TempFiles;

// 1. The three registry tables of Maximum, written through the primitives and through one reg.exe
// process per row, in alternating rounds. Before each round every value is set to other data, so
// that the values read back afterwards show that the round wrote them.
struct RegistryBenchResult {
    std::size_t rows = 0;
    std::vector<double> primitiveMs;
    std::vector<double> regExeMs;
    std::size_t primitiveRowsWritten = 0; // in the last round
    std::size_t regExeRowsWritten = 0;
    std::size_t distinctValues = 0;
    std::size_t primitiveValuesVerified = 0; // holding the data of their last row after the round
    std::size_t regExeValuesVerified = 0;
};
[[nodiscard]] RegistryBenchResult BenchRegistryTables(const RunController& controller, int primitiveRounds,
                                                      int regExeRounds);

// 2. Whole Maximum runs through the real pipeline, each operation timed by a TimingSystemOperations.
struct RunStepsResult {
    int rounds = 0;
    std::array<std::vector<double>, kRunSteps.size()> stepMs{};
    std::array<int, kRunSteps.size()> calls{};
    std::vector<double> startDelayMs; // request to the first operation
    std::vector<double> betweenMs;    // the pipeline's own time between and after the operations
    std::vector<double> controlledMs; // after the delay, without the external programs
    std::vector<double> afterDelayMs; // after the delay, everything
    std::set<RunStep> stubs;          // steps whose operations this build does not carry yet
    std::size_t filesPerRound = 0;
    std::size_t filesLeftAfterLastRound = 0;
    std::vector<double> createFilesMs;     // the benchmark itself creating the files, for comparison
    std::vector<double> deleteLeftFilesMs; // and deleting what the run left, one DeleteFileW each
    std::size_t extraServices = 0;
    std::size_t tasksRegistered = 0;
    std::size_t tasksLeftEnabled = 0;
    bool allSucceeded = true;
    std::string error;
};
[[nodiscard]] RunStepsResult BenchMaximumRuns(const RunController& controller, int rounds,
                                              int startDelaySeconds, TempFiles& files,
                                              std::size_t filesPerRound, std::size_t extraServices,
                                              std::size_t tasksRegistered);

// 3. The UI thread of the real window while Apply runs Maximum (start delay 0).
struct UiStallResult {
    ResponsivenessSummary whole;
    ResponsivenessSummary run; // the probes posted from the Apply click on
    // The same two without the probes posted from 50 ms before the answer to the question before the run
    // to 2.1 s after it, and those probes alone (Wine's X11 driver waits for a window manager as the
    // question closes).
    ResponsivenessSummary wholeOutsideClosing;
    ResponsivenessSummary runOutsideClosing;
    ResponsivenessSummary questionClosing;
    double runMs = 0.0;             // from the Apply click to the result on screen
    double worstAfterClickMs = 0.0; // when the worst probe was posted, from the Apply click
    double scanMs = 0.0;            // the Profiles page's scan, from the window's creation to its cards
    double planMs = 0.0;            // the Review page's plan, from the click to its list
    std::size_t progressShown = 0;  // progress states the window showed during the run
    // The process's working set after each run of the soak, the measured run first.
    std::vector<double> soakWorkingSetBytes;
    bool completed = false;
    std::string error;
};
// After the measured run the same window runs Maximum again until `soakRuns` runs in all.
[[nodiscard]] UiStallResult BenchUiStall(double probeIntervalMs, double limitMs, int soakRuns);

// A process's memory at one moment, and the modules it has loaded then (name and image size).
struct MemorySnapshot {
    double workingSetBytes = 0.0;
    double privateBytes = 0.0;
    std::vector<std::pair<std::string, double>> modules;
};

// 4. Starts of a program to its first painted window, and its memory then.
struct StartResult {
    std::vector<double> visibleMs;
    std::vector<double> paintedMs;
    std::vector<double> workingSetBytes; // 1 s after the first paint
    // Of the first launch: at the first paint, and once no child window shows `scanningText` any more
    // (the note shown while the cards' scan reads the PC), when the start was given one.
    std::optional<MemorySnapshot> atPaint;
    std::optional<MemorySnapshot> afterScan;
    double scannedMs = 0.0;
    std::string error;
};
[[nodiscard]] StartResult BenchStart(const std::wstring& exePath, const std::wstring& windowClass,
                                     int launches, const std::wstring& scanningText = {});

// What one of the window's larger objects holds on the heap while it lives.
struct MemoryOwner {
    std::string name;
    double heldBytes = 0.0;
};

// 5. Reading the state of everything Maximum may change (the plan without surveying the cleanup and
// the apps), the whole plan, and a journaled Maximum run with its restore.
struct StateBenchResult {
    std::vector<double> stateReadMs;
    std::vector<double> planMs;
    std::size_t items = 0;
    std::size_t changes = 0;
    std::size_t inEffect = 0; // in the last plan, before the journaled run
    double runMs = 0.0;
    std::optional<double> journalBytes;
    std::size_t journalEntries = 0;
    double restoreMs = 0.0;
    std::optional<double> restoreJournalBytes;
    std::size_t restored = 0;
    std::size_t restoreFailed = 0;
    std::vector<MemoryOwner> owners;
    // One more state read, by kind of read (kReadKindNames): calls and milliseconds.
    double timedReadMs = 0.0;
    std::array<std::pair<std::size_t, double>, kReadKindNames.size()> reads{};
    std::string error;
};
[[nodiscard]] StateBenchResult BenchStateAndJournal(const RunController& controller, int rounds);

// Counted in this process, over the journal of a Maximum run.
[[nodiscard]] std::vector<MemoryOwner>
BenchMemoryOwners(EngineServices& services, const RunController& controller, const std::wstring& journalPath);

// The size of a file in bytes; nullopt when it cannot be read.
[[nodiscard]] std::optional<double> FileBytes(const std::wstring& path);

// The DLLs the executable imports that are not in the system folder (a self-contained program has
// none); nullopt when the file cannot be read as an image.
[[nodiscard]] std::optional<std::vector<std::string>> NonSystemImports(const std::wstring& path);

// The folder of the running executable (the build's bin folder, drive V: in the sandbox).
[[nodiscard]] std::wstring ExecutableFolder();

} // namespace Velmora::Bench
