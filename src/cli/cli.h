#pragma once

// velmora-cli's commands over the engine the window uses: each command checks what it needs
// (elevation, the run lock, its arguments), calls the engine, and answers in words or as one JSON
// document (docs/cli.md), with an exit code management tools understand (cli/exit_codes.h).

#include "engine/engine.h"
#include "engine/keep_settings.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Velmora::Cli {

enum class ClaimOutcome : std::uint8_t { Held, Busy, Failed };

struct RunClaim {
    ClaimOutcome outcome = ClaimOutcome::Failed;
    std::uint32_t error = 0;
    std::shared_ptr<void> holder; // gives the run lock back when it goes
    std::wstring problem;         // why it failed, in words, when the error number does not say it
};

// What the commands need of the process and the PC. The Windows build gives the real ones; host
// tests give fakes.
class CliPlatform {
public:
    virtual ~CliPlatform() = default;
    // Runs as an administrator with a full token, or as SYSTEM.
    [[nodiscard]] virtual bool Elevated() = 0;
    // The PC's one run lock (engine/run_lock.h), without waiting.
    [[nodiscard]] virtual RunClaim ClaimRun() = 0;
    [[nodiscard]] virtual EngineServices& Engine() = 0;
    [[nodiscard]] virtual std::wstring JournalFolder() = 0;
    // A path as given on the command line, made absolute against the working folder; empty when it is
    // not a path at all.
    [[nodiscard]] virtual std::wstring FullPath(const std::wstring& path) = 0;
    // Whether Velmora may write its report to this absolute path; the reason when not.
    [[nodiscard]] virtual bool CheckReportPath(const std::wstring& path, std::wstring& error) = 0;
    // A choices file (--choices): its bytes, at most kMaxChoicesFileBytes, from a plain file that is no link;
    // false with the reason.
    [[nodiscard]] virtual bool ReadChoicesFile(const std::wstring& path, std::string& text,
                                               std::wstring& error) = 0;
    // Puts the report in place; checks the path again as it writes.
    [[nodiscard]] virtual bool WriteReport(const std::wstring& path, const std::string& document,
                                           std::wstring& error) = 0;
    virtual void WriteOut(std::wstring_view text) = 0;
    virtual void WriteError(std::wstring_view text) = 0;
    // Replaces the progress line on a terminal (empty: clears it); nothing when none is attached.
    virtual void ShowProgress(std::wstring_view line) = 0;
    // Set by Ctrl+C, Ctrl+Break, closing the console, signing out or shutting down, which never end the
    // process outright: a run or a restore stops between two items, a plan when it is made.
    [[nodiscard]] virtual const std::atomic<bool>& CancelRequested() = 0;
    // The preinstalled-app removal beside the run, and the wait for its end before the process exits.
    [[nodiscard]] virtual bool StartAppRemoval(std::vector<std::wstring> packageNames) = 0;
    virtual void FinishAppRemoval() = 0;
    // Asks Windows to restart the PC: true when it accepted, otherwise false with the reason.
    [[nodiscard]] virtual bool RestartComputer(std::wstring& refusal) = 0;
    // Keeping settings in place: the copy of this program and its scheduled task.
    [[nodiscard]] virtual KeepPlatform& Keep() = 0;
};

// `args` without the program name. Returns the exit code.
[[nodiscard]] int RunCli(const std::vector<std::wstring>& args, CliPlatform& platform);

// The journal a `restore` argument names: a file name in the journal folder, or a path to one there.
// nullopt with the reason when it names no journal of the folder.
[[nodiscard]] std::optional<std::wstring> ResolveJournalArgument(const std::wstring& argument,
                                                                 const std::wstring& folder,
                                                                 const std::vector<std::wstring>& journals,
                                                                 CliPlatform& platform, std::wstring& error);

} // namespace Velmora::Cli
