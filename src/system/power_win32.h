#pragma once

#include "common/win32_handles.h"
#include "system/power.h"

#include <powrprof.h>

#include <optional>
#include <string>

namespace Velmora {

// The processor power management subgroup and its maximum processor state setting.
extern const GUID kProcessorSettingsSubgroup;
extern const GUID kMaximumProcessorStateSetting;

// The local system's power settings (null root power key), through powrprof.dll bound at run time:
// a system whose powrprof lacks a function (Wine implements none of the reads and writes) must not
// abort the process the way an unresolved import does. A missing function counts as a failed call.
class PowrProfPowerSettings final : public ProcessorStatePowerSettings {
public:
    PowrProfPowerSettings() noexcept;

    bool OpenActiveScheme() override;
    bool OpenScheme(const std::wstring& scheme) override;
    std::wstring OpenedScheme() override;
    std::optional<std::uint32_t> ReadAcMaximum() override;
    std::optional<std::uint32_t> ReadDcMaximum() override;
    void WriteAcMaximum(std::uint32_t percent) override;
    void WriteDcMaximum(std::uint32_t percent) override;
    void ReapplyActiveScheme() override;
    void CloseActiveScheme() noexcept override;

private:
    [[nodiscard]] const GUID* Scheme() const noexcept { return scheme_ ? &*scheme_ : nullptr; }
    [[nodiscard]] std::optional<GUID> ActiveScheme() const;

    UniqueModule library_;
    decltype(&::PowerGetActiveScheme) getActiveScheme_ = nullptr;
    decltype(&::PowerReadACValueIndex) readAc_ = nullptr;
    decltype(&::PowerReadDCValueIndex) readDc_ = nullptr;
    decltype(&::PowerWriteACValueIndex) writeAc_ = nullptr;
    decltype(&::PowerWriteDCValueIndex) writeDc_ = nullptr;
    decltype(&::PowerSetActiveScheme) setActiveScheme_ = nullptr;
    std::optional<GUID> scheme_; // the opened scheme
};

} // namespace Velmora
