#pragma once

// The command line of velmora-cli: one command, its positional argument and its options. Options are
// rows of one table, so a new option is one row and one field.

#include "engine/target_users.h"
#include "tweaks/profiles.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Velmora::Cli {

enum class Command : std::uint8_t {
    Help,
    Version,
    Profiles,
    Plan,
    Apply,
    Status,
    Restore,
    Journals,
    Features,
    Choices,
    Check,
    Repair,
    Keep
};

[[nodiscard]] std::string_view CommandName(Command command);

struct Arguments {
    Command command = Command::Help;
    SettingsProfile profile = kNoProfile; // plan, apply
    std::wstring journal;                 // restore: a journal's file name or path; empty for the newest
    bool json = false;
    bool removeApps = false;
    bool noRestorePoint = false;
    bool restart = false;
    std::optional<std::wstring> reportPath;  // as given; checked when it is written
    std::optional<std::wstring> users;       // plan, apply, status: --users as given
    std::vector<TargetUsers> userSelection;  // --users parsed, in the order given; empty without it
    std::optional<std::wstring> keep;        // plan, apply, status, choices set: --keep as given
    std::optional<std::wstring> include;     // plan, apply, status, choices set: --include as given
    std::optional<std::wstring> choicesFile; // plan, apply, status: --choices FILE
    std::optional<std::wstring> only;        // restore: --only as given
    std::vector<std::wstring> keepIds;       // --keep split at its commas
    std::vector<std::wstring> includeIds;    // --include split at its commas
    std::vector<std::wstring> onlyIds;       // --only split at its commas
    std::wstring choicesAction;              // choices: empty, "set" or "clear"
    std::wstring keepAction;                 // keep: "on", "off" or "status"
};

struct ParsedArguments {
    std::optional<Arguments> arguments; // nullopt: refused, `error` says why
    std::wstring error;
    Command command = Command::Help; // as far as it was recognised
    bool json = false;               // --json was among the arguments, so even a refusal is a document
};

// `args` without the program name.
[[nodiscard]] ParsedArguments ParseArguments(const std::vector<std::wstring>& args);

// The usage text, for --help (standard output) and after a refusal (the error stream).
[[nodiscard]] std::wstring Usage();

// 0 Essential, 1 Standard, 2 Maximum by name, in any letter case; nullopt for anything else.
[[nodiscard]] std::optional<SettingsProfile> ProfileFromName(std::wstring_view name);

} // namespace Velmora::Cli
