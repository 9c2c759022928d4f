// What the window takes from the settings store at start, on the in-memory store: defaults for
// absent keys, zero for a value of another type, the ranges of the language and the applied
// profile, and use from two threads at once. (The registry store is tested under Wine.)

#include "settings/local_settings.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

using namespace Velmora;

SettingValue Int32(std::int32_t value) {
    return SettingValue(std::in_place_type<std::int32_t>, value);
}

TEST(StartupSettings, AnEmptyStoreGivesTheStartDefaults) {
    const StartupSettings start = ReadStartupSettings(*MakeInMemorySettings());
    EXPECT_EQ(start.language, 0);
    EXPECT_FALSE(start.termsAccepted);
    EXPECT_EQ(start.appliedProfile, 3);
    EXPECT_EQ(start.appliedProfileBuild, (std::array<std::int32_t, 3>{100, 100, 100}));
}

TEST(StartupSettings, StoredValuesOfTheirOwnTypeReplaceTheDefaults) {
    const auto values = MakeInMemorySettings();
    values->Insert(L"appLanguage", Int32(1));
    values->Insert(L"acceptTermsServices", SettingValue(true));
    values->Insert(L"AppliedTask", Int32(2));
    values->Insert(L"AppliedTaskBuildEssential", Int32(120));
    values->Insert(L"AppliedTaskBuildStandard", Int32(130));
    values->Insert(L"AppliedTaskBuildMaximum", Int32(-5));
    const StartupSettings start = ReadStartupSettings(*values);
    EXPECT_EQ(start.language, 1);
    EXPECT_TRUE(start.termsAccepted);
    EXPECT_EQ(start.appliedProfile, 2);
    EXPECT_EQ(start.appliedProfileBuild, (std::array<std::int32_t, 3>{120, 130, -5}));
}

TEST(StartupSettings, AValueOfAnotherTypeReadsAsThatTypesZero) {
    const auto values = MakeInMemorySettings();
    values->Insert(L"AppliedTask", SettingValue(std::wstring(L"2"))); // Essential counts as applied
    values->Insert(L"acceptTermsServices", Int32(1));                 // a number is not a Boolean
    values->Insert(L"AppliedTaskBuildStandard", SettingValue(true));  // a Boolean is not a number
    values->Insert(L"appLanguage", SettingValue(true));
    const StartupSettings start = ReadStartupSettings(*values);
    EXPECT_EQ(start.language, 0);
    EXPECT_FALSE(start.termsAccepted);
    EXPECT_EQ(start.appliedProfile, 0);
    EXPECT_EQ(start.appliedProfileBuild, (std::array<std::int32_t, 3>{100, 0, 100}));
    EXPECT_EQ(UnboxString(Int32(5)), L"");
}

TEST(StartupSettings, OnlyZeroToTwoIsAnAppliedProfileAndOnlyZeroIsArabic) {
    const struct {
        std::int32_t stored;
        std::int32_t profile;
        std::int32_t language;
    } cases[] = {{0, 0, 0}, {1, 1, 1}, {2, 2, 1}, {3, 3, 1}, {-1, 3, 1}, {1000, 3, 1}, {257, 3, 1}};
    for (const auto& c : cases) {
        const auto values = MakeInMemorySettings();
        values->Insert(L"AppliedTask", Int32(c.stored));
        values->Insert(L"appLanguage", Int32(c.stored));
        const StartupSettings start = ReadStartupSettings(*values);
        EXPECT_EQ(start.appliedProfile, c.profile) << c.stored;
        EXPECT_EQ(start.language, c.language) << c.stored;
        EXPECT_EQ(values->Lookup(L"appLanguage"), Int32(c.stored)) << "the store is not rewritten";
    }
}

TEST(InMemorySettings, KeysAreCaseSensitiveAndInsertOverwritesValueAndType) {
    const auto values = MakeInMemorySettings();
    values->Insert(L"AppliedTask", Int32(1));
    values->Insert(L"AppliedTask", SettingValue(std::wstring(L"x")));
    EXPECT_EQ(values->Lookup(L"AppliedTask"), SettingValue(std::wstring(L"x")));
    EXPECT_FALSE(values->HasKey(L"appliedtask"));
    EXPECT_EQ(ReadInt32Setting(*values, L"appliedtask", 42), 42);
}

// The pipeline records its result on a worker thread while the window reads on the UI thread;
// ThreadSanitizer (host-tsan) reports any unguarded access here.
TEST(InMemorySettings, WriterAndReaderThreadsSeeWholeValues) {
    const auto values = MakeInMemorySettings();
    constexpr std::int32_t kWrites = 5000;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (std::int32_t i = 1; i <= kWrites; ++i) {
            values->Insert(L"AppliedTaskBuildStandard", Int32(i));
        }
        done = true;
    });
    std::int32_t last = 0;
    bool inOrder = true;
    while (!done) {
        const std::int32_t build = ReadInt32Setting(*values, L"AppliedTaskBuildStandard", 0);
        inOrder = inOrder && build >= last && build <= kWrites;
        last = build;
    }
    writer.join();
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(ReadInt32Setting(*values, L"AppliedTaskBuildStandard", 0), kWrites);
}

} // namespace
