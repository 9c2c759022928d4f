// velmora_setup_tool: the system set-ups the end-to-end tests need that reg.exe cannot make.
//   make-volatile KEY      deletes HKLM\KEY and creates it again as a volatile key, so that no lasting
//                          key can be created below it
//   make-hive FILE         saves an empty hive to FILE (a new user's NTUSER.DAT)
//   load-hive FILE NAME    loads FILE as HKEY_USERS\NAME and leaves it loaded, as Windows holds the
//                          hive of a user who is signed in
//   unload-hive NAME       unloads HKEY_USERS\NAME
//   hold FILE FLAG         opens FILE without sharing, creates FLAG and keeps FILE open until FLAG is
//                          deleted (a hive file another program has locked)

#include "common/win32_handles.h"

#include <cstdio>
#include <string>

namespace {

int MakeVolatile(const wchar_t* key) {
    const LSTATUS deleted = ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, key);
    ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, key);
    Velmora::UniqueRegistryKey created;
    const LSTATUS status = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, REG_OPTION_VOLATILE,
                                             KEY_ALL_ACCESS, nullptr, created.Put(), nullptr);
    Velmora::UniqueRegistryKey child;
    const LSTATUS probe = ::RegCreateKeyExW(created.Get(), L"Probe", 0, nullptr, REG_OPTION_NON_VOLATILE,
                                            KEY_ALL_ACCESS, nullptr, child.Put(), nullptr);
    std::printf("delete %ld, volatile key %ld, lasting child below it %ld\n", static_cast<long>(deleted),
                static_cast<long>(status), static_cast<long>(probe));
    return status == ERROR_SUCCESS && probe == ERROR_CHILD_MUST_BE_VOLATILE ? 0 : 1;
}

int MakeHive(const wchar_t* file) {
    constexpr wchar_t kEmpty[] = L"Software\\VelmoraEmptyHive";
    Velmora::UniqueRegistryKey key;
    LSTATUS status = ::RegCreateKeyExW(HKEY_CURRENT_USER, kEmpty, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                       key.Put(), nullptr);
    if (status == ERROR_SUCCESS) {
        const Velmora::EnabledPrivileges backup{SE_BACKUP_NAME};
        ::DeleteFileW(file);
        status = ::RegSaveKeyW(key.Get(), file, nullptr);
    }
    key.Reset();
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kEmpty);
    ::RegDeleteKeyW(HKEY_CURRENT_USER, kEmpty);
    std::printf("make-hive %ld\n", static_cast<long>(status));
    return status == ERROR_SUCCESS ? 0 : 1;
}

int Hive(bool load, const wchar_t* name, const wchar_t* file) {
    const Velmora::EnabledPrivileges privileges{SE_BACKUP_NAME, SE_RESTORE_NAME};
    const LSTATUS status = load ? ::RegLoadKeyW(HKEY_USERS, name, file) : ::RegUnLoadKeyW(HKEY_USERS, name);
    std::printf("%s %ld\n", load ? "load-hive" : "unload-hive", static_cast<long>(status));
    return status == ERROR_SUCCESS ? 0 : 1;
}

int Hold(const wchar_t* file, const wchar_t* flag) {
    const Velmora::UniqueFileHandle held(
        ::CreateFileW(file, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!held) {
        std::printf("hold %lu\n", ::GetLastError());
        return 1;
    }
    {
        const Velmora::UniqueFileHandle created(
            ::CreateFileW(flag, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    }
    while (::GetFileAttributesW(flag) != INVALID_FILE_ATTRIBUTES) {
        ::Sleep(100);
    }
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (argc == 3 && command == L"make-volatile") {
        return MakeVolatile(argv[2]);
    }
    if (argc == 3 && command == L"make-hive") {
        return MakeHive(argv[2]);
    }
    if (argc == 4 && command == L"load-hive") {
        return Hive(true, argv[3], argv[2]);
    }
    if (argc == 3 && command == L"unload-hive") {
        return Hive(false, argv[2], nullptr);
    }
    if (argc == 4 && command == L"hold") {
        return Hold(argv[2], argv[3]);
    }
    std::fprintf(stderr,
                 "usage: velmora_setup_tool make-volatile KEY | make-hive FILE | load-hive FILE NAME |"
                 " unload-hive NAME | hold FILE FLAG\n");
    return 2;
}
