// A byte vector whose growth leaves the new bytes as they come from the allocator
// instead of clearing them: for a buffer that is filled right after it is sized (a
// file read into memory), where clearing it first would be one more pass over every
// byte, and the pass that takes the page faults.
#pragma once

#include <cstdint>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace zelt {

template <class T>
struct UninitializedAllocator : std::allocator<T> {
    template <class U>
    struct rebind {
        using other = UninitializedAllocator<U>;
    };
    UninitializedAllocator() noexcept = default;
    template <class U>
    UninitializedAllocator(const UninitializedAllocator<U>&) noexcept {}

    // Growing by resize() default-initialises: nothing is written for bytes.
    template <class U>
    void construct(U* p) noexcept(std::is_nothrow_default_constructible_v<U>) {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        std::construct_at(p, std::forward<Args>(args)...);
    }
};

using ByteBuffer = std::vector<uint8_t, UninitializedAllocator<uint8_t>>;

}  // namespace zelt
