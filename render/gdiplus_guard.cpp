#include "render/gdiplus_guard.h"

#include "platform/gdiplus/gdiplus.h"

#include <mutex>

namespace
{

// Guards may be made and dropped on any thread (dialogs own their own
// renderers), so the count and the token move together under one lock.
std::mutex g_lock;
long g_holders = 0;
ULONG_PTR g_token = 0;

} // namespace

cGdiplusGuard::cGdiplusGuard()
{
    std::lock_guard<std::mutex> guard(g_lock);
    ++g_holders;
    if (g_holders == 1 || g_token == 0)
    {
        GdiplusStartupInput input;
        ULONG_PTR token = 0;
        if (GdiplusStartup(&token, &input, nullptr) == Ok)
            g_token = token;
    }
}

cGdiplusGuard::~cGdiplusGuard()
{
    std::lock_guard<std::mutex> guard(g_lock);
    if (--g_holders == 0 && g_token != 0)
    {
        GdiplusShutdown(g_token);
        g_token = 0;
    }
}

long cGdiplusGuard::GetHolderCount()
{
    std::lock_guard<std::mutex> guard(g_lock);
    return g_holders;
}
