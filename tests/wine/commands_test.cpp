// The command runners against the real cmd.exe under Wine. PowerShell, netsh and w32tm are replaced
// in the test prefix by a recording stand-in (velmora_command_recorder.exe), which logs its own
// command line, its parent's command line and how it was started: so the tests see exactly which
// processes a run starts and with what.

#include "common/diagnostics.h"
#include "common/text_encoding.h"
#include "common/win32_handles.h"
#include "support/counting_dispatcher.h"
#include "system/commands.h"
#include "system/win32_system_operations.h"
#include "tweaks/apply_pipeline.h"
#include "tweaks/run_controller.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <utility>

namespace {

using namespace Velmora;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::wstring SystemFolder() {
    wchar_t buffer[MAX_PATH];
    const UINT length = ::GetSystemDirectoryW(buffer, MAX_PATH);
    return std::wstring(buffer, length);
}

std::wstring OwnFolder() {
    wchar_t buffer[MAX_PATH];
    const std::wstring path(buffer, ::GetModuleFileNameW(nullptr, buffer, MAX_PATH));
    return path.substr(0, path.find_last_of(L'\\'));
}

constexpr wchar_t kWineDllOverrides[] = L"Software\\Wine\\DllOverrides";

bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// One start of the recording stand-in.
struct Record {
    std::wstring program;
    std::wstring commandLine;
    DWORD parent = 0;
    std::wstring parentCommandLine;
    DWORD startupFlags = 0;
    DWORD showWindow = 0;
    DWORD processId = 0;
    DWORD threadId = 0;
};

std::string ReadFileBytes(const std::wstring& path) {
    const HANDLE raw = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    const UniqueKernelHandle file(raw == INVALID_HANDLE_VALUE ? nullptr : raw);
    std::string bytes;
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.Get(), &size)) {
        return bytes;
    }
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    EXPECT_TRUE(::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr));
    bytes.resize(read);
    return bytes;
}

std::vector<std::wstring> SplitAt(const std::wstring& text, wchar_t separator) {
    std::vector<std::wstring> parts;
    size_t start = 0;
    for (size_t found = text.find(separator); found != std::wstring::npos;
         found = text.find(separator, start)) {
        parts.push_back(text.substr(start, found - start));
        start = found + 1;
    }
    parts.push_back(text.substr(start));
    return parts;
}

std::vector<Record> ReadRecords(const std::wstring& path) {
    std::vector<Record> records;
    for (const std::wstring& line : SplitAt(FromUtf8(ReadFileBytes(path)), L'\n')) {
        if (line.empty()) {
            continue;
        }
        const std::vector<std::wstring> fields = SplitAt(line, L'\t');
        EXPECT_EQ(fields.size(), 8u) << "malformed record";
        if (fields.size() == 8) {
            const auto number = [&](size_t i) { return static_cast<DWORD>(std::stoul(fields[i])); };
            records.push_back(
                {fields[0], fields[1], number(2), fields[3], number(4), number(5), number(6), number(7)});
        }
    }
    return records;
}

// True once the object can no longer be opened (within ten seconds).
template <typename Open>
bool EventuallyGone(Open open) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (!UniqueKernelHandle(open())) {
            return true;
        }
        ::Sleep(100);
    }
    return false;
}

// cmd.exe hands a command to its child with the blank that stood before the next " & ".
std::wstring TrimmedRight(std::wstring text) {
    text.erase(text.find_last_not_of(L' ') + 1);
    return text;
}

using Velmora::Testing::CountingDispatcher;

class CommandRunner : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        log = std::wstring(temp, ::GetTempPathW(MAX_PATH, temp)) + L"velmora-recorder.log";
        ::DeleteFileW(log.c_str());
        ASSERT_TRUE(::SetEnvironmentVariableW(L"VELMORA_RECORDER_LOG", log.c_str()));
        // Wine prefers its own built-in programs to files of the same name in the system folder.
        for (const wchar_t* name : {L"powershell.exe", L"netsh.exe", L"w32tm.exe"}) {
            ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, kWineDllOverrides, name, REG_SZ, L"native",
                                        sizeof L"native"),
                      ERROR_SUCCESS);
        }
        const std::wstring recorder = OwnFolder() + L"\\velmora_command_recorder.exe";
        for (const std::wstring& program : programs) {
            const std::wstring backup = program + L".velmora-original";
            if (Exists(backup)) { // left by an interrupted run
                ::MoveFileExW(backup.c_str(), program.c_str(), MOVEFILE_REPLACE_EXISTING);
            }
            if (Exists(program)) {
                ASSERT_TRUE(::MoveFileW(program.c_str(), backup.c_str())) << ::GetLastError();
            }
            ASSERT_TRUE(::CopyFileW(recorder.c_str(), program.c_str(), FALSE)) << ::GetLastError();
        }
        SetDiagnosticSink(lines);
    }

    void TearDown() override {
        SetDiagnosticSink(nullptr);
        for (const std::wstring& program : programs) {
            const std::wstring backup = program + L".velmora-original";
            ::DeleteFileW(program.c_str());
            if (Exists(backup)) {
                EXPECT_TRUE(::MoveFileW(backup.c_str(), program.c_str())) << ::GetLastError();
            }
        }
        for (const wchar_t* name : {L"powershell.exe", L"netsh.exe", L"w32tm.exe"}) {
            ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kWineDllOverrides, name);
        }
        ::SetEnvironmentVariableW(L"VELMORA_RECORDER_LOG", nullptr);
        ::SetEnvironmentVariableW(L"VELMORA_RECORDER_EXIT_CODE", nullptr);
        ::DeleteFileW(log.c_str());
    }

    std::vector<Record> Records() const { return ReadRecords(log); }

    // The distinct command interpreters that started the netsh and w32tm stand-ins, in order, each by
    // its command line.
    std::vector<std::wstring> Interpreters() const {
        std::vector<std::wstring> commandLines;
        std::vector<std::pair<DWORD, std::wstring>> seen;
        for (const Record& record : Records()) {
            const std::pair<DWORD, std::wstring> interpreter{record.parent, record.parentCommandLine};
            if (record.program != L"powershell.exe" &&
                std::find(seen.begin(), seen.end(), interpreter) == seen.end()) {
                seen.push_back(interpreter);
                commandLines.push_back(record.parentCommandLine);
            }
        }
        return commandLines;
    }

    std::vector<std::wstring> PowerShellCommandLines() const {
        std::vector<std::wstring> commandLines;
        for (const Record& record : Records()) {
            if (record.program == L"powershell.exe") {
                commandLines.push_back(record.commandLine);
            }
        }
        return commandLines;
    }

    void RunProfile(SettingsProfile profile) {
        RunController controller;
        SharedRunState state;
        state.selectedProfile = profile;
        Win32SystemOperations system;
        CountingDispatcher dispatcher;
        RunApplyPipeline({controller, state, system, dispatcher, nullptr, [] {}, [] {}});
    }

    const std::wstring powerShell = SystemFolder() + L"\\WindowsPowerShell\\v1.0\\powershell.exe";
    const std::array<std::wstring, 3> programs = {powerShell, SystemFolder() + L"\\netsh.exe",
                                                  SystemFolder() + L"\\w32tm.exe"};
    std::wstring log;
    std::shared_ptr<MemoryDiagnosticSink> lines = std::make_shared<MemoryDiagnosticSink>();
};

const std::wstring kBasePowerShellLine =
    L"powershell.exe -NoProfile -ExecutionPolicy Bypass -Command \"$ErrorActionPreference='Continue'; "
    L"setx DOTNET_CLI_TELEMETRY_OPTOUT 1; setx POWERSHELL_TELEMETRY_OPTOUT 1; ipconfig /flushdns; "
    L"ie4uinit -show\"";

const std::wstring kBaseCmdLine =
    L"cmd.exe /C NET STOP w32time & w32tm /unregister & w32tm /register & NET START w32time & "
    L"w32tm /config /manualpeerlist:\"time.windows.com\" /syncfromflags:manual /update & w32tm /resync & "
    L"netsh interface ipv6 set interface \"Ethernet\" admin=enable & "
    L"netsh interface ipv6 set interface \"Wi-Fi\" admin=enable & "
    L"netsh interface ipv6 set interface \"Local Area Connection\" admin=enable & "
    L"netsh interface ipv6 set interface \"Wireless Network Connection\" admin=enable";

const std::wstring kIpv6DisableCmdLine =
    L"cmd.exe /C netsh interface ipv6 set interface \"Ethernet\" admin=disable & "
    L"netsh interface ipv6 set interface \"Wi-Fi\" admin=disable & "
    L"netsh interface ipv6 set interface \"Local Area Connection\" admin=disable & "
    L"netsh interface ipv6 set interface \"Wireless Network Connection\" admin=disable";

TEST_F(CommandRunner, CmdReturnsTheInterpretersExitCodeAndRunsPastAFailingEntry) {
    EXPECT_EQ(RunCmdCommands({L"exit 37"}), 37u);
    EXPECT_EQ(RunCmdCommands({L"velmora-no-such-program", L"exit 5"}), 5u);
    ::SetEnvironmentVariableW(L"VELMORA_RECORDER_EXIT_CODE", L"12");
    EXPECT_EQ(RunCmdCommands({L"netsh interface show"}), 12u) << "the last child's exit code comes through";
    EXPECT_THAT(lines->Lines(), IsEmpty());
}

TEST_F(CommandRunner, CmdGetsAllEntriesInOneCommandLineWithTheirOwnQuotes) {
    EXPECT_EQ(
        RunCmdCommands({L"w32tm /config /manualpeerlist:\"time.windows.com\" /syncfromflags:manual /update",
                        L"netsh interface ipv6 set interface \"Local Area Connection\" admin=disable"}),
        0u);
    const auto records = Records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].program, L"w32tm.exe");
    EXPECT_EQ(TrimmedRight(records[0].commandLine),
              L"w32tm /config /manualpeerlist:\"time.windows.com\" /syncfromflags:manual /update");
    EXPECT_EQ(records[1].program, L"netsh.exe");
    EXPECT_EQ(TrimmedRight(records[1].commandLine),
              L"netsh interface ipv6 set interface \"Local Area Connection\" admin=disable");
    EXPECT_THAT(Interpreters(), ElementsAre(L"cmd.exe /C w32tm /config /manualpeerlist:\"time.windows.com\" "
                                            L"/syncfromflags:manual /update & netsh interface ipv6 set "
                                            L"interface \"Local Area Connection\" admin=disable"));
}

TEST_F(CommandRunner, PowerShellGetsOneQuotedScriptHiddenWithNothingRedirected) {
    ::SetEnvironmentVariableW(L"VELMORA_RECORDER_EXIT_CODE", L"23");
    EXPECT_EQ(RunPowerShellCommands({L"setx POWERSHELL_TELEMETRY_OPTOUT 1",
                                     L"netsh interface ipv6 set interface \"Wi-Fi\" admin=enable"}),
              23u);
    const auto records = Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].program, L"powershell.exe");
    EXPECT_EQ(
        records[0].commandLine,
        L"powershell.exe -NoProfile -ExecutionPolicy Bypass -Command \"$ErrorActionPreference='Continue'; "
        L"setx POWERSHELL_TELEMETRY_OPTOUT 1; netsh interface ipv6 set interface \"Wi-Fi\" admin=enable\"");
    EXPECT_EQ(records[0].parent, ::GetCurrentProcessId());
    EXPECT_EQ(records[0].startupFlags, static_cast<DWORD>(STARTF_USESHOWWINDOW))
        << "no standard handles passed";
    EXPECT_EQ(records[0].showWindow, static_cast<DWORD>(SW_HIDE));
    // The system keeps an ended process and thread only while someone holds a handle to them. Under
    // Wine the child's console host lets go of the process a moment after it ended, hence the wait.
    EXPECT_TRUE(EventuallyGone([&] {
        return ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, records[0].processId);
    })) << "the process handle was closed";
    EXPECT_TRUE(EventuallyGone([&] {
        return ::OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, records[0].threadId);
    })) << "the thread handle was closed";
}

TEST_F(CommandRunner, AnEmptyListStartsNoProcess) {
    EXPECT_EQ(RunCmdCommands({}), kNoExitCode);
    EXPECT_EQ(RunPowerShellCommands({}), kNoExitCode);
    EXPECT_FALSE(Exists(log)) << "nothing was started";
    EXPECT_THAT(lines->Lines(), IsEmpty());
}

TEST_F(CommandRunner, AMissingInterpreterGivesNoExitCodeAndTheSystemError) {
    ASSERT_TRUE(::DeleteFileW(powerShell.c_str()));
    EXPECT_EQ(RunPowerShellCommands({L"ipconfig /flushdns"}), kNoExitCode);
    EXPECT_THAT(lines->Lines(), ElementsAre(L"Failed to create PowerShell process. Error: 2"));
}

TEST_F(CommandRunner, StandardRunStartsOnePowerShellAndOneInterpreterWithTheBaseLists) {
    RunProfile(kStandardProfile);
    EXPECT_THAT(PowerShellCommandLines(), ElementsAre(kBasePowerShellLine));
    EXPECT_THAT(Interpreters(), ElementsAre(kBaseCmdLine));
    const auto records = Records();
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records.front().program, L"powershell.exe") << "PowerShell runs before the interpreter";
    std::vector<std::wstring> children;
    for (const Record& record : records) {
        if (record.program != L"powershell.exe") {
            children.push_back(TrimmedRight(record.commandLine));
        }
    }
    EXPECT_THAT(
        children,
        ElementsAre(L"w32tm /unregister", L"w32tm /register",
                    L"w32tm /config /manualpeerlist:\"time.windows.com\" /syncfromflags:manual /update",
                    L"w32tm /resync", L"netsh interface ipv6 set interface \"Ethernet\" admin=enable",
                    L"netsh interface ipv6 set interface \"Wi-Fi\" admin=enable",
                    L"netsh interface ipv6 set interface \"Local Area Connection\" admin=enable",
                    L"netsh interface ipv6 set interface \"Wireless Network Connection\" admin=enable"));
}

TEST_F(CommandRunner, MaximumRunStartsOneMoreInterpreterForTheIpv6DisableList) {
    RunProfile(kMaximumProfile);
    EXPECT_THAT(PowerShellCommandLines(), ElementsAre(kBasePowerShellLine));
    EXPECT_THAT(Interpreters(), ElementsAre(kBaseCmdLine, kIpv6DisableCmdLine));
}

} // namespace
