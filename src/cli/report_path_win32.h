#pragma once

// The report file on disk. Each folder of its path is opened relative to the handle of the one above it,
// never by path and never through a link, and the report is made inside the handle of the last one: a
// folder swapped for a junction or a link once it was checked, or while the report is written, cannot
// send the elevated write anywhere else.

#include "common/win32_handles.h"

#include <optional>
#include <string>
#include <string_view>

namespace Velmora::Cli {

// A folder of a report's path, opened and held.
struct ReportFolder {
    UniqueFileHandle handle; // empty when the folder does not exist yet
    std::wstring finalPath;  // as the system names it ("\\?\C:\...")
};

// Opens, from the root of `fullPath` down, the folder the report goes into; with `create`, makes the
// folders that are missing. Without `create`, a missing folder ends the walk: the folder comes back
// without a handle. nullopt with the reason when a folder on the path is a link or not a folder, or
// cannot be opened or made.
[[nodiscard]] std::optional<ReportFolder> OpenReportFolder(const std::wstring& fullPath, bool create,
                                                           std::wstring& error);

// Writes `document` as `fileName` in `folder`: to a new file of its own there, flushed, then renamed
// over `fileName` relative to the folder's handle, so that a link or a file of that name is replaced,
// never followed or written through.
[[nodiscard]] bool WriteReportInto(const ReportFolder& folder, const std::wstring& fileName,
                                   std::string_view document, std::wstring& error);

// Whether a report may go to `fullPath` (already spelled as WhyNotAReportPath wants): every folder on
// it that exists is a plain one, and the file, if it exists, is a plain file.
[[nodiscard]] bool CheckReportPathOnDisk(const std::wstring& fullPath, std::wstring& error);

// Makes the missing folders and puts the report in place, checking the whole path again as it goes.
[[nodiscard]] bool WriteReportFile(const std::wstring& fullPath, std::string_view document,
                                   std::wstring& error);

} // namespace Velmora::Cli
