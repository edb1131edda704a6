#include "platform/win32/global_memory.h"

#include "platform/win32/handle_table.h"

#include <atomic>
#include <cstring>
#include <new>
#include <vector>

namespace
{

struct GlobalBlock
{
    std::vector<std::uint8_t> bytes;
    std::atomic<int> locks{0};
};

win32::tHandleTable<GlobalBlock>& Blocks()
{
    // Distinct from the kernel and GDI handle ranges, so that a handle of one
    // kind is never taken for a block.
    static auto* table = new win32::tHandleTable<GlobalBlock>(0x70000000);
    return *table;
}

std::shared_ptr<GlobalBlock> Find(HGLOBAL block)
{
    auto found = Blocks().Lookup(reinterpret_cast<std::uintptr_t>(block));
    if (!found)
        SetLastError(ERROR_INVALID_HANDLE);
    return found;
}

} // namespace

HGLOBAL GlobalAlloc(UINT /*flags*/, SIZE_T bytes)
{
    // Blocks are always zeroed: cheaper to reason about than uninitialised
    // bytes leaking into decoders.
    auto block = std::make_shared<GlobalBlock>();
    try
    {
        block->bytes.assign(bytes, 0);
    }
    catch (const std::bad_alloc&)
    {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return reinterpret_cast<HGLOBAL>(Blocks().Register(std::move(block)));
}

LPVOID GlobalLock(HGLOBAL handle)
{
    auto block = Find(handle);
    if (!block || block->bytes.empty())
        return nullptr;
    ++block->locks;
    return block->bytes.data();
}

BOOL GlobalUnlock(HGLOBAL handle)
{
    auto block = Find(handle);
    if (!block)
        return FALSE;
    int locks = block->locks.load();
    while (locks > 0 && !block->locks.compare_exchange_weak(locks, locks - 1))
    {
    }
    if (locks <= 1)
        SetLastError(ERROR_SUCCESS);
    return locks > 1 ? TRUE : FALSE;
}

SIZE_T GlobalSize(HGLOBAL handle)
{
    auto block = Find(handle);
    return block ? block->bytes.size() : 0;
}

HGLOBAL GlobalFree(HGLOBAL handle)
{
    if (!Blocks().Remove(reinterpret_cast<std::uintptr_t>(handle)))
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return handle;
    }
    return nullptr;
}

namespace win32
{

bool IsGlobalBlock(HGLOBAL block) { return Blocks().Lookup(reinterpret_cast<std::uintptr_t>(block)) != nullptr; }

std::size_t LiveGlobalBlockCount() { return Blocks().Count(); }

} // namespace win32
