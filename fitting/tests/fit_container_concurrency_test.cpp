#include "core/thread_pool.h"
#include "fitting/fit_container.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cstring>
#include <utility>

namespace
{

// A whole scan's records taken over on a pool: every one activated with no
// residual, the last block short, nothing else written.
TEST(FitContainerOnAPool, ManyRecordsTakenOverAreEachActivated)
{
    tFitPointQueue queue;
    for (int i = 0; i < 300001; ++i)
    {
        stFitPoint p;
        p.position[0] = 8400.5f + 0.25f * float(i % 640), p.position[1] = -2.0f * float(i / 640), p.position[2] = 11.0f;
        p.normal[1] = i % 5 == 0 ? -1.0f : 1.0f;
        p.active = std::uint8_t(i % 3 == 0 ? 0 : 1);
        p.residual = i % 2 == 0 ? double(FLT_MAX) : 3.5;
        queue.push_back(p);
    }
    tFitPointQueue given = queue;
    cThreadPool pool(3);
    SetSharedThreadPool(&pool);
    const cFitContainer container(std::move(given));
    SetSharedThreadPool(nullptr);
    pool.Stop();
    ASSERT_EQ(container.Points().size(), queue.size());
    EXPECT_EQ(container.ActiveCount(), queue.size());
    for (std::size_t i = 0; i < queue.size(); ++i)
    {
        const stFitPoint& a = queue[i];
        const stFitPoint& b = container.Points()[i];
        ASSERT_EQ(std::memcmp(a.position, b.position, sizeof a.position), 0) << i;
        ASSERT_EQ(std::memcmp(a.normal, b.normal, sizeof a.normal), 0) << i;
        ASSERT_EQ(b.active, 1) << i;
        ASSERT_EQ(b.residual, 0.0) << i;
    }
}

} // namespace
