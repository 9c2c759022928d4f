// velmora_setup_tool: the system set-ups the end-to-end tests need that reg.exe cannot make.
//   velmora_setup_tool make-volatile KEY   deletes HKLM\KEY and creates it again as a volatile key, so
//                                          that no lasting key can be created below it
//   velmora_setup_tool load-hive FILE NAME, unload-hive NAME   below HKEY_USERS; a hive stays loaded after
//                                          this program ends, as Windows holds a signed-in user's
//   velmora_setup_tool hold FILE FLAG      keeps FILE open without sharing while FLAG exists (a locked hive)
//   velmora_setup_tool make-folder PATH SDDL   a folder made with that owner and access list
//   velmora_setup_tool folder-security PATH    prints its owner and access list as SDDL

#include "common/win32_handles.h"

#include <aclapi.h>

#include <sddl.h>

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
    if (command == L"make-folder" && argc == 4) {
        PSECURITY_DESCRIPTOR raw = nullptr;
        ::ConvertStringSecurityDescriptorToSecurityDescriptorW(argv[3], SDDL_REVISION_1, &raw, nullptr);
        const Velmora::UniqueLocalMemory descriptor(raw);
        SECURITY_ATTRIBUTES attributes{sizeof attributes, raw, FALSE};
        return raw != nullptr && ::CreateDirectoryW(argv[2], &attributes) ? 0 : 1;
    }
    if (command == L"folder-security") {
        const Velmora::UniqueKernelHandle folder(::CreateFileW(
            argv[2], READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        PSECURITY_DESCRIPTOR raw = nullptr;
        wchar_t* text = nullptr;
        if (!folder ||
            ::GetSecurityInfo(folder.Get(), SE_FILE_OBJECT,
                              OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr, nullptr,
                              nullptr, nullptr, &raw) != ERROR_SUCCESS ||
            !::ConvertSecurityDescriptorToStringSecurityDescriptorW(
                raw, SDDL_REVISION_1, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &text,
                nullptr)) {
            return 1;
        }
        const Velmora::UniqueLocalMemory descriptor(raw);
        const Velmora::UniqueLocalMemory owned(text);
        std::printf("%ls\n", text);
        return 0;
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
