#pragma once

#include <string>

namespace Velmora::Cli {

// The SID the commands take for the account this process runs as, when a test build names one in
// place of its token's (LocalSystem, to run as a fleet tool does); empty in the shipped program, which
// reads its token. Defined in a unit of its own, so that a test build can link another answer.
[[nodiscard]] std::wstring ProcessUserInPlaceOfToken();

} // namespace Velmora::Cli
