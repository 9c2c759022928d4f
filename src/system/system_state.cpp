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

std::optional<std::wstring> TextOf(const RegistryValueState& value) {
    if (value.presence != Presence::Present ||
        (value.type != kRegSz && value.type != kRegExpandSz && value.type != kRegMultiSz)) {
        return std::nullopt;
    }
    std::wstring text;
    for (std::size_t i = 0; i + 1 < value.data.size(); i += 2) {
        auto unit = static_cast<char32_t>(value.data[i] | (value.data[i + 1] << 8));
        if constexpr (sizeof(wchar_t) == 4) { // whole code points: join surrogate pairs
            if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < value.data.size()) {
                const auto low = static_cast<char32_t>(value.data[i + 2] | (value.data[i + 3] << 8));
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                    i += 2;
                }
            }
        }
        text += static_cast<wchar_t>(unit);
    }
    while (!text.empty() && text.back() == L'\0') {
        text.pop_back();
    }
    if (value.type != kRegMultiSz) {
        text = text.substr(0, text.find(L'\0'));
    }
    return text;
}

} // namespace Velmora
