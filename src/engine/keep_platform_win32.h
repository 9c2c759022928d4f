#pragma once

// Keeping settings in place on Windows: %ProgramFiles%\Velmora and the Task Scheduler.

#include "common/lazy_path.h"
#include "engine/keep_settings.h"

#include <functional>
#include <optional>
#include <string>

namespace Velmora {

// The owner and access list of the file or folder behind the handle; nullopt when they cannot be read.
[[nodiscard]] std::optional<FolderSecurity> ReadFolderSecurity(void* handle);
// The running program's own file, and the velmora-cli.exe beside it (what the window keeps).
[[nodiscard]] std::wstring RunningProgramPath();
[[nodiscard]] std::wstring CliBesideRunningProgram();

using FolderSecurityReader = std::function<std::optional<FolderSecurity>(void* handle)>;

class WindowsKeepPlatform final : public KeepPlatform {
public:
    // `sourceProgram`: the velmora-cli.exe to copy; `folder`: where the copy goes (empty:
    // %ProgramFiles%\Velmora).
    explicit WindowsKeepPlatform(std::wstring sourceProgram, std::wstring folder = {},
                                 FolderSecurityReader readSecurity = ReadFolderSecurity);

    std::wstring ProgramFolder() override { return folder_.Get(); }
    std::wstring SourceProgram(std::wstring& error) override;
    bool PrepareProgramFolder(std::wstring& error) override;
    bool InstallProgram(const std::wstring& source, std::wstring& error) override;
    bool RemoveProgram(std::wstring& error) override;
    bool ProgramInstalled() override;
    bool RegisterTask(const std::wstring& xml, std::wstring& error) override;
    bool RemoveTask(std::wstring& error) override;
    std::optional<Task> ReadTask() override;

private:
    std::wstring source_;
    LazyPath folder_; // %ProgramFiles%\Velmora unless given
    FolderSecurityReader readSecurity_;
};

} // namespace Velmora
