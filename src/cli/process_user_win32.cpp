#include "cli/process_user.h"

std::wstring Velmora::Cli::ProcessUserInPlaceOfToken() {
    return {};
}
