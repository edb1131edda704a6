// The nearest-vertex search against the plain scan it stands in for: the
// same index for every query, ties and all.
#include "shapes/section_curve_geometry.h"
#include "shapes/section_vertex_search.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace
{

std::int32_t Scan(const tPolyline<cVertex>& section, const float p[3])
{
    std::int32_t index = -1;
    FindNearestVertex(section, p, &index);
    return index;
}

} // namespace

TEST(SectionVertexSearch, AgreesWithTheScanOnGridsCloudsRepeatsAndBadCoordinates)
{
    std::mt19937 rng(41);
    std::uniform_int_distribution<int> cell(-6, 6);
    std::uniform_real_distribution<float> spread(-50.0f, 50.0f);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (int round = 0; round < 6; ++round)
    {
        // Integer grids put many vertices at exactly equal distances and
        // repeat positions; clouds far from the origin test the rounding.
        const bool grid = round % 2 == 0;
        const float offset = round >= 4 ? 1.0e6f : 0.0f;
        tPolyline<cVertex> section;
        for (int i = 0; i < 3000; ++i)
        {
            const double p[3] = {grid ? cell(rng) : offset + spread(rng), grid ? cell(rng) : spread(rng),
                                 grid ? cell(rng) / 2 : spread(rng) * 0.01};
            section.AddPoint3d(p);
        }
        section.GetVertex(17)->x = nan;
        section.GetVertex(18)->y = inf;
        section.GetVertex(19)->z = -inf;
        const cSectionVertexSearch search(section);
        for (int i = 0; i < 2000; ++i)
        {
            float q[3] = {grid ? float(cell(rng)) * 0.5f : offset + spread(rng), grid ? float(cell(rng)) : spread(rng),
                          grid ? 0.0f : spread(rng)};
            if (i == 7)
                q[1] = nan;
            if (i == 8)
                q[0] = -inf;
            ASSERT_EQ(search.Nearest(q), Scan(section, q)) << round << " " << q[0] << " " << q[1] << " " << q[2];
        }
    }

    // Nothing to find: empty, or no finite vertex.
    const float origin[3] = {0, 0, 0};
    EXPECT_EQ(cSectionVertexSearch(tPolyline<cVertex>()).Nearest(origin), -1);
    tPolyline<cVertex> bad;
    const double p[3] = {0, 0, 0};
    bad.AddPoint3d(p)->x = nan;
    EXPECT_EQ(cSectionVertexSearch(bad).Nearest(origin), -1);
    EXPECT_EQ(Scan(bad, origin), -1);
}
