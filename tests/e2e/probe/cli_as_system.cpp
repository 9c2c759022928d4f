// velmora-cli as a fleet tool runs it, as SYSTEM: the sandbox's user stands in, and this answer takes
// the place of its token's SID wherever the commands ask whose hive is their own.

#include "cli/process_user.h"

std::wstring Velmora::Cli::ProcessUserInPlaceOfToken() {
    return L"S-1-5-18";
}
