#include "core/used_flags.h"

cUsedFlagMask::cUsedFlagMask(const wchar_t* mappingName, std::uint8_t reserved) : m_reserved(reserved)
{
    m_localMask = static_cast<CHAR>(reserved);
    m_mapping = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, mappingName);
    bool created = false;
    if (!m_mapping)
    {
        m_mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 1, mappingName);
        // Another copy may have created it in between: then it is not ours to
        // initialise.
        created = m_mapping && GetLastError() != ERROR_ALREADY_EXISTS;
    }
    if (!m_mapping)
        return;
    m_view = static_cast<CHAR*>(MapViewOfFile(m_mapping, FILE_MAP_ALL_ACCESS, 0, 0, 1));
    if (!m_view)
    {
        CloseHandle(m_mapping);
        m_mapping = nullptr;
        return;
    }
    if (created)
        InterlockedOr8(m_view, static_cast<CHAR>(reserved));
}

cUsedFlagMask::~cUsedFlagMask()
{
    if (m_view)
        UnmapViewOfFile(m_view);
    if (m_mapping)
        CloseHandle(m_mapping);
}

CHAR volatile* cUsedFlagMask::Mask() const { return m_view ? m_view : &m_localMask; }

std::uint8_t cUsedFlagMask::Borrow()
{
    CHAR volatile* mask = Mask();
    CHAR seen = InterlockedCompareExchange8(mask, 0, 0);
    for (;;)
    {
        const auto used = static_cast<std::uint8_t>(seen);
        // The lowest clear bit; 0 when every bit is set.
        const auto bit = static_cast<std::uint8_t>(~used & (used + 1));
        if (bit == 0)
            return 0;
        const CHAR before = InterlockedCompareExchange8(mask, static_cast<CHAR>(used | bit), seen);
        if (before == seen)
            return bit;
        seen = before;
    }
}

void cUsedFlagMask::Return(std::uint8_t bits)
{
    const auto freed = static_cast<std::uint8_t>(bits & ~m_reserved);
    InterlockedAnd8(Mask(), static_cast<CHAR>(~freed));
}

std::uint8_t cUsedFlagMask::Value() const
{
    return static_cast<std::uint8_t>(InterlockedCompareExchange8(Mask(), 0, 0));
}

cUsedFlagMask& TriangleUsedFlags()
{
    static cUsedFlagMask mask(L"cMeshTriangle_s_UsedFlags", 7);
    return mask;
}

cUsedFlagMask& VertexUsedFlags()
{
    static cUsedFlagMask mask(L"cVertex_s_UsedFlags", 15);
    return mask;
}

std::uint8_t BorrowTriangleFlag() { return TriangleUsedFlags().Borrow(); }
void ReturnTriangleFlag(std::uint8_t bits) { TriangleUsedFlags().Return(bits); }
std::uint8_t BorrowVertexFlag() { return VertexUsedFlags().Borrow(); }
void ReturnVertexFlag(std::uint8_t bits) { VertexUsedFlags().Return(bits); }
