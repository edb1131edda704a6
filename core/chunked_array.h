// Indexable arrays whose records sit in fixed chunks of 1024. Records never
// move while the array grows, so other structures keep plain pointers to them
// (search trees hold vertex pointers, trees hold node pointers). Growth copies
// only the chunk table. Not synchronised.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>

inline constexpr std::uint32_t kArrayChunkShift = 10;
inline constexpr std::uint32_t kArrayChunkSize = 1u << kArrayChunkShift;
inline constexpr std::uint32_t kArrayChunkMask = kArrayChunkSize - 1;
// The largest record count whose capacity (whole chunks) still fits in u32.
inline constexpr std::uint32_t kArrayMaxRecords = 0xFFFFFFFFu & ~kArrayChunkMask;

// Whether Resize's zero-fill request clears a new chunk after its records were
// constructed. Types whose default record is not all zero bytes (or that must
// not be cleared) opt out by specialising this to false.
template <class T> inline constexpr bool kArrayZeroFillHonoured = std::is_trivially_copyable_v<T>;

// The chunk store: a table of chunk pointers, its length and the capacity.
template <class T> class tArrayChunkAllocator
{
public:
    tArrayChunkAllocator() = default;
    ~tArrayChunkAllocator() { FreeAll(); }

    tArrayChunkAllocator(const tArrayChunkAllocator&) = delete;
    tArrayChunkAllocator& operator=(const tArrayChunkAllocator&) = delete;

    // Makes room for n records in whole chunks. Shrinking destroys only the
    // surplus chunks; the records of the kept chunks stay where they are. The
    // record count is never touched. On failure the array is as it was.
    bool Resize(std::uint32_t n, bool zeroFill = false)
    {
        if (n == 0)
        {
            FreeAll();
            return true;
        }
        if (n > kArrayMaxRecords)
            return false;
        const std::uint32_t chunks = ((n - 1) >> kArrayChunkShift) + 1;
        if (chunks == m_chunkCount)
            return true;
        if (chunks > m_chunkCount)
            return Grow(chunks, zeroFill);
        for (std::uint32_t c = chunks; c < m_chunkCount; ++c)
        {
            DestroyChunk(m_chunks[c]);
            m_chunks[c] = nullptr;
        }
        m_chunkCount = chunks;
        m_capacity = chunks * kArrayChunkSize;
        return true;
    }

    // Extends the table to the given number of chunks, allocating and
    // initialising the new ones. All or nothing: on failure the chunks made so
    // far are freed and the old table stays in place.
    bool Grow(std::uint32_t chunks, bool zeroFill = false)
    {
        return GrowWith(chunks, [zeroFill] { return MakeChunk(zeroFill); });
    }

    // Grow for an owner that writes every record of the new chunks itself
    // before anything reads them (on threads of its own: the first touch of
    // a big array's memory is most of the time it takes to make). The
    // chunks are allocated here, one after another, as Grow allocates them;
    // their records are left unwritten. Only for records that need no
    // construction or destruction.
    bool GrowUnwritten(std::uint32_t chunks)
    {
        static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);
        return GrowWith(chunks, [] { return AllocateRaw(); });
    }

    // Destroys and frees every chunk and the table.
    void FreeAll()
    {
        for (std::uint32_t c = 0; c < m_chunkCount; ++c)
            DestroyChunk(m_chunks[c]);
        delete[] m_chunks;
        m_chunks = nullptr;
        m_chunkCount = 0;
        m_capacity = 0;
    }

    // No range check beyond a debug assertion: callers index below the count.
    T& operator[](std::uint32_t i)
    {
        assert(i < m_capacity);
        return m_chunks[i >> kArrayChunkShift][i & kArrayChunkMask];
    }
    const T& operator[](std::uint32_t i) const
    {
        assert(i < m_capacity);
        return m_chunks[i >> kArrayChunkShift][i & kArrayChunkMask];
    }

    std::uint32_t GetChunkCount() const { return m_chunkCount; }
    std::uint32_t GetCapacity() const { return m_capacity; }
    T* GetChunk(std::uint32_t c) const { return c < m_chunkCount ? m_chunks[c] : nullptr; }

private:
    // Grow with each new chunk from make() (null when it cannot).
    template <class Make> bool GrowWith(std::uint32_t chunks, Make&& make)
    {
        if (chunks <= m_chunkCount)
            return true;
        if (chunks > (kArrayMaxRecords >> kArrayChunkShift))
            return false;
        T** table = new (std::nothrow) T*[chunks];
        if (table == nullptr)
            return false;
        for (std::uint32_t c = 0; c < chunks; ++c)
            table[c] = c < m_chunkCount ? m_chunks[c] : nullptr;
        for (std::uint32_t c = m_chunkCount; c < chunks; ++c)
        {
            table[c] = make();
            if (table[c] == nullptr)
            {
                for (std::uint32_t k = m_chunkCount; k < c; ++k)
                    DestroyChunk(table[k]);
                delete[] table;
                return false;
            }
        }
        delete[] m_chunks;
        m_chunks = table;
        m_chunkCount = chunks;
        m_capacity = chunks * kArrayChunkSize;
        return true;
    }

    static T* MakeChunk(bool zeroFill)
    {
        T* chunk = AllocateRaw();
        if (chunk == nullptr)
            return nullptr;
        std::uint32_t built = 0;
        try
        {
            for (; built < kArrayChunkSize; ++built)
                ::new (static_cast<void*>(chunk + built)) T();
        }
        catch (...)
        {
            DestroyRecords(chunk, built);
            FreeRaw(chunk);
            return nullptr;
        }
        if constexpr (kArrayZeroFillHonoured<T>)
        {
            if (zeroFill)
                std::memset(static_cast<void*>(chunk), 0, sizeof(T) * kArrayChunkSize);
        }
        return chunk;
    }

    static void DestroyChunk(T* chunk)
    {
        if (chunk == nullptr)
            return;
        DestroyRecords(chunk, kArrayChunkSize);
        FreeRaw(chunk);
    }

    static void DestroyRecords(T* chunk, std::uint32_t n)
    {
        if constexpr (!std::is_trivially_destructible_v<T>)
        {
            for (std::uint32_t k = 0; k < n; ++k)
                chunk[k].~T();
        }
    }

    static T* AllocateRaw()
    {
        const std::size_t bytes = sizeof(T) * kArrayChunkSize;
        if constexpr (alignof(T) > __STDCPP_DEFAULT_NEW_ALIGNMENT__)
            return static_cast<T*>(::operator new(bytes, std::align_val_t(alignof(T)), std::nothrow));
        else
            return static_cast<T*>(::operator new(bytes, std::nothrow));
    }

    static void FreeRaw(T* chunk)
    {
        if constexpr (alignof(T) > __STDCPP_DEFAULT_NEW_ALIGNMENT__)
            ::operator delete(static_cast<void*>(chunk), std::align_val_t(alignof(T)));
        else
            ::operator delete(static_cast<void*>(chunk));
    }

    T** m_chunks = nullptr;
    std::uint32_t m_chunkCount = 0;
    std::uint32_t m_capacity = 0;
};

// The chunk store plus the number of records in use. The count is kept by
// Append and PushBack and by owners that fill by index (SetAt leaves it).
template <class T, class TAllocator = tArrayChunkAllocator<T>> class tArray : public TAllocator
{
public:
    tArray() = default;

    // A pointer to the next record (count grows by one), or null with the
    // count unchanged when the array cannot grow.
    T* Append()
    {
        const std::uint32_t index = m_count;
        if (index >= kArrayMaxRecords)
            return nullptr;
        if (index >= this->GetCapacity() && !this->Resize(index + 1))
            return nullptr;
        m_count = index + 1;
        return &(*this)[index];
    }

    // Stores a copy of the record at i, growing to i + 1 first when needed.
    // Null when the array cannot grow that far.
    T* SetAt(std::uint32_t i, const T& record)
    {
        if (i >= kArrayMaxRecords)
            return nullptr;
        if (i >= this->GetCapacity() && !this->Resize(i + 1, false))
            return nullptr;
        T* slot = &(*this)[i];
        *slot = record;
        return slot;
    }

    // Stores the record after the last one; null (count unchanged) on failure.
    T* PushBack(const T& record)
    {
        T* slot = SetAt(m_count, record);
        if (slot != nullptr)
            ++m_count;
        return slot;
    }

    void Clear()
    {
        this->FreeAll();
        m_count = 0;
    }

    std::uint32_t GetCount() const { return m_count; }
    void SetCount(std::uint32_t count) { m_count = count; }

private:
    std::uint32_t m_count = 0;
};
