#include "system/commands.h"

namespace Velmora {
namespace {

std::wstring Join(const std::vector<std::wstring>& entries, std::wstring_view separator) {
    std::wstring joined;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (i > 0) {
            joined += separator;
        }
        joined += entries[i];
    }
    return joined;
}

} // namespace

std::optional<std::wstring> BuildCmdCommandLine(const std::vector<std::wstring>& commands) {
    if (commands.empty()) {
        return std::nullopt;
    }
    return L"cmd.exe /C " + Join(commands, L" & ");
}

std::optional<std::wstring> BuildPowerShellCommandLine(const std::vector<std::wstring>& commands) {
    if (commands.empty()) {
        return std::nullopt;
    }
    const std::wstring script = L"$ErrorActionPreference='Continue'; " + Join(commands, L"; ");
    return L"powershell.exe -NoProfile -ExecutionPolicy Bypass -Command \"" + script + L"\"";
}

} // namespace Velmora
