// Used-flag bits: the process-wide bookkeeping of which bits of the one-byte
// flag fields of vertex and triangle records are in use.
//
// Some bits have fixed meanings (triangles: 1 selected, 2 hidden, 4 scratch
// mark; vertices: 1 skip, 2, 4 and 8 reserved). The others are lent to
// algorithms that need a temporary mark per record (region walks, boundary
// walks, selection undo), so that two algorithms never mark with the same bit
// at the same time. The borrower clears its bit in every record it marked
// before giving it back.
//
// A borrow can fail: with all eight bits in use it returns 0. Marking with 0
// marks nothing, so a walk that went ahead would never see its own marks and
// could run forever. Every borrower must therefore stop and fail when it gets
// 0; the scoped holders below make that check part of getting the bit.
#pragma once

#include "platform/win32/win32.h"

#include <cassert>
#include <cstdint>

// One byte mask shared by every copy of the library in the process through a
// named mapping. A set bit is in use.
class cUsedFlagMask
{
public:
    // Opens the mapping of that name, or creates it and writes `reserved`
    // into it. An existing mapping keeps its current value. When no mapping
    // can be had the mask lives in this object alone.
    cUsedFlagMask(const wchar_t* mappingName, std::uint8_t reserved);
    ~cUsedFlagMask();
    cUsedFlagMask(const cUsedFlagMask&) = delete;
    cUsedFlagMask& operator=(const cUsedFlagMask&) = delete;

    // Marks the lowest free bit as in use and returns it (one bit set), or
    // returns 0 when all bits are in use (the mask is unchanged then).
    [[nodiscard]] std::uint8_t Borrow();

    // Marks the bits free again. The reserved bits are never freed, so a
    // stray return cannot lend out the fixed meanings.
    void Return(std::uint8_t bits);

    std::uint8_t Value() const;

    // False when the mapping failed and the mask is private to this object.
    bool IsShared() const { return m_view != nullptr; }

private:
    CHAR volatile* Mask() const;

    HANDLE m_mapping = nullptr;
    CHAR* m_view = nullptr;
    mutable CHAR m_localMask = 0;
    std::uint8_t m_reserved;
};

// The process-wide masks ("cMeshTriangle_s_UsedFlags", reserved 7, and
// "cVertex_s_UsedFlags", reserved 15), made on first use.
cUsedFlagMask& TriangleUsedFlags();
cUsedFlagMask& VertexUsedFlags();

// Borrow a triangle or vertex flag bit: one bit set, or 0 when none is free.
// A caller that gets 0 must not run its marking walk; prefer the holders.
[[nodiscard]] std::uint8_t BorrowTriangleFlag();
void ReturnTriangleFlag(std::uint8_t bits);
[[nodiscard]] std::uint8_t BorrowVertexFlag();
void ReturnVertexFlag(std::uint8_t bits);

// A borrowed bit for the lifetime of a scope or an object: borrowed when
// made, returned when it goes away (also on early exits). Test IsValid()
// before marking; Bit() asserts it in debug builds, so a borrower that forgot
// the test fails loudly instead of walking without marks.
template <std::uint8_t (*BorrowFn)(), void (*ReturnFn)(std::uint8_t)> class tBorrowedFlag
{
public:
    tBorrowedFlag() : m_bit(BorrowFn()) {}
    ~tBorrowedFlag()
    {
        if (m_bit)
            ReturnFn(m_bit);
    }
    tBorrowedFlag(const tBorrowedFlag&) = delete;
    tBorrowedFlag& operator=(const tBorrowedFlag&) = delete;

    // False when no bit was free: the caller must fail its operation.
    bool IsValid() const { return m_bit != 0; }

    std::uint8_t Bit() const
    {
        assert(m_bit != 0 && "used-flag borrow failed: check IsValid() before marking");
        return m_bit;
    }

private:
    std::uint8_t m_bit;
};

using cBorrowedTriangleFlag = tBorrowedFlag<BorrowTriangleFlag, ReturnTriangleFlag>;
using cBorrowedVertexFlag = tBorrowedFlag<BorrowVertexFlag, ReturnVertexFlag>;
