#include "fitting/square_matrix.h"

#include <Eigen/Dense>
#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace
{

cSquareMatrix FromEigen(const Eigen::MatrixXd& m)
{
    cSquareMatrix r(static_cast<std::uint32_t>(m.rows()));
    for (int i = 0; i < m.rows(); ++i)
        for (int j = 0; j < m.cols(); ++j)
            r(i, j) = m(i, j);
    return r;
}

cNormalEquations System(const Eigen::MatrixXd& a, const Eigen::VectorXd& b)
{
    cNormalEquations s(static_cast<std::uint32_t>(a.rows()));
    s.A = FromEigen(a);
    for (int i = 0; i < b.size(); ++i)
        s.b[i] = b(i);
    return s;
}

TEST(SquareMatrix, ResizeZeroFillsAndAssignmentCopies)
{
    cSquareMatrix m(3);
    m(1, 2) = 5.0;
    cSquareMatrix copy;
    copy = m;
    EXPECT_EQ(copy.Dimension(), 3u);
    EXPECT_EQ(copy(1, 2), 5.0);
    ASSERT_TRUE(m.Resize(3));
    EXPECT_EQ(m(1, 2), 0.0);
    ASSERT_TRUE(m.Resize(0));
    EXPECT_EQ(m.Dimension(), 0u);
    EXPECT_EQ(m.ColumnMaxAbs(0), 0.0);
}

TEST(LinearSolves, HandCheckedSystemAndRandomWellConditionedOnes)
{
    // 2x + y = 5, x + 3y = 10  ->  x = 1, y = 3
    cNormalEquations s(2);
    s.A(0, 0) = 2;
    s.A(0, 1) = 1;
    s.A(1, 0) = 1;
    s.A(1, 1) = 3;
    s.b[0] = 5;
    s.b[1] = 10;
    for (auto solve : {SolveNormalEquations, SolveGaussJordan})
    {
        cDoubleVector x;
        ASSERT_TRUE(solve(s, x, 1e-10));
        EXPECT_NEAR(x[0], 1.0, 1e-12);
        EXPECT_NEAR(x[1], 3.0, 1e-12);
    }

    std::mt19937 rng(7);
    for (int n : {3, 4, 9})
    {
        for (int trial = 0; trial < 20; ++trial)
        {
            Eigen::MatrixXd a = Eigen::MatrixXd::Random(n, n) + n * Eigen::MatrixXd::Identity(n, n);
            Eigen::VectorXd b = Eigen::VectorXd::Random(n);
            cNormalEquations sys = System(a, b);
            cDoubleVector x;
            ASSERT_TRUE(SolveNormalEquations(sys, x, 1e-10));
            Eigen::VectorXd xe(n);
            for (int i = 0; i < n; ++i)
                xe(i) = x[i];
            EXPECT_LT((a * xe - b).norm(), 1e-10);
            cDoubleVector y;
            ASSERT_TRUE(SolveGaussJordan(sys, y, 1e-10));
            for (int i = 0; i < n; ++i)
                EXPECT_NEAR(y[i], x[i], 1e-9);
        }
    }
}

TEST(LinearSolves, SingularSystemsFailCleanly)
{
    cNormalEquations zeroColumn(3);
    zeroColumn.A(0, 0) = 1;
    zeroColumn.A(1, 1) = 1; // column 2 is all zero
    cDoubleVector x(3);
    x[0] = 42.0;
    EXPECT_FALSE(SolveNormalEquations(zeroColumn, x, 1e-10));
    EXPECT_EQ(x[0], 42.0) << "a failed solve leaves the output alone";
    EXPECT_FALSE(SolveGaussJordan(zeroColumn, x, 1e-10));

    cNormalEquations dependent(2);
    dependent.A(0, 0) = 1;
    dependent.A(0, 1) = 2;
    dependent.A(1, 0) = 2;
    dependent.A(1, 1) = 4;
    EXPECT_FALSE(SolveNormalEquations(dependent, x, 1e-10));
    EXPECT_FALSE(SolveGaussJordan(dependent, x, 1e-10));

    cNormalEquations empty(0);
    EXPECT_FALSE(SolveNormalEquations(empty, x, 1e-10));
}

TEST(LinearSolves, LUPivotTiesGoToTheLaterRow)
{
    // Both rows scale to 1 and offer the same first-column candidate.
    cSquareMatrix a(2);
    a(0, 0) = 1;
    a(1, 0) = 1;
    a(1, 1) = 1;
    cSquareMatrix lu;
    int sign = 0;
    std::uint32_t permutation[2] = {9, 9};
    ASSERT_TRUE(a.LUDecompose(lu, sign, permutation, 1e-10));
    EXPECT_EQ(permutation[0], 1u);
    EXPECT_EQ(sign, -1);
    double b[2] = {2, 5}; // x = 2, x + y = 5
    lu.LUBackSubstitute(permutation, b);
    EXPECT_NEAR(b[0], 2.0, 1e-12);
    EXPECT_NEAR(b[1], 3.0, 1e-12);

    // A pivot below the tolerance is refused, not used.
    cSquareMatrix tiny(2);
    tiny(0, 0) = 1;
    tiny(0, 1) = 1;
    tiny(1, 0) = 1;
    tiny(1, 1) = 1 + 1e-12;
    EXPECT_FALSE(tiny.LUDecompose(lu, sign, permutation, 1e-10));
}

TEST(LinearSolves, GaussJordanTakesTheFirstPivotAboveTolerance)
{
    // The first column's first entry is below tolerance: row 1 becomes the pivot.
    cNormalEquations s(2);
    s.A(0, 0) = 1e-12;
    s.A(0, 1) = 1;
    s.A(1, 0) = 1;
    s.A(1, 1) = 1;
    s.b[0] = 2;
    s.b[1] = 3;
    cDoubleVector x;
    ASSERT_TRUE(SolveGaussJordan(s, x, 1e-10));
    EXPECT_NEAR(x[0], 1.0, 1e-9);
    EXPECT_NEAR(x[1], 2.0, 1e-9);
}

TEST(EigenSymmetric, MatchesReferenceDecompositionSortedDescending)
{
    std::mt19937 rng(11);
    for (int n : {2, 3, 4, 6})
    {
        for (int trial = 0; trial < 20; ++trial)
        {
            Eigen::MatrixXd r = Eigen::MatrixXd::Random(n, n);
            Eigen::MatrixXd a = r + r.transpose();
            cSquareMatrix vectors;
            cDoubleVector values;
            ASSERT_TRUE(EigenSymmetric(FromEigen(a), vectors, values));
            Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> reference(a);
            for (int k = 0; k < n; ++k)
            {
                // Eigen sorts ascending.
                EXPECT_NEAR(values[k], reference.eigenvalues()(n - 1 - k), 1e-6);
                if (k > 0)
                {
                    EXPECT_GE(values[k - 1], values[k]);
                }
                Eigen::VectorXd v(n);
                for (int i = 0; i < n; ++i)
                    v(i) = vectors(i, k);
                EXPECT_NEAR(v.norm(), 1.0, 1e-9);
                EXPECT_LT((a * v - values[k] * v).norm(), 1e-5);
            }
        }
    }
}

TEST(EigenSymmetric, EqualEigenvaluesAndRankDeficientScatter)
{
    cSquareMatrix identity(3);
    for (int i = 0; i < 3; ++i)
        identity(i, i) = 2.0;
    cSquareMatrix vectors;
    cDoubleVector values;
    ASSERT_TRUE(EigenSymmetric(identity, vectors, values));
    for (int k = 0; k < 3; ++k)
        EXPECT_DOUBLE_EQ(values[k], 2.0);
    // The later of equal values is taken at each step: the columns change places.
    EXPECT_DOUBLE_EQ(std::fabs(vectors(2, 0)), 1.0);

    // Scatter of points on the x axis: two zero eigenvalues.
    cSquareMatrix line(3);
    line(0, 0) = 10.0;
    cDoubleVector v;
    ASSERT_TRUE(SmallestEigenvector(line, v));
    EXPECT_NEAR(std::fabs(v[0]), 0.0, 1e-12);
    EXPECT_NEAR(v[1] * v[1] + v[2] * v[2], 1.0, 1e-12);
    // Both null columns annihilate the matrix exactly: the tie keeps the last
    // column, the one of the smallest eigenvalue.
    ASSERT_TRUE(EigenSymmetric(line, vectors, values));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(v[i], vectors(i, 2));
}

TEST(SingularValueDecomposition, ReconstructsAndGivesTheMinimumNormSolution)
{
    std::mt19937 rng(3);
    for (int n : {2, 3, 5})
    {
        for (int trial = 0; trial < 10; ++trial)
        {
            Eigen::MatrixXd a = Eigen::MatrixXd::Random(n, n);
            cSquareMatrix u, v;
            cDoubleVector w;
            ASSERT_TRUE(SVDDecompose(FromEigen(a), u, w, v));
            Eigen::MatrixXd U(n, n), V(n, n), W = Eigen::MatrixXd::Zero(n, n);
            for (int i = 0; i < n; ++i)
            {
                W(i, i) = w[i];
                EXPECT_GE(w[i], 0.0);
                for (int j = 0; j < n; ++j)
                {
                    U(i, j) = u(i, j);
                    V(i, j) = v(i, j);
                }
            }
            EXPECT_LT((U * W * V.transpose() - a).norm(), 1e-10);
            EXPECT_LT((V.transpose() * V - Eigen::MatrixXd::Identity(n, n)).norm(), 1e-10);
        }
    }
    // A singular system (a a^T - I for a unit a has a as null direction).
    Eigen::Vector3d axis(1, 2, 2);
    axis.normalize();
    Eigen::Matrix3d m = axis * axis.transpose() - Eigen::Matrix3d::Identity();
    Eigen::Vector3d b = m * Eigen::Vector3d(3, -1, 4);
    cDoubleVector rhs(3);
    for (int i = 0; i < 3; ++i)
        rhs[i] = b(i);
    ASSERT_TRUE(SolveSVD(FromEigen(m), rhs, 1.1920928955078125e-07));
    Eigen::Vector3d expected = m.completeOrthogonalDecomposition().solve(b);
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(rhs[i], expected(i), 1e-9);
    EXPECT_NEAR(Eigen::Vector3d(rhs[0], rhs[1], rhs[2]).dot(axis), 0.0, 1e-9);

    cSquareMatrix zero(3);
    cDoubleVector r(3);
    EXPECT_FALSE(SolveSVD(zero, r, 1e-7));
}

} // namespace
