#pragma once

// Program versions as the update feed and the build give them: one to four numbers separated by
// dots ("1", "1.10", "2.0.3.17"). Compared number by number, so 1.10 is newer than 1.9, and a
// missing part counts as 0 (1.2 and 1.2.0 are the same version).

#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <string_view>

namespace Velmora {

class VersionNumber {
public:
    static constexpr std::size_t kMaxParts = 4;
    static constexpr std::size_t kMaxPartDigits = 9; // every part fits in 32 bits

    // Nothing but digits and single dots; no sign, no blank, no suffix such as "-beta".
    [[nodiscard]] static std::optional<VersionNumber> Parse(std::wstring_view text);

    [[nodiscard]] std::strong_ordering operator<=>(const VersionNumber& other) const noexcept {
        return parts_ <=> other.parts_;
    }
    [[nodiscard]] bool operator==(const VersionNumber& other) const noexcept = default;

private:
    std::array<std::uint32_t, kMaxParts> parts_{};
};

} // namespace Velmora
