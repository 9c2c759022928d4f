#pragma once

// The exit codes of velmora-cli: those Windows Installer made common, which Intune, Configuration
// Manager and Ansible already understand (docs/cli.md).

namespace Velmora::Cli {

inline constexpr int kExitDone = 0;               // done, no restart needed
inline constexpr int kExitDoesNotHold = 1;        // check: something drifted, or no profile is applied
inline constexpr int kExitBadArguments = 87;      // ERROR_INVALID_PARAMETER
inline constexpr int kExitNeedsElevation = 740;   // ERROR_ELEVATION_REQUIRED
inline constexpr int kExitCancelled = 1602;       // ERROR_INSTALL_USEREXIT
inline constexpr int kExitFailed = 1603;          // ERROR_INSTALL_FAILURE
inline constexpr int kExitAnotherRun = 1618;      // ERROR_INSTALL_ALREADY_RUNNING
inline constexpr int kExitRestartStarted = 1641;  // ERROR_SUCCESS_REBOOT_INITIATED
inline constexpr int kExitRestartRequired = 3010; // ERROR_SUCCESS_REBOOT_REQUIRED

} // namespace Velmora::Cli
