// The update check's pure parts: version order, which addresses pass, what a feed must hold, and the
// day stamp. Offers, failures and the notice are tested for real under Wine and end to end.

#include "update/update_check.h"

#include <gtest/gtest.h>

namespace {

using namespace Velmora;

VersionNumber Version(std::wstring_view text) {
    return VersionNumber::Parse(text).value();
}

TEST(UpdateVersion, ComparesNumberByNumber) {
    EXPECT_GT(Version(L"1.10"), Version(L"1.9"));
    EXPECT_GT(Version(L"2"), Version(L"1.999999999.9.9"));
    EXPECT_LT(Version(L"0.1.0"), Version(L"0.1.0.1"));
    EXPECT_EQ(Version(L"1.2"), Version(L"1.2.0.0"));
    EXPECT_EQ(Version(L"01.002"), Version(L"1.2"));
    for (const wchar_t* bad : {L"", L".", L"1.", L".1", L"1..2", L"1.2.3.4.5", L"v1", L"1.2-beta", L" 1",
                               L"+1", L"1234567890", L"1,2", L"\u0661.\u0662"}) {
        EXPECT_FALSE(VersionNumber::Parse(bad)) << bad;
    }
}

TEST(UpdateWebAddress, OnlyPlainHttpAndHttpsAddressesPass) {
    const auto address = ParseWebAddress(L"HTTPS://Update.Example.COM:8443/feed.json?x=1#top");
    ASSERT_TRUE(address);
    EXPECT_TRUE(address->secure);
    EXPECT_EQ(address->host, L"update.example.com");
    EXPECT_EQ(address->port, 8443);
    EXPECT_EQ(address->pathAndQuery, L"/feed.json?x=1");
    EXPECT_EQ(ParseWebAddress(L"http://127.0.0.1?q")->pathAndQuery, L"/?q");
    for (const wchar_t* bad :
         {L"ftp://example.com/", L"https://", L"https:/example.com", L"https://user@evil.example/",
          L"https://example.com:0/", L"https://example.com:65536/", L"https://[::1]/",
          L"https://exa mple.com/", L"https://example.com/\" --flag", L"https://example.com/<",
          L"https://ex\u00e4mple.com/", L"javascript:alert(1)", L"https://example.com/\r\n"}) {
        EXPECT_FALSE(ParseWebAddress(bad)) << bad;
    }
    EXPECT_FALSE(ParseWebAddress(L"https://example.com/" + std::wstring(kMaxWebAddressLength, L'a')));
    EXPECT_TRUE(IsAllowedFeedAddress(*ParseWebAddress(L"http://localhost:8080/feed")));
    EXPECT_FALSE(IsAllowedFeedAddress(*ParseWebAddress(L"http://example.com/feed")));
    EXPECT_FALSE(IsHttpsWebAddress(L"http://127.0.0.1/download"));
}

constexpr std::string_view kGoodFeed =
    R"({"version": "1.10.2", "url": "https://example.com/get", "critical": true, "extra": [1],
        "notes": {"en": "Fixes\nmore", "ar": "\u0625\u0635\u0644\u0627\u062d"}})";

TEST(UpdateFeedParsing, ReadsEveryField) {
    const FeedReading reading = ParseUpdateFeed(kGoodFeed);
    ASSERT_TRUE(reading.feed) << std::string(reading.problem.begin(), reading.problem.end());
    EXPECT_EQ(reading.feed->version, L"1.10.2");
    EXPECT_EQ(reading.feed->url, L"https://example.com/get");
    EXPECT_EQ(reading.feed->englishNotes, L"Fixes\nmore");
    EXPECT_EQ(reading.feed->arabicNotes, L"\u0625\u0635\u0644\u0627\u062d");
    EXPECT_TRUE(reading.feed->critical);
}

TEST(UpdateFeedParsing, RefusesWhatItCannotTrust) {
    const std::string notes = R"("notes": {"en": "a", "ar": "b"})";
    const std::string rest = R"("url": "https://e.com/", "critical": false, )" + notes;
    const std::string cases[] = {
        "",
        "[]",
        R"({"version": "1.0", )" + rest,
        "{" + rest + "}",
        R"({"version": 2, )" + rest + "}",
        R"({"version": "2.0-rc1", )" + rest + "}",
        R"({"version": "2", "url": "http://e.com/", "critical": false, )" + notes + "}",
        R"({"version": "2", "url": "https://e.com/\" -x", "critical": false, )" + notes + "}",
        R"({"version": "2", "url": ["https://e.com/"], "critical": false, )" + notes + "}",
        R"({"version": "2", "url": "https://e.com/", "critical": "true", )" + notes + "}",
        R"({"version": "2", "url": "https://e.com/", )" + notes + "}",
        R"({"version": "2", "url": "https://e.com/", "critical": false, "notes": "a"})",
        R"({"version": "2", "url": "https://e.com/", "critical": false, "notes": {"en": "a"}})",
        R"({"version": "2", "url": "https://e.com/", "critical": false, "notes": {"en": "a", "ar": 1}})",
        R"({"version": "2", "url": "https://e.com/", "critical": false, "notes": {"en": "\u001b[2J", "ar": "b"}})",
        R"({"version": "2", "url": "https://e.com/", "critical": false, "notes": {"en": "a\r\nb", "ar": "b"}})",
        R"({"version": "2", "url": "https://e.com/", "critical": false, "notes": {"en": ")" +
            std::string(kMaxNotesLength + 1, 'x') + R"(", "ar": "b"}})",
        "{\"version\": \"2\xff\", " + rest + "}",
        std::string(kGoodFeed) + std::string(kMaxFeedBytes, ' '),
    };
    for (const std::string& body : cases) {
        const FeedReading reading = ParseUpdateFeed(body);
        EXPECT_FALSE(reading.feed) << body.substr(0, 200);
        EXPECT_FALSE(reading.problem.empty()) << body.substr(0, 200);
    }
}

TEST(UpdateOffer, TheDayIsTheUtcDateAsANumber) {
    using namespace std::chrono;
    EXPECT_EQ(UtcDayStamp(sys_days{2024y / February / 29} + 23h + 59min), 20240229);
}

} // namespace
