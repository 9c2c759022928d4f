#include "bench/fixtures_win32.h"

#include "common/com_values.h"
#include "common/win32_handles.h"
#include "system/scheduled_tasks.h"
#include "system/services.h"

#include <taskschd.h>

#include <algorithm>
#include <set>
#include <system_error>

namespace Velmora::Bench {
namespace {

// The apartment is declared first so that it is left only after the service is released.
struct Scheduler {
    ComApartment apartment;
    UniqueComPointer<ITaskService> service;
};

std::optional<Scheduler> ConnectScheduler() {
    Scheduler scheduler{InitializeComApartment(COINIT_MULTITHREADED), {}};
    if (FAILED(scheduler.apartment.result) && scheduler.apartment.result != RPC_E_CHANGED_MODE) {
        return std::nullopt;
    }
    if (FAILED(::CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                                  reinterpret_cast<void**>(scheduler.service.Put()))) ||
        !scheduler.service ||
        FAILED(scheduler.service->Connect(EmptyVariant(), EmptyVariant(), EmptyVariant(), EmptyVariant()))) {
        return std::nullopt;
    }
    return scheduler;
}

UniqueComPointer<ITaskFolder> GetFolder(ITaskService& service, const std::wstring& path) {
    UniqueComPointer<ITaskFolder> folder;
    const UniqueBstr name = MakeBstr(path);
    if (!name || FAILED(service.GetFolder(name.Get(), folder.Put()))) {
        folder.Reset();
    }
    return folder;
}

UniqueComPointer<IRegisteredTask> GetTask(ITaskService& service, const std::wstring& path) {
    const TaskLocation location = SplitTaskPath(path);
    UniqueComPointer<IRegisteredTask> task;
    const UniqueComPointer<ITaskFolder> folder = GetFolder(service, location.folder);
    const UniqueBstr name = MakeBstr(location.name);
    if (!folder || !name || FAILED(folder->GetTask(name.Get(), task.Put()))) {
        task.Reset();
    }
    return task;
}

// The folder and each missing folder above it, top down; appends the ones it created.
UniqueComPointer<ITaskFolder> EnsureFolder(ITaskService& service, const std::wstring& path,
                                           std::vector<std::wstring>& created) {
    if (auto folder = GetFolder(service, path)) {
        return folder;
    }
    std::wstring partial;
    std::size_t start = 1;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find(L'\\', start), path.size());
        partial += L"\\" + path.substr(start, end - start);
        start = end + 1;
        if (GetFolder(service, partial)) {
            continue;
        }
        const auto root = GetFolder(service, L"\\");
        const UniqueBstr name = MakeBstr(partial);
        const UniqueBstr sddl = MakeBstr(L"");
        UniqueComPointer<ITaskFolder> made;
        if (!root || !name || !sddl ||
            FAILED(root->CreateFolder(name.Get(), BstrVariant(sddl), made.Put()))) {
            return {};
        }
        created.push_back(partial);
    }
    return GetFolder(service, path);
}

constexpr wchar_t kTaskXml[] =
    L"<?xml version=\"1.0\"?>\n"
    L"<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\n"
    L"  <RegistrationInfo><Description>Velmora benchmark task</Description></RegistrationInfo>\n"
    L"  <Settings><Enabled>true</Enabled></Settings>\n"
    L"  <Actions><Exec><Command>cmd.exe</Command><Arguments>/c exit</Arguments></Exec></Actions>\n"
    L"</Task>\n";

} // namespace

double NowMs() {
    static const double ticksPerMs = [] {
        LARGE_INTEGER frequency{};
        ::QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER now{};
    ::QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / ticksPerMs;
}

std::string WineVersion() {
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    if (ntdll == nullptr) {
        return {};
    }
    using WineGetVersion = const char*(__cdecl*)();
    const auto get = reinterpret_cast<WineGetVersion>(
        reinterpret_cast<void*>(::GetProcAddress(ntdll, "wine_get_version")));
    return get != nullptr && get() != nullptr ? std::string(get()) : std::string();
}

std::wstring SystemFolderPath() {
    wchar_t buffer[MAX_PATH];
    const UINT length = ::GetSystemDirectoryW(buffer, MAX_PATH);
    return length == 0 || length >= MAX_PATH ? std::wstring() : std::wstring(buffer, length);
}

std::optional<std::uint32_t> RunToExit(const std::wstring& application, std::wstring commandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION created{};
    if (!::CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                          nullptr, nullptr, &startup, &created)) {
        return std::nullopt;
    }
    const UniqueKernelHandle process(created.hProcess);
    const UniqueKernelHandle thread(created.hThread);
    ::WaitForSingleObject(process.Get(), INFINITE);
    DWORD exitCode = 0;
    if (!::GetExitCodeProcess(process.Get(), &exitCode)) {
        return std::nullopt;
    }
    return exitCode;
}

std::optional<std::string> ReadWholeFile(const std::wstring& path) {
    const UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return std::nullopt;
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0 || size.QuadPart > 256 * 1024 * 1024) {
        return std::nullopt;
    }
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() &&
        (!::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
         read != bytes.size())) {
        return std::nullopt;
    }
    return bytes;
}

std::filesystem::path UserTempFolder() {
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, buffer);
    if (length == 0 || length > MAX_PATH) {
        return {};
    }
    return std::filesystem::path(std::wstring(buffer, length));
}

TempFiles::TempFiles(std::filesystem::path folder) : folder_(std::move(folder)) {}

TempFiles::~TempFiles() {
    RemoveAll();
}

bool TempFiles::IsOurs(const std::filesystem::path& name) const {
    const std::wstring text = name.wstring();
    return text.starts_with(kPrefix) && text.ends_with(kExtension);
}

std::size_t TempFiles::Create(std::size_t count, std::size_t bytes) {
    const std::string content(bytes, 'v');
    std::size_t created = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::filesystem::path path =
            folder_ / (std::wstring(kPrefix) + std::to_wstring(i) + std::wstring(kExtension));
        const UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                                  FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            continue;
        }
        DWORD written = 0;
        if (::WriteFile(file.Get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
            written == content.size()) {
            ++created;
        }
    }
    return created;
}

std::size_t TempFiles::Count() const {
    return Ours().size();
}

std::vector<std::filesystem::path> TempFiles::Ours() const {
    std::vector<std::filesystem::path> ours;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folder_, error), end; !error && entry != end;
         entry.increment(error)) {
        // Only plain files of ours: a folder or link that happens to carry the name is left alone.
        std::error_code statusError;
        if (IsOurs(entry->path().filename()) && entry->is_regular_file(statusError) &&
            !entry->is_symlink(statusError)) {
            ours.push_back(entry->path());
        }
    }
    return ours;
}

std::size_t TempFiles::RemoveAll() {
    std::size_t removed = 0;
    for (const auto& path : Ours()) {
        if (::DeleteFileW(path.c_str())) {
            ++removed;
        }
    }
    return removed;
}

TestServices::~TestServices() {
    RemoveAll();
}

bool ServiceExists(const std::wstring& name) {
    const UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    const UniqueServiceHandle service(
        manager ? ::OpenServiceW(manager.Get(), name.c_str(), SERVICE_QUERY_STATUS) : nullptr);
    return service.IsValid();
}

std::size_t TestServices::Create(const std::vector<std::wstring>& names) {
    const UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) {
        return 0;
    }
    std::size_t made = 0;
    for (const std::wstring& name : names) {
        // Never started: the program only needs to exist for the service manager.
        const UniqueServiceHandle service(::CreateServiceW(
            manager.Get(), name.c_str(), name.c_str(), SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
            SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, L"C:\\windows\\system32\\velmora-bench-service.exe",
            nullptr, nullptr, nullptr, nullptr, nullptr));
        if (service) {
            created_.push_back(name);
            ++made;
        }
    }
    return made;
}

void TestServices::RemoveAll() {
    if (created_.empty()) {
        return;
    }
    const UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    for (const std::wstring& name : created_) {
        const UniqueServiceHandle service(manager ? ::OpenServiceW(manager.Get(), name.c_str(), DELETE)
                                                  : nullptr);
        if (service) {
            static_cast<void>(::DeleteService(service.Get()));
        }
    }
    created_.clear();
}

std::vector<std::wstring> PickTestServiceNames(const std::vector<ServiceStartEntry>& table,
                                               std::size_t count) {
    std::vector<std::wstring> names;
    if (count == 0) {
        return names;
    }
    std::set<std::wstring> seen;
    for (const ServiceStartEntry& entry : table) {
        if (names.size() + 1 >= count) {
            break;
        }
        if (IsServiceKeyName(entry.name) && seen.insert(entry.name).second && !ServiceExists(entry.name)) {
            names.push_back(entry.name);
        }
    }
    names.push_back(std::wstring(kPerUserServiceBasePrefixes[2]) + L"5b3e1");
    return names;
}

TestTasks::~TestTasks() {
    RemoveAll();
}

std::size_t TestTasks::Register(const std::vector<std::wstring>& paths) {
    auto scheduler = ConnectScheduler();
    if (!scheduler) {
        return 0;
    }
    ITaskService& service = *scheduler->service.Get();
    const UniqueBstr xml = MakeBstr(kTaskXml);
    std::size_t made = 0;
    for (const std::wstring& path : paths) {
        if (GetTask(service, path)) {
            continue;
        }
        const TaskLocation location = SplitTaskPath(path);
        const auto folder = EnsureFolder(service, location.folder, createdFolders_);
        const UniqueBstr name = MakeBstr(location.name);
        UniqueComPointer<IRegisteredTask> task;
        if (folder && name && xml &&
            SUCCEEDED(folder->RegisterTask(name.Get(), xml.Get(), TASK_CREATE_OR_UPDATE, EmptyVariant(),
                                           EmptyVariant(), TASK_LOGON_NONE, EmptyVariant(), task.Put()))) {
            registered_.push_back(path);
            ++made;
        }
    }
    return made;
}

void TestTasks::RemoveAll() {
    if (registered_.empty() && createdFolders_.empty()) {
        return;
    }
    auto scheduler = ConnectScheduler();
    if (!scheduler) {
        return;
    }
    ITaskService& service = *scheduler->service.Get();
    for (const std::wstring& path : registered_) {
        const TaskLocation location = SplitTaskPath(path);
        const auto folder = GetFolder(service, location.folder);
        const UniqueBstr name = MakeBstr(location.name);
        if (folder && name) {
            static_cast<void>(folder->DeleteTask(name.Get(), 0));
        }
    }
    // Deepest folders first; a folder that still holds something stays.
    const auto root = GetFolder(service, L"\\");
    for (auto folder = createdFolders_.rbegin(); root && folder != createdFolders_.rend(); ++folder) {
        const UniqueBstr name = MakeBstr(*folder);
        if (name) {
            static_cast<void>(root->DeleteFolder(name.Get(), 0));
        }
    }
    registered_.clear();
    createdFolders_.clear();
}

std::optional<bool> TaskEnabledState(const std::wstring& path) {
    auto scheduler = ConnectScheduler();
    if (!scheduler) {
        return std::nullopt;
    }
    const auto task = GetTask(*scheduler->service.Get(), path);
    VARIANT_BOOL enabled = VARIANT_FALSE;
    if (!task || FAILED(task->get_Enabled(&enabled))) {
        return std::nullopt;
    }
    return enabled == VARIANT_TRUE;
}

} // namespace Velmora::Bench
