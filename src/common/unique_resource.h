#pragma once

#include <utility>

namespace Velmora {

// The one move-only owner behind every handle kind of the program. A Traits type names the
// handle type, its empty value and how to give it back:
//   struct Traits { using Handle = ...; static Handle Empty() noexcept; static void Close(Handle) noexcept;
//   };
// A handle is closed exactly once: by the destructor, by Reset or by move-assignment over it.
template <typename Traits>
class UniqueResource {
public:
    using Handle = typename Traits::Handle;

    UniqueResource() noexcept = default;
    explicit UniqueResource(Handle handle) noexcept : handle_(handle) {}
    ~UniqueResource() { Reset(); }

    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;

    UniqueResource(UniqueResource&& other) noexcept : handle_(other.Release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }

    [[nodiscard]] Handle Get() const noexcept { return handle_; }
    [[nodiscard]] bool IsValid() const noexcept { return handle_ != Traits::Empty(); }
    explicit operator bool() const noexcept { return IsValid(); }

    // For interfaces that hand out a pointer (COM pointers); meaningless for other kinds.
    Handle operator->() const noexcept { return handle_; }

    // Gives up ownership without closing.
    [[nodiscard]] Handle Release() noexcept { return std::exchange(handle_, Traits::Empty()); }

    void Reset(Handle handle = Traits::Empty()) noexcept {
        const Handle old = std::exchange(handle_, handle);
        if (old != Traits::Empty()) {
            Traits::Close(old);
        }
    }

    // Closes what is held and returns the address of the empty slot, for out-parameters of
    // functions that create a handle (RegCreateKeyExW, OpenProcessToken, CoCreateInstance ...).
    [[nodiscard]] Handle* Put() noexcept {
        Reset();
        return &handle_;
    }

private:
    Handle handle_ = Traits::Empty();
};

} // namespace Velmora
