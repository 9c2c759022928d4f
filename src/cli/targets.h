#pragma once

// Whose hives one command's per-user items reach (--users), and how each was reached, in words and JSON.

#include "cli/command_common.h"
#include "engine/target_users.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace Velmora::Cli {

// Whose hives one command's per-user items reach, held for as long as its plan or run lasts; the
// engine is pointed at them meanwhile.
class Targets {
public:
    explicit Targets(EngineServices& engine) : engine_(engine) {}
    ~Targets() { engine_.targetUsers = nullptr; }
    Targets(const Targets&) = delete;
    Targets& operator=(const Targets&) = delete;

    void Use(TargetUserSet set) {
        set_ = std::move(set);
        engine_.targetUsers = &set_;
    }
    [[nodiscard]] const std::vector<TargetUser>& Users() const { return set_.users; }
    // Unloads the hives loaded for the command; the users stay known for its answer.
    void UnloadHives() {
        engine_.targetUsers = nullptr;
        set_.UnloadHives();
    }

    std::wstring selection;  // --users as given; "current" by default
    std::wstring leftOutWhy; // the per-user items are left out (SYSTEM without --users): why

private:
    EngineServices& engine_;
    TargetUserSet set_;
};

// Resolves --users, or its default, for a command that plans (`runs` false) or applies. A run as
// SYSTEM without --users is refused; a plan leaves the per-user items out and says why.
[[nodiscard]] std::optional<Answer> ResolveTargets(Session& session, bool runs, Targets& targets);

// What a run checks before it changes anything, in this order: elevation, the report path, the run lock
// (held in `claim` from then on) and the users; the refusal of the first that fails.
[[nodiscard]] std::optional<Answer> PrepareRun(Session& session, RunClaim& claim, Targets& targets);

// Adds `users` (each with `extra(user, json)`) and, with targets, `userSelection` to the document,
// and the same in words to the details. A restore has no targets: it reaches the hives its journal names.
using UserExtra = std::function<std::wstring(const TargetUser& user, Json& json)>;
void ReportUsers(Answer& answer, const Targets* targets, const std::vector<TargetUser>& users,
                 const UserExtra& extra);

[[nodiscard]] std::wstring LeftOutNote(const Targets& targets);
[[nodiscard]] std::size_t Skipped(const std::vector<TargetUser>& users);

} // namespace Velmora::Cli
