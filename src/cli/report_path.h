#pragma once

// The report file of `velmora-cli apply --report FILE`. The path comes from the command line of a
// program that runs elevated, so it is checked before the run and again as it is written: a plain
// file in an existing folder, reached through no link, and never a device, a stream or a folder.

#include <optional>
#include <string>
#include <string_view>

namespace Velmora::Cli {

// What is wrong with the spelling of an absolute path for a report; nullopt when nothing is. The
// file system is not asked: the Windows side checks links and folders.
[[nodiscard]] std::optional<std::wstring> WhyNotAReportPath(std::wstring_view fullPath);

} // namespace Velmora::Cli
