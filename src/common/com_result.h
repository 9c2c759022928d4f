#pragma once

// The one way a failed COM call is reported: its line, then the HRESULT as a signed decimal
// (0x80070002 is -2147024894).

#include "common/diagnostics.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace Velmora {

[[nodiscard]] inline std::wstring HresultText(HRESULT hr) {
    return std::to_wstring(static_cast<std::int32_t>(hr));
}

// True when the call failed, after sending `line` and the HRESULT; so that a caller writes
// `if (ReportedFailure(hr, L"Failed to ...: ")) return false;`.
[[nodiscard]] inline bool ReportedFailure(HRESULT hr, std::wstring_view line) {
    if (SUCCEEDED(hr)) {
        return false;
    }
    Diagnose(std::wstring(line) + HresultText(hr));
    return true;
}

} // namespace Velmora
