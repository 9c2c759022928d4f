// A second process for the settings tests: proves that what one process stores, another reads.
//   velmora_settings_child write SUBKEY   stores the child settings under HKCU\SUBKEY
//   velmora_settings_child check SUBKEY   exits with 0 when HKCU\SUBKEY holds exactly them

#include "settings/local_settings.h"
#include "settings_child_values.h"

#include <cstdio>
#include <string_view>

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fputws(L"usage: velmora_settings_child write|check SUBKEY\n", stderr);
        return 2;
    }
    const std::wstring_view mode = argv[1];
    const auto settings = Velmora::MakeRegistrySettings(argv[2]);
    int mismatches = 0;
    for (const auto& [key, value] : VelmoraTests::ChildSettings()) {
        if (mode == L"write") {
            settings->Insert(key, value);
        } else if (!settings->HasKey(key) || settings->Lookup(key) != value) {
            std::fwprintf(stderr, L"%.*ls differs\n", static_cast<int>(key.size()), key.data());
            ++mismatches;
        }
    }
    return mismatches == 0 ? 0 : 1;
}
