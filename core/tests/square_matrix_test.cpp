#include "core/square_matrix.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{

cSquareMatrix Make3(const double (&v)[3][3])
{
    cSquareMatrix m(3);
    for (std::uint32_t i = 0; i < 3; ++i)
        for (std::uint32_t j = 0; j < 3; ++j)
            m(i, j) = v[i][j];
    return m;
}

TEST(SquareMatrix, ElementWiseOperationsMayWriteIntoAnOperand)
{
    cSquareMatrix a = Make3({{1, 2, 3}, {4, 5, 6}, {7, 8, 10}});
    const cSquareMatrix b = Make3({{1, 1, 1}, {2, 2, 2}, {3, 3, 3}});
    cSquareMatrix r;
    ASSERT_TRUE(a.Add(b, r));
    EXPECT_EQ(r.Dimension(), 3u);
    EXPECT_EQ(r(2, 2), 13.0);
    ASSERT_TRUE(a.Subtract(b, a)); // into itself
    EXPECT_EQ(a(1, 0), 2.0);
    EXPECT_EQ(a(2, 2), 7.0);
    ASSERT_TRUE(a.Scale(2.0, a));
    EXPECT_EQ(a(0, 2), 4.0);
    ASSERT_TRUE(a.DivideByScalar(4.0, r));
    EXPECT_EQ(r(0, 2), 1.0);
    // Sizes must agree.
    const cSquareMatrix small(2);
    EXPECT_FALSE(a.Add(small, r));
    EXPECT_FALSE(a.Subtract(small, r));
}

TEST(SquareMatrix, FrobeniusNorm)
{
    EXPECT_EQ(Make3({{1, 2, 2}, {0, 0, 0}, {0, 4, 0}}).FrobeniusNorm(), 5.0);
    EXPECT_EQ(cSquareMatrix().FrobeniusNorm(), 0.0);
}

TEST(SquareMatrix, InverseTimesMatrixIsTheIdentityAndSingularMatricesFail)
{
    // Needs a row swap (zero leading entry) and holds large and small values.
    const cSquareMatrix a = Make3({{0, 2, 1}, {1e3, 1, 0}, {3, 0, 1e-3}});
    cSquareMatrix inverse;
    ASSERT_TRUE(a.Invert(inverse, 1e-10));
    for (std::uint32_t i = 0; i < 3; ++i)
        for (std::uint32_t j = 0; j < 3; ++j)
        {
            double sum = 0.0;
            for (std::uint32_t k = 0; k < 3; ++k)
                sum += a(i, k) * inverse(k, j);
            EXPECT_NEAR(sum, i == j ? 1.0 : 0.0, 1e-12) << i << ", " << j;
        }
    // Into itself.
    cSquareMatrix b = a;
    ASSERT_TRUE(b.Invert(b, 1e-10));
    EXPECT_EQ(b(1, 2), inverse(1, 2));

    cSquareMatrix kept = Make3({{9, 9, 9}, {9, 9, 9}, {9, 9, 9}});
    EXPECT_FALSE(Make3({{1, 2, 3}, {2, 4, 6}, {1, 0, 1}}).Invert(kept, 1e-10));
    EXPECT_FALSE(cSquareMatrix(3).Invert(kept, 1e-10));
    EXPECT_EQ(kept(0, 0), 9.0);
}

} // namespace
