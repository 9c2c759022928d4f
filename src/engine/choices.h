#pragma once

// Which features a run leaves as they are ("Keep": neither set nor taken back, whatever the profile), and
// which optional features it adds to the profile ("Include"). Choices come from the machine's store
// (HKLM\SOFTWARE\Velmora\Choices), from policy (HKLM\SOFTWARE\Policies\Velmora), which locks them, and
// from a command line. A feature is named
// by its stable id; an id that is not known (a later version may remove a feature) is ignored and
// logged, never fatal.

#include "engine/feature_items.h"
#include "engine/state_reader.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Velmora {

inline constexpr std::wstring_view kChoicesKey = L"SOFTWARE\\Velmora\\Choices";
inline constexpr std::wstring_view kChoicesPolicyKey = L"SOFTWARE\\Policies\\Velmora";
inline constexpr std::wstring_view kKeepValue = L"Keep";
inline constexpr std::wstring_view kIncludeValue = L"Include";

enum class ChoiceKind : std::uint8_t { Keep, Include };

// More ids than there are features, and longer ids than any feature has, are refused outright.
inline constexpr std::size_t kMaxChoiceIds = 1024;
inline constexpr std::size_t kMaxChoiceIdChars = 96;

// Where a choice came from, weakest first: a stronger source wins.
enum class ChoiceSource : std::uint8_t { Stored, CommandLine, Policy };
[[nodiscard]] std::string_view ChoiceSourceName(ChoiceSource source);

struct Choices {
    std::map<std::size_t, ChoiceSource> kept;     // feature -> the strongest source that keeps it
    std::map<std::size_t, ChoiceSource> included; // optional feature -> the strongest source that adds it
    std::vector<std::wstring> ignored;            // "id (source): why", for the log and the command line

    [[nodiscard]] bool Keeps(std::size_t feature) const { return kept.contains(feature); }
    [[nodiscard]] bool LockedByPolicy(std::size_t feature) const {
        const auto found = kept.find(feature);
        return found != kept.end() && found->second == ChoiceSource::Policy;
    }
    [[nodiscard]] bool Includes(std::size_t feature) const { return included.contains(feature); }
    [[nodiscard]] bool IncludeLockedByPolicy(std::size_t feature) const {
        const auto found = included.find(feature);
        return found != included.end() && found->second == ChoiceSource::Policy;
    }
    // Nothing kept (what an item filter needs to know).
    [[nodiscard]] bool Empty() const { return kept.empty(); }
    // The ids of the kept features, in the order of the feature table.
    [[nodiscard]] std::vector<std::wstring> KeptIds(const FeatureIndex& features) const;
    [[nodiscard]] std::vector<std::wstring> IncludedIds(const FeatureIndex& features) const;
};

// Why the feature cannot be kept (included); empty when it can.
[[nodiscard]] std::wstring_view WhyNotChoosable(const FeatureDefinition& feature, ChoiceKind kind);

// Adds the features named by `ids` from `source`; an unknown id, one of a feature that cannot be kept, or
// (to include) one that is not optional, is noted in `ignored`.
void AddChoices(Choices& choices, const FeatureIndex& features, const std::vector<std::wstring>& ids,
                ChoiceSource source, ChoiceKind kind = ChoiceKind::Keep);

// Whether `id` is a feature id, in the form ids have (lower-case words joined by dashes).
[[nodiscard]] bool IsFeatureIdForm(std::wstring_view id);

// A REG_MULTI_SZ value's strings; nullopt when it is not one, is malformed, or holds more than the limits.
[[nodiscard]] std::optional<std::vector<std::wstring>> MultiStrings(const RegistryValueState& value);
[[nodiscard]] std::vector<std::uint8_t> MultiStringBytes(const std::vector<std::wstring>& strings);

// The stored and the policy choices of this PC. A value of the wrong type or shape is ignored and noted.
[[nodiscard]] Choices ReadChoices(StateReader& reader, const FeatureIndex& features);

// Replaces the stored choices of a kind (deletes the value when it names none).
[[nodiscard]] WriteOutcome WriteStoredChoices(StateWriter& writer, const std::vector<std::wstring>& ids,
                                              ChoiceKind kind = ChoiceKind::Keep);
// The stored choices of a kind as ids, whatever they name; empty when none or unreadable.
[[nodiscard]] std::vector<std::wstring> StoredChoiceIds(StateReader& reader,
                                                        ChoiceKind kind = ChoiceKind::Keep);
// Adds ids to the stored choices of a kind, each once, keeping those stored already.
[[nodiscard]] WriteOutcome AddStoredChoices(StateReader& reader, StateWriter& writer,
                                            const std::vector<std::wstring>& ids,
                                            ChoiceKind kind = ChoiceKind::Keep);

// A choices file: {"schemaVersion": 1, "keep": ["id", ...], "include": ["id", ...]}. Its ids as they are
// (unknown ones are the caller's to judge); nullopt with the reason when it is not such a file. At most
// 64 KB are read.
inline constexpr std::size_t kMaxChoicesFileBytes = 64 * 1024;
struct ChoicesFile {
    std::vector<std::wstring> keep;
    std::vector<std::wstring> include;
};
[[nodiscard]] std::optional<ChoicesFile> ParseChoicesFile(std::string_view text, std::wstring& error);
[[nodiscard]] std::string ChoicesFileText(const ChoicesFile& file);

} // namespace Velmora
