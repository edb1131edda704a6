// Synthetic point sets with known parameters for the fit tests.
#pragma once

#include "fitting/fit_container.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <vector>

namespace fit_samples
{

inline constexpr double kPi = 3.14159265358979323846;

inline void Normalise(double v[3])
{
    const double l = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    for (int k = 0; k < 3; ++k)
        v[k] /= l;
}

// Two unit vectors completing n to an orthonormal basis.
inline void Basis(const double n[3], double u[3], double v[3])
{
    const double a[3] = {std::fabs(n[0]) < 0.9 ? 1.0 : 0.0, std::fabs(n[0]) < 0.9 ? 0.0 : 1.0, 0.0};
    u[0] = a[1] * n[2] - a[2] * n[1];
    u[1] = a[2] * n[0] - a[0] * n[2];
    u[2] = a[0] * n[1] - a[1] * n[0];
    Normalise(u);
    v[0] = n[1] * u[2] - n[2] * u[1];
    v[1] = n[2] * u[0] - n[0] * u[2];
    v[2] = n[0] * u[1] - n[1] * u[0];
}

inline stFitPoint Point(const double p[3], const double n[3])
{
    stFitPoint r;
    for (int k = 0; k < 3; ++k)
    {
        r.position[k] = static_cast<float>(p[k]);
        r.normal[k] = static_cast<float>(n[k]);
    }
    return r;
}

// Points on the plane through origin with the given unit normal.
inline tFitPointQueue Plane(std::mt19937& rng, const double origin[3], const double normal[3], double halfSize,
                            double noise, int count)
{
    std::uniform_real_distribution<double> uniform(-halfSize, halfSize);
    std::normal_distribution<double> gauss(0.0, noise > 0 ? noise : 1.0);
    double u[3], v[3];
    Basis(normal, u, v);
    tFitPointQueue q;
    for (int i = 0; i < count; ++i)
    {
        const double a = uniform(rng), b = uniform(rng), e = noise > 0 ? gauss(rng) : 0.0;
        double p[3];
        for (int k = 0; k < 3; ++k)
            p[k] = origin[k] + a * u[k] + b * v[k] + e * normal[k];
        q.push_back(Point(p, normal));
    }
    return q;
}

// Points on an arc of a circle (centre, radius) in the plane with normal n,
// angles from a0 to a1 radians.
inline tFitPointQueue Circle(std::mt19937& rng, const double centre[3], const double n[3], double radius, double a0,
                             double a1, double noise, int count)
{
    std::uniform_real_distribution<double> angle(a0, a1);
    std::normal_distribution<double> gauss(0.0, noise > 0 ? noise : 1.0);
    double u[3], v[3];
    Basis(n, u, v);
    tFitPointQueue q;
    for (int i = 0; i < count; ++i)
    {
        const double t = angle(rng);
        const double r = radius + (noise > 0 ? gauss(rng) : 0.0);
        double p[3], dir[3];
        for (int k = 0; k < 3; ++k)
        {
            dir[k] = std::cos(t) * u[k] + std::sin(t) * v[k];
            p[k] = centre[k] + r * dir[k];
        }
        q.push_back(Point(p, dir));
    }
    return q;
}

// Points on a sphere cap: polar angle from the +Z of the sphere up to maxPolar.
inline tFitPointQueue Sphere(std::mt19937& rng, const double centre[3], double radius, double maxPolar, double noise,
                             int count)
{
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::normal_distribution<double> gauss(0.0, noise > 0 ? noise : 1.0);
    tFitPointQueue q;
    const double zMin = std::cos(maxPolar);
    for (int i = 0; i < count; ++i)
    {
        const double z = zMin + (1.0 - zMin) * unit(rng);
        const double phi = 2.0 * kPi * unit(rng);
        const double s = std::sqrt(std::max(0.0, 1.0 - z * z));
        const double dir[3] = {s * std::cos(phi), s * std::sin(phi), z};
        const double r = radius + (noise > 0 ? gauss(rng) : 0.0);
        double p[3];
        for (int k = 0; k < 3; ++k)
            p[k] = centre[k] + r * dir[k];
        q.push_back(Point(p, dir));
    }
    return q;
}

// Points on a cylinder (axis through base along the unit axis) over an arc
// of angles a0..a1 and heights 0..height, with radial noise.
inline tFitPointQueue Cylinder(std::mt19937& rng, const double base[3], const double axis[3], double radius,
                               double height, double a0, double a1, double noise, int count)
{
    std::uniform_real_distribution<double> angle(a0, a1), along(0.0, height);
    std::normal_distribution<double> gauss(0.0, noise > 0 ? noise : 1.0);
    double u[3], v[3];
    Basis(axis, u, v);
    tFitPointQueue q;
    for (int i = 0; i < count; ++i)
    {
        const double t = angle(rng), h = along(rng);
        const double r = radius + (noise > 0 ? gauss(rng) : 0.0);
        double p[3], dir[3];
        for (int k = 0; k < 3; ++k)
        {
            dir[k] = std::cos(t) * u[k] + std::sin(t) * v[k];
            p[k] = base[k] + h * axis[k] + r * dir[k];
        }
        q.push_back(Point(p, dir));
    }
    return q;
}

// Points along a segment from start in the unit direction, with noise
// across it.
inline tFitPointQueue Line(std::mt19937& rng, const double start[3], const double direction[3], double length,
                           double noise, int count)
{
    std::uniform_real_distribution<double> along(0.0, length);
    std::normal_distribution<double> gauss(0.0, noise > 0 ? noise : 1.0);
    double u[3], v[3];
    Basis(direction, u, v);
    tFitPointQueue q;
    for (int i = 0; i < count; ++i)
    {
        const double t = along(rng);
        const double a = noise > 0 ? gauss(rng) : 0.0, b = noise > 0 ? gauss(rng) : 0.0;
        double p[3];
        for (int k = 0; k < 3; ++k)
            p[k] = start[k] + t * direction[k] + a * u[k] + b * v[k];
        q.push_back(Point(p, u));
    }
    return q;
}

// Gross outliers: each of `count` random records of q is moved by a random
// offset of `least` to `most` along a random direction.
inline void AddOutliers(std::mt19937& rng, tFitPointQueue& q, int count, double least, double most)
{
    std::uniform_int_distribution<std::size_t> pick(0, q.size() - 1);
    std::uniform_real_distribution<double> length(least, most);
    std::normal_distribution<double> gauss(0.0, 1.0);
    for (int i = 0; i < count; ++i)
    {
        stFitPoint& p = q[pick(rng)];
        double d[3] = {gauss(rng), gauss(rng), gauss(rng)};
        Normalise(d);
        const double l = length(rng);
        for (int k = 0; k < 3; ++k)
            p.position[k] = static_cast<float>(p.position[k] + l * d[k]);
    }
}

// The directions users meet: every coordinate axis, every diagonal of a
// coordinate plane, and a few random ones.
inline std::vector<std::array<double, 3>> TestDirections(std::mt19937& rng, int randomCount = 3)
{
    std::vector<std::array<double, 3>> out = {{1, 0, 0},  {0, 1, 0},  {0, 0, 1}, {1, 1, 0},
                                              {1, -1, 0}, {1, 0, 1},  {1, 0, -1}, {0, 1, 1},
                                              {0, 1, -1}, {2, 1, 0}};
    std::normal_distribution<double> gauss(0.0, 1.0);
    for (int i = 0; i < randomCount; ++i)
        out.push_back({gauss(rng), gauss(rng), gauss(rng)});
    for (auto& d : out)
        Normalise(d.data());
    return out;
}

// Angle in radians between two lines (directions up to sign).
inline double LineAngle(const double a[3], const double b[3])
{
    const double la = std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
    const double lb = std::sqrt(b[0] * b[0] + b[1] * b[1] + b[2] * b[2]);
    const double c = std::fabs(a[0] * b[0] + a[1] * b[1] + a[2] * b[2]) / (la * lb);
    return std::acos(std::min(1.0, c));
}

// Distance of point q from the line through p along the unit direction d.
inline double DistanceFromLine(const double q[3], const double p[3], const double d[3])
{
    const double w[3] = {q[0] - p[0], q[1] - p[1], q[2] - p[2]};
    const double t = w[0] * d[0] + w[1] * d[1] + w[2] * d[2];
    const double e[3] = {w[0] - t * d[0], w[1] - t * d[1], w[2] - t * d[2]};
    return std::sqrt(e[0] * e[0] + e[1] * e[1] + e[2] * e[2]);
}

inline double Distance(const double a[3], const double b[3])
{
    const double d[3] = {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
    return std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
}

} // namespace fit_samples
