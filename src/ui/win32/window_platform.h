#pragma once

// What the main window asks of Windows beyond its controls: the Save As dialog of an export, writing
// the file, the words of a Windows error in the UI language.

#include "ui/main_window.h"

#include <cstdint>
#include <optional>
#include <string>

#include <windows.h>

namespace Velmora::Win32 {

// The Save As dialog over `owner`: a JSON or a .reg file (by the extension typed, else by the type
// chosen); nullopt when cancelled.
[[nodiscard]] std::optional<implementation::ExportTarget>
AskSaveFileName(HWND owner, const implementation::ExportDialog& dialog);

// The Save As or the Open dialog over `owner` for one JSON file; nullopt when cancelled.
[[nodiscard]] std::optional<std::wstring> AskJsonFileName(HWND owner,
                                                          const implementation::ChoicesFileDialog& dialog);

// Replaces the file with `bytes`, flushed to the disk. False when it cannot be written whole.
[[nodiscard]] bool WriteWholeFile(const std::wstring& path, const std::string& bytes);

// Windows' own words for an error (a Win32 error or an HRESULT) in the UI language (0 Arabic, 1 English)
// where Windows has them in it, else in its own; empty when it has none.
[[nodiscard]] std::wstring SystemErrorMessage(std::uint32_t error, std::int32_t language);

} // namespace Velmora::Win32
