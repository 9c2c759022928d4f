#pragma once

#include "system/system_state.h"

#include <cstdint>
#include <optional>
#include <string>

namespace Velmora {

// The one power setting the power step touches, the maximum processor state (a percentage) of the
// active scheme, for mains (AC) and battery (DC) power. The Windows build reaches the power
// management functions; host tests use a fake.
class ProcessorStatePowerSettings {
public:
    virtual ~ProcessorStatePowerSettings() = default;

    // Fetches the active scheme; false when there is none, and then nothing else is called.
    virtual bool OpenActiveScheme() = 0;
    // Opens the scheme "{GUID}" as the one the calls below work on; false when it is no scheme of this PC.
    virtual bool OpenScheme(const std::wstring& scheme) = 0;
    // The opened scheme as "{GUID}"; empty when it cannot be said.
    virtual std::wstring OpenedScheme() = 0;
    // The value in the active scheme; nullopt when the read fails.
    virtual std::optional<std::uint32_t> ReadAcMaximum() = 0;
    virtual std::optional<std::uint32_t> ReadDcMaximum() = 0;
    // Writes into the active scheme; whether a write worked is not examined.
    virtual void WriteAcMaximum(std::uint32_t percent) = 0;
    virtual void WriteDcMaximum(std::uint32_t percent) = 0;
    // Re-applies the opened scheme, when it is the active one, so that written values take effect at
    // once; a scheme that is not active takes them when it next becomes so.
    virtual void ReapplyActiveScheme() = 0;
    // Gives back what OpenActiveScheme fetched.
    virtual void CloseActiveScheme() noexcept = 0;
};

// Caps the maximum processor state at 99 % where it stands at exactly 100 %, separately for AC and
// DC, and re-applies the scheme once when it wrote anything. Reports nothing and never throws.
void TunePowerScheme(ProcessorStatePowerSettings& power) noexcept;

// The AC and DC values of a scheme (the active one when `scheme` is empty) as they stand, with the
// scheme's GUID; both unreadable when there is no such scheme.
[[nodiscard]] ProcessorMaximumState ReadProcessorMaximum(ProcessorStatePowerSettings& power,
                                                         const std::wstring& scheme = {}) noexcept;

// Writes the values that are given into their scheme (the active one when it names none), re-applies
// it once, and reads them back: true when the scheme then holds them. False when the scheme is gone.
[[nodiscard]] bool WriteProcessorMaximum(ProcessorStatePowerSettings& power,
                                         const ProcessorMaximumState& wanted) noexcept;

#ifdef _WIN32
// The same, against the local system's power settings.
void TunePowerScheme() noexcept;
[[nodiscard]] ProcessorMaximumState ReadProcessorMaximum(const std::wstring& scheme = {}) noexcept;
[[nodiscard]] bool WriteProcessorMaximum(const ProcessorMaximumState& wanted) noexcept;
#endif

} // namespace Velmora
