// velmora_setup_tool: the system set-ups the end-to-end tests need that reg.exe cannot make.
//   velmora_setup_tool make-volatile KEY   deletes HKLM\KEY and creates it again as a volatile key, so
//                                          that no lasting key can be created below it
//   velmora_setup_tool load-hive FILE NAME, unload-hive NAME   below HKEY_USERS; a hive stays loaded after
//                                          this program ends, as Windows holds a signed-in user's
//   velmora_setup_tool hold FILE FLAG      keeps FILE open without sharing while FLAG exists (a locked hive)

#include "common/win32_handles.h"

#include <cstdio>
#include <string>

int wmain(int argc, wchar_t** argv) {
    const std::wstring command = argc > 2 ? argv[1] : L"";
    if (command == L"load-hive" || command == L"unload-hive") {
        const Velmora::EnabledPrivileges privileges{SE_BACKUP_NAME, SE_RESTORE_NAME};
        return (argc == 4 ? ::RegLoadKeyW(HKEY_USERS, argv[3], argv[2])
                          : ::RegUnLoadKeyW(HKEY_USERS, argv[2]));
    }
    if (command == L"hold" && argc == 4) {
        const Velmora::UniqueFileHandle held(
            ::CreateFileW(argv[2], GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        static_cast<void>(Velmora::UniqueFileHandle(
            ::CreateFileW(argv[3], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr)));
        while (held && ::GetFileAttributesW(argv[3]) != INVALID_FILE_ATTRIBUTES) {
            ::Sleep(100);
        }
        return held ? 0 : 1;
    }
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
