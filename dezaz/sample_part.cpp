#include "dezaz/sample_part.h"

#include "platform/win32/codepage.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <random>
#include <sstream>
#include <unordered_map>
#include <vector>

namespace dezaz
{

namespace
{

// The part, in millimetres.
constexpr double kBlock[3] = {120.0, 60.0, 20.0};
constexpr double kBossX = 20.0, kBossY = 30.0, kBossRadius = 12.0, kBossTop = 35.0;
constexpr double kDimpleX = 50.0, kDimpleY = 30.0, kDimpleZ = 26.0, kDimpleRadius = 10.0;
constexpr double kHoleX = 80.0, kHoleY = 30.0, kHoleRadius = 8.0;
constexpr double kKnobX = 105.0, kKnobY = 30.0, kKnobTop = 32.0;
// A free-form dent in the back face (y = 60), smooth into the flat face
// around it: its depth is kDentDepth cos^2 across each half-width.
constexpr double kDentX = 60.0, kDentZ = 10.0, kDentHalfX = 30.0, kDentHalfZ = 8.0, kDentDepth = 1.0;

double DentDepth(double x, double z)
{
    const double u = (x - kDentX) / kDentHalfX, v = (z - kDentZ) / kDentHalfZ;
    if (std::abs(u) >= 1.0 || std::abs(v) >= 1.0)
        return 0.0;
    const double cu = std::cos(std::numbers::pi * u / 2), cv = std::cos(std::numbers::pi * v / 2);
    return kDentDepth * cu * cu * cv * cv;
}

double KnobRadius(double z)
{
    const double t = std::clamp((z - kBlock[2]) / (kKnobTop - kBlock[2]), 0.0, 1.0);
    return 7.0 - 2.0 * std::sin(std::numbers::pi * t);
}

double BoxDistance(double x, double y, double z)
{
    const double q[3] = {std::abs(x - kBlock[0] / 2) - kBlock[0] / 2, std::abs(y - kBlock[1] / 2) - kBlock[1] / 2,
                         std::abs(z - kBlock[2] / 2) - kBlock[2] / 2};
    const double outside = std::hypot(std::max(q[0], 0.0), std::max(q[1], 0.0), std::max(q[2], 0.0));
    return outside + std::min(std::max({q[0], q[1], q[2]}), 0.0);
}

// Cylinder along z between z0 and z1 with a radius that may vary with z.
double UprightDistance(double x, double y, double z, double cx, double cy, double radius, double z0, double z1)
{
    const double rho = std::hypot(x - cx, y - cy);
    return std::max({rho - radius, z - z1, z0 - z});
}

struct Vec3
{
    double x, y, z;
};

Vec3 Gradient(double x, double y, double z)
{
    const double e = 1e-4;
    Vec3 g{SamplePartDistance(x + e, y, z) - SamplePartDistance(x - e, y, z),
           SamplePartDistance(x, y + e, z) - SamplePartDistance(x, y - e, z),
           SamplePartDistance(x, y, z + e) - SamplePartDistance(x, y, z - e)};
    const double n = std::sqrt(g.x * g.x + g.y * g.y + g.z * g.z);
    if (n > 0)
        g = {g.x / n, g.y / n, g.z / n};
    return g;
}

// The six tetrahedra of a cube around its main diagonal (corners 0 and 6):
// corners 0-3 go round the bottom face, 4-7 round the top face above them.
// Neighbouring cubes split their shared faces along the same diagonals, so
// the triangles of neighbouring tetrahedra meet edge to edge.
constexpr int kCubeCorner[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0},
                                   {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
constexpr int kTetrahedra[6][4] = {{0, 5, 1, 6}, {0, 1, 2, 6}, {0, 2, 3, 6},
                                   {0, 3, 7, 6}, {0, 7, 4, 6}, {0, 4, 5, 6}};

class cGridSurface
{
public:
    cGridSurface(double cell, ON_Mesh& mesh) : m_cell(cell), m_mesh(mesh)
    {
        for (int a = 0; a < 3; ++a)
        {
            m_origin[a] = -2.0 * cell - 1.0;
            const double top = a == 2 ? kBossTop : kBlock[a];
            m_count[a] = static_cast<int>(std::ceil((top + 2.0 - m_origin[a]) / cell)) + 2;
        }
        m_values.resize(static_cast<std::size_t>(m_count[0]) * m_count[1] * m_count[2]);
        for (int k = 0; k < m_count[2]; ++k)
            for (int j = 0; j < m_count[1]; ++j)
                for (int i = 0; i < m_count[0]; ++i)
                {
                    double v = SamplePartDistance(X(i, 0), X(j, 1), X(k, 2));
                    // A grid point (nearly) on the surface would put surface
                    // points on top of each other and make zero-area
                    // triangles: keep every value a little off zero.
                    const double margin = 1e-3 * cell;
                    if (std::abs(v) < margin)
                        v = v < 0 ? -margin : margin;
                    m_values[Id(i, j, k)] = v;
                }
    }

    void Triangulate()
    {
        for (int k = 0; k + 1 < m_count[2]; ++k)
            for (int j = 0; j + 1 < m_count[1]; ++j)
                for (int i = 0; i + 1 < m_count[0]; ++i)
                    for (const auto& tet : kTetrahedra)
                    {
                        std::array<std::size_t, 4> id;
                        for (int c = 0; c < 4; ++c)
                        {
                            const int* o = kCubeCorner[tet[c]];
                            id[static_cast<std::size_t>(c)] = Id(i + o[0], j + o[1], k + o[2]);
                        }
                        Tetrahedron(id);
                    }
    }

private:
    double X(int i, int axis) const { return m_origin[axis] + i * m_cell; }
    std::size_t Id(int i, int j, int k) const
    {
        return (static_cast<std::size_t>(k) * m_count[1] + j) * m_count[0] + i;
    }
    Vec3 Point(std::size_t id) const
    {
        const int i = static_cast<int>(id % m_count[0]);
        const int j = static_cast<int>(id / m_count[0] % m_count[1]);
        const int k = static_cast<int>(id / m_count[0] / m_count[1]);
        return {X(i, 0), X(j, 1), X(k, 2)};
    }

    // The surface point on the grid edge a-b (one inside, one outside),
    // shared by every tetrahedron around the edge.
    int EdgeVertex(std::size_t a, std::size_t b)
    {
        if (a > b)
            std::swap(a, b);
        // Grid point ids stay far below 2^32, so one 64-bit key names the edge.
        const std::uint64_t key = static_cast<std::uint64_t>(a) * m_values.size() + b;
        auto [it, inserted] = m_edges.try_emplace(key, -1);
        if (it->second < 0)
        {
            const double va = m_values[a], vb = m_values[b];
            const double t = va / (va - vb);
            const Vec3 pa = Point(a), pb = Point(b);
            const Vec3 p{pa.x + t * (pb.x - pa.x), pa.y + t * (pb.y - pa.y), pa.z + t * (pb.z - pa.z)};
            m_points.push_back(p);
            m_mesh.m_V.Append(ON_3fPoint(static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)));
            it->second = m_mesh.VertexCount() - 1;
        }
        return it->second;
    }

    void Emit(int a, int b, int c, const Vec3& outward)
    {
        if (a == b || b == c || a == c)
            return;
        // Oriented on the exact points; every triangle is kept, so the
        // surface stays closed.
        const Vec3 &p = m_points[static_cast<std::size_t>(a)], &q = m_points[static_cast<std::size_t>(b)],
                   &r = m_points[static_cast<std::size_t>(c)];
        const double ux = q.x - p.x, uy = q.y - p.y, uz = q.z - p.z;
        const double vx = r.x - p.x, vy = r.y - p.y, vz = r.z - p.z;
        const double nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
        if (nx * outward.x + ny * outward.y + nz * outward.z < 0)
            std::swap(b, c);
        m_mesh.SetTriangle(m_mesh.FaceCount(), a, b, c);
    }

    void Tetrahedron(const std::array<std::size_t, 4>& id)
    {
        std::array<int, 4> in{}, out{};
        int n_in = 0, n_out = 0;
        for (int c = 0; c < 4; ++c)
        {
            if (m_values[id[static_cast<std::size_t>(c)]] < 0)
                in[static_cast<std::size_t>(n_in++)] = c;
            else
                out[static_cast<std::size_t>(n_out++)] = c;
        }
        if (n_in == 0 || n_out == 0)
            return;
        // From the inside corners towards the outside ones.
        Vec3 ci{0, 0, 0}, co{0, 0, 0};
        for (int c = 0; c < n_in; ++c)
        {
            const Vec3 p = Point(id[static_cast<std::size_t>(in[static_cast<std::size_t>(c)])]);
            ci = {ci.x + p.x / n_in, ci.y + p.y / n_in, ci.z + p.z / n_in};
        }
        for (int c = 0; c < n_out; ++c)
        {
            const Vec3 p = Point(id[static_cast<std::size_t>(out[static_cast<std::size_t>(c)])]);
            co = {co.x + p.x / n_out, co.y + p.y / n_out, co.z + p.z / n_out};
        }
        const Vec3 outward{co.x - ci.x, co.y - ci.y, co.z - ci.z};
        const auto corner = [&](const std::array<int, 4>& set, int n) { return id[static_cast<std::size_t>(set[static_cast<std::size_t>(n)])]; };
        if (n_in == 1 || n_out == 1)
        {
            const bool lone_inside = n_in == 1;
            const std::size_t lone = lone_inside ? corner(in, 0) : corner(out, 0);
            const std::array<int, 4>& others = lone_inside ? out : in;
            Emit(EdgeVertex(lone, corner(others, 0)), EdgeVertex(lone, corner(others, 1)),
                 EdgeVertex(lone, corner(others, 2)), outward);
            return;
        }
        // Two inside, two outside: a quad across the four crossing edges.
        const std::size_t i0 = corner(in, 0), i1 = corner(in, 1), o0 = corner(out, 0), o1 = corner(out, 1);
        const int a = EdgeVertex(i0, o0), b = EdgeVertex(i0, o1), c = EdgeVertex(i1, o1), d = EdgeVertex(i1, o0);
        Emit(a, b, c, outward);
        Emit(a, c, d, outward);
    }

    double m_cell;
    ON_Mesh& m_mesh;
    double m_origin[3];
    int m_count[3];
    std::vector<double> m_values;
    std::vector<Vec3> m_points; // the mesh's vertices before rounding to float
    std::unordered_map<std::uint64_t, int> m_edges;
};

// Standard normal numbers from the seed alone (Box-Muller), so the sample
// is the same with every standard library.
class cGaussian
{
public:
    explicit cGaussian(std::uint64_t seed) : m_engine(seed) {}
    double Next()
    {
        const double u1 = (static_cast<double>(m_engine() >> 11) + 1.0) / 9007199254740993.0;
        const double u2 = static_cast<double>(m_engine() >> 11) / 9007199254740992.0;
        return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
    }

private:
    std::mt19937_64 m_engine;
};

} // namespace

double SamplePartDistance(double x, double y, double z)
{
    // The dent's slopes stay below 0.2, so its height difference is close
    // enough to a distance for the triangulation and the noise's normals.
    const double block = std::max(BoxDistance(x, y, z), y - (kBlock[1] - DentDepth(x, z)));
    // The boss and the knob start inside the block, so their bases merge with it.
    const double boss = UprightDistance(x, y, z, kBossX, kBossY, kBossRadius, kBlock[2] / 2, kBossTop);
    const double knob = UprightDistance(x, y, z, kKnobX, kKnobY, KnobRadius(z), kBlock[2] / 2, kKnobTop);
    const double hole = std::hypot(x - kHoleX, y - kHoleY) - kHoleRadius;
    const double dimple = std::sqrt((x - kDimpleX) * (x - kDimpleX) + (y - kDimpleY) * (y - kDimpleY) +
                                    (z - kDimpleZ) * (z - kDimpleZ)) -
                          kDimpleRadius;
    return std::max({std::min({block, boss, knob}), -hole, -dimple});
}

void GenerateSamplePart(const SamplePartOptions& options, ON_Mesh& mesh)
{
    mesh.Destroy();
    cGridSurface grid(options.cell, mesh);
    grid.Triangulate();
    cGaussian noise(options.seed);
    for (ON_3fPoint& v : mesh.m_V)
    {
        const Vec3 n = Gradient(v.x, v.y, v.z);
        const double d = options.noise_sigma * noise.Next();
        v = ON_3fPoint(static_cast<float>(v.x + d * n.x), static_cast<float>(v.y + d * n.y),
                       static_cast<float>(v.z + d * n.z));
    }
}

std::string SamplePartDescription(const SamplePartOptions& options, const ON_Mesh& mesh)
{
    std::ostringstream s;
    s << "Sample scan of a machined part; all lengths in millimetres.\n"
      << "Block: 120 x 60 x 20, from (0, 0, 0) to (120, 60, 20); top face at z = 20.\n"
      << "Cylindrical boss: axis x = 20, y = 30, radius 12, from the top face up to z = 35.\n"
      << "Through hole: axis x = 80, y = 30, radius 8, through the block from z = 0 to z = 20.\n"
      << "Spherical dimple: centre (50, 30, 26), radius 10; 4 deep below the top face, 16 across.\n"
      << "Revolved knob: axis x = 105, y = 30, from the top face up to z = 32; radius 7 - 2 sin(pi (z - 20) / 12):\n"
      << "  7 at its foot and at its flat top, 5 at z = 26.\n"
      << "Free-form dent in the back face: y = 60 - d(x, z), d = 1 cos^2(pi (x - 60) / 60) cos^2(pi (z - 10) / 16)\n"
      << "  for 30 <= x <= 90 and 2 <= z <= 18, d = 0 elsewhere; 1 deep at (60, 59, 10).\n"
      << "Scan: the surface triangulated on a grid of " << options.cell << " spacing (edges and corners are\n"
      << "  cut by up to one spacing), every vertex moved along the surface normal by Gaussian noise\n"
      << "  of standard deviation " << options.noise_sigma << ", seed " << options.seed << ".\n"
      << "Triangles: " << mesh.FaceCount() << "; vertices: " << mesh.VertexCount() << ".\n";
    return s.str();
}

bool WriteBinaryStl(const std::filesystem::path& path, const ON_Mesh& mesh, std::wstring& error)
{
    std::vector<std::uint8_t> bytes(80, 0);
    const char header[] = "binary STL: generated scan of a machined part";
    std::memcpy(bytes.data(), header, sizeof header - 1);
    std::uint32_t count = 0;
    for (const ON_MeshFace& f : mesh.m_F)
        count += f.IsQuad() ? 2 : 1;
    const auto put = [&](const void* p, std::size_t n) {
        const auto* b = static_cast<const std::uint8_t*>(p);
        bytes.insert(bytes.end(), b, b + n); // the machine is little-endian, as STL is
    };
    put(&count, 4);
    bytes.reserve(bytes.size() + static_cast<std::size_t>(count) * 50);
    const auto triangle = [&](int a, int b, int c) {
        const ON_3fPoint &p = mesh.m_V[a], &q = mesh.m_V[b], &r = mesh.m_V[c];
        float n[3] = {(q.y - p.y) * (r.z - p.z) - (q.z - p.z) * (r.y - p.y),
                      (q.z - p.z) * (r.x - p.x) - (q.x - p.x) * (r.z - p.z),
                      (q.x - p.x) * (r.y - p.y) - (q.y - p.y) * (r.x - p.x)};
        const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        for (float& x : n)
            x = length > 0 ? x / length : 0.0f;
        put(n, 12);
        for (const ON_3fPoint* v : {&p, &q, &r})
        {
            const float xyz[3] = {v->x, v->y, v->z};
            put(xyz, 12);
        }
        const std::uint16_t attribute = 0;
        put(&attribute, 2);
    };
    for (const ON_MeshFace& f : mesh.m_F)
    {
        triangle(f.vi[0], f.vi[1], f.vi[2]);
        if (f.IsQuad())
            triangle(f.vi[0], f.vi[2], f.vi[3]);
    }
    std::FILE* fp = std::fopen(path.c_str(), "wb");
    const bool ok = fp && std::fwrite(bytes.data(), 1, bytes.size(), fp) == bytes.size();
    if (fp && std::fclose(fp) != 0)
        return error = L"Cannot write " + path.wstring(), false;
    if (!ok)
        error = L"Cannot write " + path.wstring();
    return ok;
}

} // namespace dezaz
