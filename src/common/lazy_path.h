#pragma once

// A path given, or found at its first use rather than when its owner is made: finding a known folder
// loads the shell, which a window that never needs the folder should not pay for at its start.

#include <mutex>
#include <string>
#include <utility>

namespace Velmora {

class LazyPath {
public:
    // An empty `given` is found by `find` at the first Get.
    LazyPath(std::wstring given, std::wstring (*find)()) : value_(std::move(given)), find_(find) {}

    [[nodiscard]] const std::wstring& Get() const {
        // A mutex rather than std::call_once, whose thread-local state the clang build cannot link.
        const std::lock_guard lock(finding_);
        if (!found_) {
            found_ = true;
            if (value_.empty()) {
                value_ = find_();
            }
        }
        return value_;
    }

private:
    mutable std::mutex finding_;
    mutable bool found_ = false;
    mutable std::wstring value_;
    std::wstring (*find_)();
};

} // namespace Velmora
