#include "system/commands.h"

#include <gtest/gtest.h>

namespace {

using Velmora::BuildCmdCommandLine;
using Velmora::BuildPowerShellCommandLine;

TEST(CmdCommandLine, OneEntryFollowsThePrefixWithoutSeparator) {
    EXPECT_EQ(BuildCmdCommandLine({L"NET STOP w32time"}), L"cmd.exe /C NET STOP w32time");
}

TEST(CmdCommandLine, EntriesAreJoinedByBlankAmpersandBlankInListOrder) {
    EXPECT_EQ(BuildCmdCommandLine({L"NET STOP w32time", L"w32tm /unregister"}),
              L"cmd.exe /C NET STOP w32time & w32tm /unregister");
    EXPECT_EQ(BuildCmdCommandLine({L"c", L"a", L"b"}), L"cmd.exe /C c & a & b");
}

TEST(CmdCommandLine, QuotesAndBlanksOfTheEntriesPassUnchanged) {
    EXPECT_EQ(BuildCmdCommandLine({L"netsh interface ipv6 set interface \"Wi-Fi\" admin=disable",
                                   L"w32tm /config /manualpeerlist:\"time.windows.com\" /update ",
                                   L" echo  two  blanks"}),
              L"cmd.exe /C netsh interface ipv6 set interface \"Wi-Fi\" admin=disable & "
              L"w32tm /config /manualpeerlist:\"time.windows.com\" /update  &  echo  two  blanks");
}

TEST(CmdCommandLine, EmptyEntriesKeepTheirPlace) {
    EXPECT_EQ(BuildCmdCommandLine({L"", L"exit 3"}), L"cmd.exe /C  & exit 3");
}

TEST(CommandLines, AnEmptyListHasNoCommandLineSoNothingIsStarted) {
    EXPECT_EQ(BuildCmdCommandLine({}), std::nullopt);
    EXPECT_EQ(BuildPowerShellCommandLine({}), std::nullopt);
}

TEST(PowerShellCommandLine, OneEntryStandsInsideTheQuotesBehindThePreferencePrefix) {
    EXPECT_EQ(BuildPowerShellCommandLine({L"ipconfig /flushdns"}),
              L"powershell.exe -NoProfile -ExecutionPolicy Bypass -Command "
              L"\"$ErrorActionPreference='Continue'; ipconfig /flushdns\"");
}

TEST(PowerShellCommandLine, EntriesAreJoinedBySemicolonBlankWithNothingAfterTheLast) {
    EXPECT_EQ(
        BuildPowerShellCommandLine({L"setx DOTNET_CLI_TELEMETRY_OPTOUT 1",
                                    L"setx POWERSHELL_TELEMETRY_OPTOUT 1", L"ipconfig /flushdns",
                                    L"ie4uinit -show"}),
        L"powershell.exe -NoProfile -ExecutionPolicy Bypass -Command \"$ErrorActionPreference='Continue'; "
        L"setx DOTNET_CLI_TELEMETRY_OPTOUT 1; setx POWERSHELL_TELEMETRY_OPTOUT 1; ipconfig /flushdns; "
        L"ie4uinit -show\"");
}

TEST(PowerShellCommandLine, InnerDoubleQuotesAreNotEscaped) {
    EXPECT_EQ(
        BuildPowerShellCommandLine({L"netsh interface ipv6 set interface \"Ethernet\" admin=enable"}),
        L"powershell.exe -NoProfile -ExecutionPolicy Bypass -Command \"$ErrorActionPreference='Continue'; "
        L"netsh interface ipv6 set interface \"Ethernet\" admin=enable\"");
}

} // namespace
