// Synthetic point sets with known parameters for the fit tests.
#pragma once

#include "fitting/fit_container.h"

#include <cmath>
#include <random>

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

} // namespace fit_samples
