#pragma once

#include "bench/bench_logic.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include <windows.h>

namespace Velmora::Bench {

// Watches how quickly a window's thread handles its messages: a thread of its own posts a probe
// message to the window at a fixed interval, and the window procedure notes when each one arrives.
// The window is subclassed for the probe message only; every other message passes on unchanged.
class ResponsivenessProbe {
public:
    // Call on the window's thread. At most `capacity` probes are posted.
    ResponsivenessProbe(HWND window, double intervalMs, std::size_t capacity);
    // Call on the window's thread.
    ~ResponsivenessProbe();
    ResponsivenessProbe(const ResponsivenessProbe&) = delete;
    ResponsivenessProbe& operator=(const ResponsivenessProbe&) = delete;

    [[nodiscard]] bool IsAttached() const noexcept { return attached_; }
    void Start();
    // Stops posting; probes already posted are still noted when they arrive. Any thread but the poster.
    void Stop();
    // When Stop was called (NowMs), or 0 before.
    [[nodiscard]] double StoppedAtMs() const noexcept { return stoppedAt_.load(); }
    // The probes posted so far; read on the window's thread or once it has handled them.
    [[nodiscard]] std::vector<ProbeSample> Samples() const;

    // Runs on the window's thread each time a probe arrives.
    std::function<void()> onProbe;

private:
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR self);
    void Post();

    HWND window_;
    UINT message_;
    double intervalMs_;
    std::size_t capacity_;
    bool attached_ = false;
    std::unique_ptr<std::atomic<double>[]> posted_;
    std::unique_ptr<std::atomic<double>[]> handled_;
    std::atomic<std::size_t> count_{0};
    std::atomic<bool> stop_{false};
    std::atomic<double> stoppedAt_{0.0};
    std::thread poster_;
};

} // namespace Velmora::Bench
