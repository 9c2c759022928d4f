#include "system/scheduled_tasks.h"

#include "common/com_result.h"
#include "common/com_values.h"
#include "common/diagnostics.h"
#include "common/win32_handles.h"
#include "system/packages.h"

#include <taskschd.h>

#include <map>
#include <new>

namespace Velmora {
namespace {

VARIANT IndexVariant(std::int32_t index) {
    VARIANT variant;
    ::VariantInit(&variant);
    variant.vt = VT_I4;
    variant.lVal = index;
    return variant;
}

// A missing folder or task is reported with a "not found" HRESULT of the file system family.
bool IsNotFound(HRESULT hr) {
    return hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) || hr == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
}

// A call that reports success must also hand out its object; a null one counts as a failure.
template <typename Interface>
HRESULT Checked(HRESULT hr, const UniqueComPointer<Interface>& object) {
    return SUCCEEDED(hr) && !object ? E_POINTER : hr;
}

// The apartment is declared first so that it is left only after the service is released.
struct TaskSchedulerConnection {
    ComApartment apartment;
    UniqueComPointer<ITaskService> service;
};

// COM for this thread, a Task Scheduler service object, and its connection to the local machine.
std::optional<TaskSchedulerConnection> ConnectTaskScheduler() {
    TaskSchedulerConnection connection{InitializeComApartment(COINIT_MULTITHREADED), {}};
    // Another apartment on this thread is used as it is, and not left afterwards.
    if (FAILED(connection.apartment.result) && connection.apartment.result != RPC_E_CHANGED_MODE) {
        Diagnose(L"Failed to initialize COM: " + HresultText(connection.apartment.result));
        return std::nullopt;
    }
    const HRESULT created =
        ::CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                           reinterpret_cast<void**>(connection.service.Put()));
    if (ReportedFailure(Checked(created, connection.service), L"Failed to create TaskService instance: ")) {
        return std::nullopt;
    }
    // Empty arguments: the local machine and the current user.
    if (ReportedFailure(
            connection.service->Connect(EmptyVariant(), EmptyVariant(), EmptyVariant(), EmptyVariant()),
            L"Failed to connect to Task Scheduler: ")) {
        return std::nullopt;
    }
    return connection;
}

} // namespace

struct TaskReadSession::Connection {
    std::optional<TaskSchedulerConnection> held;
    // Each folder is looked up once: the tasks of a plan share a few folders, and under a missing
    // folder every task is missing. A null pointer is a folder found missing. Declared after the
    // connection, so released before it.
    std::map<std::wstring, UniqueComPointer<ITaskFolder>> folders; // by lower-cased path
};

namespace {

thread_local TaskReadSession::Connection* t_taskSession = nullptr;

// The connection of the session on this thread, or a new one of the caller's own.
ITaskService* ReadingService(std::optional<TaskSchedulerConnection>& own) {
    if (t_taskSession != nullptr && t_taskSession->held) {
        return t_taskSession->held->service.Get();
    }
    own = ConnectTaskScheduler();
    return own ? own->service.Get() : nullptr;
}

class ComTaskCollection final : public TaskCollectionView {
public:
    explicit ComTaskCollection(UniqueComPointer<IRegisteredTaskCollection> collection)
        : collection_(std::move(collection)) {}

    std::int32_t Count() override {
        LONG count = 0;
        return SUCCEEDED(collection_->get_Count(&count)) ? count : 0;
    }

    std::optional<std::wstring> TaskName(std::int32_t index) override {
        UniqueComPointer<IRegisteredTask> task;
        if (FAILED(collection_->get_Item(IndexVariant(index), task.Put())) || !task) {
            return std::nullopt;
        }
        UniqueBstr name;
        if (FAILED(task->get_Name(name.Put())) || !name) {
            return std::nullopt;
        }
        return std::wstring(name.Get());
    }

private:
    UniqueComPointer<IRegisteredTaskCollection> collection_;
};

class ComTaskFolder final : public TaskFolderView {
public:
    explicit ComTaskFolder(UniqueComPointer<ITaskFolder> folder) : folder_(std::move(folder)) {}

    std::optional<std::wstring> Name() override {
        UniqueBstr name;
        if (FAILED(folder_->get_Name(name.Put())) || !name) {
            return std::nullopt;
        }
        return std::wstring(name.Get());
    }

    std::unique_ptr<TaskCollectionView> Tasks(std::int32_t flags) override {
        UniqueComPointer<IRegisteredTaskCollection> tasks;
        if (FAILED(folder_->GetTasks(flags, tasks.Put())) || !tasks) {
            return nullptr;
        }
        return std::make_unique<ComTaskCollection>(std::move(tasks));
    }

    std::unique_ptr<TaskFolderCollectionView> Subfolders() override;

private:
    UniqueComPointer<ITaskFolder> folder_;
};

class ComTaskFolderCollection final : public TaskFolderCollectionView {
public:
    explicit ComTaskFolderCollection(UniqueComPointer<ITaskFolderCollection> collection)
        : collection_(std::move(collection)) {}

    std::int32_t Count() override {
        LONG count = 0;
        return SUCCEEDED(collection_->get_Count(&count)) ? count : 0;
    }

    std::unique_ptr<TaskFolderView> Folder(std::int32_t index) override {
        UniqueComPointer<ITaskFolder> folder;
        if (FAILED(collection_->get_Item(IndexVariant(index), folder.Put())) || !folder) {
            return nullptr;
        }
        return std::make_unique<ComTaskFolder>(std::move(folder));
    }

private:
    UniqueComPointer<ITaskFolderCollection> collection_;
};

std::unique_ptr<TaskFolderCollectionView> ComTaskFolder::Subfolders() {
    UniqueComPointer<ITaskFolderCollection> folders;
    if (FAILED(folder_->GetFolders(0, folders.Put())) || !folders) {
        return nullptr;
    }
    return std::make_unique<ComTaskFolderCollection>(std::move(folders));
}

// Sets the task's Enabled setting and registers its definition again under its own name, so it stays
// in place. Every failure composes its line and returns its HRESULT.
HRESULT ChangeTaskEnabled(const std::wstring& taskPath, bool enabled) {
    auto connection = ConnectTaskScheduler();
    if (!connection) {
        return E_FAIL;
    }
    const TaskLocation location = SplitTaskPath(taskPath);
    // Declared in the order obtained, so they are released in reverse before the service.
    UniqueComPointer<ITaskFolder> folder;
    UniqueComPointer<IRegisteredTask> task;
    UniqueComPointer<ITaskDefinition> definition;
    UniqueComPointer<ITaskSettings> settings;

    // Keeps the HRESULT of the call that failed, for the caller.
    HRESULT hr = S_OK;
    const auto failed = [&hr](HRESULT result, std::wstring_view line) {
        hr = result;
        return ReportedFailure(result, line);
    };
    const UniqueBstr name = MakeBstr(location.name);
    if (failed(Checked(connection->service->GetFolder(MakeBstr(location.folder).Get(), folder.Put()), folder),
               L"Failed to open folder '" + location.folder + L"': ") ||
        failed(Checked(folder->GetTask(name.Get(), task.Put()), task),
               L"Failed to find task '" + location.name + L"': ") ||
        failed(Checked(task->get_Definition(definition.Put()), definition),
               L"Failed to get task definition: ") ||
        failed(Checked(definition->get_Settings(settings.Put()), settings),
               L"Failed to get task settings: ") ||
        failed(settings->put_Enabled(enabled ? VARIANT_TRUE : VARIANT_FALSE),
               L"Failed to set enabled state: ")) {
        return hr;
    }
    // Registered again under the task's own name in its own folder, so it stays in place.
    const UniqueBstr emptySddl = MakeBstr(std::wstring());
    UniqueComPointer<IRegisteredTask> updated;
    const HRESULT registered = folder->RegisterTaskDefinition(name.Get(), definition.Get(), TASK_UPDATE,
                                                              EmptyVariant(), EmptyVariant(), TASK_LOGON_NONE,
                                                              BstrVariant(emptySddl), updated.Put());
    updated.Reset();
    if (ReportedFailure(registered, L"Failed to update task: ")) {
        return registered;
    }
    Diagnose(L"Task '" + taskPath + L"' has been " + (enabled ? L"enabled" : L"disabled") +
             L" successfully.");
    return S_OK;
}

} // namespace

bool DisableScheduledTask(const std::wstring& taskPath) {
    return SUCCEEDED(ChangeTaskEnabled(taskPath, false));
}

std::int32_t SetScheduledTaskEnabled(const std::wstring& taskPath, bool enabled) {
    return static_cast<std::int32_t>(ChangeTaskEnabled(taskPath, enabled));
}

TaskReadSession::TaskReadSession() : connection_(std::make_unique<Connection>()), previous_(t_taskSession) {
    connection_->held = ConnectTaskScheduler();
    t_taskSession = connection_.get();
}

TaskReadSession::~TaskReadSession() {
    t_taskSession = previous_;
}

namespace {

// The folder, through the session's lookups when the service is the session's; otherwise into `single`,
// which the caller holds while it uses the folder. A missing folder gives the "not found" HRESULT.
HRESULT ReadingFolder(ITaskService& service, const std::wstring& path,
                      const std::optional<TaskSchedulerConnection>& own, ITaskFolder*& folder,
                      UniqueComPointer<ITaskFolder>& single) {
    TaskReadSession::Connection* session = own ? nullptr : t_taskSession;
    if (session == nullptr) {
        const HRESULT hr = Checked(service.GetFolder(MakeBstr(path).Get(), single.Put()), single);
        folder = single.Get();
        return hr;
    }
    const std::wstring key = LowerForMatching(path);
    if (const auto found = session->folders.find(key); found != session->folders.end()) {
        folder = found->second.Get();
        return folder != nullptr ? S_OK : HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    }
    UniqueComPointer<ITaskFolder> looked;
    const HRESULT hr = Checked(service.GetFolder(MakeBstr(path).Get(), looked.Put()), looked);
    if (SUCCEEDED(hr) || IsNotFound(hr)) { // any other failure is asked again next time
        folder = looked.Get();
        session->folders.emplace(key, std::move(looked));
    }
    return hr;
}

} // namespace

TaskState ReadTaskState(const std::wstring& taskPath) {
    TaskState state;
    try {
        std::optional<TaskSchedulerConnection> own;
        ITaskService* service = ReadingService(own);
        if (service == nullptr) {
            state.error = static_cast<std::uint32_t>(E_FAIL);
            return state;
        }
        const TaskLocation location = SplitTaskPath(taskPath);
        UniqueComPointer<IRegisteredTask> task;
        UniqueComPointer<ITaskFolder> single;
        ITaskFolder* folder = nullptr;
        HRESULT hr = ReadingFolder(*service, location.folder, own, folder, single);
        if (SUCCEEDED(hr) && folder != nullptr) {
            hr = folder->GetTask(MakeBstr(location.name).Get(), task.Put());
        }
        if (IsNotFound(hr)) {
            state.presence = Presence::Absent;
            return state;
        }
        VARIANT_BOOL enabled = VARIANT_FALSE;
        if (SUCCEEDED(hr) && task) {
            hr = task->get_Enabled(&enabled);
        }
        if (FAILED(hr) || !task) {
            state.error = static_cast<std::uint32_t>(FAILED(hr) ? hr : E_POINTER);
            return state;
        }
        state.presence = Presence::Present;
        state.enabled = enabled != VARIANT_FALSE;
    } catch (const std::bad_alloc&) {
        state.error = static_cast<std::uint32_t>(E_OUTOFMEMORY);
    }
    return state;
}

std::vector<std::wstring> FindTasksByName(const std::vector<std::wstring>& wanted) {
    std::optional<TaskSchedulerConnection> own;
    ITaskService* service = ReadingService(own);
    if (service == nullptr) {
        return {};
    }
    UniqueComPointer<ITaskFolder> root;
    const HRESULT hr = service->GetFolder(MakeBstr(L"\\").Get(), root.Put());
    if (FAILED(hr) || !root) {
        return {};
    }
    std::vector<std::wstring> result;
    ComTaskFolder rootView(std::move(root));
    SearchTaskFolder(&rootView, std::wstring(), wanted, result);
    return result;
}

void DisableEdgeUpdateTasks() {
    const std::vector<std::wstring> wanted(kEdgeUpdateTaskNames.begin(), kEdgeUpdateTaskNames.end());
    for (const std::wstring& path : FindTasksByName(wanted)) {
        static_cast<void>(DisableScheduledTask(path));
    }
}

std::int32_t RegisterSystemTask(const std::wstring& taskPath, const std::wstring& xml) {
    try {
        auto connection = ConnectTaskScheduler();
        if (!connection) {
            return E_FAIL;
        }
        UniqueComPointer<ITaskFolder> root;
        UniqueComPointer<IRegisteredTask> registered;
        HRESULT hr = Checked(connection->service->GetFolder(MakeBstr(L"\\").Get(), root.Put()), root);
        if (SUCCEEDED(hr)) {
            const UniqueBstr system = MakeBstr(L"SYSTEM");
            hr = root->RegisterTask(MakeBstr(taskPath).Get(), MakeBstr(xml).Get(), TASK_CREATE_OR_UPDATE,
                                    BstrVariant(system), EmptyVariant(), TASK_LOGON_SERVICE_ACCOUNT,
                                    EmptyVariant(), registered.Put());
        }
        static_cast<void>(ReportedFailure(hr, L"Failed to register task '" + taskPath + L"': "));
        return static_cast<std::int32_t>(hr);
    } catch (const std::bad_alloc&) {
        return static_cast<std::int32_t>(E_OUTOFMEMORY);
    }
}

std::int32_t DeleteTaskAndEmptyFolder(const std::wstring& taskPath) {
    try {
        auto connection = ConnectTaskScheduler();
        if (!connection) {
            return E_FAIL;
        }
        const TaskLocation location = SplitTaskPath(taskPath);
        UniqueComPointer<ITaskFolder> root;
        UniqueComPointer<ITaskFolder> folder;
        HRESULT hr = Checked(connection->service->GetFolder(MakeBstr(L"\\").Get(), root.Put()), root);
        if (SUCCEEDED(hr)) {
            hr = Checked(connection->service->GetFolder(MakeBstr(location.folder).Get(), folder.Put()),
                         folder);
        }
        if (SUCCEEDED(hr)) {
            hr = folder->DeleteTask(MakeBstr(location.name).Get(), 0);
        }
        if (IsNotFound(hr)) {
            hr = S_OK; // nothing to delete
        }
        if (SUCCEEDED(hr) && folder && location.folder != L"\\") {
            // Only an empty folder is deleted; one that holds other tasks stays.
            static_cast<void>(root->DeleteFolder(MakeBstr(location.folder.substr(1)).Get(), 0));
        }
        static_cast<void>(ReportedFailure(hr, L"Failed to delete task '" + taskPath + L"': "));
        return static_cast<std::int32_t>(hr);
    } catch (const std::bad_alloc&) {
        return static_cast<std::int32_t>(E_OUTOFMEMORY);
    }
}

std::optional<TaskProgram> ReadTaskProgram(const std::wstring& taskPath) {
    try {
        auto connection = ConnectTaskScheduler();
        if (!connection) {
            return std::nullopt;
        }
        const TaskLocation location = SplitTaskPath(taskPath);
        UniqueComPointer<ITaskFolder> folder;
        UniqueComPointer<IRegisteredTask> task;
        UniqueComPointer<ITaskDefinition> definition;
        UniqueComPointer<IActionCollection> actions;
        UniqueComPointer<IAction> action;
        UniqueComPointer<IExecAction> exec;
        if (FAILED(Checked(connection->service->GetFolder(MakeBstr(location.folder).Get(), folder.Put()),
                           folder)) ||
            FAILED(Checked(folder->GetTask(MakeBstr(location.name).Get(), task.Put()), task)) ||
            FAILED(Checked(task->get_Definition(definition.Put()), definition)) ||
            FAILED(Checked(definition->get_Actions(actions.Put()), actions)) ||
            FAILED(Checked(actions->get_Item(1, action.Put()), action)) ||
            FAILED(Checked(action->QueryInterface(IID_IExecAction, reinterpret_cast<void**>(exec.Put())),
                           exec))) {
            return std::nullopt;
        }
        UniqueBstr path;
        UniqueBstr arguments;
        if (FAILED(exec->get_Path(path.Put()))) {
            return std::nullopt;
        }
        static_cast<void>(exec->get_Arguments(arguments.Put()));
        return TaskProgram{path ? std::wstring(path.Get()) : std::wstring(),
                           arguments ? std::wstring(arguments.Get()) : std::wstring()};
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

} // namespace Velmora
