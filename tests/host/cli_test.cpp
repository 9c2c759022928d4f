// velmora-cli's rules on the host: what its command line accepts, which exit code each outcome of
// apply gives (and that a restart is asked for only after the result and the report are out), the
// journal and report paths it refuses. The engine is the real one over a fake PC; the platform
// (elevation, run lock, console, restart) is a fake that records what it is asked.

#include "cli/arguments.h"
#include "cli/cli.h"
#include "cli/exit_codes.h"
#include "cli/report_path.h"
#include "common/text_encoding.h"
#include "engine/detection_marker.h"
#include "settings/local_settings.h"
#include "support/fake_engine.h"
#include "support/fake_keep_platform.h"
#include "support/recording_system.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

namespace {

using namespace Velmora;
using namespace Velmora::Cli;
using namespace Velmora::Testing;
using ::testing::HasSubstr;

TEST(CliArguments, AcceptTheDocumentedFormsAndRefuseTheRestWithAReason) {
    const struct {
        std::vector<std::wstring> args;
        const wchar_t* refusal; // nullptr: accepted
    } cases[] = {
        {{L"apply", L"MAXIMUM", L"--remove-apps", L"--no-restore-point", L"--restart",
          L"--report=C:\\r.json"},
         nullptr},
        {{L"--json", L"restore", L"x.json"}, nullptr},
        {{L"status", L"--help"}, nullptr},
        {{}, L"No command given."},
        {{L"install"}, L"Unknown command \"install\"."},
        {{L"plan"}, L"plan needs a profile"},
        {{L"plan", L"turbo"}, L"Unknown profile \"turbo\""},
        {{L"plan", L"standard", L"extra"}, L"Unexpected argument \"extra\""},
        {{L"plan", L"standard", L"--restart"}, L"--restart does not go with plan"},
        {{L"apply", L"standard", L"--report"}, L"--report needs a value"},
        {{L"apply", L"standard", L"--json", L"--json"}, L"--json is given twice"},
        {{L"status", L"--json=yes"}, L"--json takes no value"},
        {{L"plan", L"standard", L"--users=ALL,default,PC\\ann"}, nullptr},
        {{L"status", L"--users", L"all,,default"}, L"is not a list of users"},
        {{L"restore", L"--users", L"all"}, L"--users does not go with restore"},
        {{L"choices", L"set", L"--choices", L"c.json"}, nullptr},
        {{L"choices", L"--choices", L"c.json"}, L"choices set needs --keep, --include or --choices"},
        {{L"check"}, nullptr},
        {{L"check", L"--users", L"all", L"--json"}, nullptr},
        {{L"check", L"standard"}, L"Unexpected argument \"standard\""},
        {{L"repair", L"--users", L"all", L"--report", L"r.json"}, nullptr},
        {{L"repair", L"--keep", L"ipv6-off"}, L"--keep does not go with repair"},
    };
    for (const auto& c : cases) {
        const ParsedArguments parsed = ParseArguments(c.args);
        if (c.refusal == nullptr) {
            EXPECT_TRUE(parsed.arguments) << parsed.error;
        } else {
            EXPECT_FALSE(parsed.arguments);
            EXPECT_THAT(parsed.error, HasSubstr(c.refusal));
        }
    }
    const Arguments apply = *ParseArguments(cases[0].args).arguments;
    EXPECT_EQ(apply.profile, kMaximumProfile);
    EXPECT_TRUE(apply.removeApps && apply.noRestorePoint && apply.restart);
    EXPECT_EQ(apply.reportPath, L"C:\\r.json");
    EXPECT_EQ(ParseArguments(cases[1].args).arguments->journal, L"x.json");
    EXPECT_EQ(ParseArguments(cases[2].args).arguments->command, Command::Help);
    // Help and the version are documents too when asked for.
    EXPECT_TRUE(ParseArguments({L"--help", L"--json"}).arguments->json);
    EXPECT_TRUE(ParseArguments({L"--json", L"--version"}).arguments->json);
    const std::vector<TargetUsers> users = ParseArguments(cases[12].args).arguments->userSelection;
    ASSERT_EQ(users.size(), 3u);
    EXPECT_EQ(std::vector({users[0].kind, users[1].kind, users[2].kind}),
              std::vector({TargetUsersKind::All, TargetUsersKind::Default, TargetUsersKind::Account}));
}

TEST(CliReportPath, OnlyAPlainFileIsAReport) {
    const struct {
        const wchar_t* path;
        const wchar_t* refusal;
    } cases[] = {
        {L"C:\\Reports\\pc.json", nullptr},
        {L"\\\\server\\share\\pc.json", nullptr},
        {L"\\\\.\\PhysicalDrive0", L"device"},
        {L"C:\\Reports\\nul.json", L"device"},
        {L"C:\\Reports\\COM1", L"device"},
        {L"C:\\Reports\\pc.json:hidden", L"stream"},
        {L"C:\\Reports\\", L"file name"},
        {L"Reports\\pc.json", L"not an absolute path"},
        {L"C:\\Reports\\p\tc.json", L"control character"},
    };
    for (const auto& c : cases) {
        const auto why = WhyNotAReportPath(c.path);
        EXPECT_EQ(why.has_value(), c.refusal != nullptr) << c.path;
        if (why && c.refusal) {
            EXPECT_THAT(*why, HasSubstr(c.refusal)) << c.path;
        }
    }
}

// Registry writes land in the fake PC, so the detection marker can be read back.
class FakePcWriter final : public StateWriter {
public:
    explicit FakePcWriter(FakePcReader& pc) : pc_(pc) {}
    WriteOutcome WriteRegistryValue(RegistryRoot root, const std::wstring& key, const std::wstring& name,
                                    std::uint32_t type, const std::vector<std::uint8_t>& data) override {
        pc_.SetValue(root, key, name, {Presence::Present, type, data, 0});
        return {true, 0};
    }
    WriteOutcome DeleteRegistryValue(RegistryRoot root, const std::wstring& key,
                                     const std::wstring& name) override {
        pc_.values.erase(FakePcReader::Id(root, key + L":" + name));
        return {true, 0};
    }
    WriteOutcome CreateRegistryKey(RegistryRoot, const std::wstring&) override { return {true, 0}; }
    WriteOutcome DeleteRegistryKeyIfEmpty(RegistryRoot, const std::wstring&) override { return {true, 0}; }
    WriteOutcome SetServiceStartType(const std::wstring&, std::uint32_t) override { return {true, 0}; }
    WriteOutcome SetServiceDelayedFlag(const std::wstring&, bool) override { return {true, 0}; }
    WriteOutcome SetTaskEnabled(const std::wstring&, bool) override { return {true, 0}; }
    WriteOutcome WriteProcessorMaximum(const ProcessorMaximumState&) override { return {true, 0}; }

private:
    FakePcReader& pc_;
};

class FakeCliPlatform final : public CliPlatform {
public:
    explicit FakeCliPlatform(EngineServices& engine) : engine_(engine) {}

    bool Elevated() override { return elevated; }
    RunClaim ClaimRun() override { return {claim, 5, nullptr, {}}; }
    EngineServices& Engine() override { return engine_; }
    KeepPlatform& Keep() override { return keep; }
    std::wstring JournalFolder() override { return L"C:\\ProgramData\\Velmora\\Journal"; }
    std::wstring FullPath(const std::wstring& path) override {
        return path.find(L':') == std::wstring::npos ? L"C:\\work\\" + path : path;
    }
    bool CheckReportPath(const std::wstring& path, std::wstring& why) override {
        why = WhyNotAReportPath(path).value_or(L"");
        return why.empty();
    }
    bool ReadChoicesFile(const std::wstring& path, std::string& text, std::wstring& error) override {
        const auto found = files.find(path);
        error = found == files.end() ? L"it is not there" : L"";
        text = found == files.end() ? "" : found->second;
        return found != files.end();
    }
    bool WriteReport(const std::wstring& path, const std::string& document, std::wstring&) override {
        events.push_back("report");
        reports[path] = document;
        return true;
    }
    void WriteOut(std::wstring_view text) override {
        events.push_back("out");
        out += text;
    }
    void WriteError(std::wstring_view text) override { errors += text; }
    void ShowProgress(std::wstring_view line) override {
        cancel = cancel || (stopAfter > 0 && ++shown >= stopAfter && !line.empty());
    }
    const std::atomic<bool>& CancelRequested() override { return cancel; }
    bool StartAppRemoval(std::vector<std::wstring>) override { return false; }
    void FinishAppRemoval() override {}
    bool RestartComputer(std::wstring& refusal) override {
        events.push_back("restart");
        refusal = restartRefusal;
        return restartRefusal.empty();
    }

    bool elevated = true;
    std::map<std::wstring, std::string> files; // what --choices reads
    ClaimOutcome claim = ClaimOutcome::Held;
    int stopAfter = 0; // Ctrl+C at this progress line
    int shown = 0;
    std::atomic<bool> cancel{false};
    std::wstring out;
    std::wstring errors;
    std::vector<std::string> events;
    FakeKeepPlatform keep;
    std::map<std::wstring, std::string> reports;
    std::wstring restartRefusal; // Windows' answer to the restart request; empty: accepted

private:
    EngineServices& engine_;
};

class CliApply : public ::testing::Test {
protected:
    int Run(std::vector<std::wstring> args) { return RunCli(args, platform); }
    std::optional<DetectionMarker> Marker() { return ReadDetectionMarker(pc); }

    RecordingSystem system;
    FakePcReader pc;
    FakePcWriter writer{pc};
    std::unique_ptr<LocalSettingsValues> settings = MakeInMemorySettings();
    MemoryJournalStore store;
    FakeRestorePointApi restorePoints;
    EngineServices services{system, pc, writer, *settings, store, restorePoints, nullptr, L"2.3.4"};
    FakeCliPlatform platform{services};
};

TEST_F(CliApply, RefusalsChangeNothingAndSayWhy) {
    const struct {
        bool elevated;
        ClaimOutcome claim;
        std::vector<std::wstring> args;
        int exitCode;
        const wchar_t* says;
    } cases[] = {
        {false, ClaimOutcome::Held, {L"apply", L"standard"}, kExitNeedsElevation, L"needs elevation"},
        {false, ClaimOutcome::Held, {L"restore"}, kExitNeedsElevation, L"needs elevation"},
        {true, ClaimOutcome::Busy, {L"apply", L"standard"}, kExitAnotherRun, L"Another Velmora run"},
        {true, ClaimOutcome::Failed, {L"apply", L"standard"}, kExitFailed, L"error 5"},
        {true,
         ClaimOutcome::Held,
         {L"apply", L"standard", L"--report", L"C:\\r\\nul"},
         kExitBadArguments,
         L"names a device"},
        {true,
         ClaimOutcome::Held,
         {L"restore", L"C:\\Windows\\win.ini"},
         kExitBadArguments,
         L"only journals in its journal folder"},
    };
    for (const auto& c : cases) {
        platform.elevated = c.elevated;
        platform.claim = c.claim;
        platform.errors.clear();
        EXPECT_EQ(Run(c.args), c.exitCode) << platform.errors;
        EXPECT_THAT(platform.errors, HasSubstr(c.says));
        EXPECT_TRUE(store.files.empty()) << "a refused command wrote a journal";
        EXPECT_TRUE(system.Calls().empty()) << "a refused command changed the PC";
    }
}

TEST_F(CliApply, EachOutcomeHasItsExitCodeAndOnlyASuccessWritesTheMarker) {
    EXPECT_EQ(Run({L"apply", L"standard", L"--json", L"--report", L"C:\\r.json"}), kExitRestartRequired);
    ASSERT_TRUE(Marker());
    EXPECT_EQ(Marker()->appliedProfile, L"Standard");
    EXPECT_EQ(Marker()->revision, 130u);
    EXPECT_EQ(Marker()->result, L"Succeeded");
    EXPECT_EQ(Marker()->version, L"2.3.4");
    EXPECT_EQ(platform.reports.at(L"C:\\r.json"), ToUtf8(platform.out))
        << "the report is the --json document";

    platform.stopAfter = 100; // Ctrl+C during the run
    EXPECT_EQ(Run({L"apply", L"maximum"}), kExitCancelled);
    EXPECT_EQ(Marker()->appliedProfile, L"Standard") << "a stopped run leaves the marker as it was";
    platform.stopAfter = 0;
    platform.cancel = false;

    system.dwordWriteSucceeds = [](const RegistryDwordSetting& row) { return row.root != 2; };
    EXPECT_EQ(Run({L"apply", L"maximum"}), kExitFailed);
    EXPECT_EQ(Marker()->appliedProfile, L"Standard") << "a failed run leaves the marker as it was";
    system.dwordWriteSucceeds = nullptr;

    // The restart is asked for last: after the result is out and the report written.
    platform.events.clear();
    EXPECT_EQ(Run({L"apply", L"essential", L"--restart", L"--report", L"C:\\r.json"}), kExitRestartStarted);
    EXPECT_EQ(platform.events, (std::vector<std::string>{"out", "report", "restart"}));
    EXPECT_EQ(Marker()->appliedProfile, L"Essential");

    // A restore brings the marker in line with the settings it put back, and removes it with the last
    // profile.
    ASSERT_FALSE(RestoreJournal(services, L"4-Essential.json").refused);
    EXPECT_EQ(Marker()->appliedProfile, L"Standard");
    EXPECT_EQ(Marker()->result, L"Restored");
    for (const wchar_t* journal : {L"3-Maximum.json", L"2-Maximum.json", L"1-Standard.json"}) {
        ASSERT_FALSE(RestoreJournal(services, journal).refused) << journal;
    }
    EXPECT_FALSE(Marker()) << "no profile is applied any more";
}

TEST_F(CliApply, ARestartWindowsRefusesExitsAsOneStillToBeDoneWithItsReason) {
    platform.restartRefusal = L"error 1115: A system shutdown is in progress.";
    EXPECT_EQ(Run({L"apply", L"essential", L"--restart"}), kExitRestartRequired);
    EXPECT_THAT(platform.errors, HasSubstr(platform.restartRefusal));
}

} // namespace

TEST_F(CliApply, KeepingNeedsAnAppliedProfileAndARestoreThatLeavesNoneTurnsItOff) {
    EXPECT_EQ(Run({L"keep", L"on"}), kExitFailed);
    EXPECT_THAT(platform.errors, HasSubstr(L"apply one first"));
    EXPECT_FALSE(platform.keep.task);
    ASSERT_EQ(Run({L"apply", L"standard"}), kExitRestartRequired);
    platform.elevated = false;
    EXPECT_EQ(Run({L"keep", L"on"}), kExitNeedsElevation);
    platform.elevated = true;
    EXPECT_EQ(Run({L"keep", L"on"}), kExitDone);
    EXPECT_TRUE(platform.keep.task && platform.keep.installed);
    platform.out.clear();
    EXPECT_EQ(Run({L"keep", L"status"}), kExitDone);
    EXPECT_THAT(platform.out, HasSubstr(L"Keeping settings in place is on"));

    platform.out.clear();
    EXPECT_EQ(Run({L"restore", L"--json"}), kExitRestartRequired);
    EXPECT_THAT(platform.out, HasSubstr(L"\"keepingTurnedOff\": true"));
    EXPECT_FALSE(platform.keep.task || platform.keep.installed);
}
