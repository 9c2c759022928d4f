#include "bench/responsiveness_probe_win32.h"

#include "bench/fixtures_win32.h"

#include <commctrl.h>

namespace Velmora::Bench {
namespace {

constexpr UINT_PTR kSubclassId = 0x56424e43; // "VBNC"
constexpr double kNotYet = -1.0;

} // namespace

ResponsivenessProbe::ResponsivenessProbe(HWND window, double intervalMs, std::size_t capacity)
    : window_(window), message_(::RegisterWindowMessageW(L"VelmoraBenchResponsivenessProbe")),
      intervalMs_(intervalMs), capacity_(capacity), posted_(new std::atomic<double>[capacity]),
      handled_(new std::atomic<double>[capacity]) {
    for (std::size_t i = 0; i < capacity_; ++i) {
        posted_[i] = kNotYet;
        handled_[i] = kNotYet;
    }
    attached_ = message_ != 0 && ::SetWindowSubclass(window_, &ResponsivenessProbe::SubclassProc, kSubclassId,
                                                     reinterpret_cast<DWORD_PTR>(this)) != FALSE;
}

ResponsivenessProbe::~ResponsivenessProbe() {
    Stop();
    if (attached_) {
        ::RemoveWindowSubclass(window_, &ResponsivenessProbe::SubclassProc, kSubclassId);
    }
}

void ResponsivenessProbe::Start() {
    if (attached_ && !poster_.joinable()) {
        poster_ = std::thread([this] { Post(); });
    }
}

void ResponsivenessProbe::Stop() {
    stop_ = true;
    if (poster_.joinable()) {
        poster_.join();
        stoppedAt_ = NowMs();
    }
}

void ResponsivenessProbe::Post() {
    const double start = NowMs();
    for (std::size_t i = 0; i < capacity_ && !stop_; ++i) {
        // A fixed schedule: a late wake-up does not push the following probes back.
        const double due = start + static_cast<double>(i) * intervalMs_;
        for (double now = NowMs(); now < due && !stop_; now = NowMs()) {
            ::Sleep(static_cast<DWORD>(due - now >= 2.0 ? due - now - 1.0 : 0.0));
        }
        if (stop_) {
            break;
        }
        posted_[i] = NowMs();
        count_ = i + 1;
        if (!::PostMessageW(window_, message_, static_cast<WPARAM>(i), 0)) {
            break;
        }
    }
}

std::vector<ProbeSample> ResponsivenessProbe::Samples() const {
    std::vector<ProbeSample> samples;
    const std::size_t count = count_.load();
    samples.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        ProbeSample sample{posted_[i].load(), std::nullopt};
        if (const double handled = handled_[i].load(); handled != kNotYet) {
            sample.handledMs = handled;
        }
        samples.push_back(sample);
    }
    return samples;
}

LRESULT CALLBACK ResponsivenessProbe::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                                   UINT_PTR, DWORD_PTR self) {
    auto* probe = reinterpret_cast<ResponsivenessProbe*>(self);
    if (message != probe->message_) {
        return ::DefSubclassProc(window, message, wParam, lParam);
    }
    const double now = NowMs();
    if (wParam < probe->capacity_) {
        probe->handled_[wParam] = now;
    }
    if (probe->onProbe) {
        probe->onProbe();
    }
    return 0;
}

} // namespace Velmora::Bench
