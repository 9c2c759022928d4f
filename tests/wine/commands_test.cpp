// The command runners against the real cmd.exe; PowerShell, netsh and w32tm are replaced by a recording
// stand-in (velmora_command_recorder.exe) that logs how it was started. Under Wine the stand-in is
// copied over the programs in the prefix's system folder; on Windows, whose system files only
// TrustedInstaller may replace, it is named as each program's "Debugger" in Image File Execution
// Options, and Windows starts it instead, with the program's command line after its own.

#include "common/diagnostics.h"
#include "common/text_encoding.h"
#include "common/win32_handles.h"
#include "support/this_pc.h"
#include "system/commands.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using namespace Velmora;
using ::testing::ElementsAre;

std::wstring SystemFolder() {
    wchar_t buffer[MAX_PATH];
    return std::wstring(buffer, ::GetSystemDirectoryW(buffer, MAX_PATH));
}

bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// cmd.exe hands a command to its child with the blank that stood before the next " & ".
std::wstring TrimmedRight(std::wstring text) {
    text.erase(text.find_last_not_of(L' ') + 1);
    return text;
}

constexpr wchar_t kWineDllOverrides[] = L"Software\\Wine\\DllOverrides";
constexpr std::array<const wchar_t*, 3> kReplaced = {L"powershell.exe", L"netsh.exe", L"w32tm.exe"};
const std::wstring kExecutionOptions =
    L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\";

// On Windows: what Windows starts in place of the program.
void SetDebugger(const wchar_t* program, const std::wstring& command) {
    ASSERT_EQ(::RegSetKeyValueW(HKEY_LOCAL_MACHINE, (kExecutionOptions + program).c_str(), L"Debugger",
                                REG_SZ, command.c_str(),
                                static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
}

class CommandRunner : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        log = std::wstring(temp, ::GetTempPathW(MAX_PATH, temp)) + L"velmora-recorder.log";
        ::DeleteFileW(log.c_str());
        ASSERT_TRUE(::SetEnvironmentVariableW(L"VELMORA_RECORDER_LOG", log.c_str()));
        wchar_t own[MAX_PATH];
        std::wstring recorder(own, ::GetModuleFileNameW(nullptr, own, MAX_PATH));
        recorder = recorder.substr(0, recorder.find_last_of(L'\\')) + L"\\velmora_command_recorder.exe";
        for (size_t i = 0; i < programs.size() && !Testing::UnderWine(); ++i) {
            SetDebugger(kReplaced[i], L"\"" + recorder + L"\" --as " + kReplaced[i]);
        }
        for (size_t i = 0; i < programs.size() && Testing::UnderWine(); ++i) {
            // Wine prefers its own built-in programs to files of the same name in the system folder.
            ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, kWineDllOverrides, kReplaced[i], REG_SZ, L"native",
                                        sizeof L"native"),
                      ERROR_SUCCESS);
            const std::wstring backup = programs[i] + L".velmora-original";
            if (Exists(backup)) { // left by an interrupted run
                ::MoveFileExW(backup.c_str(), programs[i].c_str(), MOVEFILE_REPLACE_EXISTING);
            }
            if (Exists(programs[i])) {
                ASSERT_TRUE(::MoveFileW(programs[i].c_str(), backup.c_str())) << ::GetLastError();
            }
            ASSERT_TRUE(::CopyFileW(recorder.c_str(), programs[i].c_str(), FALSE)) << ::GetLastError();
        }
        SetDiagnosticSink(lines);
    }

    void TearDown() override {
        SetDiagnosticSink(nullptr);
        for (size_t i = 0; i < programs.size() && !Testing::UnderWine(); ++i) {
            ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, (kExecutionOptions + kReplaced[i]).c_str(), L"Debugger");
        }
        for (size_t i = 0; i < programs.size() && Testing::UnderWine(); ++i) {
            const std::wstring backup = programs[i] + L".velmora-original";
            ::DeleteFileW(programs[i].c_str());
            if (Exists(backup)) {
                EXPECT_TRUE(::MoveFileW(backup.c_str(), programs[i].c_str())) << ::GetLastError();
            }
            ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kWineDllOverrides, kReplaced[i]);
        }
        ::SetEnvironmentVariableW(L"VELMORA_RECORDER_LOG", nullptr);
        ::SetEnvironmentVariableW(L"VELMORA_RECORDER_EXIT_CODE", nullptr);
        ::DeleteFileW(log.c_str());
    }

    // One start of the recording stand-in per record: program, command line, parent process id,
    // startup flags, show-window value, thread id.
    std::vector<std::vector<std::wstring>> Records() const {
        std::ifstream stream(std::filesystem::path(log), std::ios::binary);
        std::vector<std::vector<std::wstring>> records;
        for (std::string line; std::getline(stream, line);) {
            std::wistringstream fields(FromUtf8(line));
            records.emplace_back();
            for (std::wstring field; std::getline(fields, field, L'\t');) {
                records.back().push_back(field);
            }
            EXPECT_EQ(records.back().size(), 6u) << "malformed record";
            records.back().resize(6);
        }
        return records;
    }

    const std::wstring powerShell = SystemFolder() + L"\\WindowsPowerShell\\v1.0\\powershell.exe";
    const std::array<std::wstring, 3> programs = {powerShell, SystemFolder() + L"\\netsh.exe",
                                                  SystemFolder() + L"\\w32tm.exe"};
    std::wstring log;
    std::shared_ptr<MemoryDiagnosticSink> lines = std::make_shared<MemoryDiagnosticSink>();
};

TEST_F(CommandRunner, EachListRunsInOneHiddenChildWithTheEntriesAsTheyStandAndGivesItsExitCode) {
    EXPECT_EQ(RunCmdCommands({L"velmora-no-such-program", L"exit 5"}), 5u)
        << "a failing entry does not stop the list";
    ::SetEnvironmentVariableW(L"VELMORA_RECORDER_EXIT_CODE", L"23");
    EXPECT_EQ(RunCmdCommands({L"w32tm /config /manualpeerlist:\"time.windows.com\" /update",
                              L"netsh interface ipv6 set interface \"Local Area Connection\" admin=disable"}),
              23u);
    EXPECT_EQ(RunPowerShellCommands({L"setx POWERSHELL_TELEMETRY_OPTOUT 1",
                                     L"netsh interface ipv6 set interface \"Wi-Fi\" admin=enable"}),
              23u);
    const auto records = Records();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0][0], L"w32tm.exe");
    EXPECT_EQ(TrimmedRight(records[0][1]), L"w32tm /config /manualpeerlist:\"time.windows.com\" /update");
    EXPECT_EQ(records[1][0], L"netsh.exe");
    EXPECT_EQ(TrimmedRight(records[1][1]),
              L"netsh interface ipv6 set interface \"Local Area Connection\" admin=disable");
    EXPECT_EQ(records[2][0], L"powershell.exe");
    EXPECT_EQ(
        records[2][1],
        L"powershell.exe -NoProfile -ExecutionPolicy Bypass -Command \"$ErrorActionPreference='Continue'; "
        L"setx POWERSHELL_TELEMETRY_OPTOUT 1; netsh interface ipv6 set interface \"Wi-Fi\" admin=enable\"");
    EXPECT_EQ(records[2][2], std::to_wstring(::GetCurrentProcessId()));
    EXPECT_EQ(records[2][3], std::to_wstring(STARTF_USESHOWWINDOW)) << "no standard handles passed";
    EXPECT_EQ(records[2][4], std::to_wstring(SW_HIDE));
    // The system keeps an ended thread only while someone holds a handle to it; Wine's console host
    // lets go a moment after the child ended.
    bool threadGone = false;
    for (int attempt = 0; attempt < 100 && !threadGone; ++attempt, ::Sleep(100)) {
        threadGone = !UniqueKernelHandle(::OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE,
                                                      static_cast<DWORD>(std::stoul(records[2][5]))));
    }
    EXPECT_TRUE(threadGone) << "the thread handle was closed";
}

TEST_F(CommandRunner, AnEmptyListStartsNothingAndAMissingInterpreterGivesNoExitCodeAndTheError) {
    EXPECT_EQ(RunCmdCommands({}), kNoExitCode);
    EXPECT_FALSE(Exists(log)) << "nothing was started";
    if (Testing::UnderWine()) {
        ASSERT_TRUE(::DeleteFileW(powerShell.c_str()));
    } else {
        SetDebugger(kReplaced[0], L"C:\\velmora-no-such-program.exe"); // Windows then cannot start it
    }
    EXPECT_EQ(RunPowerShellCommands({L"ipconfig /flushdns"}), kNoExitCode);
    EXPECT_THAT(lines->Lines(), ElementsAre(L"Failed to create PowerShell process. Error: 2"));
}

} // namespace
