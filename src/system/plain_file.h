#pragma once

// Reading a small file that someone else may have written: opened as it is, never through a link.

#include <cstddef>
#include <string>

namespace Velmora {

// The bytes of a plain file (no folder, no link) of at most `maxBytes`; false with the reason.
[[nodiscard]] bool ReadPlainFile(const std::wstring& path, std::size_t maxBytes, std::string& bytes,
                                 std::wstring& error);

} // namespace Velmora
