#pragma once

// Web addresses that come from outside the program (the update feed, a policy value) and go to
// WinHTTP or to the user's browser. Only plain absolute http and https addresses pass: a host name
// or IPv4 address, no user name or password (which can disguise the real host), and only
// printable ASCII without blanks, quotes or the other characters that have no place in an address
// and could break the command line a browser is started with.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace Velmora {

inline constexpr std::size_t kMaxWebAddressLength = 2048;

struct WebAddress {
    bool secure = true;        // https
    std::wstring host;         // lower case
    std::uint16_t port = 443;  // the scheme's port when none is given
    std::wstring pathAndQuery; // "/" at least; the fragment is left out
};

[[nodiscard]] std::optional<WebAddress> ParseWebAddress(std::wstring_view text);

// localhost and 127.0.0.1: this computer.
[[nodiscard]] bool IsLoopbackHost(std::wstring_view host);

// Where a feed may be read from: https anywhere, plain http only from this computer (for tests).
[[nodiscard]] bool IsAllowedFeedAddress(const WebAddress& address);

// What the browser may be sent to: https only.
[[nodiscard]] bool IsHttpsWebAddress(std::wstring_view text);

} // namespace Velmora
