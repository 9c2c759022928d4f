#include "update/update_feed.h"

#include "common/text_encoding.h"
#include "update/web_address.h"

#include <nlohmann/json.hpp>

#include <algorithm>

namespace Velmora {
namespace {

using Json = nlohmann::json;

constexpr std::size_t kMaxVersionLength = 39; // four parts of nine digits and three dots

FeedReading Refuse(std::wstring problem) {
    return FeedReading{std::nullopt, std::move(problem)};
}

const Json* Field(const Json& object, const char* name) {
    const auto found = object.find(name);
    return found == object.end() ? nullptr : &*found;
}

// Tabs and line breaks ("\n") are the only control characters the notes may carry: a carriage return
// of its own breaks no line in the notice and moves text over what came before it on a console.
bool IsDisplayableText(std::wstring_view text) {
    return std::none_of(text.begin(), text.end(), [](wchar_t c) {
        return (c < 0x20 && c != L'\t' && c != L'\n') || (c >= 0x7F && c <= 0x9F);
    });
}

std::optional<std::wstring> ReadNotes(const Json& notes, const char* language) {
    const Json* text = Field(notes, language);
    if (text == nullptr || !text->is_string()) {
        return std::nullopt;
    }
    std::wstring wide = FromUtf8(text->get_ref<const std::string&>());
    if (wide.size() > kMaxNotesLength || !IsDisplayableText(wide)) {
        return std::nullopt;
    }
    return wide;
}

} // namespace

FeedReading ParseUpdateFeed(std::string_view body) {
    if (body.size() > kMaxFeedBytes) {
        return Refuse(L"larger than " + std::to_wstring(kMaxFeedBytes) + L" bytes");
    }
    // Without exceptions: a malformed document is a discarded value. Nesting costs no stack, since the
    // parser keeps its own, and the size is capped above.
    const Json document = Json::parse(body.begin(), body.end(), nullptr, false);
    if (document.is_discarded()) {
        return Refuse(L"not well-formed JSON");
    }
    if (!document.is_object()) {
        return Refuse(L"not a JSON object");
    }
    UpdateFeed feed;

    const Json* version = Field(document, "version");
    if (version == nullptr || !version->is_string()) {
        return Refuse(L"\"version\" is missing or not a string");
    }
    const std::string& versionText = version->get_ref<const std::string&>();
    std::optional<VersionNumber> number;
    if (versionText.size() <= kMaxVersionLength) {
        feed.version = FromUtf8(versionText);
        number = VersionNumber::Parse(feed.version);
    }
    if (!number) {
        return Refuse(L"\"version\" is not a version number");
    }
    feed.versionNumber = *number;

    const Json* url = Field(document, "url");
    if (url == nullptr || !url->is_string()) {
        return Refuse(L"\"url\" is missing or not a string");
    }
    const std::string& urlText = url->get_ref<const std::string&>();
    feed.url = urlText.size() <= kMaxWebAddressLength ? FromUtf8(urlText) : std::wstring();
    if (!IsHttpsWebAddress(feed.url)) {
        return Refuse(L"\"url\" is not an https address");
    }

    const Json* notes = Field(document, "notes");
    if (notes == nullptr || !notes->is_object()) {
        return Refuse(L"\"notes\" is missing or not an object");
    }
    std::optional<std::wstring> english = ReadNotes(*notes, "en");
    std::optional<std::wstring> arabic = ReadNotes(*notes, "ar");
    if (!english || !arabic) {
        return Refuse(L"\"notes\" needs \"en\" and \"ar\" texts of at most " +
                      std::to_wstring(kMaxNotesLength) + L" characters without control characters");
    }
    feed.englishNotes = std::move(*english);
    feed.arabicNotes = std::move(*arabic);

    const Json* critical = Field(document, "critical");
    if (critical == nullptr || !critical->is_boolean()) {
        return Refuse(L"\"critical\" is missing or not true or false");
    }
    feed.critical = critical->get<bool>();
    return FeedReading{std::move(feed), {}};
}

} // namespace Velmora
