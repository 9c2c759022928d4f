// Each reg.exe run the benchmark times writes what the primitive writes; Velmora.exe is one file.

#include "bench/bench_logic.h"
#include "bench/bench_parts_win32.h"
#include "bench/fixtures_win32.h"
#include "system/registry.h"
#include "system/registry_spec.h"

#include <gtest/gtest.h>

namespace {

using namespace Velmora;
using namespace Velmora::Bench;

TEST(BenchRegExe, EachCommandLineWritesTheDwordTheRegistryPrimitiveWritesForTheRow) {
    const RegistryDwordSetting rows[] = {
        {1, L"Software\\VelmoraBenchTest\\Key With Spaces\\{86ca1aa0}:Value Name", 4294967295u},
        {1, L"Software\\VelmoraBenchTest\\No Colon\\Named After The Last Backslash", 7},
        {2, L"SOFTWARE\\VelmoraBenchTest\\C:D:Name", 2},
    };
    for (const RegistryDwordSetting& row : rows) {
        const auto target = SplitSpecForDword(row.spec).value();
        const auto read = [&] {
            DWORD data = 0;
            DWORD size = sizeof data;
            ::RegGetValueW(RegistryRootKey(row.root), target.keyPath.c_str(), target.valueName.c_str(),
                           RRF_RT_REG_DWORD, nullptr, &data, &size);
            return data;
        };
        ASSERT_TRUE(SetRegistryDword({row.root, row.spec, row.data ^ 1u}));
        EXPECT_EQ(RunToExit(SystemFolderPath() + L"\\reg.exe", BuildRegAddCommandLine(row).value()), 0u);
        EXPECT_EQ(read(), row.data) << "reg.exe wrote over the value the primitive wrote";
    }
    EXPECT_EQ(BuildRegAddCommandLine({2, L"SOFTWARE\\A:", 1}), std::nullopt) << "what the primitive refuses";
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VelmoraBenchTest");
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\VelmoraBenchTest");
}

TEST(BenchImports, VelmoraNeedsNoLibraryBesideIt) {
    EXPECT_EQ(NonSystemImports(ExecutableFolder() + L"\\Velmora.exe"), std::vector<std::string>{});
    EXPECT_EQ(NonSystemImports(ExecutableFolder() + L"\\no-such-program.exe"), std::nullopt);
}

} // namespace
