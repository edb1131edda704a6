#include "fitting/fit_container.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cstring>
#include <utility>

namespace
{

// A container made from a queue it takes over holds the same records as one
// that copied them, all active with no residual, and leaves the queue empty.
TEST(FitContainer, TakingTheRecordsOverGivesWhatCopyingGives)
{
    tFitPointQueue queue;
    for (int i = 0; i < 3000; ++i)
    {
        stFitPoint p;
        p.position[0] = 1200.25f + 0.5f * float(i % 50), p.position[1] = -300.0f + float(i / 50), p.position[2] = 7.0f;
        p.normal[2] = i % 3 == 0 ? -1.0f : 1.0f;
        p.active = std::uint8_t(i % 2);
        p.residual = double(FLT_MAX);
        queue.push_back(p);
    }
    const cFitContainer copied(queue);
    tFitPointQueue moved = queue;
    const cFitContainer taken(std::move(moved));
    EXPECT_TRUE(moved.empty()) << "the records were taken, not copied";
    ASSERT_EQ(taken.Points().size(), queue.size());
    EXPECT_EQ(taken.ActiveCount(), queue.size());
    EXPECT_EQ(taken.CountActive(), queue.size());
    for (std::size_t i = 0; i < queue.size(); ++i)
    {
        const stFitPoint& a = copied.Points()[i];
        const stFitPoint& b = taken.Points()[i];
        ASSERT_EQ(std::memcmp(a.position, b.position, sizeof a.position), 0) << i;
        ASSERT_EQ(std::memcmp(a.normal, b.normal, sizeof a.normal), 0) << i;
        ASSERT_EQ(b.active, 1) << i;
        ASSERT_EQ(b.residual, 0.0) << i;
    }
    double a[3], b[3];
    copied.GetCentroid(a);
    taken.GetCentroid(b);
    EXPECT_EQ(std::memcmp(a, b, sizeof a), 0);
}

} // namespace
