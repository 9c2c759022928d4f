// What the window takes from the settings store at start, on the in-memory store, and its use from
// two threads. (The registry store is tested under Wine.)

#include "settings/local_settings.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

using namespace Velmora;

SettingValue Int32(std::int32_t value) {
    return SettingValue(std::in_place_type<std::int32_t>, value);
}

TEST(StartupSettings, AbsentKeysGiveTheDefaultsAndValuesOfAnotherTypeThatTypesZero) {
    const auto values = MakeInMemorySettings();
    StartupSettings start = ReadStartupSettings(*values);
    EXPECT_EQ(start.language, 0);
    EXPECT_FALSE(start.termsAccepted);
    EXPECT_EQ(start.appliedProfile, 3);
    EXPECT_EQ(start.appliedProfileBuild, (std::array<std::int32_t, 3>{100, 100, 100}));
    values->Insert(L"AppliedTask", SettingValue(std::wstring(L"2"))); // Essential counts as applied
    values->Insert(L"acceptTermsServices", Int32(1));                 // a number is not a Boolean
    values->Insert(L"AppliedTaskBuildStandard", SettingValue(true));  // a Boolean is not a number
    values->Insert(L"AppliedTaskBuildMaximum", Int32(-5));
    values->Insert(L"appLanguage", SettingValue(true));
    start = ReadStartupSettings(*values);
    EXPECT_EQ(start.language, 0);
    EXPECT_FALSE(start.termsAccepted);
    EXPECT_EQ(start.appliedProfile, 0);
    EXPECT_EQ(start.appliedProfileBuild, (std::array<std::int32_t, 3>{100, 0, -5}));
}

TEST(StartupSettings, OnlyZeroToTwoIsAnAppliedProfileAndOnlyZeroIsArabic) {
    const std::array<std::int32_t, 3> cases[] = {{0, 0, 0}, {1, 1, 1},  {2, 2, 1},
                                                 {3, 3, 1}, {-1, 3, 1}, {257, 3, 1}};
    for (const auto& [stored, profile, language] : cases) {
        const auto values = MakeInMemorySettings();
        values->Insert(L"AppliedTask", Int32(stored));
        values->Insert(L"appLanguage", Int32(stored));
        EXPECT_EQ(ReadStartupSettings(*values).appliedProfile, profile) << stored;
        EXPECT_EQ(ReadStartupSettings(*values).language, language) << stored;
    }
}

// The pipeline records its result on a worker thread while the window reads on the UI thread;
// ThreadSanitizer (host-tsan) reports any unguarded access here. Keys are case-sensitive.
TEST(InMemorySettings, WriterAndReaderThreadsSeeWholeValuesUnderCaseSensitiveKeys) {
    const auto values = MakeInMemorySettings();
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (std::int32_t i = 1; i <= 5000; ++i) {
            values->Insert(L"AppliedTaskBuildStandard", Int32(i));
        }
        done = true;
    });
    std::int32_t last = 0;
    while (!done) {
        const std::int32_t build = ReadInt32Setting(*values, L"AppliedTaskBuildStandard", 0);
        EXPECT_TRUE(build >= last && build <= 5000) << build;
        last = build;
    }
    writer.join();
    EXPECT_EQ(ReadInt32Setting(*values, L"AppliedTaskBuildStandard", 0), 5000);
    EXPECT_EQ(ReadInt32Setting(*values, L"appliedtaskbuildstandard", 42), 42);
}

} // namespace
