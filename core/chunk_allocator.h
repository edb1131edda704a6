// Node allocator of the system's own lists and trees: nodes are carved from
// chunks and recycled through an intrusive free list threaded through each
// node's first machine word. Memory goes back to the system only when the
// whole allocator is freed, so giving back a node is O(1) and never calls the
// system allocator. Not synchronised: one owner, one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>

// Every owner in the system uses this chunk size unless it has a reason not
// to (the overlay child lists use small chunks).
inline constexpr std::uint32_t kListNodesPerChunk = 1024;

template <class T> struct tListChunkHeader
{
    T* nodes = nullptr;
    tListChunkHeader* next = nullptr;
    tListChunkHeader* previous = nullptr;
};

template <class T> class tListChunkAllocator
{
    static_assert(sizeof(T) >= sizeof(void*), "a node must have room for the free-list link");

public:
    using Header = tListChunkHeader<T>;

    explicit tListChunkAllocator(std::uint32_t nodesPerChunk = kListNodesPerChunk) : m_nodesPerChunk(nodesPerChunk)
    {
    }
    ~tListChunkAllocator() { FreeAll(); }

    tListChunkAllocator(const tListChunkAllocator&) = delete;
    tListChunkAllocator& operator=(const tListChunkAllocator&) = delete;

    // The free list is kept non-empty after the first allocation: before the
    // last free node is handed out, a fresh chunk is chained behind it. Null
    // when no memory can be had.
    T* Alloc()
    {
        if (m_free == nullptr)
        {
            Header* header = AllocChunk();
            if (header == nullptr)
                return nullptr;
            AppendHeader(header);
            m_free = header->nodes;
        }
        else if (GetLink(m_free) == nullptr)
        {
            Header* header = AllocChunk();
            if (header == nullptr)
                return nullptr;
            SetLink(m_free, header->nodes);
            AppendHeader(header);
        }
        T* node = m_free;
        m_free = GetLink(node);
        return node;
    }

    // Gives a node back; its first word becomes the free-list link.
    void Free(T* node)
    {
        if (node == nullptr)
            return;
        SetLink(node, m_free);
        m_free = node;
    }

    // A detached header with its node array, or null. Nodes are initialised
    // for their type (plain nodes zeroed) and threaded in order.
    Header* AllocChunk()
    {
        Header* header = new (std::nothrow) Header();
        if (header == nullptr)
            return nullptr;
        if (!BuildChunkNodes(header, m_nodesPerChunk))
        {
            delete header;
            return nullptr;
        }
        return header;
    }

    // Allocates the header's node array of n nodes, initialises every node and
    // threads them: node k links to node k + 1, the last to null. False (and
    // the array pointer null) when n < 1 or the memory cannot be had.
    static bool BuildChunkNodes(Header* header, std::uint32_t n)
    {
        header->nodes = nullptr;
        if (n < 1)
            return false;
        T* nodes = AllocateRaw(n);
        if (nodes == nullptr)
            return false;
        std::uint32_t built = 0;
        try
        {
            for (; built < n; ++built)
                ::new (static_cast<void*>(nodes + built)) T();
        }
        catch (...)
        {
            DestroyNodes(nodes, built);
            FreeRaw(nodes);
            return false;
        }
        ThreadNodes(nodes, n, nullptr);
        header->nodes = nodes;
        return true;
    }

    // Frees every chunk; the nodes-per-chunk value stays.
    void FreeAll()
    {
        Header* header = m_first;
        while (header != nullptr)
        {
            Header* next = header->next;
            DestroyNodes(header->nodes, m_nodesPerChunk);
            FreeRaw(header->nodes);
            delete header;
            header = next;
        }
        m_first = m_last = nullptr;
        m_free = nullptr;
    }

    // Makes every node of every chunk free again without returning memory.
    // Node contents other than the link word are left as they are.
    void RelinkAll()
    {
        T* following = nullptr;
        for (Header* header = m_last; header != nullptr; header = header->previous)
        {
            ThreadNodes(header->nodes, m_nodesPerChunk, following);
            following = header->nodes;
        }
        m_free = following;
    }

    std::uint32_t GetNodesPerChunk() const { return m_nodesPerChunk; }
    const Header* GetFirstChunk() const { return m_first; }
    const Header* GetLastChunk() const { return m_last; }
    std::uint32_t GetChunkCount() const
    {
        std::uint32_t count = 0;
        for (const Header* header = m_first; header != nullptr; header = header->next)
            ++count;
        return count;
    }
    const T* GetFreeHead() const { return m_free; }

    // The free-list link lives in a node's first machine word.
    static T* GetLink(const T* node)
    {
        T* link;
        std::memcpy(static_cast<void*>(&link), static_cast<const void*>(node), sizeof link);
        return link;
    }
    static void SetLink(T* node, T* link)
    {
        std::memcpy(static_cast<void*>(node), static_cast<const void*>(&link), sizeof link);
    }

private:
    void AppendHeader(Header* header)
    {
        header->next = nullptr;
        header->previous = m_last;
        if (m_last != nullptr)
            m_last->next = header;
        else
            m_first = header;
        m_last = header;
    }

    static void ThreadNodes(T* nodes, std::uint32_t n, T* following)
    {
        for (std::uint32_t k = 0; k + 1 < n; ++k)
            SetLink(nodes + k, nodes + k + 1);
        if (n > 0)
            SetLink(nodes + n - 1, following);
    }

    static T* AllocateRaw(std::uint32_t n)
    {
        const std::size_t bytes = static_cast<std::size_t>(n) * sizeof(T);
        if constexpr (alignof(T) > __STDCPP_DEFAULT_NEW_ALIGNMENT__)
            return static_cast<T*>(::operator new(bytes, std::align_val_t(alignof(T)), std::nothrow));
        else
            return static_cast<T*>(::operator new(bytes, std::nothrow));
    }

    static void FreeRaw(T* nodes)
    {
        if constexpr (alignof(T) > __STDCPP_DEFAULT_NEW_ALIGNMENT__)
            ::operator delete(static_cast<void*>(nodes), std::align_val_t(alignof(T)));
        else
            ::operator delete(static_cast<void*>(nodes));
    }

    static void DestroyNodes(T* nodes, std::uint32_t n)
    {
        if constexpr (!std::is_trivially_destructible_v<T>)
        {
            for (std::uint32_t k = 0; k < n; ++k)
                nodes[k].~T();
        }
    }

    Header* m_first = nullptr;
    Header* m_last = nullptr;
    T* m_free = nullptr;
    std::uint32_t m_nodesPerChunk;
};
