// The registry primitives against Wine's real registry, with the lines they compose.

#include "common/diagnostics.h"
#include "common/win32_handles.h"
#include "system/registry.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

using namespace Velmora;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr wchar_t kBase[] = L"Software\\VelmoraTests\\Registry";

std::optional<DWORD> ReadDword(HKEY root, const std::wstring& key, const wchar_t* value) {
    DWORD data = 0;
    DWORD size = sizeof data;
    if (::RegGetValueW(root, key.c_str(), value, RRF_RT_REG_DWORD, nullptr, &data, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return data;
}

bool KeyExists(HKEY root, const std::wstring& key) {
    UniqueRegistryKey handle;
    return ::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, handle.Put()) == ERROR_SUCCESS;
}

class RegistryPrimitives : public ::testing::Test {
protected:
    void SetUp() override {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VelmoraTests");
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\VelmoraTests");
        SetDiagnosticSink(lines);
    }
    void TearDown() override {
        SetDiagnosticSink(nullptr);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VelmoraTests");
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\VelmoraTests");
    }
    std::shared_ptr<MemoryDiagnosticSink> lines = std::make_shared<MemoryDiagnosticSink>();
    const std::wstring base = kBase;
};

TEST_F(RegistryPrimitives, DwordCreatesTheMissingKeyPathAndWritesARegDword) {
    const std::wstring key = L"SOFTWARE\\VelmoraTests\\Policies\\Microsoft\\Edge";
    EXPECT_TRUE(SetRegistryDword({2, key + L":HideFirstRunExperience", 1}));
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof data;
    ASSERT_EQ(::RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"HideFirstRunExperience", RRF_RT_ANY, &type,
                             &data, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(data, 1u);
    EXPECT_THAT(lines->Lines(),
                ElementsAre(L"Successfully set registry value: " + key + L"\\HideFirstRunExperience = 1"));
}

TEST_F(RegistryPrimitives, DwordOverwritesAndPrintsDataUnsigned) {
    EXPECT_TRUE(SetRegistryDword({1, base + L":Throttle", 7}));
    EXPECT_TRUE(SetRegistryDword({1, base + L":Throttle", 4294967295u}));
    EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, base, L"Throttle"), 4294967295u);
    EXPECT_EQ(lines->Lines().back(),
              L"Successfully set registry value: " + base + L"\\Throttle = 4294967295");
}

TEST_F(RegistryPrimitives, DwordWithoutColonUsesTheLastBackslash) {
    EXPECT_TRUE(SetRegistryDword({1, base + L"\\NoColon", 5}));
    EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, base, L"NoColon"), 5u);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, base + L"\\NoColon"));
}

TEST_F(RegistryPrimitives, DwordRefusesTrailingColonAndInvalidRootWithoutTouchingTheRegistry) {
    EXPECT_FALSE(SetRegistryDword({1, base + L":", 1}));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, base));
    EXPECT_FALSE(SetRegistryDword({4, base + L":Value", 1}));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, base));
    EXPECT_THAT(lines->Lines(), IsEmpty());
}

TEST_F(RegistryPrimitives, TwoColonsSplitAtTheSecondSoTheKeyKeepsTheFirst) {
    EXPECT_TRUE(SetRegistryDword({1, base + L"\\Drive:C:Value", 3}));
    EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, base + L"\\Drive:C", L"Value"), 3u);
}

TEST_F(RegistryPrimitives, DwordUnderAKeyThatCannotBeCreatedFailsWithTheOpenCreateLine) {
    // A key path with a leading backslash is refused by the registry (ERROR_BAD_PATHNAME).
    EXPECT_FALSE(SetRegistryDword({1, L"\\" + base + L":Value", 1}));
    EXPECT_THAT(lines->Lines(), ElementsAre(L"Failed to open/create registry key: 161"));
}

TEST_F(RegistryPrimitives, StringWritesTheDefaultValueAsAnEmptyRegSz) {
    const std::wstring key = base + L"\\CLSID\\{86ca1aa0-34aa-4e8b-a509-50c905bae2a2}\\InprocServer32";
    EXPECT_TRUE(SetRegistryString({1, key + L":", L""}));
    DWORD type = 0;
    DWORD size = 0;
    UniqueRegistryKey handle;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, handle.Put()), ERROR_SUCCESS);
    ASSERT_EQ(::RegQueryValueExW(handle.Get(), nullptr, nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, 2u);
    EXPECT_THAT(lines->Lines(), ElementsAre(L"Successfully set default registry value: " + key + L" = \"\""));
}

TEST_F(RegistryPrimitives, StringWritesANamedValueAndTheKeyFormWithoutColon) {
    EXPECT_TRUE(SetRegistryString({1, base + L":Name", L"Velmora"}));
    EXPECT_TRUE(SetRegistryString({1, base + L"\\Whole", L"default"}));
    wchar_t text[32] = {};
    DWORD size = sizeof text;
    ASSERT_EQ(::RegGetValueW(HKEY_CURRENT_USER, base.c_str(), L"Name", RRF_RT_REG_SZ, nullptr, text, &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(text, L"Velmora");
    size = sizeof text;
    ASSERT_EQ(::RegGetValueW(HKEY_CURRENT_USER, (base + L"\\Whole").c_str(), nullptr, RRF_RT_REG_SZ, nullptr,
                             text, &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(text, L"default");
    EXPECT_EQ(lines->Lines().front(), L"Successfully set registry string: " + base + L"\\Name = \"Velmora\"");
}

TEST_F(RegistryPrimitives, DeletingValuesAbsentUnderAnExistingKeyIsTrueUnderAMissingKeyFalse) {
    ASSERT_TRUE(SetRegistryDword({1, base + L":Present", 1}));
    lines->Clear();
    EXPECT_TRUE(DeleteRegistryEntry({1, base + L":Present", 0}));
    EXPECT_FALSE(ReadDword(HKEY_CURRENT_USER, base, L"Present").has_value());
    EXPECT_TRUE(DeleteRegistryEntry({1, base + L":Present", 0}));
    EXPECT_FALSE(DeleteRegistryEntry({1, base + L"\\Missing:Present", 0}));
    EXPECT_THAT(lines->Lines(),
                ElementsAre(L"Successfully deleted registry value: " + base + L":Present",
                            L"Registry value not found (already deleted): " + base + L":Present",
                            L"Failed to open registry key for deletion: " + base + L"\\Missing Error: 2"));
}

TEST_F(RegistryPrimitives, DeletingAKeyFormSpecRemovesOnlyALeafKey) {
    ASSERT_TRUE(SetRegistryString({1, base + L"\\Parent\\Child:", L""}));
    EXPECT_FALSE(DeleteRegistryEntry({1, base + L"\\Parent:", 0})) << "a key with subkeys stays";
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, base + L"\\Parent\\Child"));
    EXPECT_TRUE(DeleteRegistryEntry({1, base + L"\\Parent\\Child:", 0}));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, base + L"\\Parent\\Child"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, base + L"\\Parent"));
    EXPECT_EQ(lines->Lines().back(), L"Successfully deleted registry key: " + base + L"\\Parent\\Child");
}

TEST_F(RegistryPrimitives, DeletingATreeTwiceSucceedsBothTimes) {
    const std::wstring tree = base + L"\\CloudStore\\Store\\Cache\\DefaultAccount";
    ASSERT_TRUE(SetRegistryDword({1, tree + L"\\Deep\\Deeper:Value", 1}));
    ASSERT_TRUE(SetRegistryDword({1, tree + L":Value", 1}));
    lines->Clear();
    EXPECT_TRUE(DeleteRegistryTree({1, tree, 0}));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, tree));
    EXPECT_TRUE(DeleteRegistryTree({1, tree, 0}));
    EXPECT_FALSE(DeleteRegistryTree({1, L"", 0}));
    EXPECT_FALSE(DeleteRegistryTree({9, tree, 0}));
    EXPECT_THAT(lines->Lines(), ElementsAre(L"Successfully deleted key and all subkeys/values: " + tree,
                                            L"Key not found (nothing deleted): " + tree));
}

} // namespace
