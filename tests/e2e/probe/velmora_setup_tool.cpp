// velmora_setup_tool: the one system set-up the end-to-end tests need that reg.exe cannot make.
//   velmora_setup_tool make-volatile KEY   deletes HKLM\KEY and creates it again as a volatile key, so
//                                          that no lasting key can be created below it

#include "common/win32_handles.h"

#include <cstdio>
#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc != 3 || std::wstring(argv[1]) != L"make-volatile") {
        std::fprintf(stderr, "usage: velmora_setup_tool make-volatile KEY\n");
        return 2;
    }
    const LSTATUS deleted = ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, argv[2]);
    ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, argv[2]);
    Velmora::UniqueRegistryKey created;
    const LSTATUS status = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, argv[2], 0, nullptr, REG_OPTION_VOLATILE,
                                             KEY_ALL_ACCESS, nullptr, created.Put(), nullptr);
    Velmora::UniqueRegistryKey child;
    const LSTATUS probe = ::RegCreateKeyExW(created.Get(), L"Probe", 0, nullptr, REG_OPTION_NON_VOLATILE,
                                            KEY_ALL_ACCESS, nullptr, child.Put(), nullptr);
    std::printf("delete %ld, volatile key %ld, lasting child below it %ld\n", static_cast<long>(deleted),
                static_cast<long>(status), static_cast<long>(probe));
    return status == ERROR_SUCCESS && probe == ERROR_CHILD_MUST_BE_VOLATILE ? 0 : 1;
}
