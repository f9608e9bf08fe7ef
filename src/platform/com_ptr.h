// An owned reference to a COM interface: released when the holder goes or takes another.
#pragma once

#include <utility>

#include "platform/com.h"

namespace pagelith {

template <class T> class TComPtr {
public:
    TComPtr() = default;
    // Takes over a reference the caller already holds.
    explicit TComPtr(T* owned) noexcept : p_(owned) {}
    TComPtr(const TComPtr&) = delete;
    TComPtr& operator=(const TComPtr&) = delete;
    TComPtr(TComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    TComPtr& operator=(TComPtr&& other) noexcept {
        if (this != &other) Reset(std::exchange(other.p_, nullptr));
        return *this;
    }
    ~TComPtr() { Reset(); }

    T* Get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }

    // Releases the held reference and takes over `owned`.
    void Reset(T* owned = nullptr) noexcept {
        T* old = std::exchange(p_, owned);
        if (old) old->Release();
    }
    // Releases the held reference and gives the out-parameter a call fills in.
    T** Put() noexcept {
        Reset();
        return &p_;
    }
    void** PutVoid() noexcept { return reinterpret_cast<void**>(Put()); }
    // Hands the reference to the caller.
    T* Detach() noexcept { return std::exchange(p_, nullptr); }

private:
    T* p_ = nullptr;
};

} // namespace pagelith
