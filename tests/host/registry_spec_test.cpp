#include "system/registry_spec.h"

#include <gtest/gtest.h>

namespace {

using namespace Velmora;

using Target = std::optional<RegistryTarget>;

// How a spec splits into key path and value name; nullopt where it must not reach the registry. A
// string write and a deletion split alike: no colon names the key itself (its default value).
TEST(RegistrySpecSplitting, EachUseSplitsAtTheLastColonOrRefuses) {
    const struct {
        std::wstring spec;
        Target dword, keyed;
    } cases[] = {
        {L"SOFTWARE\\Edge:HideFirstRun", RegistryTarget{L"SOFTWARE\\Edge", L"HideFirstRun"},
         RegistryTarget{L"SOFTWARE\\Edge", L"HideFirstRun"}},
        {L"Software\\MC3 :ADAOptIn", RegistryTarget{L"Software\\MC3 ", L"ADAOptIn"},
         RegistryTarget{L"Software\\MC3 ", L"ADAOptIn"}},
        {L"\\Control Panel\\Keyboard:Indicators", RegistryTarget{L"\\Control Panel\\Keyboard", L"Indicators"},
         RegistryTarget{L"\\Control Panel\\Keyboard", L"Indicators"}},
        {L"A:B\\C:Value", RegistryTarget{L"A:B\\C", L"Value"}, RegistryTarget{L"A:B\\C", L"Value"}},
        // Without a colon a DWORD names its value after the last backslash.
        {L"Software\\Velmora\\Value", RegistryTarget{L"Software\\Velmora", L"Value"},
         RegistryTarget{L"Software\\Velmora\\Value", L""}},
        {L"Software\\Velmora:", std::nullopt, RegistryTarget{L"Software\\Velmora", L""}},
        {L"Software\\Velmora\\", std::nullopt, RegistryTarget{L"Software\\Velmora\\", L""}},
        {L"\\Value", std::nullopt, RegistryTarget{L"\\Value", L""}},
        {L"NoSeparatorAtAll", std::nullopt, RegistryTarget{L"NoSeparatorAtAll", L""}},
        {L":Value", std::nullopt, std::nullopt},
        {L"", std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        const std::string spec(c.spec.begin(), c.spec.end());
        EXPECT_EQ(SplitSpecForDword(c.spec), c.dword) << spec;
        EXPECT_EQ(SplitSpecForString(c.spec), c.keyed) << spec;
        EXPECT_EQ(SplitSpecForDelete(c.spec), c.keyed) << spec;
    }
}

} // namespace
