#include "platform/geometry/brep.h"

#include "platform/geometry/binary_archive.h"
#include "platform/geometry/mesh.h"
#include "platform/geometry/surface.h"
#include "platform/geometry/surface_mesher.h"

#include <utility>

namespace
{

// Damaged records claiming more are refused before anything is allocated.
constexpr int kMaxRecordSurfaces = 1 << 16;
constexpr int kMaxRecordFaces = 1 << 16;

} // namespace

ON_BrepFace::ON_BrepFace(const ON_BrepFace& other)
    : m_face_index(other.m_face_index), m_si(other.m_si), m_bRev(other.m_bRev), m_brep(nullptr),
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

ON_Mesh* ON_BrepFace::CreateMesh(const ON_MeshParameters& mp) const
{
    const ON_Surface* surface = SurfaceOf();
    return surface != nullptr ? ON_MeshSurface(*surface, mp, m_bRev) : nullptr;
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
        const ON_BoundingBox b = s->BoundingBox();
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
    if (!archive.Write3dmChunkVersion(1, 0) || !archive.WriteInt(SurfaceCount()))
        return false;
    for (const auto& s : m_S)
        if (s == nullptr || !ON_WriteSurface(archive, *s))
            return false;
    if (!archive.WriteInt(FaceCount()))
        return false;
    for (const auto& f : m_F)
        if (!archive.WriteInt(f.m_si) || !archive.WriteInt(f.m_bRev ? 1 : 0))
            return false;
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
    // A brep without faces is no brep.
    if (!read.IsValid())
        return false;
    *this = std::move(read);
    return true;
}
