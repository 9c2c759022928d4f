#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Velmora {

// The result of a runner when no process ran. A child may exit with the same value.
inline constexpr std::uint32_t kNoExitCode = 0xFFFFFFFFu;

// ---- Portable part: the command lines ----
// The entries are used exactly as stored: nothing is quoted or escaped. An empty list has no
// command line (nullopt): nothing is to be started for it.

// "cmd.exe /C " + the entries joined by " & ", so every entry runs whatever the previous one did.
[[nodiscard]] std::optional<std::wstring> BuildCmdCommandLine(const std::vector<std::wstring>& commands);

// "powershell.exe -NoProfile -ExecutionPolicy Bypass -Command \"" + the script + "\"", where the
// script is "$ErrorActionPreference='Continue'; " + the entries joined by "; ".
[[nodiscard]] std::optional<std::wstring>
BuildPowerShellCommandLine(const std::vector<std::wstring>& commands);

// ---- Windows part: one hidden child process per call ----
// Each runs the whole list in one child without a window and with nothing redirected, waits for it
// to end and returns its exit code; kNoExitCode when the list is empty (nothing is started) or the
// process could not be created or its exit code could not be read. Neither throws on a platform failure.

std::uint32_t RunCmdCommands(const std::vector<std::wstring>& commands);
std::uint32_t RunPowerShellCommands(const std::vector<std::wstring>& commands);

} // namespace Velmora
