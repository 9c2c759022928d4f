#pragma once

// The update feed: a small JSON document the maker publishes (docs/update-feed.md). It comes from
// the network, so it is read as hostile: the whole document is refused, with the reason, when any
// field is missing, of the wrong type, too long or not what it must be.

#include "update/version_number.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace Velmora {

inline constexpr std::size_t kMaxFeedBytes = 64 * 1024;
inline constexpr std::size_t kMaxNotesLength = 2000; // UTF-16 units, per language

struct UpdateFeed {
    std::wstring version; // as published
    VersionNumber versionNumber;
    std::wstring url; // an https page to open in the browser
    std::wstring englishNotes;
    std::wstring arabicNotes;
    bool critical = false;
};

struct FeedReading {
    std::optional<UpdateFeed> feed;
    std::wstring problem; // why there is no feed, for the run log
};

// `body` is the raw response, at most kMaxFeedBytes (a longer one is refused unread).
[[nodiscard]] FeedReading ParseUpdateFeed(std::string_view body);

} // namespace Velmora
