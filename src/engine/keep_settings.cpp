#include "engine/keep_settings.h"

#include "engine/detection_marker.h"

#include <algorithm>
#include <array>
#include <cwctype>

namespace Velmora {
namespace {

constexpr std::array<std::wstring_view, 4> kTrustedSids = {
    L"S-1-5-18",                                                       // SYSTEM
    L"S-1-5-32-544",                                                   // Administrators
    L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464", // TrustedInstaller
    L"S-1-3-0", // CREATOR OWNER: no account, only what an item made inside passes on to its maker
};

// Rights that change a folder or what is in it: write or append (add a file or a folder), its extended
// attributes and attributes, delete a child or itself, its access list, its owner, and the generic ones.
constexpr std::uint32_t kChangingRights = 0x00000002u | 0x00000004u | 0x00000010u | 0x00000040u |
                                          0x00000100u | 0x00010000u | 0x00040000u | 0x00080000u |
                                          0x10000000u | 0x40000000u;

bool Trusted(std::wstring_view sid) {
    return std::find(kTrustedSids.begin(), kTrustedSids.end(), sid) != kTrustedSids.end();
}

std::wstring Escaped(const std::wstring& text) {
    std::wstring escaped;
    for (const wchar_t c : text) {
        switch (c) {
        case L'&':
            escaped += L"&amp;";
            break;
        case L'<':
            escaped += L"&lt;";
            break;
        case L'>':
            escaped += L"&gt;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

bool SamePath(std::wstring left, std::wstring right) {
    for (std::wstring* text : {&left, &right}) {
        for (wchar_t& c : *text) {
            c = static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(c)));
        }
    }
    return left == right;
}

} // namespace

std::wstring KeepTaskXml(const std::wstring& programPath) {
    const std::wstring folder = programPath.substr(0, programPath.find_last_of(L'\\'));
    // Start-up and sign-in wait a little, so that the repair does not slow them; a day missed while
    // the PC was off runs when it is next on.
    return L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n"
           L"<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\n"
           L"  <RegistrationInfo>\n"
           L"    <Author>Velmora</Author>\n"
           L"    <Description>Sets again the settings of the applied Velmora profile that Windows or someone "
           L"else turned back.</Description>\n"
           L"    <URI>" +
           std::wstring(kKeepTaskPath) +
           L"</URI>\n"
           L"  </RegistrationInfo>\n"
           L"  <Triggers>\n"
           L"    <BootTrigger><Enabled>true</Enabled><Delay>PT2M</Delay></BootTrigger>\n"
           L"    <LogonTrigger><Enabled>true</Enabled><Delay>PT2M</Delay></LogonTrigger>\n"
           L"    <CalendarTrigger><StartBoundary>2026-01-01T12:00:00</StartBoundary><Enabled>true</Enabled>"
           L"<ScheduleByDay><DaysInterval>1</DaysInterval></ScheduleByDay></CalendarTrigger>\n"
           L"  </Triggers>\n"
           L"  <Principals>\n"
           L"    <Principal id=\"System\"><UserId>S-1-5-18</UserId><RunLevel>HighestAvailable</RunLevel>"
           L"</Principal>\n"
           L"  </Principals>\n"
           L"  <Settings>\n"
           L"    <MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>\n"
           L"    <DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>\n"
           L"    <StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>\n"
           L"    <StartWhenAvailable>true</StartWhenAvailable>\n"
           L"    <ExecutionTimeLimit>PT1H</ExecutionTimeLimit>\n"
           L"    <Enabled>true</Enabled>\n"
           L"  </Settings>\n"
           L"  <Actions Context=\"System\">\n"
           L"    <Exec><Command>" +
           Escaped(programPath) + L"</Command><Arguments>" + kKeepTaskArguments +
           L"</Arguments><WorkingDirectory>" + Escaped(folder) +
           L"</WorkingDirectory></Exec>\n"
           L"  </Actions>\n"
           L"</Task>\n";
}

bool OnlyAdministratorsCanChange(const FolderSecurity& security, std::wstring& why) {
    if (!Trusted(security.owner) || security.owner == L"S-1-3-0") {
        why = L"it is owned by " + security.owner + L", who can change its access list";
        return false;
    }
    if (!security.hasAccessList) {
        why = L"it has no access list, so everyone may change it";
        return false;
    }
    for (const AccessEntry& entry : security.entries) {
        if (entry.allows && (entry.mask & kChangingRights) != 0 && !Trusted(entry.sid)) {
            why = L"its access list lets " + entry.sid + L" change it";
            return false;
        }
    }
    return true;
}

namespace {

KeepOutcome NotOn(std::wstring reason) {
    return {false, L"Keeping settings in place was not turned on: " + reason, reason};
}

} // namespace

KeepOutcome TurnKeepOn(KeepPlatform& platform) {
    std::wstring error;
    const std::wstring folder = platform.ProgramFolder();
    const std::wstring source = platform.SourceProgram(error);
    if (source.empty()) {
        return NotOn(error);
    }
    const bool hadProgram = platform.ProgramInstalled();
    if (!platform.PrepareProgramFolder(error) || !platform.InstallProgram(source, error)) {
        return NotOn(error);
    }
    const std::wstring program = folder + L"\\" + kKeptProgramName;
    if (!platform.RegisterTask(KeepTaskXml(program), error)) {
        std::wstring ignored;
        if (!hadProgram) {
            static_cast<void>(platform.RemoveProgram(ignored));
        }
        return NotOn(L"the task could not be registered (" + error + L").");
    }
    return {true,
            L"Keeping settings in place is on: " + program +
                L" repairs the applied profile as SYSTEM at start-up, at every sign-in and once a day.",
            {}};
}

KeepOutcome TurnKeepOff(KeepPlatform& platform) {
    std::wstring error;
    if (!platform.RemoveTask(error)) {
        const std::wstring reason = L"the task could not be removed (" + error + L").";
        return {false, L"Keeping settings in place is still on: " + reason, reason};
    }
    if (!platform.RemoveProgram(error)) {
        const std::wstring reason = L"the copy of velmora-cli could not be removed (" + error + L").";
        return {false, L"Keeping settings in place is off, but " + reason, reason};
    }
    return {true, L"Keeping settings in place is off.", {}};
}

KeepStatus ReadKeepStatus(KeepPlatform& platform) {
    KeepStatus status;
    const std::optional<KeepPlatform::Task> task = platform.ReadTask();
    if (!task) {
        return status;
    }
    status.taskPresent = true;
    status.command = task->command;
    const std::wstring program = platform.ProgramFolder() + L"\\" + kKeptProgramName;
    std::wstring command = task->command;
    if (command.size() >= 2 && command.front() == L'"' && command.back() == L'"') {
        command = command.substr(1, command.size() - 2);
    }
    status.runsElsewhere = !command.empty() && !SamePath(command, program);
    status.on = !status.runsElsewhere && platform.ProgramInstalled();
    return status;
}

std::optional<KeepOutcome> StopKeepingWithoutProfile(StateReader& reader, KeepPlatform& platform) {
    if (ReadDetectionMarker(reader) || !ReadKeepStatus(platform).taskPresent) {
        return std::nullopt;
    }
    KeepOutcome off = TurnKeepOff(platform);
    if (off.succeeded) {
        off.message = L"No profile is applied any more, so keeping settings in place was turned off.";
    }
    return off;
}

} // namespace Velmora
