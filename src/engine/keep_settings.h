#pragma once

// Keeping settings in place: a scheduled task that runs `velmora-cli repair --users all` as SYSTEM at
// start-up, at every sign-in and once a day. A task that runs as SYSTEM must run a file only
// administrators can change, never one from the folder the user started Velmora from: `on` copies
// velmora-cli.exe into %ProgramFiles%\Velmora, a folder made (or found) with an owner and an access list
// that only administrators and SYSTEM can change, and the task runs that copy.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Velmora {

inline constexpr wchar_t kKeepTaskPath[] = L"\\Velmora\\Keep Settings";
inline constexpr wchar_t kKeepTaskArguments[] = L"repair --users all";
inline constexpr wchar_t kKeptProgramName[] = L"velmora-cli.exe";

// The task's definition in the Task Scheduler's XML: the three triggers, SYSTEM, the copy as its action.
[[nodiscard]] std::wstring KeepTaskXml(const std::wstring& programPath);

// A folder's owner and access list as Windows holds them.
struct AccessEntry {
    bool allows = true; // an allowing entry (a denying one never weakens a folder)
    std::wstring sid;
    std::uint32_t mask = 0;
};
struct FolderSecurity {
    std::wstring owner;
    bool hasAccessList = true; // no list at all lets everyone do everything
    std::vector<AccessEntry> entries;
};

// Whether only administrators, SYSTEM and TrustedInstaller can change the folder or put anything in it;
// otherwise false with who else can, in words. No user account is trusted, not even an administrator's:
// the unelevated programs of that user run as the same account.
[[nodiscard]] bool OnlyAdministratorsCanChange(const FolderSecurity& security, std::wstring& why);

// What keeping needs of Windows; the Windows build gives the real ones, host tests a fake.
class KeepPlatform {
public:
    virtual ~KeepPlatform() = default;
    // %ProgramFiles%\Velmora.
    [[nodiscard]] virtual std::wstring ProgramFolder() = 0;
    // The velmora-cli.exe the copy is made from; empty with the reason when there is none.
    [[nodiscard]] virtual std::wstring SourceProgram(std::wstring& error) = 0;
    // Makes the folder with an owner and access list only administrators and SYSTEM can change; an
    // existing folder is kept only when it is a plain folder that no one else can change.
    [[nodiscard]] virtual bool PrepareProgramFolder(std::wstring& error) = 0;
    // Copies the program into the folder (over an older copy), with the folder's protection.
    [[nodiscard]] virtual bool InstallProgram(const std::wstring& source, std::wstring& error) = 0;
    // Removes the copy, and the folder when nothing else is in it.
    [[nodiscard]] virtual bool RemoveProgram(std::wstring& error) = 0;
    [[nodiscard]] virtual bool ProgramInstalled() = 0;
    [[nodiscard]] virtual bool RegisterTask(const std::wstring& xml, std::wstring& error) = 0;
    // True when the task is gone afterwards (also when it was never there).
    [[nodiscard]] virtual bool RemoveTask(std::wstring& error) = 0;
    // The registered task's program; nullopt when there is no such task. The command is empty when the
    // Task Scheduler does not tell it (Wine's keeps no actions).
    struct Task {
        std::wstring command;
        std::wstring arguments;
    };
    [[nodiscard]] virtual std::optional<Task> ReadTask() = 0;
};

struct KeepOutcome {
    bool succeeded = false;
    std::wstring message; // in words, what was done or why not
    std::wstring reason;  // why not, without the words around it (for a window in another language)
};

// Folder, copy, then task; a failure part-way takes back what this call made.
[[nodiscard]] KeepOutcome TurnKeepOn(KeepPlatform& platform);
// Task first, then the copy: a task is never left pointing at nothing.
[[nodiscard]] KeepOutcome TurnKeepOff(KeepPlatform& platform);

class StateReader;

struct KeepStatus {
    bool on = false;            // the task is registered and runs the copy in the program folder
    bool taskPresent = false;   // registered, whatever it runs
    std::wstring command;       // what the task runs
    bool runsElsewhere = false; // a task of that name that runs anything but the protected copy
};
[[nodiscard]] KeepStatus ReadKeepStatus(KeepPlatform& platform);

// After a restore: when it left no profile applied (the detection marker is gone), there is nothing to keep,
// and keeping is turned off. nullopt when there was nothing to turn off.
[[nodiscard]] std::optional<KeepOutcome> StopKeepingWithoutProfile(StateReader& reader,
                                                                   KeepPlatform& platform);

} // namespace Velmora
