#pragma once

#include "system/system_state.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Velmora {

// ---- Portable part: task paths and the folder walk ----

// Where a task lives: its folder (always with a leading backslash; "\" is the root) and its name.
struct TaskLocation {
    std::wstring folder;
    std::wstring name;

    friend bool operator==(const TaskLocation&, const TaskLocation&) = default;
};

// Splits a task path at its last backslash. "Name" and "\Name" lie in the root folder;
// "A\B\Name" lies in "\A\B".
[[nodiscard]] TaskLocation SplitTaskPath(std::wstring_view path);

// The machine-wide browser update tasks; the installed tasks carry a variable tail after these names.
inline constexpr std::array<std::wstring_view, 2> kEdgeUpdateTaskNames = {
    L"MicrosoftEdgeUpdateTaskMachineCore", L"MicrosoftEdgeUpdateTaskMachineUA"};

// The Task Scheduler's "include hidden tasks" enumeration flag (TASK_ENUM_HIDDEN).
inline constexpr std::int32_t kTaskEnumHidden = 1;

// What the folder walk needs of the Task Scheduler, one small interface per object it touches,
// so that the walk runs over the real COM objects and over a fake tree alike. Indexes run from 1
// to the count, inclusive, as in the Task Scheduler's collections. Every failure is an empty answer.
class TaskCollectionView {
public:
    virtual ~TaskCollectionView() = default;
    // Below 1 when the collection is empty or cannot be counted.
    [[nodiscard]] virtual std::int32_t Count() = 0;
    // The name of the task at the index; nullopt when the task or its name cannot be read.
    [[nodiscard]] virtual std::optional<std::wstring> TaskName(std::int32_t index) = 0;
};

class TaskFolderView;

class TaskFolderCollectionView {
public:
    virtual ~TaskFolderCollectionView() = default;
    [[nodiscard]] virtual std::int32_t Count() = 0;
    // Null when the folder at the index cannot be read.
    [[nodiscard]] virtual std::unique_ptr<TaskFolderView> Folder(std::int32_t index) = 0;
};

class TaskFolderView {
public:
    virtual ~TaskFolderView() = default;
    [[nodiscard]] virtual std::optional<std::wstring> Name() = 0;
    // The folder's registered tasks; null when they cannot be listed.
    [[nodiscard]] virtual std::unique_ptr<TaskCollectionView> Tasks(std::int32_t flags) = 0;
    // The folder's direct subfolders; null when they cannot be listed.
    [[nodiscard]] virtual std::unique_ptr<TaskFolderCollectionView> Subfolders() = 0;
};

// Walks the folder and everything below it, depth first, hidden tasks included, and appends the
// full path ("\Folder\Name") of each task whose name begins with one of the wanted names
// (case-sensitive): a folder's own tasks in collection order, then each subfolder in turn.
// A null folder adds nothing; an item that cannot be read is skipped silently.
void SearchTaskFolder(TaskFolderView* folder, const std::wstring& path,
                      const std::vector<std::wstring>& wanted, std::vector<std::wstring>& result);

// ---- Windows part: Task Scheduler 2.0 ----
// Each call enters the multithreaded COM apartment (or keeps the thread's own when it has another),
// connects its own service object and releases everything before it returns. Failures compose a
// diagnostic line and never throw; running out of memory throws std::bad_alloc.

// Disables the task at the path and registers its definition again under its own name, so it stays
// in place, disabled. True when the changed definition was registered.
bool DisableScheduledTask(const std::wstring& taskPath);

// The full paths of every task, hidden ones included, whose name begins with one of the wanted
// names, in walk order; empty when the Task Scheduler cannot be reached.
[[nodiscard]] std::vector<std::wstring> FindTasksByName(const std::vector<std::wstring>& wanted);

// Finds the browser update tasks anywhere in the tree and disables each one.
void DisableEdgeUpdateTasks();

// Whether the task at the path is registered, and enabled. Changes nothing; a missing folder or
// task is Absent.
[[nodiscard]] TaskState ReadTaskState(const std::wstring& taskPath);

// While one lives, ReadTaskState and FindTasksByName on this thread share one Task Scheduler
// connection instead of making one each, and ReadTaskState looks up each task folder once: a folder
// made or removed meanwhile is seen by the next session.
class TaskReadSession {
public:
    TaskReadSession();
    ~TaskReadSession();
    TaskReadSession(const TaskReadSession&) = delete;
    TaskReadSession& operator=(const TaskReadSession&) = delete;

    struct Connection;

private:
    std::unique_ptr<Connection> connection_;
    Connection* previous_ = nullptr;
};

// Enables or disables the task in place, as DisableScheduledTask does. The HRESULT: S_OK when the
// changed definition was registered again.
[[nodiscard]] std::int32_t SetScheduledTaskEnabled(const std::wstring& taskPath, bool enabled);

// Registers (or replaces) the task at the path from its XML definition, to run as SYSTEM. The HRESULT.
[[nodiscard]] std::int32_t RegisterSystemTask(const std::wstring& taskPath, const std::wstring& xml);

// Deletes the task at the path, and its folder once empty. S_OK also when there was no such task.
[[nodiscard]] std::int32_t DeleteTaskAndEmptyFolder(const std::wstring& taskPath);

// The program and arguments of the task's first action; nullopt when there is no such task, or it runs
// no program.
struct TaskProgram {
    std::wstring path;
    std::wstring arguments;
};
[[nodiscard]] std::optional<TaskProgram> ReadTaskProgram(const std::wstring& taskPath);

} // namespace Velmora
