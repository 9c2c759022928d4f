// velmora_regtool: registry set-ups the end-to-end tests need and reg.exe cannot make.
//   velmora_regtool make-volatile KEY   deletes HKLM\KEY and creates it again as a volatile key,
//                                       so that no lasting key can be created below it
//   velmora_regtool delete-tree KEY     deletes HKLM\KEY with everything below it

#include "common/win32_handles.h"

#include <cstdio>
#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: velmora_regtool make-volatile|delete-tree KEY\n");
        return 2;
    }
    const std::wstring command = argv[1];
    const std::wstring key = argv[2];
    const LSTATUS deleted = ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, key.c_str());
    if (deleted != ERROR_SUCCESS && deleted != ERROR_FILE_NOT_FOUND) {
        std::fprintf(stderr, "delete failed: %ld\n", static_cast<long>(deleted));
        return 1;
    }
    ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str());
    if (command == L"delete-tree") {
        return 0;
    }
    Velmora::UniqueRegistryKey created;
    const LSTATUS status = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                                             KEY_ALL_ACCESS, nullptr, created.Put(), nullptr);
    if (status != ERROR_SUCCESS) {
        std::fprintf(stderr, "create failed: %ld\n", static_cast<long>(status));
        return 1;
    }
    Velmora::UniqueRegistryKey child;
    const LSTATUS probe = ::RegCreateKeyExW(created.Get(), L"Probe", 0, nullptr, REG_OPTION_NON_VOLATILE,
                                            KEY_ALL_ACCESS, nullptr, child.Put(), nullptr);
    std::printf("lasting child below the volatile key: %ld\n", static_cast<long>(probe));
    return probe == ERROR_CHILD_MUST_BE_VOLATILE ? 0 : 3;
}
