// The process-wide pool of 56-byte nodes behind the ordered maps of the mesh
// topology build. Blocks of 1024 nodes are carved front to back; freed nodes
// are recycled through a free list, and when the last live node comes back
// the pool drops every block but the first, so a finished build leaves only
// one block behind. Not synchronised: used from one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

class cGlobalNodePool
{
public:
    static constexpr std::size_t kNodeBytes = 56;
    static constexpr std::size_t kNodeWords = kNodeBytes / sizeof(std::uint64_t);
    static constexpr std::size_t kBlockNodes = 1024;
    static constexpr std::size_t kBlockWords = kNodeWords * kBlockNodes;
    static constexpr std::size_t kBlockBytes = kNodeBytes * kBlockNodes;

    cGlobalNodePool();
    ~cGlobalNodePool();
    cGlobalNodePool(const cGlobalNodePool&) = delete;
    cGlobalNodePool& operator=(const cGlobalNodePool&) = delete;

    // The one pool of the process.
    static cGlobalNodePool& Instance();

    // A node of kNodeBytes bytes (8-byte aligned), or null when no memory.
    void* AllocNode();
    // Gives a node back; null is ignored.
    void FreeNode(void* node);

    std::size_t GetBlockCount() const { return m_blocks.size(); }
    std::size_t GetLiveCount() const { return m_live; }
    const void* GetBlock(std::size_t i) const { return i < m_blocks.size() ? m_blocks[i] : nullptr; }

private:
    bool AddBlock();

    std::vector<std::uint64_t*> m_blocks;
    std::size_t m_offset = 0; // in words, inside the last block
    void* m_free = nullptr;
    std::size_t m_live = 0;
};

void* AllocNode();
void FreeNode(void* node);

// Standard allocator over the pool for node-based containers (std::map):
// single objects that fit a pool node come from the pool, anything else from
// the ordinary heap.
template <class T> struct tGlobalNodePoolAllocator
{
    using value_type = T;

    tGlobalNodePoolAllocator() = default;
    template <class U> tGlobalNodePoolAllocator(const tGlobalNodePoolAllocator<U>&) {}

    static constexpr bool kFromPool = sizeof(T) <= cGlobalNodePool::kNodeBytes && alignof(T) <= alignof(std::uint64_t);

    T* allocate(std::size_t n)
    {
        if (kFromPool && n == 1)
        {
            void* node = AllocNode();
            if (node == nullptr)
                throw std::bad_alloc();
            return static_cast<T*>(node);
        }
        return std::allocator<T>().allocate(n);
    }

    void deallocate(T* p, std::size_t n)
    {
        if (kFromPool && n == 1)
            FreeNode(p);
        else
            std::allocator<T>().deallocate(p, n);
    }

    template <class U> bool operator==(const tGlobalNodePoolAllocator<U>&) const { return true; }
};
