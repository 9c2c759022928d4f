#include "system/scheduled_tasks.h"

#include "common/com_result.h"
#include "common/com_values.h"
#include "common/diagnostics.h"
#include "common/win32_handles.h"

#include <taskschd.h>

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

} // namespace

bool DisableScheduledTask(const std::wstring& taskPath) {
    auto connection = ConnectTaskScheduler();
    if (!connection) {
        return false;
    }
    const TaskLocation location = SplitTaskPath(taskPath);
    // Declared in the order obtained, so they are released in reverse before the service.
    UniqueComPointer<ITaskFolder> folder;
    UniqueComPointer<IRegisteredTask> task;
    UniqueComPointer<ITaskDefinition> definition;
    UniqueComPointer<ITaskSettings> settings;

    const UniqueBstr name = MakeBstr(location.name);
    if (ReportedFailure(
            Checked(connection->service->GetFolder(MakeBstr(location.folder).Get(), folder.Put()), folder),
            L"Failed to open folder '" + location.folder + L"': ") ||
        ReportedFailure(Checked(folder->GetTask(name.Get(), task.Put()), task),
                        L"Failed to find task '" + location.name + L"': ") ||
        ReportedFailure(Checked(task->get_Definition(definition.Put()), definition),
                        L"Failed to get task definition: ") ||
        ReportedFailure(Checked(definition->get_Settings(settings.Put()), settings),
                        L"Failed to get task settings: ") ||
        ReportedFailure(settings->put_Enabled(VARIANT_FALSE), L"Failed to set enabled state: ")) {
        return false;
    }
    // Registered again under the task's own name in its own folder, so it stays in place.
    const UniqueBstr emptySddl = MakeBstr(std::wstring());
    UniqueComPointer<IRegisteredTask> updated;
    const HRESULT registered = folder->RegisterTaskDefinition(name.Get(), definition.Get(), TASK_UPDATE,
                                                              EmptyVariant(), EmptyVariant(), TASK_LOGON_NONE,
                                                              BstrVariant(emptySddl), updated.Put());
    updated.Reset();
    if (ReportedFailure(registered, L"Failed to update task: ")) {
        return false;
    }
    Diagnose(L"Task '" + taskPath + L"' has been disabled successfully.");
    return true;
}

std::vector<std::wstring> FindTasksByName(const std::vector<std::wstring>& wanted) {
    auto connection = ConnectTaskScheduler();
    if (!connection) {
        return {};
    }
    UniqueComPointer<ITaskFolder> root;
    const HRESULT hr = connection->service->GetFolder(MakeBstr(L"\\").Get(), root.Put());
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

} // namespace Velmora
