#include "system/registry_spec.h"

#include <gtest/gtest.h>

namespace {

using Velmora::RegistryTarget;
using Velmora::SplitSpecForDelete;
using Velmora::SplitSpecForDword;
using Velmora::SplitSpecForString;

TEST(RegistrySpecSplitting, DwordSplitsAtTheLastColonAndKeepsBlanksAndBackslashes) {
    EXPECT_EQ(SplitSpecForDword(L"SOFTWARE\\Policies\\Microsoft\\Edge:HideFirstRunExperience"),
              (RegistryTarget{L"SOFTWARE\\Policies\\Microsoft\\Edge", L"HideFirstRunExperience"}));
    EXPECT_EQ(SplitSpecForDword(L"Software\\Autodesk\\MC3 :ADAOptIn"),
              (RegistryTarget{L"Software\\Autodesk\\MC3 ", L"ADAOptIn"}));
    EXPECT_EQ(SplitSpecForDword(L"\\Control Panel\\Keyboard:InitialKeyboardIndicators"),
              (RegistryTarget{L"\\Control Panel\\Keyboard", L"InitialKeyboardIndicators"}));
    EXPECT_EQ(SplitSpecForDword(L"A:B\\C:Value"), (RegistryTarget{L"A:B\\C", L"Value"}));
}

TEST(RegistrySpecSplitting, DwordWithoutColonSplitsAtTheLastBackslash) {
    EXPECT_EQ(SplitSpecForDword(L"Software\\Velmora\\Value"),
              (RegistryTarget{L"Software\\Velmora", L"Value"}));
    EXPECT_EQ(SplitSpecForDword(L"NoSeparatorAtAll"), std::nullopt);
    EXPECT_EQ(SplitSpecForDword(L"Software\\Velmora\\"), std::nullopt) << "empty value name";
    EXPECT_EQ(SplitSpecForDword(L"\\Value"), std::nullopt) << "empty key path";
}

TEST(RegistrySpecSplitting, DwordNeverAddressesADefaultValueOrAnEmptyKey) {
    EXPECT_EQ(SplitSpecForDword(L"Software\\Velmora:"), std::nullopt);
    EXPECT_EQ(SplitSpecForDword(L":Value"), std::nullopt);
    EXPECT_EQ(SplitSpecForDword(L""), std::nullopt);
}

TEST(RegistrySpecSplitting, StringAddressesTheDefaultValueWhenNoValueIsNamed) {
    EXPECT_EQ(SplitSpecForString(
                  L"SOFTWARE\\CLASSES\\CLSID\\{86ca1aa0-34aa-4e8b-a509-50c905bae2a2}\\InprocServer32:"),
              (RegistryTarget{
                  L"SOFTWARE\\CLASSES\\CLSID\\{86ca1aa0-34aa-4e8b-a509-50c905bae2a2}\\InprocServer32", L""}));
    EXPECT_EQ(SplitSpecForString(L"Software\\Velmora"), (RegistryTarget{L"Software\\Velmora", L""}));
    EXPECT_EQ(SplitSpecForString(L"Software\\Velmora:Name"), (RegistryTarget{L"Software\\Velmora", L"Name"}));
    EXPECT_EQ(SplitSpecForString(L":Name"), std::nullopt);
    EXPECT_EQ(SplitSpecForString(L""), std::nullopt);
}

TEST(RegistrySpecSplitting, DeleteNamesAValueOrTheKeyItself) {
    EXPECT_EQ(SplitSpecForDelete(L"Software\\Velmora:Name"), (RegistryTarget{L"Software\\Velmora", L"Name"}));
    EXPECT_EQ(SplitSpecForDelete(L"Software\\Velmora:"), (RegistryTarget{L"Software\\Velmora", L""}));
    EXPECT_EQ(SplitSpecForDelete(L"Software\\Velmora\\Key"),
              (RegistryTarget{L"Software\\Velmora\\Key", L""}));
    EXPECT_EQ(SplitSpecForDelete(L":"), std::nullopt);
}

} // namespace
