#include "update/version_number.h"

namespace Velmora {

std::optional<VersionNumber> VersionNumber::Parse(std::wstring_view text) {
    VersionNumber version;
    std::size_t part = 0;
    std::size_t digits = 0;
    for (const wchar_t c : text) {
        if (c == L'.') {
            if (digits == 0 || ++part == kMaxParts) {
                return std::nullopt;
            }
            digits = 0;
        } else if (c >= L'0' && c <= L'9') {
            if (++digits > kMaxPartDigits) {
                return std::nullopt;
            }
            version.parts_[part] = version.parts_[part] * 10 + static_cast<std::uint32_t>(c - L'0');
        } else {
            return std::nullopt;
        }
    }
    if (digits == 0) {
        return std::nullopt; // empty, or ending in a dot
    }
    return version;
}

} // namespace Velmora
