#include "common/diagnostics.h"

#include <cstdlib>

namespace Velmora {

// The host build is for tests only; it logs under XDG_STATE_HOME when a test asks for it.
std::filesystem::path DiagnosticLogFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state == nullptr || *state == '\0') {
        return {};
    }
    return std::filesystem::path(state) / "Velmora" / "Logs";
}

} // namespace Velmora
