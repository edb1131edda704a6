// An allocator whose containers leave the new elements of a resize
// unwritten (value-initialising construction becomes default
// initialisation), for big arrays of plain values that a pass on the pool
// writes first: the kernel then makes their fresh pages side by side, where
// clearing them on the calling thread made them one after another.
#pragma once

#include <memory>
#include <new>
#include <utility>
#include <vector>

template <class T> struct tUnwrittenAllocator : std::allocator<T>
{
    template <class U> struct rebind
    {
        using other = tUnwrittenAllocator<U>;
    };
    tUnwrittenAllocator() = default;
    template <class U> tUnwrittenAllocator(const tUnwrittenAllocator<U>&) noexcept {}
    template <class U> void construct(U* p) noexcept(noexcept(::new (static_cast<void*>(p)) U))
    {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args> void construct(U* p, Args&&... args)
    {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

// A vector whose resize leaves the new values unwritten.
template <class T> using tUnwrittenVector = std::vector<T, tUnwrittenAllocator<T>>;
