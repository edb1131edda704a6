#include "platform/gdiplus/startup.h"

#include "platform/gdiplus/gdiplus_objects.h"

#include <mutex>
#include <set>

namespace
{

struct Startups
{
    std::mutex lock;
    std::set<ULONG_PTR> tokens;
    ULONG_PTR next = 0x6D0001;
};

Startups& State()
{
    static auto* state = new Startups;
    return *state;
}

} // namespace

Status GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, GdiplusStartupOutput* output)
{
    if (!token || !input)
        return InvalidParameter;
    if (input->GdiplusVersion < 1 || input->GdiplusVersion > 3)
        return UnsupportedGdiplusVersion;
    // Without a background thread the caller must hook the notifications,
    // which this layer does not need: it never runs anything in the
    // background.
    if (input->SuppressBackgroundThread && !output)
        return InvalidParameter;
    if (output)
        *output = GdiplusStartupOutput{};
    Startups& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    *token = state.next++;
    state.tokens.insert(*token);
    return Ok;
}

void GdiplusShutdown(ULONG_PTR token)
{
    Startups& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    state.tokens.erase(token);
}

namespace gdiplus
{

int ActiveStartupCount()
{
    Startups& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    return static_cast<int>(state.tokens.size());
}

namespace detail
{

bool Started() { return ActiveStartupCount() > 0; }

} // namespace detail
} // namespace gdiplus
