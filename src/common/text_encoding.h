#pragma once

#include <string>
#include <string_view>

namespace Velmora {

// UTF-8 from a wide string (UTF-16 on Windows, UTF-32 elsewhere). Unpaired surrogates and
// out-of-range code points become U+FFFD, so a log line can never be corrupted by its text.
[[nodiscard]] std::string ToUtf8(std::wstring_view text);

// Wide string from UTF-8; malformed sequences become U+FFFD.
[[nodiscard]] std::wstring FromUtf8(std::string_view text);

} // namespace Velmora
