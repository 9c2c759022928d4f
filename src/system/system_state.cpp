#include "system/system_state.h"

namespace Velmora {
namespace {

void AppendUtf16Le(std::vector<std::uint8_t>& bytes, char32_t unit) {
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>((unit >> 8) & 0xFF));
}

} // namespace

RegistryValueState DwordValue(std::uint32_t data) {
    RegistryValueState value{Presence::Present, kRegDword, {}, 0};
    for (int shift = 0; shift < 32; shift += 8) {
        value.data.push_back(static_cast<std::uint8_t>((data >> shift) & 0xFF));
    }
    return value;
}

RegistryValueState StringValue(const std::wstring& text) {
    RegistryValueState value{Presence::Present, kRegSz, {}, 0};
    for (const wchar_t c : text) {
        auto cp = static_cast<char32_t>(c);
        if (cp >= 0x10000) { // only where wchar_t holds whole code points
            cp -= 0x10000;
            AppendUtf16Le(value.data, 0xD800 + (cp >> 10));
            AppendUtf16Le(value.data, 0xDC00 + (cp & 0x3FF));
        } else {
            AppendUtf16Le(value.data, cp);
        }
    }
    AppendUtf16Le(value.data, 0);
    return value;
}

RegistryValueState AbsentValue() {
    return {Presence::Absent, 0, {}, 0};
}

std::optional<std::uint32_t> DwordOf(const RegistryValueState& value) {
    if (value.presence != Presence::Present || value.type != kRegDword || value.data.size() != 4) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(value.data[0]) | (static_cast<std::uint32_t>(value.data[1]) << 8) |
           (static_cast<std::uint32_t>(value.data[2]) << 16) |
           (static_cast<std::uint32_t>(value.data[3]) << 24);
}

} // namespace Velmora
