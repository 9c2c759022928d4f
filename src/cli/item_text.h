#pragma once

// Item states in words for people reading the command line's output: "absent", "1", "\"text\"",
// "disabled", "AC 100 %, DC 99 %", "unreadable (error 5)".

#include "engine/items.h"
#include "engine/state_reader.h"

#include <string>

namespace Velmora::Cli {

[[nodiscard]] std::wstring DescribeState(const ItemState& state);

// What can be known of an action beforehand: "12 files, 3.4 MB in 2 folders", "3 matching apps".
[[nodiscard]] std::wstring DescribeFacts(const ActionFacts& facts);

// "3.4 MB", "512 bytes".
[[nodiscard]] std::wstring DescribeBytes(std::uint64_t bytes);

} // namespace Velmora::Cli
