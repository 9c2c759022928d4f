#include "update/feed_download.h"

#include "common/bound_function.h"
#include "common/unique_resource.h"

#include <windows.h>
#include <winhttp.h>

#include <array>
#include <utility>

namespace Velmora {
namespace {

// The WinHTTP functions, bound at run time from the system's winhttp.dll.
struct WinHttpFunctions {
    decltype(&::WinHttpOpen) open = nullptr;
    decltype(&::WinHttpConnect) connect = nullptr;
    decltype(&::WinHttpOpenRequest) openRequest = nullptr;
    decltype(&::WinHttpSetTimeouts) setTimeouts = nullptr;
    decltype(&::WinHttpSetOption) setOption = nullptr;
    decltype(&::WinHttpSendRequest) sendRequest = nullptr;
    decltype(&::WinHttpReceiveResponse) receiveResponse = nullptr;
    decltype(&::WinHttpQueryHeaders) queryHeaders = nullptr;
    decltype(&::WinHttpReadData) readData = nullptr;
    decltype(&::WinHttpCloseHandle) closeHandle = nullptr;

    [[nodiscard]] bool Complete() const noexcept {
        return open && connect && openRequest && setTimeouts && setOption && sendRequest && receiveResponse &&
               queryHeaders && readData && closeHandle;
    }
};

// Bound once per process (thread-safe); the library stays loaded, the functions point into it.
const WinHttpFunctions& WinHttp() {
    static const WinHttpFunctions functions = [] {
        WinHttpFunctions bound;
        const HMODULE library = ::LoadLibraryExW(L"winhttp.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (library != nullptr) {
            Bind(library, "WinHttpOpen", bound.open);
            Bind(library, "WinHttpConnect", bound.connect);
            Bind(library, "WinHttpOpenRequest", bound.openRequest);
            Bind(library, "WinHttpSetTimeouts", bound.setTimeouts);
            Bind(library, "WinHttpSetOption", bound.setOption);
            Bind(library, "WinHttpSendRequest", bound.sendRequest);
            Bind(library, "WinHttpReceiveResponse", bound.receiveResponse);
            Bind(library, "WinHttpQueryHeaders", bound.queryHeaders);
            Bind(library, "WinHttpReadData", bound.readData);
            Bind(library, "WinHttpCloseHandle", bound.closeHandle);
        }
        return bound;
    }();
    return functions;
}

// Sessions, connections and requests; closed through the bound WinHttpCloseHandle.
struct WinHttpHandleTraits {
    using Handle = HINTERNET;
    static Handle Empty() noexcept { return nullptr; }
    static void Close(Handle handle) noexcept { WinHttp().closeHandle(handle); }
};
using UniqueWinHttpHandle = UniqueResource<WinHttpHandleTraits>;

FeedResponse Failure(std::wstring problem) {
    return FeedResponse{std::nullopt, std::move(problem)};
}

// The last WinHTTP error, with a name for the ones a user's network produces.
FeedResponse NetworkFailure(std::wstring_view step) {
    const DWORD error = ::GetLastError();
    constexpr std::array<std::pair<DWORD, std::wstring_view>, 9> kNames{{
        {ERROR_WINHTTP_TIMEOUT, L"timed out"},
        {10060, L"timed out"}, // WSAETIMEDOUT: Wine passes on the socket's own error
        {ERROR_WINHTTP_NAME_NOT_RESOLVED, L"server name not found"},
        {ERROR_WINHTTP_CANNOT_CONNECT, L"cannot connect"},
        {ERROR_WINHTTP_CONNECTION_ERROR, L"connection reset"},
        {ERROR_WINHTTP_SECURE_FAILURE, L"TLS failure"},
        {ERROR_WINHTTP_SECURE_INVALID_CA, L"untrusted certificate"},
        {ERROR_WINHTTP_SECURE_CERT_CN_INVALID, L"certificate for another name"},
        {ERROR_WINHTTP_INVALID_SERVER_RESPONSE, L"invalid server response"},
    }};
    std::wstring text =
        L"could not read the feed (" + std::wstring(step) + L"): WinHTTP error " + std::to_wstring(error);
    for (const auto& [code, name] : kNames) {
        if (code == error) {
            text += L", " + std::wstring(name);
        }
    }
    return Failure(std::move(text));
}

[[nodiscard]] std::optional<DWORD> NumberHeader(HINTERNET request, DWORD query) {
    DWORD value = 0;
    DWORD size = sizeof value;
    if (!WinHttp().queryHeaders(request, query | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                                &value, &size, WINHTTP_NO_HEADER_INDEX)) {
        return std::nullopt;
    }
    return value;
}

UniqueWinHttpHandle OpenSession(const WebAddress& feed, std::wstring_view programVersion) {
    const WinHttpFunctions& http = WinHttp();
    const std::wstring userAgent = L"Velmora/" + std::wstring(programVersion);
    // This computer is never reached through a proxy.
    const DWORD access =
        IsLoopbackHost(feed.host) ? WINHTTP_ACCESS_TYPE_NO_PROXY : WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY;
    UniqueWinHttpHandle session(
        http.open(userAgent.c_str(), access, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session && access == WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY) {
        // Systems before Windows 8.1 (and Wine) know only the configured proxy.
        session.Reset(http.open(userAgent.c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                WINHTTP_NO_PROXY_BYPASS, 0));
    }
    if (session) {
        // TLS 1.2 or newer where the system knows 1.3; its own defaults otherwise.
        DWORD protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3;
        if (!http.setOption(session.Get(), WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols)) {
            protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
            static_cast<void>(
                http.setOption(session.Get(), WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols));
        }
    }
    return session;
}

} // namespace

FeedResponse DownloadFeed(const WebAddress& feed, std::wstring_view programVersion,
                          const FeedDownloadLimits& limits) {
    const WinHttpFunctions& http = WinHttp();
    if (!http.Complete()) {
        return Failure(L"WinHTTP is not available");
    }
    if (!IsAllowedFeedAddress(feed)) {
        return Failure(L"the feed address is not an https address");
    }
    const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(limits.whole.count());
    const UniqueWinHttpHandle session = OpenSession(feed, programVersion);
    if (!session) {
        return NetworkFailure(L"session");
    }
    const int timeout = static_cast<int>(limits.timeout.count());
    if (!http.setTimeouts(session.Get(), timeout, timeout, timeout, timeout)) {
        return NetworkFailure(L"timeouts");
    }
    const UniqueWinHttpHandle connection(http.connect(session.Get(), feed.host.c_str(), feed.port, 0));
    if (!connection) {
        return NetworkFailure(L"connect");
    }
    const UniqueWinHttpHandle request(
        http.openRequest(connection.Get(), L"GET", feed.pathAndQuery.c_str(), nullptr, WINHTTP_NO_REFERER,
                         WINHTTP_DEFAULT_ACCEPT_TYPES, feed.secure ? WINHTTP_FLAG_SECURE : 0));
    if (!request) {
        return NetworkFailure(L"request");
    }
    // A feed answers where it is published: a redirect is refused like any other answer but 200.
    DWORD disabled = WINHTTP_DISABLE_REDIRECTS | WINHTTP_DISABLE_COOKIES;
    // The wait for the answer's headers has a timeout of its own, beside the four above.
    DWORD responseTimeout = static_cast<DWORD>(timeout);
    if (!http.setOption(request.Get(), WINHTTP_OPTION_DISABLE_FEATURE, &disabled, sizeof disabled) ||
        !http.setOption(request.Get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &responseTimeout,
                        sizeof responseTimeout)) {
        return NetworkFailure(L"options");
    }
    if (!http.sendRequest(request.Get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0,
                          0) ||
        !http.receiveResponse(request.Get(), nullptr)) {
        return NetworkFailure(L"exchange");
    }
    const std::optional<DWORD> status = NumberHeader(request.Get(), WINHTTP_QUERY_STATUS_CODE);
    if (status != 200u) {
        return Failure(L"the update service answered HTTP " + (status ? std::to_wstring(*status) : L"?"));
    }
    const std::wstring tooLarge = L"the feed is larger than " + std::to_wstring(kMaxFeedBytes) + L" bytes";
    const std::optional<DWORD> announced = NumberHeader(request.Get(), WINHTTP_QUERY_CONTENT_LENGTH);
    if (announced && *announced > kMaxFeedBytes) {
        return Failure(tooLarge);
    }
    std::string body;
    std::array<char, 8192> chunk{};
    for (;;) {
        DWORD read = 0;
        if (!http.readData(request.Get(), chunk.data(), static_cast<DWORD>(chunk.size()), &read)) {
            return NetworkFailure(L"body");
        }
        if (read == 0) {
            return FeedResponse{std::move(body), {}};
        }
        if (read > kMaxFeedBytes - body.size()) {
            return Failure(tooLarge);
        }
        body.append(chunk.data(), read);
        if (::GetTickCount64() > deadline) {
            return Failure(L"the feed took longer than " + std::to_wstring(limits.whole.count() / 1000) +
                           L" s to arrive");
        }
    }
}

} // namespace Velmora
