#include "bench/bench_parts_win32.h"

#include "bench/fixtures_win32.h"
#include "common/diagnostics.h"
#include "common/win32_handles.h"
#include "settings/local_settings.h"
#include "system/threadpool_delayed_runner.h"
#include "system/win32_system_operations.h"
#include "tweaks/apply_pipeline.h"
#include "tweaks/delayed_runner.h"
#include "tweaks/run_controller.h"
#include "common/dispatcher_queue.h"

#include <cstdio>
#include <numeric>

namespace Velmora::Bench {
namespace {

// Runs the work through the real thread-pool timer and notes when the work has returned.
class SignallingRunner final : public DelayedRunner {
public:
    SignallingRunner() : done_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

    bool RunAfter(std::chrono::seconds delay, std::function<void()> work) override {
        ::ResetEvent(done_.Get());
        return inner_.RunAfter(delay, [this, work = std::move(work)] {
            work();
            endMs = NowMs();
            ::SetEvent(done_.Get());
        });
    }
    [[nodiscard]] bool Wait(DWORD milliseconds) const {
        return ::WaitForSingleObject(done_.Get(), milliseconds) == WAIT_OBJECT_0;
    }

    std::atomic<double> endMs{0.0};

private:
    ThreadpoolDelayedRunner inner_;
    UniqueKernelHandle done_;
};

// Runs the run's closures at once, on the run's thread.
class ImmediateDispatcher final : public DispatcherQueue {
public:
    bool TryEnqueue(std::function<void()> closure) override {
        closure();
        return true;
    }
};

// Forwards every line to the run's log as the program writes it, and keeps the lines of
// operations this build does not carry yet.
class StubNotingSink final : public DiagnosticSink {
public:
    explicit StubNotingSink(std::shared_ptr<DiagnosticSink> next) : next_(std::move(next)) {}
    void Write(std::wstring_view line) override {
        if (next_) {
            next_->Write(line);
        }
        if (line.find(L" is not available in this build") != std::wstring_view::npos) {
            std::lock_guard lock(mutex_);
            stubLines_.emplace_back(line);
        }
    }
    [[nodiscard]] bool Mentions(std::wstring_view operation) const {
        std::lock_guard lock(mutex_);
        for (const auto& line : stubLines_) {
            if (line.starts_with(operation) && line.size() > operation.size() &&
                line[operation.size()] == L' ') {
                return true;
            }
        }
        return false;
    }

private:
    std::shared_ptr<DiagnosticSink> next_;
    mutable std::mutex mutex_;
    std::vector<std::wstring> stubLines_;
};

} // namespace

RunStepsResult BenchMaximumRuns(const RunController& controller, int rounds, int startDelaySeconds,
                                TempFiles& files, std::size_t filesPerRound, std::size_t extraServices,
                                std::size_t tasksRegistered) {
    RunStepsResult result;
    result.filesPerRound = filesPerRound;
    result.extraServices = extraServices;
    result.tasksRegistered = tasksRegistered;

    // The lines still go to the run's log, where the program writes them.
    const auto sink = std::make_shared<StubNotingSink>(
        std::make_shared<FileDiagnosticSink>(DefaultDiagnosticLogPath(DiagnosticLogFolder())));
    const auto previousSink = SetDiagnosticSink(sink);

    Win32SystemOperations system;
    TimingSystemOperations timed(system, &NowMs);
    std::atomic<SettingsProfile> selected{kNoProfile};
    ImmediateDispatcher dispatcher;
    SignallingRunner runner;
    std::atomic<bool> succeeded{false};
    const auto settings = MakeInMemorySettings();
    for (int round = 0; round < rounds; ++round) {
        std::fprintf(stderr, "bench: Maximum run %d of %d (start delay %d s)\n", round + 1, rounds,
                     startDelaySeconds);
        files.RemoveAll();
        const double createStart = NowMs();
        if (files.Create(filesPerRound, 256) != filesPerRound) {
            result.error = "could not create the files in the temporary folder";
        }
        result.createFilesMs.push_back(NowMs() - createStart);
        timed.Reset();
        succeeded = false;
        selected = kMaximumProfile;
        const ApplyRunContext context{controller,
                                      selected,
                                      timed,
                                      dispatcher,
                                      [&settings](std::wstring_view key, std::int32_t value) {
                                          settings->Insert(key, SettingValue{value});
                                      },
                                      [&succeeded] { succeeded = true; },
                                      [] {},
                                      nullptr};
        const double requestedAt = NowMs();
        if (!ApplyPipeline(context, runner, startDelaySeconds) ||
            !runner.Wait(static_cast<DWORD>(startDelaySeconds) * 1000 + 15 * 60 * 1000)) {
            result.error = "the run did not finish";
            break;
        }
        result.allSucceeded = result.allSucceeded && succeeded.load();
        const double firstStart = timed.FirstCallStart().value_or(requestedAt);
        const double end = runner.endMs.load();
        double stepsTotal = 0.0;
        for (const RunStep step : kRunSteps) {
            const auto time = timed.Step(step);
            result.stepMs[static_cast<std::size_t>(step)].push_back(time.milliseconds);
            result.calls[static_cast<std::size_t>(step)] = time.calls;
            stepsTotal += time.milliseconds;
        }
        const double external = timed.Step(RunStep::Commands).milliseconds;
        result.startDelayMs.push_back(firstStart - requestedAt);
        result.betweenMs.push_back((end - firstStart) - stepsTotal);
        result.afterDelayMs.push_back(end - firstStart);
        result.controlledMs.push_back(end - firstStart - external);
        ++result.rounds;
        result.filesLeftAfterLastRound = files.Count();
        const double deleteStart = NowMs();
        if (files.RemoveAll() > 0) {
            result.deleteLeftFilesMs.push_back(NowMs() - deleteStart);
        }
    }
    for (const RunStep step : kRunSteps) {
        for (const std::wstring_view operation : RunStepOperations(step)) {
            if (sink->Mentions(operation)) {
                result.stubs.insert(step);
            }
        }
    }
    SetDiagnosticSink(previousSink);
    return result;
}

} // namespace Velmora::Bench
