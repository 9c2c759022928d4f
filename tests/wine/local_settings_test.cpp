// The registry settings store: each box type in its own registry type, anything else read as zero,
// an unreachable store reported. (Semantics: host; surviving a restart: end to end.)

#include "common/diagnostics.h"
#include "settings/local_settings.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace Velmora;

constexpr wchar_t kSubkey[] = L"Software\\VelmoraSettingsTests";

SettingValue Int32(std::int32_t value) {
    return SettingValue(std::in_place_type<std::int32_t>, value);
}

// The stored form is what a later version of the program, or a support technician with regedit,
// finds: Int32 as REG_DWORD, Boolean as a one-byte REG_BINARY, String as REG_SZ.
TEST(RegistrySettings, EachTypeKeepsItsOwnRegistryTypeAndAnyOtherTypeOrSizeReadsAsZero) {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kSubkey);
    const auto settings = MakeRegistrySettings(kSubkey);
    const std::wstring longText(300, L'\u0645'); // longer than a first read takes
    settings->Insert(L"number", Int32(-7));
    settings->Insert(L"flag", SettingValue(true));
    settings->Insert(L"text", SettingValue(longText));
    const auto raw = [](const wchar_t* name) {
        DWORD type = REG_NONE;
        std::vector<BYTE> data(1024);
        DWORD size = static_cast<DWORD>(data.size());
        ::RegGetValueW(HKEY_CURRENT_USER, kSubkey, name, RRF_RT_ANY, &type, data.data(), &size);
        data.resize(size);
        return std::pair{type, data};
    };
    EXPECT_EQ(raw(L"number"), (std::pair<DWORD, std::vector<BYTE>>{REG_DWORD, {0xF9, 0xFF, 0xFF, 0xFF}}));
    EXPECT_EQ(raw(L"flag"), (std::pair<DWORD, std::vector<BYTE>>{REG_BINARY, {1}}));
    EXPECT_EQ(raw(L"text").first, static_cast<DWORD>(REG_SZ));
    const auto reader = MakeRegistrySettings(kSubkey);
    EXPECT_EQ(reader->Lookup(L"text"), SettingValue(longText));
    EXPECT_EQ(reader->Lookup(L"flag"), SettingValue(true));
    EXPECT_EQ(reader->Lookup(L"missing"), std::nullopt);
    EXPECT_FALSE(ReadBooleanSetting(*reader, L"number", true)) << "a number is not a Boolean";
    EXPECT_EQ(ReadInt32Setting(*reader, L"flag", 3), 0) << "a Boolean is not a number";
    // Values the program never writes, as someone might leave them by hand.
    const unsigned long long quad = 1;
    const BYTE fourBytes[] = {1, 0, 0, 0};
    const BYTE shortDword[] = {1, 0};
    ::RegSetKeyValueW(HKEY_CURRENT_USER, kSubkey, L"quad", REG_QWORD, &quad, sizeof quad);
    ::RegSetKeyValueW(HKEY_CURRENT_USER, kSubkey, L"binary", REG_BINARY, fourBytes, sizeof fourBytes);
    ::RegSetKeyValueW(HKEY_CURRENT_USER, kSubkey, L"shortDword", REG_DWORD, shortDword, sizeof shortDword);
    for (const wchar_t* name : {L"quad", L"binary", L"shortDword"}) {
        EXPECT_TRUE(reader->HasKey(name));
        EXPECT_EQ(ReadInt32Setting(*reader, name, 42), 0);
        EXPECT_FALSE(ReadBooleanSetting(*reader, name, true));
    }
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kSubkey);
}

// A store that cannot be reached reads as empty and reports a failed write; nothing is thrown.
TEST(RegistrySettings, AnUnreachableKeyReadsEmptyAndReportsTheFailedWrite) {
    const auto sink = std::make_shared<MemoryDiagnosticSink>();
    const auto previous = SetDiagnosticSink(sink);
    const auto unreachable = MakeRegistrySettings(L"\\Software\\VelmoraSettingsTests"); // leading backslash
    unreachable->Insert(L"AppliedTask", Int32(1));
    SetDiagnosticSink(previous);
    EXPECT_FALSE(unreachable->HasKey(L"AppliedTask"));
    EXPECT_EQ(sink->Lines(),
              std::vector<std::wstring>{L"Failed to store the local setting \"AppliedTask\": 161"});
}

} // namespace
