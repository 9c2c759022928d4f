#pragma once

// Reads the update feed over WinHTTP: automatic proxy, "User-Agent: Velmora/<version>", https (plain
// http only for this computer), no redirects or cookies, timeouts of a few seconds, and never more
// than kMaxFeedBytes of body held in memory. WinHTTP is loaded on first use, on the calling thread,
// so the program's start does not pay for it. Windows only.

#include "update/update_check.h"

#include <chrono>
#include <string_view>

namespace Velmora {

struct FeedDownloadLimits {
    std::chrono::milliseconds timeout{5000}; // each of resolving, connecting, sending, each wait for data
    std::chrono::milliseconds whole{20000};  // a server that trickles bytes is cut off after this
};

[[nodiscard]] FeedResponse DownloadFeed(const WebAddress& feed, std::wstring_view programVersion,
                                        const FeedDownloadLimits& limits = {});

} // namespace Velmora
