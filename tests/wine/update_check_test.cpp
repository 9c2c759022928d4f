// The update check over WinHTTP, against a real HTTP server on this computer (tests/e2e/feed_server.py,
// started by the test fixture), with the policy in the real registry.

#include "bench/bench_parts_win32.h"
#include "common/diagnostics.h"
#include "settings/local_settings.h"
#include "update/feed_download.h"
#include "update/startup_update_check.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <windows.h>

namespace {

using namespace Velmora;

constexpr wchar_t kSettingsKey[] = L"Software\\VelmoraUpdateTests";
constexpr wchar_t kPolicyKey[] = L"SOFTWARE\\Policies\\Velmora";
constexpr FeedDownloadLimits kQuick{std::chrono::milliseconds(1500), std::chrono::milliseconds(10000)};
constexpr std::int32_t kToday = 20260315;

class UpdateCheck : public testing::Test {
protected:
    void SetUp() override {
        // Written beside this program by the feed server fixture.
        std::ifstream portFile(
            std::filesystem::path(Bench::ExecutableFolder() + L"\\update-feed-server.port"));
        int port = 0;
        ASSERT_TRUE(portFile >> port) << "the feed server fixture did not run";
        server = L"http://127.0.0.1:" + std::to_wstring(port);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
        previousSink = SetDiagnosticSink(log);
    }
    void TearDown() override {
        SetDiagnosticSink(previousSink);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
        SetPolicy(L"UpdateCheck", REG_DWORD, 0); // the sandbox's own state: off, no feed
        ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kPolicyKey, L"UpdateFeedUrl");
    }

    std::optional<UpdateOffer> Check(const UpdatePolicy& policy) {
        log->Clear();
        return CheckForUpdate(UpdateCheckRequest{policy, kToday, L"1.2.0"}, *settings,
                              [](const WebAddress& feed) { return DownloadFeed(feed, L"1.2.0", kQuick); });
    }
    std::optional<UpdateOffer> CheckFresh(const std::wstring& path, const std::wstring& skipped = L"") {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
        settings->Insert(SettingKeys::SkipVersion, SettingValue{skipped});
        return Check(UpdatePolicy{true, server + path});
    }
    // How many requests the server has seen whose path begins with `prefix`.
    int Requests(const std::wstring& prefix) const {
        const FeedResponse count = DownloadFeed(*ParseWebAddress(server + L"/count" + prefix), L"1.2.0");
        return count.body ? std::stoi(*count.body) : -1;
    }
    static void SetPolicy(const wchar_t* name, DWORD type, DWORD number, const std::wstring& text = L"") {
        const bool isText = type == REG_SZ;
        ASSERT_EQ(::RegSetKeyValueW(HKEY_LOCAL_MACHINE, kPolicyKey, name, type,
                                    isText ? static_cast<const void*>(text.c_str()) : &number,
                                    isText ? static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))
                                           : sizeof number),
                  ERROR_SUCCESS);
    }
    std::wstring OnlyLogLine() const {
        const std::vector<std::wstring> lines = log->Lines();
        return lines.size() == 1 ? lines[0] : L"not one line but " + std::to_wstring(lines.size());
    }

    std::wstring server;
    std::unique_ptr<LocalSettingsValues> settings = MakeRegistrySettings(kSettingsKey);
    std::shared_ptr<MemoryDiagnosticSink> log = std::make_shared<MemoryDiagnosticSink>();
    std::shared_ptr<DiagnosticSink> previousSink;
};

TEST_F(UpdateCheck, OffersANewerVersionUnlessItWasSkipped) {
    struct Case {
        const wchar_t* path;
        const wchar_t* skipped;
        const wchar_t* offered; // empty: no notice
    };
    for (const Case& c :
         {Case{L"/feed/1.10.0", L"", L"1.10.0"}, Case{L"/feed/1.2", L"", L""}, Case{L"/feed/1.1.9", L"", L""},
          Case{L"/feed/1.3.0", L"1.3.0", L""}, Case{L"/feed/1.4.0", L"1.3.0", L"1.4.0"},
          Case{L"/feed/1.3.0?critical=1", L"1.3.0", L"1.3.0"}}) {
        const std::optional<UpdateOffer> offer = CheckFresh(c.path, c.skipped);
        EXPECT_EQ(offer ? offer->feed.version : L"", c.offered) << c.path;
        EXPECT_EQ(offer && offer->feed.critical, std::wstring_view(c.path).ends_with(L"critical=1"))
            << c.path;
        EXPECT_EQ(log->Lines().size(), 1u) << c.path;
    }
}

TEST_F(UpdateCheck, EveryFailureIsOneLineInTheLogAndNoNotice) {
    const std::pair<std::wstring, std::wstring_view> cases[] = {
        {server + L"/malformed", L"not well-formed JSON"},
        {server + L"/large", L"the feed is larger than 65536 bytes"},
        {server + L"/large-unannounced", L"the feed is larger than 65536 bytes"},
        {server + L"/status/500", L"answered HTTP 500"},
        {server + L"/status/302", L"answered HTTP 302"},
        {server + L"/hang", L"timed out"},
        {server + L"/feed/2.0?url=http://example.com/get", L"\"url\" is not an https address"},
        {L"http://127.0.0.1:1/feed/2.0", L"cannot connect"},
    };
    for (const auto& [url, reason] : cases) {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
        EXPECT_FALSE(Check(UpdatePolicy{true, url})) << url;
        const std::wstring line = OnlyLogLine();
        EXPECT_NE(line.find(reason), std::wstring::npos) << url << L": " << line;
    }
}

TEST_F(UpdateCheck, AsksOnceADayAndNeverWhenThePolicyTurnsItOff) {
    EXPECT_TRUE(CheckFresh(L"/feed/1.5.1"));
    EXPECT_FALSE(Check(UpdatePolicy{true, server + L"/feed/1.5.1"})) << "a second start on the same day";
    EXPECT_FALSE(CheckFresh(L"/status/503"));
    EXPECT_FALSE(Check(UpdatePolicy{true, server + L"/status/503"})) << "a failed check counts too";
    EXPECT_EQ(Requests(L"/feed/1.5.1"), 1);
    EXPECT_EQ(Requests(L"/status/503"), 1);

    SetPolicy(L"UpdateFeedUrl", REG_SZ, 0, server + L"/feed/7.7.7");
    SetPolicy(L"UpdateCheck", REG_SZ, 0, L"0"); // not a REG_DWORD: off, as a fleet meant it
    EXPECT_FALSE(ReadUpdatePolicy(L"https://example.com/").enabled);
    SetPolicy(L"UpdateCheck", REG_DWORD, 0);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
    EXPECT_FALSE(Check(ReadUpdatePolicy(L"https://example.com/")));
    EXPECT_EQ(Requests(L"/feed/7.7.7"), 0);

    SetPolicy(L"UpdateCheck", REG_DWORD, 1);
    const std::optional<UpdateOffer> offer = Check(ReadUpdatePolicy(L"https://example.com/"));
    EXPECT_EQ(offer ? offer->feed.version : L"", L"7.7.7") << "the policy's feed replaces the build's";
    EXPECT_EQ(Requests(L"/feed/7.7.7"), 1);
}

} // namespace
