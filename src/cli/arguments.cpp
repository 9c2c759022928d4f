#include "cli/arguments.h"

#include "engine/choices.h"

#include <algorithm>
#include <array>
#include <cwctype>

namespace Velmora::Cli {
namespace {

constexpr unsigned Bit(Command command) {
    return 1u << static_cast<unsigned>(command);
}

struct CommandSpec {
    Command command;
    std::wstring_view name;
    std::uint8_t minPositional;
    std::uint8_t maxPositional;
};

constexpr std::array<CommandSpec, 11> kCommands = {{
    {Command::Profiles, L"profiles", 0, 0},
    {Command::Plan, L"plan", 1, 1},
    {Command::Apply, L"apply", 1, 1},
    {Command::Status, L"status", 0, 0},
    {Command::Restore, L"restore", 0, 1},
    {Command::Journals, L"journals", 0, 0},
    {Command::Features, L"features", 0, 0},
    {Command::Choices, L"choices", 0, 1},
    {Command::Check, L"check", 0, 0},
    {Command::Repair, L"repair", 0, 0},
    {Command::Keep, L"keep", 1, 1},
}};

constexpr unsigned kAll = Bit(Command::Profiles) | Bit(Command::Plan) | Bit(Command::Apply) |
                          Bit(Command::Status) | Bit(Command::Restore) | Bit(Command::Journals) |
                          Bit(Command::Features) | Bit(Command::Choices) | Bit(Command::Check) |
                          Bit(Command::Repair) | Bit(Command::Keep);
constexpr unsigned kChoosing =
    Bit(Command::Plan) | Bit(Command::Apply) | Bit(Command::Status) | Bit(Command::Check);

struct OptionSpec {
    std::wstring_view name;
    unsigned commands; // where it may be given
    bool Arguments::*flag = nullptr;
    std::optional<std::wstring> Arguments::*value = nullptr;
};

const std::array<OptionSpec, 10> kOptions = {{
    {L"--json", kAll, &Arguments::json, nullptr},
    {L"--remove-apps", Bit(Command::Apply), &Arguments::removeApps, nullptr},
    {L"--no-restore-point", Bit(Command::Apply), &Arguments::noRestorePoint, nullptr},
    {L"--restart", Bit(Command::Apply), &Arguments::restart, nullptr},
    {L"--report", Bit(Command::Apply) | Bit(Command::Repair), nullptr, &Arguments::reportPath},
    {L"--users", kChoosing | Bit(Command::Repair), nullptr, &Arguments::users},
    {L"--keep", kChoosing | Bit(Command::Choices), nullptr, &Arguments::keep},
    {L"--include", kChoosing | Bit(Command::Choices), nullptr, &Arguments::include},
    {L"--choices", kChoosing | Bit(Command::Choices), nullptr, &Arguments::choicesFile},
    {L"--only", Bit(Command::Restore), nullptr, &Arguments::only},
}};

// The longest account name Windows accepts ("DOMAIN\name", or a UPN), with room to spare.
constexpr std::size_t kMaxAccountChars = 256;

bool IsHelp(std::wstring_view arg) {
    return arg == L"--help" || arg == L"-h" || arg == L"-?" || arg == L"/?";
}

std::wstring Lower(std::wstring_view text) {
    std::wstring lower(text);
    for (wchar_t& c : lower) {
        c = static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(c)));
    }
    return lower;
}

ParsedArguments Refuse(ParsedArguments parsed, std::wstring error) {
    parsed.arguments.reset();
    parsed.error = std::move(error);
    return parsed;
}

// "current", "all", "default", an account or a SID, or several of them separated by commas.
std::optional<std::vector<TargetUsers>> ParseUsers(std::wstring_view value, std::wstring& error) {
    std::vector<TargetUsers> selections;
    std::size_t start = 0;
    while (start <= value.size()) {
        const std::size_t end = std::min(value.find(L',', start), value.size());
        const std::wstring part(value.substr(start, end - start));
        start = end + 1;
        const std::wstring lower = Lower(part);
        const bool odd = std::any_of(part.begin(), part.end(), [](wchar_t c) { return c < 0x20; });
        if (part.empty() || part.size() > kMaxAccountChars || odd || part.front() == L' ' ||
            part.back() == L' ') {
            error = L"--users \"" + std::wstring(value) +
                    L"\" is not a list of users: give current, all, default, an account name or a SID, "
                    L"separated by commas without spaces.";
            return std::nullopt;
        }
        if (lower == L"current") {
            selections.push_back({TargetUsersKind::Current, {}});
        } else if (lower == L"all") {
            selections.push_back({TargetUsersKind::All, {}});
        } else if (lower == L"default") {
            selections.push_back({TargetUsersKind::Default, {}});
        } else {
            selections.push_back({TargetUsersKind::Account, part});
        }
    }
    return selections;
}

// Feature ids separated by commas, each in the form ids have; whether they name features is checked
// by the command, which knows them.
std::optional<std::vector<std::wstring>> ParseFeatureIds(std::wstring_view value, std::wstring& error) {
    std::vector<std::wstring> ids;
    std::size_t start = 0;
    while (start <= value.size()) {
        const std::size_t end = std::min(value.find(L',', start), value.size());
        std::wstring id(value.substr(start, end - start));
        start = end + 1;
        if (!IsFeatureIdForm(id) || ids.size() >= kMaxChoiceIds) {
            error =
                L"\"" + std::wstring(value.substr(0, 200)) +
                L"\" is not a list of feature ids: give ids as velmora-cli features lists them, separated by "
                L"commas without spaces.";
            return std::nullopt;
        }
        ids.push_back(std::move(id));
    }
    return ids;
}

} // namespace

std::string_view CommandName(Command command) {
    switch (command) {
    case Command::Help:
        return "help";
    case Command::Version:
        return "version";
    case Command::Profiles:
        return "profiles";
    case Command::Plan:
        return "plan";
    case Command::Apply:
        return "apply";
    case Command::Status:
        return "status";
    case Command::Restore:
        return "restore";
    case Command::Journals:
        return "journals";
    case Command::Features:
        return "features";
    case Command::Choices:
        return "choices";
    case Command::Check:
        return "check";
    case Command::Repair:
        return "repair";
    case Command::Keep:
        return "keep";
    }
    return "help";
}

std::optional<SettingsProfile> ProfileFromName(std::wstring_view name) {
    const std::wstring lower = Lower(name);
    if (lower == L"essential") {
        return kEssentialProfile;
    }
    if (lower == L"standard") {
        return kStandardProfile;
    }
    if (lower == L"maximum") {
        return kMaximumProfile;
    }
    return std::nullopt;
}

ParsedArguments ParseArguments(const std::vector<std::wstring>& args) {
    ParsedArguments parsed;
    parsed.json = std::find(args.begin(), args.end(), L"--json") != args.end();
    if (std::any_of(args.begin(), args.end(), IsHelp)) {
        parsed.arguments = Arguments{};
        parsed.arguments->json = parsed.json;
        return parsed;
    }
    if (std::find(args.begin(), args.end(), L"--version") != args.end()) {
        parsed.command = Command::Version;
        parsed.arguments = Arguments{};
        parsed.arguments->command = Command::Version;
        parsed.arguments->json = parsed.json;
        return parsed;
    }

    Arguments arguments;
    const CommandSpec* command = nullptr;
    std::vector<std::wstring> positional;
    std::vector<std::pair<const OptionSpec*, std::wstring>> options; // with the value, if any
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        if (!arg.starts_with(L"-")) {
            if (command != nullptr) {
                positional.push_back(arg);
                continue;
            }
            const auto found = std::find_if(kCommands.begin(), kCommands.end(),
                                            [&](const CommandSpec& spec) { return spec.name == Lower(arg); });
            if (found == kCommands.end()) {
                return Refuse(parsed, L"Unknown command \"" + arg + L"\".");
            }
            command = &*found;
            parsed.command = command->command;
            continue;
        }
        const std::size_t equals = arg.find(L'=');
        const std::wstring name = arg.substr(0, equals);
        const auto option = std::find_if(kOptions.begin(), kOptions.end(),
                                         [&](const OptionSpec& spec) { return spec.name == name; });
        if (option == kOptions.end()) {
            return Refuse(parsed, L"Unknown option " + name + L".");
        }
        std::wstring value;
        if (option->value != nullptr) {
            if (equals != std::wstring::npos) {
                value = arg.substr(equals + 1);
            } else if (i + 1 < args.size()) {
                value = args[++i];
            }
            if (value.empty()) {
                return Refuse(parsed, name + L" needs a value.");
            }
        } else if (equals != std::wstring::npos) {
            return Refuse(parsed, name + L" takes no value.");
        }
        options.emplace_back(&*option, std::move(value));
    }
    if (command == nullptr) {
        return Refuse(parsed, L"No command given.");
    }
    arguments.command = command->command;
    const std::wstring commandName = std::wstring(command->name);
    for (const auto& [option, value] : options) {
        if ((option->commands & Bit(command->command)) == 0) {
            return Refuse(parsed, std::wstring(option->name) + L" does not go with " + commandName + L".");
        }
        const bool given =
            option->flag ? arguments.*(option->flag) : (arguments.*(option->value)).has_value();
        if (given) {
            return Refuse(parsed, std::wstring(option->name) + L" is given twice.");
        }
        if (option->flag) {
            arguments.*(option->flag) = true;
        } else {
            arguments.*(option->value) = value;
        }
    }
    if (positional.size() > command->maxPositional) {
        return Refuse(parsed, L"Unexpected argument \"" + positional[command->maxPositional] + L"\".");
    }
    const bool takesProfile = command->command == Command::Plan || command->command == Command::Apply;
    if (takesProfile) {
        if (positional.empty()) {
            return Refuse(parsed, commandName + L" needs a profile: essential, standard or maximum.");
        }
        const std::optional<SettingsProfile> profile = ProfileFromName(positional[0]);
        if (!profile) {
            return Refuse(parsed, L"Unknown profile \"" + positional[0] +
                                      L"\": choose essential, standard or maximum.");
        }
        arguments.profile = *profile;
    } else if (command->command == Command::Restore && !positional.empty()) {
        arguments.journal = positional[0];
    } else if (command->command == Command::Choices && !positional.empty()) {
        arguments.choicesAction = Lower(positional[0]);
        if (arguments.choicesAction != L"set" && arguments.choicesAction != L"clear") {
            return Refuse(parsed, L"Unknown choices action \"" + positional[0] + L"\": set or clear.");
        }
    }
    if (command->command == Command::Keep) {
        arguments.keepAction = positional.empty() ? std::wstring() : Lower(positional[0]);
        if (arguments.keepAction != L"on" && arguments.keepAction != L"off" &&
            arguments.keepAction != L"status") {
            return Refuse(parsed, L"keep needs on, off or status.");
        }
    }
    if (command->command == Command::Choices &&
        (arguments.choicesAction == L"set") !=
            (arguments.keep || arguments.include || arguments.choicesFile)) {
        return Refuse(parsed,
                      L"choices set needs --keep, --include or --choices, and they go with choices only "
                      L"as choices set.");
    }
    for (const auto& [given, ids] : {std::pair{&arguments.keep, &arguments.keepIds},
                                     std::pair{&arguments.include, &arguments.includeIds},
                                     std::pair{&arguments.only, &arguments.onlyIds}}) {
        if (!*given) {
            continue;
        }
        std::wstring error;
        auto split = ParseFeatureIds(**given, error);
        if (!split) {
            return Refuse(parsed, error);
        }
        *ids = std::move(*split);
    }
    if (arguments.users) {
        std::wstring error;
        auto selection = ParseUsers(*arguments.users, error);
        if (!selection) {
            return Refuse(parsed, error);
        }
        arguments.userSelection = std::move(*selection);
    }
    parsed.arguments = std::move(arguments);
    return parsed;
}

std::wstring Usage() {
    return L"Usage: velmora-cli COMMAND [OPTIONS]\n"
           L"\n"
           L"  profiles                         the three profiles and how many changes each makes\n"
           L"  plan PROFILE [--users USERS] [--keep IDS] [--include IDS] [--choices FILE]\n"
           L"                                   what PROFILE would change on this PC; changes nothing\n"
           L"  apply PROFILE [--users USERS] [--keep IDS] [--include IDS] [--choices FILE]\n"
           L"        [--remove-apps] [--no-restore-point] [--restart] [--report FILE]\n"
           L"                                   applies PROFILE (needs elevation)\n"
           L"  status [--users USERS] [--keep IDS] [--include IDS] [--choices FILE]\n"
           L"                                   the applied profile and the settings that have drifted\n"
           L"  restore [JOURNAL] [--only IDS]   restores the newest journal, or the one named; with --only,\n"
           L"                                   only those features, which are kept from then on (needs elevation)\n"
           L"  journals                         lists the journals (needs elevation)\n"
           L"  features                         the features: what each change is, in words, and what it may\n"
           L"                                   turn off\n"
           L"  choices [set [--keep IDS] [--include IDS] | set --choices FILE | clear]\n"
           L"                                   the features this PC keeps as they are and the optional ones\n"
           L"                                   it includes, stored and by policy;\n"
           L"                                   set and clear change the stored ones (needs elevation)\n"
           L"  check [--users USERS]            exit 0 when the applied profile holds, 1 when something drifted\n"
           L"                                   or none is applied (for detection scripts)\n"
           L"  repair [--users USERS] [--report FILE]\n"
           L"                                   sets again what no longer holds of the applied profile, with\n"
           L"                                   the stored choices (needs elevation)\n"
           L"  keep on|off|status               repairs the applied profile as SYSTEM at start-up, at every\n"
           L"                                   sign-in and once a day, from a copy in %ProgramFiles%\\Velmora\n"
           L"                                   (on and off need elevation)\n"
           L"  --version, --help\n"
           L"\n"
           L"PROFILE is essential, standard or maximum. USERS names whose per-user settings a command\n"
           L"reaches: current (the account velmora-cli runs as; the default, but never as SYSTEM), all (every\n"
           L"user profile), default (the Default profile, which accounts made later start from), an account or\n"
           L"a SID; several with commas, e.g. all,default. IDS are feature ids (see features) with commas; a\n"
           L"kept feature is neither set nor taken back; an included optional feature (category Windows AI)\n"
           L"is set with the profile. --keep, --include and --choices (a file exported from the window) add to\n"
           L"the stored choices for that command only. Every command takes --json: one JSON document on\n"
           L"standard output. Exit codes: 0 done (repair: nothing had drifted); 3010 done, restart\n"
           L"recommended; 1641 restart started; 1603 failed; 1618 another Velmora run is in progress;\n"
           L"1602 cancelled; 87 bad arguments; 740 needs elevation. See docs/cli.md.\n";
}

} // namespace Velmora::Cli
