// Point sets and a brute-force nearest search for the k-d tree tests.
#pragma once

#include "core/bucket_kd_tree.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <cstdint>
#include <random>
#include <vector>

struct TestPoint
{
    float xyz[3];
};

struct TestPointComparator
{
    const float* Coordinates(const TestPoint* p) const { return p->xyz; }
};

using TestKDTree = tBucketKDTree<const TestPoint*, TestPointComparator>;

enum class PointSetKind
{
    Uniform,
    Clustered,
    Duplicated,
    OnALine,
    AllEqual,
    Lattice, // many points exactly on split values
};

inline std::vector<TestPoint> MakePointSet(PointSetKind kind, std::size_t n, std::uint32_t seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    std::normal_distribution<float> blob(0.0f, 0.01f);
    std::vector<TestPoint> points(n);
    std::vector<TestPoint> centres(8);
    for (auto& c : centres)
        c = {{unit(rng) * 50.0f, unit(rng) * 50.0f, unit(rng) * 50.0f}};
    for (std::size_t i = 0; i < n; ++i)
    {
        switch (kind)
        {
        case PointSetKind::Uniform:
            points[i] = {{unit(rng) * 10.0f, unit(rng) * 10.0f, unit(rng) * 10.0f}};
            break;
        case PointSetKind::Clustered:
        {
            const TestPoint& c = centres[rng() % centres.size()];
            points[i] = {{c.xyz[0] + blob(rng), c.xyz[1] + blob(rng), c.xyz[2] + blob(rng)}};
            break;
        }
        case PointSetKind::Duplicated:
            points[i] = i % 7 == 0 || i < 8 ? TestPoint{{unit(rng), unit(rng), unit(rng)}} : points[i % 8];
            break;
        case PointSetKind::OnALine:
        {
            const float t = unit(rng) * 100.0f;
            points[i] = {{1.0f + 0.5f * t, -2.0f + 0.25f * t, 3.0f - t}};
            break;
        }
        case PointSetKind::AllEqual:
            points[i] = {{1.5f, -2.25f, 7.0f}};
            break;
        case PointSetKind::Lattice:
            points[i] = {{static_cast<float>(i % 8), static_cast<float>((i / 8) % 8), static_cast<float>(i / 64)}};
            break;
        }
    }
    return points;
}

// The squared distance exactly as the tree forms it for a query of type S.
template <class S> double TreeSquaredDistance(const S q[3], const float p[3])
{
    const S dx = q[0] - static_cast<S>(p[0]);
    const S dy = q[1] - static_cast<S>(p[1]);
    const S dz = q[2] - static_cast<S>(p[2]);
    return static_cast<double>(dx * dx + dy * dy + dz * dz);
}

// Smallest squared distance strictly below radius squared, or -1 when none.
template <class S> double BruteForceNearest(const std::vector<const TestPoint*>& points, const S q[3], double radius)
{
    double best = radius * radius;
    bool found = false;
    for (const TestPoint* p : points)
    {
        const double d2 = TreeSquaredDistance(q, p->xyz);
        if (best > d2)
        {
            best = d2;
            found = true;
        }
    }
    return found ? best : -1.0;
}

// Node for node and bucket for bucket the same tree.
template <class Tree> void ExpectSameTree(const Tree& alone, const Tree& pooled)
{
    ASSERT_EQ(pooled.GetNodeCount(), alone.GetNodeCount());
    for (std::uint32_t i = 0; i < alone.GetNodeCount(); ++i)
    {
        const auto& a = *alone.GetNode(i);
        const auto& b = *pooled.GetNode(i);
        ASSERT_EQ(std::memcmp(&a, &b, sizeof a), 0) << i;
        for (std::uint32_t k = 0; a.IsLeaf() && k < a.count; ++k)
            ASSERT_EQ(pooled.GetElements().Get(b.first + k), alone.GetElements().Get(a.first + k)) << i;
    }
}
