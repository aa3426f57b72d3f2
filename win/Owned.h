// One Windows handle owned: given back the way its kind requires when the owner goes. Traits
// name the kind: its Handle type, None() (the value that holds nothing), Valid() and Close().
// Moves, never copies.
#pragma once

#include <utility>

namespace win {

template <class Traits>
class Owned {
public:
    using Handle = typename Traits::Handle;

    Owned() = default;
    explicit Owned(Handle handle) : handle_(handle) {}
    Owned(Owned&& other) noexcept : handle_(other.Release()) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    ~Owned() { Reset(); }

    Handle Get() const { return handle_; }
    explicit operator bool() const { return Traits::Valid(handle_); }
    // Hands the handle to the caller, who gives it back; this owner then holds nothing.
    Handle Release() { return std::exchange(handle_, Traits::None()); }
    // Gives back what it holds and takes `handle` instead.
    void Reset(Handle handle = Traits::None()) {
        if (Traits::Valid(handle_)) Traits::Close(handle_);
        handle_ = handle;
    }
    // For calls that hand out a new handle through a pointer: what was held is given back first.
    Handle* Put() {
        Reset();
        return &handle_;
    }

private:
    Handle handle_ = Traits::None();
};

// The traits of a kind whose none is null and that `CloseFn` gives back.
template <class H, auto CloseFn>
struct NullHandleTraits {
    using Handle = H;
    static Handle None() { return nullptr; }
    static bool Valid(Handle handle) { return handle != nullptr; }
    static void Close(Handle handle) { CloseFn(handle); }
};

}  // namespace win
