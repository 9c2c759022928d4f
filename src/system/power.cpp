#include "system/power.h"

#include "common/diagnostics.h"

#include <exception>
#include <string>

namespace Velmora {
namespace {

constexpr std::uint32_t kTriggerPercent = 100;
constexpr std::uint32_t kCappedPercent = 99;

// Gives the scheme back on every way out of the step.
class OpenScheme {
public:
    explicit OpenScheme(ProcessorStatePowerSettings& power) noexcept : power_(power) {}
    ~OpenScheme() { power_.CloseActiveScheme(); }
    OpenScheme(const OpenScheme&) = delete;
    OpenScheme& operator=(const OpenScheme&) = delete;

private:
    ProcessorStatePowerSettings& power_;
};

} // namespace

void TunePowerScheme(ProcessorStatePowerSettings& power) noexcept {
    try {
        if (!power.OpenActiveScheme()) {
            return;
        }
        const OpenScheme scheme(power);
        // A failed read counts as 0, which never triggers a write.
        const std::uint32_t ac = power.ReadAcMaximum().value_or(0);
        const std::uint32_t dc = power.ReadDcMaximum().value_or(0);
        Diagnose(L"\u2699\uFE0F Current ProcessorThrottleMax - AC: " + std::to_wstring(ac) + L"% | DC: " +
                 std::to_wstring(dc) + L"%");
        bool wrote = false;
        if (ac == kTriggerPercent) {
            power.WriteAcMaximum(kCappedPercent);
            wrote = true;
        }
        if (dc == kTriggerPercent) {
            power.WriteDcMaximum(kCappedPercent);
            wrote = true;
        }
        if (wrote) {
            power.ReapplyActiveScheme();
        }
    } catch (const std::exception&) {
        // Only building the diagnostic line can throw (out of memory); the step just ends.
    }
}

namespace {

bool Open(ProcessorStatePowerSettings& power, const std::wstring& scheme) {
    return scheme.empty() ? power.OpenActiveScheme() : power.OpenScheme(scheme);
}

} // namespace

ProcessorMaximumState ReadProcessorMaximum(ProcessorStatePowerSettings& power,
                                           const std::wstring& scheme) noexcept {
    try {
        if (!Open(power, scheme)) {
            return {};
        }
        const OpenScheme opened(power);
        ProcessorMaximumState state;
        state.ac = power.ReadAcMaximum();
        state.dc = power.ReadDcMaximum();
        state.scheme = power.OpenedScheme();
        return state;
    } catch (...) {
        return {};
    }
}

bool WriteProcessorMaximum(ProcessorStatePowerSettings& power, const ProcessorMaximumState& wanted) noexcept {
    try {
        if (!Open(power, wanted.scheme)) {
            return false;
        }
        std::wstring written;
        {
            const OpenScheme scheme(power);
            written = power.OpenedScheme();
            if (wanted.ac) {
                power.WriteAcMaximum(*wanted.ac);
            }
            if (wanted.dc) {
                power.WriteDcMaximum(*wanted.dc);
            }
            power.ReapplyActiveScheme();
        }
        const ProcessorMaximumState now = ReadProcessorMaximum(power, written);
        return (!wanted.ac || now.ac == wanted.ac) && (!wanted.dc || now.dc == wanted.dc);
    } catch (...) {
        return false;
    }
}

} // namespace Velmora
