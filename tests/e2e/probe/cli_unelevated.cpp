// velmora-cli as a process without elevation sees it: the sandbox's user is an administrator, so the
// tests link this answer in place of the token check (the shipped program has no switch for it).

#include "cli/elevation.h"

bool Velmora::Cli::ProcessIsElevated() noexcept {
    return false;
}
