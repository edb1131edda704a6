#include "platform/geometry/brep.h"

#include "platform/geometry/binary_archive.h"
#include "platform/geometry/mesh.h"
#include "platform/geometry/surface.h"
#include "platform/geometry/surface_mesher.h"

#include "platform/geometry/mesh_parameters.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace
{

// Damaged records claiming more are refused before anything is allocated.
constexpr int kMaxRecordSurfaces = 1 << 16;
constexpr int kMaxRecordFaces = 1 << 16;
constexpr int kMaxRecordLoops = 1 << 16;
constexpr int kMaxRecordLoopPoints = 1 << 22;
// A trimmed face is meshed on a grid at least this fine, so that the cells
// kept inside its loops follow them closely enough to be seen as the face.
constexpr int kTrimmedGridMinimum = 64;

// Even-odd rule over the polygon's edges.
bool InsidePolygon(const std::vector<ON_3dPoint>& loop, double s, double t)
{
    bool inside = false;
    const std::size_t n = loop.size();
    for (std::size_t i = 0, j = n - 1; i < n; j = i++)
    {
        const ON_3dPoint& a = loop[i];
        const ON_3dPoint& b = loop[j];
        if ((a.y > t) != (b.y > t) && s < (b.x - a.x) * (t - a.y) / (b.y - a.y) + a.x)
            inside = !inside;
    }
    return inside;
}

// The grid mesh of the surface with only the cells whose centres lie on the
// face; null when none does.
ON_Mesh* MeshTrimmedFace(const ON_BrepFace& face, const ON_Surface& surface, const ON_MeshParameters& mp)
{
    int ns = 0, nt = 0;
    if (!ON_SurfaceMeshGrid(surface, mp, &ns, &nt))
        return nullptr;
    ns = std::max(ns, kTrimmedGridMinimum);
    nt = std::max(nt, kTrimmedGridMinimum);
    const ON_Interval ds = surface.Domain(0), dt = surface.Domain(1);
    const int columns = ns + 1;
    std::vector<int> index(static_cast<std::size_t>(columns) * (nt + 1), -1);
    auto mesh = std::make_unique<ON_Mesh>();
    auto vertex = [&](int i, int j) {
        int& slot = index[static_cast<std::size_t>(j) * columns + i];
        if (slot < 0)
        {
            const double s = ds.ParameterAt(static_cast<double>(i) / ns);
            const double t = dt.ParameterAt(static_cast<double>(j) / nt);
            ON_3dVector n = surface.NormalAt(s, t);
            slot = mesh->VertexCount();
            mesh->SetVertex(slot, surface.PointAt(s, t));
            mesh->SetVertexNormal(slot, face.m_bRev ? -n : n);
        }
        return slot;
    };
    for (int j = 0; j < nt; ++j)
        for (int i = 0; i < ns; ++i)
        {
            const double s = ds.ParameterAt((i + 0.5) / ns);
            const double t = dt.ParameterAt((j + 0.5) / nt);
            if (!face.IsParameterOnFace(s, t))
                continue;
            int c[4] = {vertex(i, j), vertex(i + 1, j), vertex(i + 1, j + 1), vertex(i, j + 1)};
            if (face.m_bRev)
                std::swap(c[1], c[3]);
            mesh->SetQuad(mesh->FaceCount(), c[0], c[1], c[2], c[3]);
        }
    if (mesh->FaceCount() == 0 || !mesh->IsValid())
        return nullptr;
    mesh->ComputeFaceNormals();
    return mesh.release();
}

// The box of the face's outer loop sampled on its surface: a trimmed face
// reaches no further than its boundary (exact for planes, close for curved
// surfaces, whose bulge inside the loop is small beside the piece).
ON_BoundingBox TrimmedFaceBox(const ON_BrepFace& face, const ON_Surface& surface)
{
    constexpr int kSamplesPerSide = 8;
    ON_BoundingBox box;
    const std::vector<ON_3dPoint>& loop = face.m_loops[0];
    for (std::size_t i = 0; i < loop.size(); ++i)
    {
        const ON_3dPoint& a = loop[i];
        const ON_3dPoint& b = loop[(i + 1) % loop.size()];
        for (int k = 0; k < kSamplesPerSide; ++k)
        {
            const double f = static_cast<double>(k) / kSamplesPerSide;
            const ON_3dPoint p = surface.PointAt(a.x + (b.x - a.x) * f, a.y + (b.y - a.y) * f);
            if (!p.IsValid())
                continue;
            if (box.IsValid())
                box.Union(ON_BoundingBox(p, p));
            else
                box = ON_BoundingBox(p, p);
        }
    }
    return box;
}

} // namespace

ON_BrepFace::ON_BrepFace(const ON_BrepFace& other)
    : m_face_index(other.m_face_index), m_si(other.m_si), m_bRev(other.m_bRev), m_loops(other.m_loops),
      m_brep(nullptr),
      m_render_mesh(other.m_render_mesh ? std::make_unique<ON_Mesh>(*other.m_render_mesh) : nullptr)
{
}

ON_BrepFace& ON_BrepFace::operator=(const ON_BrepFace& other)
{
    if (this != &other)
    {
        ON_BrepFace copy(other);
        copy.m_brep = m_brep;
        *this = std::move(copy);
    }
    return *this;
}

ON_BrepFace::~ON_BrepFace() = default;

const ON_Surface* ON_BrepFace::SurfaceOf() const
{
    return m_brep != nullptr ? m_brep->Surface(m_si) : nullptr;
}

bool ON_BrepFace::IsParameterOnFace(double s, double t) const
{
    const ON_Surface* surface = SurfaceOf();
    if (surface == nullptr || !surface->Domain(0).Includes(s) || !surface->Domain(1).Includes(t))
        return false;
    for (std::size_t i = 0; i < m_loops.size(); ++i)
        if (InsidePolygon(m_loops[i], s, t) != (i == 0))
            return false;
    return true;
}

ON_Mesh* ON_BrepFace::CreateMesh(const ON_MeshParameters& mp) const
{
    const ON_Surface* surface = SurfaceOf();
    if (surface == nullptr)
        return nullptr;
    return IsTrimmed() ? MeshTrimmedFace(*this, *surface, mp) : ON_MeshSurface(*surface, mp, m_bRev);
}

void ON_BrepFace::SetRenderMesh(ON_Mesh* mesh)
{
    m_render_mesh.reset(mesh);
}

ON_Brep::ON_Brep(const ON_Brep& other) : ON_Geometry(other), m_F(other.m_F)
{
    m_S.reserve(other.m_S.size());
    for (const auto& s : other.m_S)
        m_S.emplace_back(s ? s->DuplicateSurface() : nullptr);
    RewireFaces();
}

ON_Brep& ON_Brep::operator=(const ON_Brep& other)
{
    if (this != &other)
    {
        ON_Brep copy(other);
        m_S = std::move(copy.m_S);
        m_F = std::move(copy.m_F);
        RewireFaces();
    }
    return *this;
}

ON_Brep::~ON_Brep() = default;

ON_Brep* ON_Brep::New()
{
    return new ON_Brep();
}

ON_Brep* ON_Brep::New(const ON_Brep& src)
{
    return new ON_Brep(src);
}

void ON_Brep::RewireFaces()
{
    for (std::size_t i = 0; i < m_F.size(); ++i)
    {
        m_F[i].m_brep = this;
        m_F[i].m_face_index = static_cast<int>(i);
    }
}

bool ON_Brep::Create(ON_Surface*& surface)
{
    Destroy();
    if (surface == nullptr || !surface->IsValid())
        return false;
    const int si = AddSurface(surface);
    if (si < 0)
        return false;
    surface = nullptr;
    NewFace(si);
    return true;
}

int ON_Brep::AddSurface(ON_Surface* surface)
{
    if (surface == nullptr || !surface->IsValid())
        return -1;
    m_S.emplace_back(surface);
    return static_cast<int>(m_S.size()) - 1;
}

ON_BrepFace* ON_Brep::NewFace(int surface_index)
{
    if (Surface(surface_index) == nullptr)
        return nullptr;
    m_F.emplace_back();
    m_F.back().m_si = surface_index;
    RewireFaces();
    return &m_F.back();
}

const ON_Surface* ON_Brep::Surface(int index) const
{
    if (index < 0 || index >= SurfaceCount())
        return nullptr;
    return m_S[static_cast<std::size_t>(index)].get();
}

ON_BrepFace* ON_Brep::Face(int index)
{
    return index >= 0 && index < FaceCount() ? &m_F[static_cast<std::size_t>(index)] : nullptr;
}

const ON_BrepFace* ON_Brep::Face(int index) const
{
    return index >= 0 && index < FaceCount() ? &m_F[static_cast<std::size_t>(index)] : nullptr;
}

void ON_Brep::DestroyRenderMeshes()
{
    for (auto& f : m_F)
        f.DestroyRenderMesh();
}

void ON_Brep::Destroy()
{
    m_F.clear();
    m_S.clear();
}

bool ON_Brep::IsValid(ON_TextLog*) const
{
    if (m_F.empty())
        return false;
    for (const auto& f : m_F)
    {
        const ON_Surface* s = Surface(f.m_si);
        if (s == nullptr || f.m_brep != this || !s->IsValid())
            return false;
    }
    return true;
}

ON_BoundingBox ON_Brep::BoundingBox() const
{
    ON_BoundingBox box;
    for (const auto& f : m_F)
    {
        const ON_Surface* s = Surface(f.m_si);
        if (s == nullptr)
            continue;
        const ON_BoundingBox b = f.IsTrimmed() ? TrimmedFaceBox(f, *s) : s->BoundingBox();
        if (!b.IsValid())
            continue;
        if (box.IsValid())
            box.Union(b);
        else
            box = b;
    }
    return box;
}

bool ON_Brep::Transform(const ON_Xform& xform)
{
    bool ok = true;
    for (auto& s : m_S)
        ok = (s != nullptr && s->Transform(xform)) && ok;
    for (auto& f : m_F)
        if (f.m_render_mesh)
            ok = f.m_render_mesh->Transform(xform) && ok;
    return ok;
}

bool ON_Brep::Write(ON_BinaryArchive& archive) const
{
    // Untrimmed breps keep the first record version, which older readers take.
    const bool trimmed = std::any_of(m_F.begin(), m_F.end(), [](const ON_BrepFace& f) { return f.IsTrimmed(); });
    if (!archive.Write3dmChunkVersion(1, trimmed ? 1 : 0) || !archive.WriteInt(SurfaceCount()))
        return false;
    for (const auto& s : m_S)
        if (s == nullptr || !ON_WriteSurface(archive, *s))
            return false;
    if (!archive.WriteInt(FaceCount()))
        return false;
    for (const auto& f : m_F)
        if (!archive.WriteInt(f.m_si) || !archive.WriteInt(f.m_bRev ? 1 : 0))
            return false;
    if (!trimmed)
        return true;
    for (const auto& f : m_F)
    {
        if (!archive.WriteInt(static_cast<int>(f.m_loops.size())))
            return false;
        for (const auto& loop : f.m_loops)
        {
            if (!archive.WriteInt(static_cast<int>(loop.size())))
                return false;
            for (const ON_3dPoint& p : loop)
                if (!archive.WriteDouble(p.x) || !archive.WriteDouble(p.y))
                    return false;
        }
    }
    return true;
}

bool ON_Brep::ReadLoops(ON_BinaryArchive& archive, ON_BrepFace& face)
{
    int loop_count = 0;
    if (!archive.ReadInt(&loop_count) || loop_count < 0 || loop_count > kMaxRecordLoops ||
        !ON_ArchiveHasBytes(archive, 4LL * loop_count))
        return false;
    face.m_loops.resize(static_cast<std::size_t>(loop_count));
    for (auto& loop : face.m_loops)
    {
        int point_count = 0;
        // A loop encloses something only with three corners or more.
        if (!archive.ReadInt(&point_count) || point_count < 3 || point_count > kMaxRecordLoopPoints ||
            !ON_ArchiveHasBytes(archive, 16LL * point_count))
            return false;
        loop.resize(static_cast<std::size_t>(point_count));
        for (ON_3dPoint& p : loop)
        {
            p.z = 0.0;
            if (!archive.ReadDouble(&p.x) || !archive.ReadDouble(&p.y) || !std::isfinite(p.x) || !std::isfinite(p.y))
                return false;
        }
    }
    return true;
}

bool ON_Brep::Read(ON_BinaryArchive& archive)
{
    int major = 0, minor = 0, surface_count = 0;
    if (!archive.Read3dmChunkVersion(&major, &minor) || major != 1 || !archive.ReadInt(&surface_count) ||
        surface_count < 0 || surface_count > kMaxRecordSurfaces)
        return false;
    ON_Brep read;
    for (int i = 0; i < surface_count; ++i)
    {
        std::unique_ptr<ON_Surface> s(ON_ReadSurface(archive));
        if (!s || read.AddSurface(s.get()) < 0)
            return false;
        s.release();
    }
    int face_count = 0;
    if (!archive.ReadInt(&face_count) || face_count < 0 || face_count > kMaxRecordFaces ||
        !ON_ArchiveHasBytes(archive, 8LL * face_count))
        return false;
    for (int i = 0; i < face_count; ++i)
    {
        int si = -1, rev = 0;
        if (!archive.ReadInt(&si) || !archive.ReadInt(&rev) || (rev != 0 && rev != 1))
            return false;
        ON_BrepFace* face = read.NewFace(si);
        if (face == nullptr)
            return false;
        face->m_bRev = rev == 1;
    }
    if (minor >= 1)
        for (int i = 0; i < face_count; ++i)
            if (!ReadLoops(archive, *read.Face(i)))
                return false;
    // A brep without faces is no brep.
    if (!read.IsValid())
        return false;
    *this = std::move(read);
    return true;
}
