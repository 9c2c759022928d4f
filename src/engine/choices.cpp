#include "engine/choices.h"

#include "common/diagnostics.h"
#include "common/text_encoding.h"
#include "engine/journal_fields.h"

#include <nlohmann/json.hpp>

#include <algorithm>

namespace Velmora {
namespace {

std::wstring SourceText(ChoiceSource source) {
    const std::string_view name = ChoiceSourceName(source);
    return std::wstring(name.begin(), name.end());
}

std::wstring ValueName(ChoiceKind kind) {
    return std::wstring(kind == ChoiceKind::Keep ? kKeepValue : kIncludeValue);
}

void ReadFrom(StateReader& reader, std::wstring_view key, ChoiceSource source, ChoiceKind kind,
              const FeatureIndex& features, Choices& choices) {
    const RegistryValueState value = reader.ReadRegistryValue(2, std::wstring(key), ValueName(kind));
    if (value.presence == Presence::Absent) {
        return;
    }
    const auto ids = MultiStrings(value);
    if (!ids) {
        choices.ignored.push_back(L"HKLM\\" + std::wstring(key) + L": " + ValueName(kind) + L" (" +
                                  SourceText(source) + L"): not a list of feature ids");
        return;
    }
    AddChoices(choices, features, *ids, source, kind);
}

std::vector<std::wstring> IdsOf(const std::map<std::size_t, ChoiceSource>& chosen,
                                const FeatureIndex& features) {
    std::vector<std::wstring> ids;
    for (const auto& [feature, source] : chosen) {
        const std::string_view id = features.Features()[feature].id;
        ids.emplace_back(id.begin(), id.end());
    }
    return ids;
}

// A list of ids in a choices file; nullopt with the reason when it is no such list.
std::optional<std::vector<std::wstring>> FileIds(const nlohmann::json& document, const char* name,
                                                 std::wstring& error) {
    std::vector<std::wstring> ids;
    const auto list = document.find(name);
    if (list == document.end()) {
        return ids;
    }
    const std::wstring quoted = L"\"" + FromUtf8(name) + L"\"";
    if (!list->is_array() || list->size() > kMaxChoiceIds) {
        error = quoted + L" is not a list of feature ids";
        return std::nullopt;
    }
    for (const nlohmann::json& id : *list) {
        const std::wstring text =
            id.is_string() ? FromUtf8(id.get_ref<const std::string&>()) : std::wstring();
        if (!IsFeatureIdForm(text)) {
            error = quoted + L" holds something that is not a feature id";
            return std::nullopt;
        }
        ids.push_back(text);
    }
    return ids;
}

} // namespace

std::string_view ChoiceSourceName(ChoiceSource source) {
    switch (source) {
    case ChoiceSource::Stored:
        return "stored";
    case ChoiceSource::CommandLine:
        return "commandLine";
    case ChoiceSource::Policy:
        return "policy";
    }
    return "stored";
}

bool IsFeatureIdForm(std::wstring_view id) {
    if (id.empty() || id.size() > kMaxChoiceIdChars || id.front() == L'-' || id.back() == L'-' ||
        id.find(L"--") != std::wstring_view::npos) {
        return false;
    }
    return std::all_of(id.begin(), id.end(), [](wchar_t c) {
        return (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9') || c == L'-';
    });
}

std::vector<std::wstring> Choices::KeptIds(const FeatureIndex& features) const {
    return IdsOf(kept, features);
}

std::vector<std::wstring> Choices::IncludedIds(const FeatureIndex& features) const {
    return IdsOf(included, features);
}

std::wstring_view WhyNotChoosable(const FeatureDefinition& feature, ChoiceKind kind) {
    if (kind == ChoiceKind::Include) {
        return feature.optional ? L"" : L"it is part of the profiles: it can be kept, not included";
    }
    if (!feature.keepable) {
        return L"every run writes it";
    }
    return feature.optional ? L"it is in no profile: a run sets it only where it is included" : L"";
}

void AddChoices(Choices& choices, const FeatureIndex& features, const std::vector<std::wstring>& ids,
                ChoiceSource source, ChoiceKind kind) {
    for (const std::wstring& id : ids) {
        const std::size_t none = features.Features().size();
        const std::size_t feature =
            IsFeatureIdForm(id) ? features.Catalogue().Find(ToUtf8(id)).value_or(none) : none;
        const std::wstring why(feature == none ? L"no such feature"
                                               : WhyNotChoosable(features.Features()[feature], kind));
        if (!why.empty()) {
            const std::wstring noted = (IsFeatureIdForm(id) ? id : std::wstring(L"(not a feature id)")) +
                                       L" (" + SourceText(source) + L"): " + why;
            Diagnose(L"A choice was ignored: " + noted);
            choices.ignored.push_back(noted);
            continue;
        }
        auto& chosen = kind == ChoiceKind::Keep ? choices.kept : choices.included;
        auto [at, added] = chosen.emplace(feature, source);
        if (!added && at->second < source) {
            at->second = source;
        }
    }
}

std::optional<std::vector<std::wstring>> MultiStrings(const RegistryValueState& value) {
    if (value.presence != Presence::Present || value.type != kRegMultiSz || value.data.size() % 2 != 0 ||
        value.data.size() > (kMaxChoiceIds * (kMaxChoiceIdChars + 1) + 1) * 2) {
        return std::nullopt;
    }
    std::wstring text;
    for (std::size_t i = 0; i + 1 < value.data.size(); i += 2) {
        text += static_cast<wchar_t>(value.data[i] | (value.data[i + 1] << 8));
    }
    // Strings end at a NUL; an empty one ends the list, as does the end of the data.
    std::vector<std::wstring> strings;
    std::wstring current;
    for (const wchar_t c : text) {
        if (c != L'\0') {
            current += c;
            continue;
        }
        if (current.empty()) {
            break;
        }
        strings.push_back(std::move(current));
        current.clear();
    }
    if (!current.empty()) {
        strings.push_back(std::move(current));
    }
    return strings.size() <= kMaxChoiceIds ? std::optional<std::vector<std::wstring>>(std::move(strings))
                                           : std::nullopt;
}

std::vector<std::uint8_t> MultiStringBytes(const std::vector<std::wstring>& strings) {
    std::vector<std::uint8_t> bytes;
    const auto put = [&bytes](wchar_t c) {
        bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>((c >> 8) & 0xFF));
    };
    for (const std::wstring& text : strings) {
        for (const wchar_t c : text) {
            put(c);
        }
        put(L'\0');
    }
    put(L'\0');
    return bytes;
}

Choices ReadChoices(StateReader& reader, const FeatureIndex& features) {
    Choices choices;
    for (const ChoiceKind kind : {ChoiceKind::Keep, ChoiceKind::Include}) {
        ReadFrom(reader, kChoicesKey, ChoiceSource::Stored, kind, features, choices);
        ReadFrom(reader, kChoicesPolicyKey, ChoiceSource::Policy, kind, features, choices);
    }
    return choices;
}

WriteOutcome WriteStoredChoices(StateWriter& writer, const std::vector<std::wstring>& ids, ChoiceKind kind) {
    if (ids.empty()) {
        return writer.DeleteRegistryValue(2, std::wstring(kChoicesKey), ValueName(kind));
    }
    return writer.WriteRegistryValue(2, std::wstring(kChoicesKey), ValueName(kind), kRegMultiSz,
                                     MultiStringBytes(ids));
}

std::vector<std::wstring> StoredChoiceIds(StateReader& reader, ChoiceKind kind) {
    return MultiStrings(reader.ReadRegistryValue(2, std::wstring(kChoicesKey), ValueName(kind)))
        .value_or(std::vector<std::wstring>{});
}

WriteOutcome AddStoredChoices(StateReader& reader, StateWriter& writer, const std::vector<std::wstring>& ids,
                              ChoiceKind kind) {
    std::vector<std::wstring> stored = StoredChoiceIds(reader, kind);
    for (const std::wstring& id : ids) {
        if (std::find(stored.begin(), stored.end(), id) == stored.end()) {
            stored.push_back(id);
        }
    }
    return WriteStoredChoices(writer, stored, kind);
}

std::optional<ChoicesFile> ParseChoicesFile(std::string_view text, std::wstring& error) {
    using Json = nlohmann::json;
    if (text.size() > kMaxChoicesFileBytes) {
        error =
            L"it is larger than any choices file (" + std::to_wstring(kMaxChoicesFileBytes / 1024) + L" KB)";
        return std::nullopt;
    }
    if (!JournalFields::NestingWithin(text, 4)) {
        error = L"it is nested deeper than a choices file";
        return std::nullopt;
    }
    const Json document = Json::parse(text.begin(), text.end(), nullptr, false);
    if (document.is_discarded() || !document.is_object()) {
        error = L"it is not a JSON object";
        return std::nullopt;
    }
    const auto version = document.find("schemaVersion");
    if (version == document.end() || !version->is_number_unsigned() || version->get<std::uint64_t>() != 1) {
        error = L"it has no \"schemaVersion\" 1";
        return std::nullopt;
    }
    ChoicesFile file;
    for (const auto& [name, ids] : {std::pair{"keep", &file.keep}, std::pair{"include", &file.include}}) {
        auto read = FileIds(document, name, error);
        if (!read) {
            return std::nullopt;
        }
        *ids = std::move(*read);
    }
    return file;
}

std::string ChoicesFileText(const ChoicesFile& file) {
    nlohmann::ordered_json document{{"schemaVersion", 1}, {"keep", nlohmann::ordered_json::array()}};
    for (const std::wstring& id : file.keep) {
        document["keep"].push_back(ToUtf8(id));
    }
    // Written only where something is included, so a file of kept features alone stays as it was.
    if (!file.include.empty()) {
        document["include"] = nlohmann::ordered_json::array();
        for (const std::wstring& id : file.include) {
            document["include"].push_back(ToUtf8(id));
        }
    }
    return document.dump(2) + "\n";
}

} // namespace Velmora
