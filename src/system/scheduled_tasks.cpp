#include "system/scheduled_tasks.h"

namespace Velmora {
namespace {

bool BeginsWithAnyOf(std::wstring_view name, const std::vector<std::wstring>& wanted) {
    for (const std::wstring& prefix : wanted) {
        if (name.starts_with(prefix)) {
            return true;
        }
    }
    return false;
}

// A root path given as "\" would otherwise produce "\\Name".
std::wstring JoinTaskPath(const std::wstring& path, const std::wstring& name) {
    std::wstring full = path + L"\\" + name;
    if (full.starts_with(L"\\\\")) {
        full.erase(0, 1);
    }
    return full;
}

} // namespace

TaskLocation SplitTaskPath(std::wstring_view path) {
    const size_t backslash = path.rfind(L'\\');
    if (backslash == std::wstring_view::npos) {
        return {L"\\", std::wstring(path)};
    }
    std::wstring folder(path.substr(0, backslash));
    if (!folder.starts_with(L'\\')) {
        folder.insert(0, 1, L'\\');
    }
    return {std::move(folder), std::wstring(path.substr(backslash + 1))};
}

void SearchTaskFolder(TaskFolderView* folder, const std::wstring& path,
                      const std::vector<std::wstring>& wanted, std::vector<std::wstring>& result) {
    if (folder == nullptr) {
        return;
    }
    if (const auto tasks = folder->Tasks(kTaskEnumHidden)) {
        const std::int32_t count = tasks->Count();
        for (std::int32_t index = 1; index <= count; ++index) {
            const std::optional<std::wstring> name = tasks->TaskName(index);
            if (name && BeginsWithAnyOf(*name, wanted)) {
                result.push_back(JoinTaskPath(path, *name));
            }
        }
    }
    const auto subfolders = folder->Subfolders();
    if (!subfolders) {
        return;
    }
    const std::int32_t count = subfolders->Count();
    for (std::int32_t index = 1; index <= count; ++index) {
        const std::unique_ptr<TaskFolderView> subfolder = subfolders->Folder(index);
        if (!subfolder) {
            continue;
        }
        if (const std::optional<std::wstring> name = subfolder->Name()) {
            SearchTaskFolder(subfolder.get(), path + L"\\" + *name, wanted, result);
        }
    }
}

} // namespace Velmora
