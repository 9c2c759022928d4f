#pragma once

#include <cstdint>
#include <string>

namespace Velmora {

// 1 system, 2 automatic, 3 manual, 4 disabled, 5 automatic with delayed start; any other code is
// treated as manual.
using ServiceStartCode = std::int32_t;

struct ServiceStartEntry {
    std::wstring name; // the service key name, or a per-user template ending in "_*"
    ServiceStartCode code = 3;

    friend bool operator==(const ServiceStartEntry&, const ServiceStartEntry&) = default;
};

} // namespace Velmora
