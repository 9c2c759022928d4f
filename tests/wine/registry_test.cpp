// The registry primitives beside what the whole runs check row by row: spellings, refusals, the
// default value, deletions, and one line of each family.

#include "common/diagnostics.h"
#include "support/registry_reads.h"
#include "system/registry.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace Velmora;
using ::testing::ElementsAre;

const std::wstring kBase = L"Software\\VelmoraTests\\Registry";

// The type and data of a value as the registry holds it; nullopt when it is absent.
std::optional<std::pair<DWORD, std::wstring>> Read(const std::wstring& key, const wchar_t* name) {
    DWORD type = REG_NONE;
    wchar_t data[64] = {};
    DWORD size = sizeof data;
    if (::RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_ANY, &type, data, &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    DWORD number = 0;
    std::memcpy(&number, data, sizeof number);
    return std::pair{type, type == REG_DWORD ? std::to_wstring(number) : std::wstring(data)};
}

bool KeyExists(const std::wstring& key) {
    return Testing::KeyExists(HKEY_CURRENT_USER, key);
}

class RegistryPrimitives : public ::testing::Test {
protected:
    void SetUp() override {
        TearDown();
        SetDiagnosticSink(lines);
    }
    void TearDown() override {
        SetDiagnosticSink(nullptr);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VelmoraTests");
    }
    std::shared_ptr<MemoryDiagnosticSink> lines = std::make_shared<MemoryDiagnosticSink>();
};

TEST_F(RegistryPrimitives, ValuesAreWrittenWhereTheSpecSaysOrNotAtAll) {
    EXPECT_TRUE(SetRegistryDword({1, kBase + L"\\NoColon", 5}));         // the value after the last backslash
    EXPECT_TRUE(SetRegistryDword({1, kBase + L"\\Drive:C:Value", 3}));   // the key keeps the first colon
    EXPECT_TRUE(SetRegistryString({1, kBase + L"\\Whole", L"default"})); // the key's default value
    EXPECT_EQ(Read(kBase, L"NoColon"), std::pair(DWORD{REG_DWORD}, std::wstring(L"5")));
    EXPECT_EQ(Read(kBase + L"\\Drive:C", L"Value"), std::pair(DWORD{REG_DWORD}, std::wstring(L"3")));
    EXPECT_EQ(Read(kBase + L"\\Whole", nullptr), std::pair(DWORD{REG_SZ}, std::wstring(L"default")));
    EXPECT_THAT(lines->Lines(),
                ElementsAre(L"Successfully set registry value: " + kBase + L"\\NoColon = 5",
                            L"Successfully set registry value: " + kBase + L"\\Drive:C\\Value = 3",
                            L"Successfully set default registry value: " + kBase + L"\\Whole = \"default\""));
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VelmoraTests");
    lines->Clear();
    EXPECT_FALSE(SetRegistryDword({1, kBase + L":", 1}));
    EXPECT_FALSE(SetRegistryDword({4, kBase + L":Value", 1}));
    EXPECT_FALSE(SetRegistryString({9, kBase + L":Name", L""}));
    EXPECT_FALSE(KeyExists(kBase));
    // A key path with a leading backslash is refused by the registry (ERROR_BAD_PATHNAME).
    EXPECT_FALSE(SetRegistryDword({1, L"\\" + kBase + L":Value", 1}));
    EXPECT_THAT(lines->Lines(), ElementsAre(L"Failed to open/create registry key: 161"));
}

TEST_F(RegistryPrimitives, DeletingValuesAndLeafKeysIsTrueWhenTheyAreGoneAndFalseUnderAMissingKey) {
    ASSERT_TRUE(SetRegistryDword({1, kBase + L":Present", 1}));
    ASSERT_TRUE(SetRegistryDword({1, kBase + L":Other", 1}));
    ASSERT_TRUE(SetRegistryString({1, kBase + L"\\Parent\\Child:", L""}));
    lines->Clear();
    EXPECT_TRUE(DeleteRegistryEntry({1, kBase + L":Present", 0}));
    EXPECT_TRUE(DeleteRegistryEntry({1, kBase + L":Present", 0}));
    EXPECT_FALSE(DeleteRegistryEntry({1, kBase + L"\\Missing:Present", 0}));
    EXPECT_FALSE(Read(kBase, L"Present"));
    EXPECT_TRUE(Read(kBase, L"Other")) << "only the named value goes";
    EXPECT_FALSE(DeleteRegistryEntry({1, kBase + L"\\Parent:", 0})) << "a key with subkeys stays";
    EXPECT_TRUE(DeleteRegistryEntry({1, kBase + L"\\Parent\\Child:", 0}));
    EXPECT_FALSE(KeyExists(kBase + L"\\Parent\\Child"));
    EXPECT_TRUE(KeyExists(kBase + L"\\Parent"));
    EXPECT_FALSE(DeleteRegistryTree({1, L"", 0}));
    EXPECT_FALSE(DeleteRegistryTree({9, kBase, 0}));
    EXPECT_TRUE(KeyExists(kBase));
    EXPECT_THAT(lines->Lines(),
                ElementsAre(L"Successfully deleted registry value: " + kBase + L":Present",
                            L"Registry value not found (already deleted): " + kBase + L":Present",
                            L"Failed to open registry key for deletion: " + kBase + L"\\Missing Error: 2",
                            L"Failed to delete registry key: " + kBase + L"\\Parent Error: 5",
                            L"Successfully deleted registry key: " + kBase + L"\\Parent\\Child"));
}

} // namespace

namespace {

// A plan reads hundreds of values with one opening of each key: the values it reads are still the
// registry's as they are at each read, in any spelling of the key's name, and a session's end leaves no
// key of it open (the next read opens its own).
TEST_F(RegistryPrimitives, AReadSessionOpensEachKeyOnceAndStillReadsEachValueAsItIsNow) {
    constexpr RegistryRoot kCurrentUser = 1;
    const std::wstring key = kBase + L"\\Session";
    ASSERT_EQ(WriteRegistryValue(kCurrentUser, key, L"A", REG_DWORD, {1, 0, 0, 0}), ERROR_SUCCESS);
    {
        const RegistryReadSession session;
        const RegistryReadSession inner; // nested: the outer one's keys
        EXPECT_EQ(ReadRegistryValue(kCurrentUser, key, L"A").data, (std::vector<std::uint8_t>{1, 0, 0, 0}));
        ASSERT_EQ(WriteRegistryValue(kCurrentUser, key, L"A", REG_DWORD, {2, 0, 0, 0}), ERROR_SUCCESS);
        EXPECT_EQ(ReadRegistryValue(kCurrentUser, key, L"A").data, (std::vector<std::uint8_t>{2, 0, 0, 0}));
        EXPECT_EQ(
            ReadRegistryValue(kCurrentUser, L"SOFTWARE\\velmoratests\\REGISTRY\\session", L"B").presence,
            Presence::Absent);
        EXPECT_EQ(ReadRegistryKey(kCurrentUser, key).values.size(), 1u);
        EXPECT_EQ(ReadRegistryKeyPresence(kCurrentUser, key + L"\\Missing"), Presence::Absent);
    }
    // Without the session's open key the tree can be deleted whole, and a key made now is found.
    EXPECT_EQ(::RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str()), ERROR_SUCCESS);
    EXPECT_EQ(ReadRegistryKeyPresence(kCurrentUser, key), Presence::Absent);
    ASSERT_EQ(CreateRegistryKey(kCurrentUser, key + L"\\Missing"), ERROR_SUCCESS);
    EXPECT_EQ(ReadRegistryKeyPresence(kCurrentUser, key + L"\\Missing"), Presence::Present);
}

} // namespace
