#include "update/web_address.h"

#include <algorithm>

namespace Velmora {
namespace {

bool IsAddressCharacter(wchar_t c) {
    constexpr std::wstring_view kExcluded = L"\"<>\\^`{|}";
    return c > 0x20 && c < 0x7F && kExcluded.find(c) == std::wstring_view::npos;
}

bool IsHostCharacter(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9') || c == L'.' || c == L'-';
}

wchar_t Lower(wchar_t c) {
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

// The scheme, compared without regard to case as browsers do; the rest after "://".
std::optional<std::wstring_view> AfterScheme(std::wstring_view text, std::wstring_view scheme) {
    if (text.size() < scheme.size() + 3 || text.substr(scheme.size(), 3) != L"://") {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < scheme.size(); ++i) {
        if (Lower(text[i]) != scheme[i]) {
            return std::nullopt;
        }
    }
    return text.substr(scheme.size() + 3);
}

std::optional<std::uint16_t> ParsePort(std::wstring_view digits) {
    if (digits.empty() || digits.size() > 5) {
        return std::nullopt;
    }
    std::uint32_t port = 0;
    for (const wchar_t c : digits) {
        if (c < L'0' || c > L'9') {
            return std::nullopt;
        }
        port = port * 10 + static_cast<std::uint32_t>(c - L'0');
    }
    if (port == 0 || port > 65535) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(port);
}

} // namespace

std::optional<WebAddress> ParseWebAddress(std::wstring_view text) {
    if (text.size() > kMaxWebAddressLength || !std::all_of(text.begin(), text.end(), IsAddressCharacter)) {
        return std::nullopt;
    }
    WebAddress address;
    std::optional<std::wstring_view> rest = AfterScheme(text, L"https");
    if (!rest) {
        rest = AfterScheme(text, L"http");
        address.secure = false;
        address.port = 80;
    }
    if (!rest) {
        return std::nullopt;
    }
    const std::size_t authorityEnd = std::min(rest->find_first_of(L"/?#"), rest->size());
    const std::wstring_view authority = rest->substr(0, authorityEnd);
    const std::size_t colon = authority.find(L':');
    std::wstring_view host = authority.substr(0, colon);
    if (colon != std::wstring_view::npos) {
        const std::optional<std::uint16_t> port = ParsePort(authority.substr(colon + 1));
        if (!port) {
            return std::nullopt;
        }
        address.port = *port;
    }
    for (const wchar_t c : host) {
        address.host.push_back(Lower(c));
    }
    if (address.host.empty() || !std::all_of(address.host.begin(), address.host.end(), IsHostCharacter)) {
        return std::nullopt; // also refuses "user@host" and "[v6]"
    }
    std::wstring_view path = rest->substr(authorityEnd);
    path = path.substr(0, path.find(L'#'));
    address.pathAndQuery =
        path.empty() || path.front() != L'/' ? L"/" + std::wstring(path) : std::wstring(path);
    return address;
}

bool IsLoopbackHost(std::wstring_view host) {
    return host == L"localhost" || host == L"127.0.0.1";
}

bool IsAllowedFeedAddress(const WebAddress& address) {
    return address.secure || IsLoopbackHost(address.host);
}

bool IsHttpsWebAddress(std::wstring_view text) {
    const std::optional<WebAddress> address = ParseWebAddress(text);
    return address && address->secure;
}

} // namespace Velmora
