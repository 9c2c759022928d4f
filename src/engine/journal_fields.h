#pragma once

// What the journal's writer, reader and checks share: the limits of what a journal may hold, the names
// of its enumerations, and the helpers for its texts. Internal to the engine.

#include "common/text_encoding.h"
#include "engine/items.h"

#include <nlohmann/json.hpp>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Velmora::JournalFields {

using Json = nlohmann::json;
// Records are written with their fields in a fixed, readable order ("type" first).
using OrderedJson = nlohmann::ordered_json;

inline constexpr std::size_t kMaxKeyPathChars = 4096;
inline constexpr std::size_t kMaxValueNameChars = 16383;
inline constexpr std::size_t kMaxServiceNameChars = 256;
inline constexpr std::size_t kMaxTaskPathChars = 2048;
inline constexpr std::size_t kMaxTextChars = 8192;
inline constexpr std::size_t kMaxDetails = 256;
inline constexpr std::size_t kMaxKeyValues = 4096;
inline constexpr std::size_t kMaxRecords = 200000;
inline constexpr int kMaxNesting = 16;

inline constexpr std::array<std::string_view, 3> kPresenceNames = {"absent", "present", "unreadable"};
inline constexpr std::array<std::string_view, 6> kActionNames = {
    "emptyRecycleBin",       "cleanTempFolders", "cleanPrefetchFolder",
    "runPowerShellCommands", "runCmdCommands",   "removeApps"};
// In the order of JournalKind.
inline constexpr std::array<std::string_view, 3> kKindNames = {"run", "restore", "repair"};
inline constexpr std::array<std::string_view, 3> kEndNames = {"succeeded", "failed", "cancelled"};

// A field that is missing or of the wrong kind: the journal is refused.
class Malformed {
public:
    explicit Malformed(std::string what) : what_(std::move(what)) {}
    [[nodiscard]] const std::string& What() const { return what_; }

private:
    std::string what_;
};

inline bool HasControlCharacter(std::wstring_view text) {
    for (const wchar_t c : text) {
        if (c < 0x20 || c == 0x7F) {
            return true;
        }
    }
    return false;
}

// Text that survives the trip through UTF-8 unchanged (no unpaired surrogates).
inline bool RoundTrips(std::wstring_view text) {
    return FromUtf8(ToUtf8(text)) == text;
}

inline std::string Hex(const std::vector<std::uint8_t>& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const std::uint8_t byte : bytes) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0x0F];
    }
    return text;
}

// "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" in hexadecimal digits.
inline bool IsPowerSchemeId(std::wstring_view text) {
    if (text.size() != 38 || text.front() != L'{' || text.back() != L'}') {
        return false;
    }
    for (std::size_t i = 1; i < 37; ++i) {
        const wchar_t c = text[i];
        const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        const bool hex = (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
        if (dash ? c != L'-' : !hex) {
            return false;
        }
    }
    return true;
}

// ---- reading: every accessor refuses what it does not expect, by throwing Malformed ----

[[nodiscard]] const Json& Field(const Json& object, const char* name);
[[nodiscard]] std::uint64_t Unsigned(const Json& object, const char* name, std::uint64_t maximum);
[[nodiscard]] std::int64_t Signed(const Json& object, const char* name, std::int64_t minimum,
                                  std::int64_t maximum);
[[nodiscard]] bool Boolean(const Json& object, const char* name);
[[nodiscard]] std::wstring Text(const Json& value, const char* name, std::size_t maximum);
[[nodiscard]] std::wstring Text(const Json& object, const char* name, std::size_t maximum, bool optional);
[[nodiscard]] ItemTarget TargetFrom(const Json& json);
[[nodiscard]] ItemState StateFrom(const ItemTarget& target, const Json& json);
// Nesting deeper than any record has is refused before the parser sees it.
[[nodiscard]] bool NestingWithin(std::string_view text, int limit);

template <std::size_t N>
[[nodiscard]] std::size_t Choice(const Json& object, const char* name,
                                 const std::array<std::string_view, N>& choices) {
    const Json& value = Field(object, name);
    if (value.is_string()) {
        for (std::size_t i = 0; i < N; ++i) {
            if (choices[i] == value.get_ref<const std::string&>()) {
                return i;
            }
        }
    }
    throw Malformed(std::string("\"") + name + "\" has an unknown value");
}

} // namespace Velmora::JournalFields
