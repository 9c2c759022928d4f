#include "cli/cli.h"

#include "cli/arguments.h"
#include "cli/command_common.h"
#include "cli/exit_codes.h"
#include "common/text_encoding.h"

namespace Velmora::Cli {
namespace {

// docs/cli.md: the documents keep this shape; fields may be added, none removed or changed.
constexpr int kCliSchemaVersion = 1;

Json Document(Command command, const std::wstring& version, const Answer& answer) {
    Json document{{"schemaVersion", kCliSchemaVersion},
                  {"command", CommandName(command)},
                  {"programVersion", U8(version)},
                  {"exitCode", answer.exitCode},
                  {"message", U8(answer.message)}};
    document.update(answer.fields);
    return document;
}

int Deliver(CliPlatform& platform, Command command, bool json, const Answer& answer,
            const std::optional<std::wstring>& reportPath) {
    const std::string document = Document(command, platform.Engine().programVersion, answer).dump(2) + "\n";
    if (json) {
        platform.WriteOut(FromUtf8(document));
    }
    if (answer.fields.contains("error")) {
        platform.WriteError(L"velmora-cli: " + answer.message + L"\n");
    } else if (!json) {
        platform.WriteOut(answer.message + L"\n" + answer.details);
    }
    if (reportPath && answer.ran) {
        std::wstring error;
        if (!platform.WriteReport(platform.FullPath(*reportPath), document, error)) {
            platform.WriteError(L"velmora-cli: the report could not be written to " + *reportPath + L": " +
                                error + L"\n");
        }
    }
    return answer.exitCode;
}

} // namespace

std::optional<std::wstring> ResolveJournalArgument(const std::wstring& argument, const std::wstring& folder,
                                                   const std::vector<std::wstring>& journals,
                                                   CliPlatform& platform, std::wstring& error) {
    const bool isName = argument.find_first_of(L"\\/:") == std::wstring::npos;
    const std::wstring path = isName ? folder + L"\\" + argument : platform.FullPath(argument);
    for (const std::wstring& journal : journals) {
        if (!path.empty() && Lower(journal) == Lower(path)) {
            return journal;
        }
    }
    const std::size_t slash = path.find_last_of(L"\\/");
    if (path.empty() || slash == std::wstring::npos || Lower(path.substr(0, slash)) != Lower(folder)) {
        error = L"Velmora restores only journals in its journal folder, " + folder + L"; \"" + argument +
                L"\" is not there.";
    } else {
        error = L"There is no journal \"" + path.substr(slash + 1) + L"\" in " + folder +
                L" (velmora-cli journals lists them).";
    }
    return std::nullopt;
}

int RunCli(const std::vector<std::wstring>& args, CliPlatform& platform) {
    const ParsedArguments parsed = ParseArguments(args);
    if (!parsed.arguments) {
        Deliver(platform, parsed.command, parsed.json, Refusal(kExitBadArguments, parsed.error), {});
        platform.WriteError(L"\n" + Usage());
        return kExitBadArguments;
    }
    const Arguments& arguments = *parsed.arguments;
    Session session{arguments, platform};
    Answer answer;
    try {
        // What the run, the plan or the count leaves as it is, read once for the whole command.
        const bool chooses = arguments.command == Command::Profiles || arguments.command == Command::Plan ||
                             arguments.command == Command::Apply || arguments.command == Command::Status ||
                             arguments.command == Command::Check || arguments.command == Command::Repair;
        if (std::optional<Answer> refused = chooses ? ReadSessionChoices(session) : std::nullopt) {
            answer = std::move(*refused);
        } else {
            switch (arguments.command) {
            case Command::Help:
                if (!arguments.json) {
                    platform.WriteOut(Usage());
                    return kExitDone;
                }
                answer.message = L"velmora-cli's commands and options; \"usage\" holds them in words.";
                answer.fields["usage"] = U8(Usage());
                break;
            case Command::Version:
                answer.message = L"velmora-cli " + platform.Engine().programVersion;
                break;
            case Command::Profiles:
                answer = ProfilesCommand(session);
                break;
            case Command::Plan:
                answer = PlanCommand(session);
                break;
            case Command::Apply:
                answer = ApplyCommand(session);
                break;
            case Command::Status:
                answer = StatusCommand(session);
                break;
            case Command::Check:
                answer = CheckCommand(session);
                break;
            case Command::Repair:
                answer = RepairCommand(session);
                break;
            case Command::Keep:
                answer = KeepCommand(session);
                break;
            case Command::Restore:
                answer = RestoreCommand(session);
                break;
            case Command::Journals:
                answer = JournalsCommand(session);
                break;
            case Command::Features:
                answer = FeaturesCommand(session);
                break;
            case Command::Choices:
                answer = ChoicesCommand(session);
                break;
            }
        }
    } catch (...) {
        answer = Refusal(kExitFailed, L"velmora-cli stopped on an unexpected error.");
    }
    const int code = Deliver(platform, arguments.command, arguments.json, answer,
                             arguments.command == Command::Apply || arguments.command == Command::Repair
                                 ? arguments.reportPath
                                 : std::nullopt);
    if (code == kExitBadArguments) {
        platform.WriteError(L"\n" + Usage());
    }
    std::wstring refusal;
    // The result is out and the report written: only now is the restart asked for.
    if (code == kExitRestartStarted && !platform.RestartComputer(refusal)) {
        platform.WriteError(L"velmora-cli: Windows refused to restart the PC (" + refusal +
                            L"). The changes are made; restart the PC to complete them.\n");
        return kExitRestartRequired;
    }
    return code;
}

} // namespace Velmora::Cli