// velmora_setup_tool: system set-ups the end-to-end tests need and reg.exe or schtasks cannot make.
//   velmora_setup_tool make-volatile KEY            deletes HKLM\KEY and creates it again as a volatile
//                                                   key, so that no lasting key can be created below it
//   velmora_setup_tool delete-tree KEY              deletes HKLM\KEY with everything below it
//   velmora_setup_tool task-register FOLDER NAME    registers an enabled task (folder created as needed)
//   velmora_setup_tool task-state FOLDER NAME       prints "enabled", "disabled" or "missing"
//   velmora_setup_tool task-remove FOLDER NAME      deletes the task

#include "common/com_values.h"
#include "common/win32_handles.h"

#include <taskschd.h>

#include <cstdio>
#include <string>

namespace {

using namespace Velmora;

int RegistryCommand(const std::wstring& command, const std::wstring& key) {
    const LSTATUS deleted = ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, key.c_str());
    if (deleted != ERROR_SUCCESS && deleted != ERROR_FILE_NOT_FOUND) {
        std::fprintf(stderr, "delete failed: %ld\n", static_cast<long>(deleted));
        return 1;
    }
    ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str());
    if (command == L"delete-tree") {
        return 0;
    }
    UniqueRegistryKey created;
    const LSTATUS status = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                                             KEY_ALL_ACCESS, nullptr, created.Put(), nullptr);
    if (status != ERROR_SUCCESS) {
        std::fprintf(stderr, "create failed: %ld\n", static_cast<long>(status));
        return 1;
    }
    UniqueRegistryKey child;
    const LSTATUS probe = ::RegCreateKeyExW(created.Get(), L"Probe", 0, nullptr, REG_OPTION_NON_VOLATILE,
                                            KEY_ALL_ACCESS, nullptr, child.Put(), nullptr);
    std::printf("lasting child below the volatile key: %ld\n", static_cast<long>(probe));
    return probe == ERROR_CHILD_MUST_BE_VOLATILE ? 0 : 3;
}

int TaskCommand(const std::wstring& command, const std::wstring& folderPath, const std::wstring& name) {
    const ComApartment apartment = InitializeComApartment(COINIT_MULTITHREADED);
    UniqueComPointer<ITaskService> service;
    if (FAILED(::CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                                  reinterpret_cast<void**>(service.Put()))) ||
        FAILED(service->Connect(EmptyVariant(), EmptyVariant(), EmptyVariant(), EmptyVariant()))) {
        std::fprintf(stderr, "no task scheduler\n");
        return 1;
    }
    UniqueComPointer<ITaskFolder> folder;
    if (command == L"task-register") {
        if (FAILED(service->GetFolder(MakeBstr(folderPath).Get(), folder.Put()))) {
            UniqueComPointer<ITaskFolder> root;
            service->GetFolder(MakeBstr(L"\\").Get(), root.Put());
            const UniqueBstr sddl = MakeBstr(L"");
            if (!root ||
                FAILED(root->CreateFolder(MakeBstr(folderPath).Get(), BstrVariant(sddl), folder.Put()))) {
                std::fprintf(stderr, "cannot create the folder\n");
                return 1;
            }
        }
        const std::wstring xml = L"<?xml version=\"1.0\"?>\n<Task version=\"1.2\" "
                                 L"xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\n"
                                 L"  <Settings><Enabled>true</Enabled></Settings>\n"
                                 L"  <Actions><Exec><Command>cmd.exe</Command></Exec></Actions>\n</Task>\n";
        UniqueComPointer<IRegisteredTask> task;
        return SUCCEEDED(folder->RegisterTask(MakeBstr(name).Get(), MakeBstr(xml).Get(),
                                              TASK_CREATE_OR_UPDATE, EmptyVariant(), EmptyVariant(),
                                              TASK_LOGON_NONE, EmptyVariant(), task.Put()))
                   ? 0
                   : 1;
    }
    UniqueComPointer<IRegisteredTask> task;
    if (FAILED(service->GetFolder(MakeBstr(folderPath).Get(), folder.Put())) ||
        FAILED(folder->GetTask(MakeBstr(name).Get(), task.Put()))) {
        std::printf("missing\n");
        return command == L"task-remove" ? 0 : 1;
    }
    if (command == L"task-remove") {
        return SUCCEEDED(folder->DeleteTask(MakeBstr(name).Get(), 0)) ? 0 : 1;
    }
    UniqueComPointer<ITaskDefinition> definition;
    UniqueComPointer<ITaskSettings> settings;
    VARIANT_BOOL enabled = VARIANT_TRUE;
    if (FAILED(task->get_Definition(definition.Put())) || FAILED(definition->get_Settings(settings.Put())) ||
        FAILED(settings->get_Enabled(&enabled))) {
        return 1;
    }
    std::printf(enabled != VARIANT_FALSE ? "enabled\n" : "disabled\n");
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (argc == 3 && (command == L"make-volatile" || command == L"delete-tree")) {
        return RegistryCommand(command, argv[2]);
    }
    if (argc == 4 && command.rfind(L"task-", 0) == 0) {
        return TaskCommand(command, argv[2], argv[3]);
    }
    std::fprintf(stderr, "usage: see the head of velmora_setup_tool.cpp\n");
    return 2;
}
