// The registry-backed settings store against Wine's real registry: each box type keeps its own
// registry type, a value of another type reads as zero, the key is opened on every access, and a
// worker thread may write while another thread reads. (What the window makes of the values is
// tested on the host.)

#include "common/diagnostics.h"
#include "common/win32_handles.h"
#include "settings/local_settings.h"

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace Velmora;

constexpr wchar_t kSubkey[] = L"Software\\VelmoraSettingsTests";

SettingValue Int32(std::int32_t value) {
    return SettingValue(std::in_place_type<std::int32_t>, value);
}

class RegistrySettings : public testing::Test {
protected:
    void SetUp() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, kSubkey); }
    void TearDown() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, kSubkey); }

    struct RawValue {
        DWORD type = REG_NONE;
        std::vector<BYTE> data;
        bool operator==(const RawValue&) const = default;
    };
    [[nodiscard]] static RawValue ReadRaw(const wchar_t* name) {
        RawValue raw;
        DWORD size = 0;
        ::RegGetValueW(HKEY_CURRENT_USER, kSubkey, name, RRF_RT_ANY | RRF_NOEXPAND, &raw.type, nullptr,
                       &size);
        raw.data.resize(size);
        ::RegGetValueW(HKEY_CURRENT_USER, kSubkey, name, RRF_RT_ANY | RRF_NOEXPAND, &raw.type,
                       raw.data.data(), &size);
        return raw;
    }
    static void WriteRaw(const wchar_t* name, DWORD type, const void* data, DWORD size) {
        ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, kSubkey, name, type, data, size), ERROR_SUCCESS);
    }

    const std::unique_ptr<LocalSettingsValues> settings = MakeRegistrySettings(kSubkey);
};

// The stored form is what a later version of the program, or a support technician with regedit,
// finds: Int32 as REG_DWORD, Boolean as a one-byte REG_BINARY, String as REG_SZ.
TEST_F(RegistrySettings, EachTypeRoundTripsThroughANewStoreInItsOwnRegistryType) {
    const std::wstring longText(300, L'\u0645'); // longer than a first read takes
    const std::pair<const wchar_t*, SettingValue> values[] = {
        {L"negative", Int32(-7)},
        {L"lowest", Int32(INT32_MIN)},
        {L"highest", Int32(INT32_MAX)},
        {L"yes", SettingValue(true)},
        {L"no", SettingValue(false)},
        {L"long", SettingValue(longText)},
        {L"empty", SettingValue(std::wstring())},
    };
    for (const auto& [name, value] : values) {
        settings->Insert(name, value);
    }
    const auto reader = MakeRegistrySettings(kSubkey);
    for (const auto& [name, value] : values) {
        EXPECT_EQ(reader->Lookup(name), value) << testing::PrintToString(std::wstring(name));
    }
    EXPECT_EQ(ReadRaw(L"negative"), (RawValue{REG_DWORD, {0xF9, 0xFF, 0xFF, 0xFF}}));
    EXPECT_EQ(ReadRaw(L"yes"), (RawValue{REG_BINARY, {1}}));
    settings->Insert(L"version", SettingValue(std::wstring(L"1.2")));
    EXPECT_EQ(ReadRaw(L"version"), (RawValue{REG_SZ, {'1', 0, '.', 0, '2', 0, 0, 0}}));
    settings->Insert(L"version", Int32(2)); // overwrites the type too
    EXPECT_EQ(ReadRaw(L"version").type, static_cast<DWORD>(REG_DWORD));
    EXPECT_FALSE(reader->HasKey(L"missing"));
    EXPECT_EQ(reader->Lookup(L"missing"), std::nullopt);
}

TEST_F(RegistrySettings, AValueOfAnotherTypeOrSizeReadsAsZero) {
    settings->Insert(L"flagAsNumber", Int32(1));
    settings->Insert(L"numberAsFlag", SettingValue(true));
    settings->Insert(L"numberAsText", SettingValue(std::wstring(L"1")));
    EXPECT_FALSE(ReadBooleanSetting(*settings, L"flagAsNumber", true));
    EXPECT_EQ(ReadInt32Setting(*settings, L"numberAsFlag", 3), 0);
    EXPECT_EQ(ReadInt32Setting(*settings, L"numberAsText", 3), 0);
    // Values the program never writes, as someone might leave them by hand.
    const unsigned long long quad = 1;
    WriteRaw(L"quad", REG_QWORD, &quad, sizeof quad);
    const BYTE fourBytes[] = {1, 0, 0, 0};
    WriteRaw(L"binary", REG_BINARY, fourBytes, sizeof fourBytes);
    const BYTE shortDword[] = {1, 0};
    WriteRaw(L"shortDword", REG_DWORD, shortDword, sizeof shortDword);
    for (const wchar_t* name : {L"quad", L"binary", L"shortDword"}) {
        EXPECT_TRUE(settings->HasKey(name));
        EXPECT_EQ(ReadInt32Setting(*settings, name, 42), 0);
        EXPECT_FALSE(ReadBooleanSetting(*settings, name, true));
    }
}

TEST_F(RegistrySettings, TheKeyIsOpenedAnewOnEveryAccess) {
    settings->Insert(L"appLanguage", Int32(1));
    ASSERT_EQ(::RegDeleteTreeW(HKEY_CURRENT_USER, kSubkey), ERROR_SUCCESS);
    EXPECT_FALSE(settings->HasKey(L"appLanguage"));
    settings->Insert(L"appLanguage", Int32(0)); // a held handle would write into the deleted key
    EXPECT_EQ(ReadRaw(L"appLanguage"), (RawValue{REG_DWORD, {0, 0, 0, 0}}));
    const DWORD english = 1;
    WriteRaw(L"appLanguage", REG_DWORD, &english, sizeof english);
    EXPECT_EQ(ReadInt32Setting(*settings, L"appLanguage", 0), 1);
}

// The pipeline stores its result on a worker thread while the window reads on the UI thread. The
// string alternates between a short and a long value, so a read may find it grown since it asked.
TEST_F(RegistrySettings, AWorkerThreadWritesWhileAnotherThreadReads) {
    const std::wstring shortText = L"1.0";
    const std::wstring longText(500, L'x');
    constexpr std::int32_t kWrites = 1500;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (std::int32_t i = 1; i <= kWrites; ++i) {
            settings->Insert(L"AppliedTaskBuildStandard", Int32(i));
            settings->Insert(L"skipVerion", SettingValue(i % 2 == 0 ? shortText : longText));
        }
        done = true;
    });
    std::int32_t last = 0;
    int badReads = 0;
    while (!done) {
        const std::int32_t build = ReadInt32Setting(*settings, L"AppliedTaskBuildStandard", 0);
        badReads += build < last || build > kWrites ? 1 : 0;
        last = build;
        if (const std::optional<SettingValue> text = settings->Lookup(L"skipVerion")) {
            badReads += UnboxString(*text) == shortText || UnboxString(*text) == longText ? 0 : 1;
        }
    }
    worker.join();
    EXPECT_EQ(badReads, 0);
    EXPECT_EQ(ReadInt32Setting(*settings, L"AppliedTaskBuildStandard", 0), kWrites);
}

// A store that cannot be reached reads as empty and reports a failed write; nothing is thrown.
TEST(RegistrySettingsPlace, AnUnreachableKeyReadsEmptyAndTheDefaultLivesUnderVelmora) {
    const auto sink = std::make_shared<MemoryDiagnosticSink>();
    const auto previous = SetDiagnosticSink(sink);
    const auto unreachable =
        MakeRegistrySettings(L"\\Software\\VelmoraSettingsTests"); // a leading backslash: 161
    unreachable->Insert(L"AppliedTask", Int32(1));
    SetDiagnosticSink(previous);
    EXPECT_FALSE(unreachable->HasKey(L"AppliedTask"));
    EXPECT_EQ(sink->Lines(),
              std::vector<std::wstring>{L"Failed to store the local setting \"AppliedTask\": 161"});

    MakeRegistrySettings()->Insert(L"velmoraTestProbe", Int32(5));
    DWORD data = 0;
    DWORD size = sizeof data;
    EXPECT_EQ(::RegGetValueW(HKEY_CURRENT_USER, L"Software\\Velmora\\LocalSettings", L"velmoraTestProbe",
                             RRF_RT_REG_DWORD, nullptr, &data, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(data, 5U);
    ::RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Velmora\\LocalSettings", L"velmoraTestProbe");
}

} // namespace
