// Interlocked operations: atomic read-modify-write on plain integers that
// other threads may touch at the same moment. Each is a full barrier, and each
// returns the value the original platform's callers expect: Increment and
// Decrement the new value, everything else the value before the operation.
//
// The targets are ordinary (possibly volatile) integers rather than
// std::atomic, so that records shared with other code keep their plain layout.
#pragma once

#include "platform/win32/types.h"

// 32-bit counters and words.
inline LONG InterlockedIncrement(LONG volatile* addend) { return __atomic_add_fetch(addend, 1, __ATOMIC_SEQ_CST); }
inline LONG InterlockedDecrement(LONG volatile* addend) { return __atomic_sub_fetch(addend, 1, __ATOMIC_SEQ_CST); }
inline LONG InterlockedExchange(LONG volatile* target, LONG value)
{
    return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedExchangeAdd(LONG volatile* addend, LONG value)
{
    return __atomic_fetch_add(addend, value, __ATOMIC_SEQ_CST);
}
// Stores exchange when *destination equals comparand; a caller that passes the
// same value for both reads the word atomically without changing it.
inline LONG InterlockedCompareExchange(LONG volatile* destination, LONG exchange, LONG comparand)
{
    __atomic_compare_exchange_n(destination, &comparand, exchange, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
    return comparand;
}
inline LONG InterlockedAnd(LONG volatile* destination, LONG value)
{
    return __atomic_fetch_and(destination, value, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedOr(LONG volatile* destination, LONG value)
{
    return __atomic_fetch_or(destination, value, __ATOMIC_SEQ_CST);
}

// The same on unsigned 32-bit counters (busy and running counters are u32).
inline DWORD InterlockedIncrement(DWORD volatile* addend) { return __atomic_add_fetch(addend, 1u, __ATOMIC_SEQ_CST); }
inline DWORD InterlockedDecrement(DWORD volatile* addend) { return __atomic_sub_fetch(addend, 1u, __ATOMIC_SEQ_CST); }
inline DWORD InterlockedExchange(DWORD volatile* target, DWORD value)
{
    return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}
inline DWORD InterlockedCompareExchange(DWORD volatile* destination, DWORD exchange, DWORD comparand)
{
    __atomic_compare_exchange_n(destination, &comparand, exchange, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
    return comparand;
}

// 8-bit flag bytes (the process-wide used-flag masks).
inline CHAR InterlockedExchange8(CHAR volatile* target, CHAR value)
{
    return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}
inline CHAR InterlockedCompareExchange8(CHAR volatile* destination, CHAR exchange, CHAR comparand)
{
    __atomic_compare_exchange_n(destination, &comparand, exchange, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
    return comparand;
}
inline CHAR InterlockedAnd8(CHAR volatile* destination, CHAR value)
{
    return __atomic_fetch_and(destination, value, __ATOMIC_SEQ_CST);
}
inline CHAR InterlockedOr8(CHAR volatile* destination, CHAR value)
{
    return __atomic_fetch_or(destination, value, __ATOMIC_SEQ_CST);
}
