#pragma once

namespace Velmora::Cli {

// Whether this process may change the PC: its token is elevated, or it holds the Administrators group
// enabled (SYSTEM, or an administrator where User Account Control is off). Defined in a unit of its
// own, so that a test build can link another answer in its place.
[[nodiscard]] bool ProcessIsElevated() noexcept;

} // namespace Velmora::Cli
