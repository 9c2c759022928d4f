// The settings semantics every store shares, on the in-memory store: defaults for absent keys,
// zero for a value of another type, overwrite on insert, and use from two threads at once.

#include "settings/local_settings.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

using namespace Velmora;

SettingValue Int32(std::int32_t value) {
    return SettingValue(std::in_place_type<std::int32_t>, value);
}
SettingValue Boolean(bool value) {
    return SettingValue(std::in_place_type<bool>, value);
}
SettingValue String(std::wstring value) {
    return SettingValue(std::in_place_type<std::wstring>, std::move(value));
}

TEST(LocalSettingsRead, EmptyStoreGivesTheStartDefaults) {
    const auto values = MakeInMemorySettings();
    EXPECT_FALSE(values->HasKey(SettingKeys::AppLanguage));
    EXPECT_EQ(values->Lookup(SettingKeys::AppliedTask), std::nullopt);

    const StartupSettings start = ReadStartupSettings(*values);
    EXPECT_EQ(start.language, 0);
    EXPECT_FALSE(start.termsAccepted);
    EXPECT_EQ(start.appliedProfile, 3);
    EXPECT_EQ(start.appliedProfileBuild, (std::array<std::int32_t, 3>{100, 100, 100}));
}

TEST(LocalSettingsRead, AbsentKeyGivesTheCallersValue) {
    const auto values = MakeInMemorySettings();
    EXPECT_EQ(ReadInt32Setting(*values, L"appUpdate", 42), 42);
    EXPECT_EQ(ReadInt32Setting(*values, L"appUpdate", -1), -1);
    EXPECT_TRUE(ReadBooleanSetting(*values, L"acceptTermsServices", true));
    EXPECT_FALSE(ReadBooleanSetting(*values, L"acceptTermsServices", false));
}

TEST(LocalSettingsRead, StoredValuesReplaceTheDefaults) {
    const auto values = MakeInMemorySettings();
    values->Insert(L"appLanguage", Int32(1));
    values->Insert(L"acceptTermsServices", Boolean(true));
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

TEST(LocalSettingsRead, ValueOfAnotherTypeReadsAsZero) {
    const auto values = MakeInMemorySettings();
    values->Insert(L"AppliedTask", String(L"2"));               // a string: Essential counts as applied
    values->Insert(L"acceptTermsServices", Int32(1));           // a number is not a Boolean
    values->Insert(L"AppliedTaskBuildStandard", Boolean(true)); // a Boolean is not a number
    values->Insert(L"appLanguage", Boolean(true));

    EXPECT_EQ(ReadInt32Setting(*values, L"AppliedTask", 3), 0);
    EXPECT_FALSE(ReadBooleanSetting(*values, L"acceptTermsServices", true));
    EXPECT_EQ(ReadInt32Setting(*values, L"AppliedTaskBuildStandard", 100), 0);

    const StartupSettings start = ReadStartupSettings(*values);
    EXPECT_EQ(start.language, 0);
    EXPECT_FALSE(start.termsAccepted);
    EXPECT_EQ(start.appliedProfile, 0);
    EXPECT_EQ(start.appliedProfileBuild, (std::array<std::int32_t, 3>{100, 0, 100}));
}

TEST(LocalSettingsRead, AppliedTaskOutsideTheProfilesMeansNoneApplied) {
    const auto values = MakeInMemorySettings();
    for (const std::int32_t stored : {3, 7, -1, 1000}) {
        values->Insert(L"AppliedTask", Int32(stored));
        EXPECT_EQ(ReadStartupSettings(*values).appliedProfile, 3) << stored;
    }
    for (const std::int32_t stored : {0, 1, 2}) {
        values->Insert(L"AppliedTask", Int32(stored));
        EXPECT_EQ(ReadStartupSettings(*values).appliedProfile, stored);
    }
}

TEST(LocalSettingsUnbox, EachTypeUnboxesOnlyAsItself) {
    EXPECT_EQ(UnboxInt32(Int32(-7)), -7);
    EXPECT_EQ(UnboxInt32(Boolean(true)), 0);
    EXPECT_EQ(UnboxInt32(String(L"12")), 0);

    EXPECT_TRUE(UnboxBoolean(Boolean(true)));
    EXPECT_FALSE(UnboxBoolean(Int32(1)));
    EXPECT_FALSE(UnboxBoolean(String(L"true")));

    EXPECT_EQ(UnboxString(String(L"1.2.3")), L"1.2.3");
    EXPECT_EQ(UnboxString(Int32(5)), L"");
    EXPECT_EQ(UnboxString(Boolean(true)), L"");
}

TEST(InMemorySettings, InsertAddsThenOverwritesOnlyItsKey) {
    const auto values = MakeInMemorySettings();
    values->Insert(L"AppliedTask", Int32(1));
    values->Insert(L"AppliedTaskBuildStandard", Int32(130));
    values->Insert(L"AppliedTask", Int32(2));
    EXPECT_EQ(values->Lookup(L"AppliedTask"), Int32(2));
    EXPECT_EQ(values->Lookup(L"AppliedTaskBuildStandard"), Int32(130));

    values->Insert(L"AppliedTask", String(L"x")); // the type is replaced with the value
    EXPECT_EQ(values->Lookup(L"AppliedTask"), String(L"x"));
    EXPECT_EQ(ReadInt32Setting(*values, L"AppliedTask", 3), 0);
}

TEST(InMemorySettings, KeysAreCaseSensitive) {
    const auto values = MakeInMemorySettings();
    values->Insert(L"appLanguage", Int32(1));
    EXPECT_TRUE(values->HasKey(L"appLanguage"));
    EXPECT_FALSE(values->HasKey(L"AppLanguage"));
    EXPECT_FALSE(values->HasKey(L"applanguage"));
}

// The pipeline records its result on a worker thread while the window reads on the UI thread;
// ThreadSanitizer (host-tsan) reports any unguarded access here.
TEST(InMemorySettings, WriterAndReaderThreadsSeeWholeValues) {
    const auto values = MakeInMemorySettings();
    constexpr std::int32_t kWrites = 5000;
    std::atomic<bool> done{false};

    std::thread writer([&] {
        for (std::int32_t i = 1; i <= kWrites; ++i) {
            values->Insert(L"AppliedTask", Int32(i % 3));
            values->Insert(L"AppliedTaskBuildStandard", Int32(i));
            values->Insert(L"skipVerion", String(std::wstring(static_cast<std::size_t>(i % 40), L'v')));
        }
        done = true;
    });

    std::int32_t lastBuild = 0;
    bool sawEveryValueWhole = true;
    while (!done) {
        const std::int32_t build = ReadInt32Setting(*values, L"AppliedTaskBuildStandard", 0);
        const std::int32_t profile = ReadInt32Setting(*values, L"AppliedTask", 3);
        const std::optional<SettingValue> version = values->Lookup(L"skipVerion");
        // Writes of one key arrive in order, and nothing but what was written can be read.
        sawEveryValueWhole = sawEveryValueWhole && build >= lastBuild && build <= kWrites;
        sawEveryValueWhole = sawEveryValueWhole && (profile == 3 || (profile >= 0 && profile <= 2));
        if (version) {
            const std::wstring text = UnboxString(*version);
            sawEveryValueWhole =
                sawEveryValueWhole && text.size() < 40 && text.find_first_not_of(L'v') == std::wstring::npos;
        }
        lastBuild = build;
    }
    writer.join();

    EXPECT_TRUE(sawEveryValueWhole);
    EXPECT_EQ(ReadInt32Setting(*values, L"AppliedTaskBuildStandard", 0), kWrites);
    EXPECT_EQ(ReadInt32Setting(*values, L"AppliedTask", 3), kWrites % 3);
}

} // namespace
