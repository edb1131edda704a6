#include "core/progress.h"

#include <new>

cProcProgressNull* cProcProgressNull::Shared()
{
    static cProcProgressNull shared;
    return &shared;
}

void* cProcProgressNull::operator new(std::size_t size)
{
    return ::operator new(size);
}

void cProcProgressNull::operator delete(void* storage) noexcept
{
    if (storage == nullptr)
    {
        return;
    }
    if (storage == static_cast<void*>(Shared()))
    {
        // The destructor has already run: bring the shared object back in its
        // own storage, so that every holder of the pointer keeps a live object.
        ::new (storage) cProcProgressNull();
        return;
    }
    ::operator delete(storage);
}

bool ReportProgressAndCheckCancel(IProcProgress& progress, float position)
{
    progress.SetPosition(position);
    return progress.IsCancelled() == kProgressCancelAnswer;
}

const wchar_t* TranslateText(const wchar_t* text)
{
    return text;
}
