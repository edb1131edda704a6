#include "platform/win32/stream.h"

#include <atomic>
#include <cstring>
#include <limits>

namespace
{

class GlobalStream final : public IStream
{
public:
    GlobalStream(HGLOBAL block, bool deleteOnRelease) : m_block(block), m_deleteOnRelease(deleteOnRelease) {}

    ULONG AddRef() override { return ++m_references; }
    ULONG Release() override
    {
        const ULONG left = --m_references;
        if (left == 0)
            delete this;
        return left;
    }

    HRESULT Read(void* buffer, ULONG bytes, ULONG* read) override
    {
        if (read)
            *read = 0;
        if (!buffer && bytes)
            return STG_E_INVALIDPOINTER;
        const ULONGLONG size = GlobalSize(m_block);
        const ULONGLONG available = m_position < size ? size - m_position : 0;
        const ULONG count = static_cast<ULONG>(std::min<ULONGLONG>(available, bytes));
        if (count)
        {
            auto* bytesOfBlock = static_cast<const std::uint8_t*>(GlobalLock(m_block));
            if (!bytesOfBlock)
                return E_FAIL;
            std::memcpy(buffer, bytesOfBlock + m_position, count);
            GlobalUnlock(m_block);
            m_position += count;
        }
        if (read)
            *read = count;
        return count < bytes ? S_FALSE : S_OK;
    }

    HRESULT Write(const void*, ULONG, ULONG* written) override
    {
        // Nothing here writes into resource streams; growing a block is not
        // supported.
        if (written)
            *written = 0;
        return STG_E_INVALIDFUNCTION;
    }

    HRESULT Seek(LONGLONG move, DWORD origin, ULONGLONG* position) override
    {
        long double base = 0;
        switch (origin)
        {
        case STREAM_SEEK_SET:
            base = 0;
            break;
        case STREAM_SEEK_CUR:
            base = static_cast<long double>(m_position);
            break;
        case STREAM_SEEK_END:
            base = static_cast<long double>(GlobalSize(m_block));
            break;
        default:
            return STG_E_INVALIDFUNCTION;
        }
        const long double target = base + static_cast<long double>(move);
        if (target < 0 || target > static_cast<long double>(std::numeric_limits<LONGLONG>::max()))
            return STG_E_INVALIDFUNCTION;
        m_position = static_cast<ULONGLONG>(target);
        if (position)
            *position = m_position;
        return S_OK;
    }

    HRESULT GetSize(ULONGLONG* size) override
    {
        if (!size)
            return STG_E_INVALIDPOINTER;
        *size = GlobalSize(m_block);
        return S_OK;
    }

private:
    ~GlobalStream() override
    {
        if (m_deleteOnRelease)
            GlobalFree(m_block);
    }

    HGLOBAL m_block;
    bool m_deleteOnRelease;
    std::atomic<ULONG> m_references{1};
    ULONGLONG m_position = 0;
};

} // namespace

HRESULT CreateStreamOnHGlobal(HGLOBAL block, BOOL deleteOnRelease, IStream** stream)
{
    if (!stream)
        return E_INVALIDARG;
    *stream = nullptr;
    if (!block)
    {
        block = GlobalAlloc(GMEM_MOVEABLE, 0);
        if (!block)
            return E_OUTOFMEMORY;
    }
    else if (!win32::IsGlobalBlock(block))
    {
        return E_INVALIDARG;
    }
    *stream = new GlobalStream(block, deleteOnRelease != FALSE);
    return S_OK;
}
