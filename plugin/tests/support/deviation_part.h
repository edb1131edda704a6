// A box-shaped part for the deviation analysis tests: its six faces as exact
// plane surfaces (outward normals) and a scan of it whose every vertex lies
// a known signed distance off its face along the outward normal. The part
// is W x D x H millimetres, turned by a rotation about a tilted axis and
// moved far from the origin. Each face is sampled as a grid `cells` across;
// the offsets are a smooth wave within +-wave, except two interior vertices
// that carry the scan's lowest and highest deviation.
#pragma once

#include "platform/geometry/brep.h"
#include "platform/geometry/mesh.h"
#include "platform/geometry/plane_surface.h"

#include <cmath>
#include <memory>
#include <vector>

namespace deviationtest
{

struct stDeviationPart
{
    double size[3] = {60.0, 40.0, 30.0};
    double axis[3] = {0.3, -0.5, 0.8};
    double angleDeg = 35.0;
    double translation[3] = {1800.0, -950.0, 420.0};
    int cells = 24;
    double wave = 0.06;
    double lowest = -0.2;  // at face 2, grid (8, 9)
    double highest = 0.22; // at face 4, grid (15, 12)

    // Rotation then translation of a point of the part's own frame.
    ON_3dPoint Place(double x, double y, double z) const
    {
        const double pi = std::acos(-1.0);
        double a[3] = {axis[0], axis[1], axis[2]};
        const double n = std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
        for (double& c : a)
            c /= n;
        const double t = angleDeg * pi / 180.0, c = std::cos(t), s = std::sin(t), k = 1.0 - c;
        const double r[3][3] = {{c + a[0] * a[0] * k, a[0] * a[1] * k - a[2] * s, a[0] * a[2] * k + a[1] * s},
                                {a[1] * a[0] * k + a[2] * s, c + a[1] * a[1] * k, a[1] * a[2] * k - a[0] * s},
                                {a[2] * a[0] * k - a[1] * s, a[2] * a[1] * k + a[0] * s, c + a[2] * a[2] * k}};
        const double p[3] = {x, y, z};
        double q[3];
        for (int i = 0; i < 3; ++i)
            q[i] = r[i][0] * p[0] + r[i][1] * p[1] + r[i][2] * p[2] + translation[i];
        return ON_3dPoint(q[0], q[1], q[2]);
    }

    // Face f (0..5) as a corner and two edge vectors whose cross product
    // points out of the part, in the part's own frame.
    void Face(int f, double corner[3], double u[3], double v[3]) const
    {
        const double W = size[0], D = size[1], H = size[2];
        const double faces[6][9] = {
            {0, 0, 0, 0, D, 0, W, 0, 0}, // bottom: -z
            {0, 0, H, W, 0, 0, 0, D, 0}, // top: +z
            {0, 0, 0, W, 0, 0, 0, 0, H}, // front: -y
            {0, D, 0, 0, 0, H, W, 0, 0}, // back: +y
            {0, 0, 0, 0, 0, H, 0, D, 0}, // left: -x
            {W, 0, 0, 0, D, 0, 0, 0, H}, // right: +x
        };
        for (int i = 0; i < 3; ++i)
        {
            corner[i] = faces[f][i];
            u[i] = faces[f][3 + i];
            v[i] = faces[f][6 + i];
        }
    }

    // The offset of grid vertex (i, j) of face f.
    double Offset(int f, int i, int j) const
    {
        if (f == 2 && i == 8 && j == 9)
            return lowest;
        if (f == 4 && i == 15 && j == 12)
            return highest;
        return wave * std::sin(0.7 * i + 1.3 * f) * std::cos(0.45 * j - 0.2 * f);
    }

    ON_3dVector Normal(int f) const
    {
        double c[3], u[3], v[3];
        Face(f, c, u, v);
        const ON_3dPoint o = Place(0, 0, 0);
        const ON_3dVector uw = Place(u[0], u[1], u[2]) - o, vw = Place(v[0], v[1], v[2]) - o;
        ON_3dVector n = ON_CrossProduct(uw, vw);
        n.Unitize();
        return n;
    }

    // The exact faces as plane-surface breps.
    std::vector<std::unique_ptr<ON_Brep>> Surfaces() const
    {
        std::vector<std::unique_ptr<ON_Brep>> breps;
        for (int f = 0; f < 6; ++f)
        {
            double c[3], u[3], v[3];
            Face(f, c, u, v);
            const ON_3dPoint origin = Place(c[0], c[1], c[2]);
            const ON_3dVector uw = Place(c[0] + u[0], c[1] + u[1], c[2] + u[2]) - origin;
            const ON_3dVector vw = Place(c[0] + v[0], c[1] + v[1], c[2] + v[2]) - origin;
            const ON_Plane plane(origin, uw, vw);
            auto surface = std::make_unique<ON_PlaneSurface>(plane);
            surface->SetExtents(0, ON_Interval(0.0, uw.Length()), true);
            surface->SetExtents(1, ON_Interval(0.0, vw.Length()), true);
            auto brep = std::make_unique<ON_Brep>();
            ON_Surface* s = surface.release();
            if (!brep->Create(s))
                delete s;
            breps.push_back(std::move(brep));
        }
        return breps;
    }

    // The scan, with each vertex's true signed distance, face and grid place.
    struct stScan
    {
        ON_Mesh mesh;
        std::vector<double> distance;
        std::vector<int> face, gi, gj;
    };
    stScan Scan() const
    {
        stScan scan;
        const int n = cells;
        for (int f = 0; f < 6; ++f)
        {
            double c[3], u[3], v[3];
            Face(f, c, u, v);
            const ON_3dVector normal = Normal(f);
            const int base = scan.mesh.m_V.Count();
            for (int j = 0; j <= n; ++j)
                for (int i = 0; i <= n; ++i)
                {
                    const double s = double(i) / n, t = double(j) / n;
                    const ON_3dPoint p =
                        Place(c[0] + s * u[0] + t * v[0], c[1] + s * u[1] + t * v[1], c[2] + s * u[2] + t * v[2]);
                    const double d = Offset(f, i, j);
                    const ON_3dPoint q = p + d * normal;
                    scan.mesh.m_V.Append(ON_3fPoint(float(q.x), float(q.y), float(q.z)));
                    scan.distance.push_back(d);
                    scan.face.push_back(f);
                    scan.gi.push_back(i);
                    scan.gj.push_back(j);
                }
            for (int j = 0; j < n; ++j)
                for (int i = 0; i < n; ++i)
                {
                    const int a = base + j * (n + 1) + i;
                    ON_MeshFace t1{}, t2{};
                    t1.vi[0] = a, t1.vi[1] = a + 1, t1.vi[2] = t1.vi[3] = a + n + 2;
                    t2.vi[0] = a, t2.vi[1] = a + n + 2, t2.vi[2] = t2.vi[3] = a + n + 1;
                    scan.mesh.m_F.Append(t1);
                    scan.mesh.m_F.Append(t2);
                }
        }
        return scan;
    }

    // Whether vertex (i, j) lies far enough inside its face that the face
    // is its nearest surface whatever the offsets.
    bool Interior(int i, int j) const { return i >= 2 && j >= 2 && i <= cells - 2 && j <= cells - 2; }
};

} // namespace deviationtest
