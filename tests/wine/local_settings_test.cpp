// The registry-backed settings store against Wine's real registry: types survive a round trip,
// across processes too; a value of another type reads as zero; the key is opened on every access;
// a worker thread may write while another thread reads.

#include "common/diagnostics.h"
#include "common/win32_handles.h"
#include "settings/local_settings.h"
#include "settings_child_values.h"

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace Velmora;

constexpr wchar_t kTestRoot[] = L"Software\\VelmoraSettingsTests";

SettingValue Int32(std::int32_t value) {
    return SettingValue(std::in_place_type<std::int32_t>, value);
}
SettingValue Boolean(bool value) {
    return SettingValue(std::in_place_type<bool>, value);
}
SettingValue String(std::wstring value) {
    return SettingValue(std::in_place_type<std::wstring>, std::move(value));
}

// Each test works under a subkey of its own, removed before and after.
class RegistrySettings : public testing::Test {
protected:
    void SetUp() override {
        subkey = std::wstring(kTestRoot) + L"\\" +
                 ToWide(testing::UnitTest::GetInstance()->current_test_info()->name());
        ::RegDeleteTreeW(HKEY_CURRENT_USER, subkey.c_str());
    }
    void TearDown() override {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, subkey.c_str());
        ::RegDeleteKeyW(HKEY_CURRENT_USER, kTestRoot); // only when no other test left a subkey
    }

    static std::wstring ToWide(const char* ascii) {
        std::wstring wide;
        for (; *ascii != '\0'; ++ascii) {
            wide.push_back(static_cast<wchar_t>(*ascii));
        }
        return wide;
    }

    struct RawValue {
        LSTATUS status = ERROR_SUCCESS;
        DWORD type = REG_NONE;
        std::vector<BYTE> data;
    };
    [[nodiscard]] RawValue ReadRaw(const wchar_t* name) const {
        RawValue raw;
        DWORD size = 0;
        raw.status = ::RegGetValueW(HKEY_CURRENT_USER, subkey.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND,
                                    &raw.type, nullptr, &size);
        if (raw.status == ERROR_SUCCESS) {
            raw.data.resize(size);
            raw.status = ::RegGetValueW(HKEY_CURRENT_USER, subkey.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND,
                                        &raw.type, raw.data.data(), &size);
            raw.data.resize(size);
        }
        return raw;
    }
    void WriteRaw(const wchar_t* name, DWORD type, const void* data, DWORD size) const {
        UniqueRegistryKey key;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, subkey.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                    key.Put(), nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(::RegSetValueExW(key.Get(), name, 0, type, static_cast<const BYTE*>(data), size),
                  ERROR_SUCCESS);
    }

    // Runs the settings child next to this executable and returns its exit code.
    [[nodiscard]] DWORD RunChild(const wchar_t* mode) const {
        std::wstring path(MAX_PATH, L'\0');
        path.resize(::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
        path.resize(path.find_last_of(L'\\') + 1);
        path += L"velmora_settings_child.exe";
        std::wstring commandLine = L"\"" + path + L"\" " + mode + L" " + subkey;

        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (!::CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &startup, &process)) {
            ADD_FAILURE() << "cannot start the settings child: " << ::GetLastError();
            return ~DWORD{0};
        }
        const UniqueKernelHandle processHandle(process.hProcess);
        const UniqueKernelHandle threadHandle(process.hThread);
        EXPECT_EQ(::WaitForSingleObject(processHandle.Get(), 60000), WAIT_OBJECT_0);
        DWORD exitCode = ~DWORD{0};
        EXPECT_TRUE(::GetExitCodeProcess(processHandle.Get(), &exitCode));
        return exitCode;
    }

    std::wstring subkey;
};

TEST_F(RegistrySettings, EachTypeRoundTripsThroughANewStore) {
    const std::wstring longText(300, L'\u0645'); // longer than a first read takes
    {
        const auto writer = MakeRegistrySettings(subkey);
        writer->Insert(L"zero", Int32(0));
        writer->Insert(L"negative", Int32(-7));
        writer->Insert(L"lowest", Int32(INT32_MIN));
        writer->Insert(L"highest", Int32(INT32_MAX));
        writer->Insert(L"yes", Boolean(true));
        writer->Insert(L"no", Boolean(false));
        writer->Insert(L"version", String(L"1.2.3 \u0625\u0635\u062f\u0627\u0631"));
        writer->Insert(L"empty", String(L""));
        writer->Insert(L"long", String(longText));
    }
    const auto reader = MakeRegistrySettings(subkey);
    EXPECT_EQ(reader->Lookup(L"zero"), Int32(0));
    EXPECT_EQ(reader->Lookup(L"negative"), Int32(-7));
    EXPECT_EQ(reader->Lookup(L"lowest"), Int32(INT32_MIN));
    EXPECT_EQ(reader->Lookup(L"highest"), Int32(INT32_MAX));
    EXPECT_EQ(reader->Lookup(L"yes"), Boolean(true));
    EXPECT_EQ(reader->Lookup(L"no"), Boolean(false));
    EXPECT_EQ(reader->Lookup(L"version"), String(L"1.2.3 \u0625\u0635\u062f\u0627\u0631"));
    EXPECT_EQ(reader->Lookup(L"empty"), String(L""));
    EXPECT_EQ(reader->Lookup(L"long"), String(longText));
    EXPECT_TRUE(reader->HasKey(L"no"));
    EXPECT_FALSE(reader->HasKey(L"missing"));
    EXPECT_EQ(reader->Lookup(L"missing"), std::nullopt);
}

// The stored form is what a later version of the program, or a support technician with regedit,
// finds: Int32 as REG_DWORD, Boolean as a one-byte REG_BINARY, String as REG_SZ.
TEST_F(RegistrySettings, EachTypeHasItsOwnRegistryType) {
    const auto settings = MakeRegistrySettings(subkey);
    settings->Insert(L"AppliedTask", Int32(-7));
    settings->Insert(L"acceptTermsServices", Boolean(true));
    settings->Insert(L"skipVerion", String(L"1.2"));

    const RawValue number = ReadRaw(L"AppliedTask");
    ASSERT_EQ(number.status, ERROR_SUCCESS);
    EXPECT_EQ(number.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(number.data, (std::vector<BYTE>{0xF9, 0xFF, 0xFF, 0xFF}));

    const RawValue flag = ReadRaw(L"acceptTermsServices");
    ASSERT_EQ(flag.status, ERROR_SUCCESS);
    EXPECT_EQ(flag.type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(flag.data, (std::vector<BYTE>{1}));

    const RawValue text = ReadRaw(L"skipVerion");
    ASSERT_EQ(text.status, ERROR_SUCCESS);
    EXPECT_EQ(text.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(text.data, (std::vector<BYTE>{'1', 0, '.', 0, '2', 0, 0, 0}));
}

TEST_F(RegistrySettings, ValueOfAnotherTypeReadsAsZero) {
    const auto settings = MakeRegistrySettings(subkey);
    settings->Insert(L"acceptTermsServices", Int32(1));
    settings->Insert(L"AppliedTask", Boolean(true));
    settings->Insert(L"appLanguage", String(L"1"));
    EXPECT_FALSE(ReadBooleanSetting(*settings, L"acceptTermsServices", true));
    EXPECT_EQ(ReadInt32Setting(*settings, L"AppliedTask", 3), 0);
    EXPECT_EQ(ReadInt32Setting(*settings, L"appLanguage", 0), 0);
    EXPECT_EQ(UnboxString(*settings->Lookup(L"AppliedTask")), L"");

    // Values the program never writes, as someone might leave them by hand.
    const unsigned long long quad = 1;
    WriteRaw(L"quad", REG_QWORD, &quad, sizeof quad);
    const BYTE fourBytes[] = {1, 0, 0, 0};
    WriteRaw(L"binary", REG_BINARY, fourBytes, sizeof fourBytes);
    const wchar_t multi[] = L"1\0";
    WriteRaw(L"multi", REG_MULTI_SZ, multi, sizeof multi);
    const BYTE shortDword[] = {1, 0};
    WriteRaw(L"shortDword", REG_DWORD, shortDword, sizeof shortDword);
    for (const wchar_t* name : {L"quad", L"binary", L"multi", L"shortDword"}) {
        EXPECT_TRUE(settings->HasKey(name));
        EXPECT_EQ(ReadInt32Setting(*settings, name, 42), 0);
        EXPECT_FALSE(ReadBooleanSetting(*settings, name, true));
        EXPECT_EQ(UnboxString(settings->Lookup(name).value_or(String(L"absent"))), L"");
    }
}

TEST_F(RegistrySettings, InsertOverwritesValueAndType) {
    const auto settings = MakeRegistrySettings(subkey);
    settings->Insert(L"AppliedTask", Int32(1));
    settings->Insert(L"AppliedTask", Int32(2));
    EXPECT_EQ(settings->Lookup(L"AppliedTask"), Int32(2));
    settings->Insert(L"AppliedTask", Boolean(false));
    EXPECT_EQ(settings->Lookup(L"AppliedTask"), Boolean(false));
    EXPECT_EQ(ReadRaw(L"AppliedTask").type, static_cast<DWORD>(REG_BINARY));
}

TEST_F(RegistrySettings, MissingKeyReadsTheStartDefaultsAndFirstInsertCreatesIt) {
    const auto settings = MakeRegistrySettings(subkey + L"\\Nested");
    EXPECT_FALSE(settings->HasKey(L"appLanguage"));
    const StartupSettings start = ReadStartupSettings(*settings);
    EXPECT_EQ(start.language, 0);
    EXPECT_FALSE(start.termsAccepted);
    EXPECT_EQ(start.appliedProfile, 3);
    EXPECT_EQ(start.appliedProfileBuild, (std::array<std::int32_t, 3>{100, 100, 100}));

    settings->Insert(L"AppliedTaskBuildStandard", Int32(130));
    EXPECT_EQ(ReadStartupSettings(*settings).appliedProfileBuild[1], 130);
}

TEST_F(RegistrySettings, KeyIsOpenedAnewOnEveryAccess) {
    const auto settings = MakeRegistrySettings(subkey);
    settings->Insert(L"appLanguage", Int32(1));
    ASSERT_EQ(::RegDeleteTreeW(HKEY_CURRENT_USER, subkey.c_str()), ERROR_SUCCESS);
    EXPECT_FALSE(settings->HasKey(L"appLanguage"));

    settings->Insert(L"appLanguage", Int32(0)); // a held handle would write into the deleted key
    EXPECT_EQ(ReadRaw(L"appLanguage").data, (std::vector<BYTE>{0, 0, 0, 0}));

    const DWORD english = 1;
    WriteRaw(L"appLanguage", REG_DWORD, &english, sizeof english);
    EXPECT_EQ(ReadInt32Setting(*settings, L"appLanguage", 0), 1);
}

TEST_F(RegistrySettings, WhatOneProcessStoresAnotherReads) {
    const auto settings = MakeRegistrySettings(subkey);
    for (const auto& [key, value] : VelmoraTests::ChildSettings()) {
        settings->Insert(key, value);
    }
    EXPECT_EQ(RunChild(L"check"), 0U);

    ASSERT_EQ(::RegDeleteTreeW(HKEY_CURRENT_USER, subkey.c_str()), ERROR_SUCCESS);
    ASSERT_FALSE(settings->HasKey(L"appLanguage"));
    EXPECT_EQ(RunChild(L"write"), 0U);
    const auto afterChild = MakeRegistrySettings(subkey);
    for (const auto& [key, value] : VelmoraTests::ChildSettings()) {
        EXPECT_EQ(afterChild->Lookup(key), value);
    }
    const StartupSettings start = ReadStartupSettings(*afterChild);
    EXPECT_EQ(start.language, 1);
    EXPECT_TRUE(start.termsAccepted);
    EXPECT_EQ(start.appliedProfile, 2);
    EXPECT_EQ(start.appliedProfileBuild[2], 120);
}

// The pipeline stores its result on a worker thread while the window reads on the UI thread. The
// string alternates between a short and a long value, so a read may find it grown since it asked.
TEST_F(RegistrySettings, WorkerThreadWritesWhileAnotherThreadReads) {
    const auto settings = MakeRegistrySettings(subkey);
    const std::wstring shortText = L"1.0";
    const std::wstring longText(500, L'x');
    constexpr std::int32_t kWrites = 1500;
    std::atomic<bool> done{false};

    std::thread worker([&] {
        for (std::int32_t i = 1; i <= kWrites; ++i) {
            settings->Insert(L"AppliedTaskBuildStandard", Int32(i));
            settings->Insert(L"skipVerion", String(i % 2 == 0 ? shortText : longText));
        }
        done = true;
    });

    std::int32_t last = 0;
    int badReads = 0;
    int reads = 0;
    while (!done) {
        const std::int32_t build = ReadInt32Setting(*settings, L"AppliedTaskBuildStandard", 0);
        badReads += build < last || build > kWrites ? 1 : 0;
        last = build;
        if (const std::optional<SettingValue> text = settings->Lookup(L"skipVerion")) {
            const std::wstring value = UnboxString(*text);
            badReads += value == shortText || value == longText ? 0 : 1;
        }
        ++reads;
    }
    worker.join();

    EXPECT_EQ(badReads, 0) << "of " << reads << " reads";
    EXPECT_EQ(ReadInt32Setting(*settings, L"AppliedTaskBuildStandard", 0), kWrites);
}

// A store that cannot be reached reads as empty and reports a failed write to the diagnostic
// sink; nothing is thrown.
TEST(RegistrySettingsFailure, UnreachableKeyReadsEmptyAndReportsFailedWrites) {
    const auto sink = std::make_shared<MemoryDiagnosticSink>();
    const auto previous = SetDiagnosticSink(sink);
    const auto settings =
        MakeRegistrySettings(L"\\Software\\VelmoraSettingsTests"); // a leading backslash: 161
    settings->Insert(L"AppliedTask", SettingValue(std::in_place_type<std::int32_t>, 1));
    SetDiagnosticSink(previous);

    EXPECT_FALSE(settings->HasKey(L"AppliedTask"));
    EXPECT_EQ(settings->Lookup(L"AppliedTask"), std::nullopt);
    EXPECT_EQ(sink->Lines(),
              std::vector<std::wstring>{L"Failed to store the local setting \"AppliedTask\": 161"});
}

TEST(RegistrySettingsDefault, LivesUnderVelmoraLocalSettingsOfTheCurrentUser) {
    constexpr wchar_t kVelmora[] = L"Software\\Velmora";
    UniqueRegistryKey before;
    const bool velmoraExisted =
        ::RegOpenKeyExW(HKEY_CURRENT_USER, kVelmora, 0, KEY_READ, before.Put()) == ERROR_SUCCESS;
    before.Reset();

    MakeRegistrySettings()->Insert(L"velmoraTestProbe", SettingValue(std::in_place_type<std::int32_t>, 5));
    DWORD data = 0;
    DWORD size = sizeof data;
    EXPECT_EQ(::RegGetValueW(HKEY_CURRENT_USER, L"Software\\Velmora\\LocalSettings", L"velmoraTestProbe",
                             RRF_RT_REG_DWORD, nullptr, &data, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(data, 5U);

    if (velmoraExisted) {
        EXPECT_EQ(
            ::RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Velmora\\LocalSettings", L"velmoraTestProbe"),
            ERROR_SUCCESS);
    } else {
        EXPECT_EQ(::RegDeleteTreeW(HKEY_CURRENT_USER, kVelmora), ERROR_SUCCESS);
    }
}

} // namespace
