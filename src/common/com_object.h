#pragma once

// A COM object the program implements itself: its reference count, and its end when the last reference
// goes. Such objects end only through Release, never through a pointer to their interface, which is
// why an interface has no virtual destructor and this class adds one.

#include <windows.h>

#include <atomic>

namespace Velmora {

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif

template <typename Interface>
class ComObject : public Interface {
public:
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) {
            delete this;
        }
        return left;
    }

protected:
    ComObject() = default;
    virtual ~ComObject() = default;

private:
    std::atomic<ULONG> references_{1};
};

#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

} // namespace Velmora
