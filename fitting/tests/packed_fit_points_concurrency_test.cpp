// The packing of a big queue of records on the shared pool.
#include "core/thread_pool.h"
#include "fitting/packed_fit_points.h"

#include <gtest/gtest.h>

namespace
{

TEST(PackedFitPointsOnAPool, KeepTheActivePointsOfManyBlocksInOrder)
{
    tFitPointQueue q(300000);
    std::vector<float> expected;
    for (std::size_t i = 0; i < q.size(); ++i)
    {
        q[i].position[0] = float(i) + 0.5f;
        q[i].position[1] = -float(i);
        q[i].position[2] = 1e6f + float(i % 977);
        q[i].active = (i % 7 == 3 || (i >= 65536 && i < 2 * 65536)) ? 0 : 1;
        if (q[i].active)
            expected.push_back(q[i].position[0]);
    }
    cThreadPool pool(4);
    SetSharedThreadPool(&pool);
    const cPackedFitPoints packed(q);
    SetSharedThreadPool(nullptr);
    pool.Stop();
    ASSERT_EQ(packed.Count(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
    {
        ASSERT_EQ(packed.X()[i], expected[i]) << i;
        const auto record = static_cast<std::size_t>(expected[i] - 0.5f);
        ASSERT_EQ(packed.Y()[i], -float(record)) << i;
        ASSERT_EQ(packed.Z()[i], 1e6f + float(record % 977)) << i;
    }
}

} // namespace
