#pragma once

// A path given, or found at its first use rather than when its owner is made: finding a known folder
// loads the shell, which a window that never needs the folder should not pay for at its start.

#include "common/run_once.h"

#include <string>
#include <utility>

namespace Velmora {

class LazyPath {
public:
    // An empty `given` is found by `find` at the first Get.
    LazyPath(std::wstring given, std::wstring (*find)()) : value_(std::move(given)), find_(find) {}

    [[nodiscard]] const std::wstring& Get() const {
        found_([this] {
            if (value_.empty()) {
                value_ = find_();
            }
        });
        return value_;
    }

private:
    mutable RunOnce found_;
    mutable std::wstring value_;
    std::wstring (*find_)();
};

} // namespace Velmora
