#include "core/point_cloud.h"

#include <array>
#include <cfloat>
#include <cmath>
#include <vector>

#include "core/bounding_box.h"
#include "core/frame_math.h"
#include "core/thread_pool.h"

namespace
{

// Vertices per job of the box's pass over the pool; clouds of fewer grow
// their box on the calling thread.
constexpr std::uint32_t kBoxJobVertices = 16 * kArrayChunkSize;
constexpr std::uint32_t kBoxOnPoolFrom = 1u << 18;

} // namespace

cPointCloud::cPointCloud()
{
    MakeEmptyBox3f(m_box);
}

cPointCloud::~cPointCloud()
{
    m_vertices.Clear();
    m_mergeIndex.Clear();
}

void* cPointCloud::NonDelegatingQueryInterface(const GUID& iid)
{
    if (IsEqualInterfaceId(iid, IID_cPointCloud))
        return static_cast<cPointCloud*>(this);
    return IBaseAggregate::NonDelegatingQueryInterface(iid);
}

void cPointCloud::Reset()
{
    Clear();
}

void cPointCloud::Update()
{
    UpdateBoundingBox();
}

void cPointCloud::Clear()
{
    m_vertices.Clear();
    MakeEmptyBox3f(m_box);
    m_boxValid = 0;
    m_indexed = 0;
    m_mergeIndex.Clear();
}

std::unique_ptr<IPointsIterator> cPointCloud::CreatePointsIterator()
{
    return std::make_unique<cPointCloudIterator>(this);
}

void cPointCloud::FlipNormals()
{
    ForEachVertex(
        [](cVertex& v)
        {
            v.nx = -v.nx;
            v.ny = -v.ny;
            v.nz = -v.nz;
        });
}

void cPointCloud::UpdateBoundingBox()
{
    MakeEmptyBox3f(m_box);
    const std::uint32_t count = m_vertices.GetCount();
    cThreadPool* pool = SharedThreadPool();
    if (count < kBoxOnPoolFrom || pool == nullptr)
    {
        ForEachVertex(
            [this](const cVertex& v)
            {
                if ((v.flags & kVertexFlagExcluded) == 0)
                    GrowBox3f(m_box, v.Position());
            });
    }
    else
    {
        // A box per block of vertices, then the blocks' boxes in order: each
        // side keeps the first of equal values (and passes over NaN), as
        // growing one box vertex by vertex does.
        const std::size_t blocks = (std::size_t{count} + kBoxJobVertices - 1) / kBoxJobVertices;
        std::vector<std::array<float, 6>> boxes(blocks);
        auto grow = [&](std::size_t b)
        {
            float* box = boxes[b].data();
            MakeEmptyBox3f(box);
            const std::uint32_t end = std::min<std::uint32_t>(count, std::uint32_t((b + 1) * kBoxJobVertices));
            for (std::uint32_t i = std::uint32_t(b * kBoxJobVertices); i < end; ++i)
            {
                const cVertex& v = m_vertices[i];
                if ((v.flags & kVertexFlagExcluded) == 0)
                    GrowBox3f(box, v.Position());
            }
        };
        ParallelForEach(pool, blocks, 1, grow);
        for (const std::array<float, 6>& box : boxes)
            for (int a = 0; a < 3; ++a)
            {
                if (m_box[a] > box[a])
                    m_box[a] = box[a];
                if (box[a + 3] > m_box[a + 3])
                    m_box[a + 3] = box[a + 3];
            }
    }
    m_boxValid = IsValidBoundingBox3f(m_box) ? 1 : 0;
}

float* cPointCloud::GetTransformedBoundingBox(float out[6], const double frame[12])
{
    GetBoundingBoxInFrame(out, frame);
    return out;
}

void cPointCloud::Transform(const double m[12])
{
    ForEachVertex(
        [m](cVertex& v)
        {
            if (IsFloatUnset(v.x))
                return;
            const cVertex old = v;
            TransformPoint3f(m, v.Position(), old.Position());
            const double n[3] = {old.nx, old.ny, old.nz};
            v.nx = static_cast<float>(m[0] * n[0] + m[1] * n[1] + m[2] * n[2]);
            v.ny = static_cast<float>(m[4] * n[0] + m[5] * n[1] + m[6] * n[2]);
            v.nz = static_cast<float>(m[8] * n[0] + m[9] * n[1] + m[10] * n[2]);
        });
    m_boxValid = 0;
}

void cPointCloud::TransformAboutPoint(const double m[12], const float p[3])
{
    double toOrigin[12];
    double back[12];
    MakeIdentity3x4(toOrigin);
    MakeIdentity3x4(back);
    for (int r = 0; r < 3; ++r)
    {
        toOrigin[4 * r + 3] = -static_cast<double>(p[r]);
        back[4 * r + 3] = p[r];
    }
    double aboutPoint[12];
    MultiplyTransform3x4(m, aboutPoint, toOrigin);
    MultiplyTransform3x4(back, aboutPoint, aboutPoint);
    Transform(aboutPoint);
}

void cPointCloud::GetBoundingBoxInFrame(float out[6], const double frame[12])
{
    MakeEmptyBox3f(out);
    ForEachVertex(
        [out, frame](const cVertex& v)
        {
            if ((v.flags & kVertexFlagExcluded) != 0)
                return;
            float mapped[3];
            TransformPoint3f(frame, mapped, v.Position());
            GrowBox3f(out, mapped);
        });
}

void cPointCloud::ComputeBoundingBox(float out[6])
{
    MakeEmptyBox3f(out);
    ForEachVertex(
        [out](const cVertex& v)
        {
            if ((v.flags & (kVertexFlagExcluded | kVertexFlagRingVisit)) == 0)
                GrowBox3f(out, v.Position());
        });
}

std::uint32_t cPointCloud::AppendVertex(float x, float y, float z)
{
    const std::uint32_t index = m_vertices.GetCount();
    cVertex* v = m_vertices.Append();
    if (v == nullptr)
        return index; // nothing stored: the count stays where it was
    *v = cVertex{};
    v->x = x;
    v->y = y;
    v->z = z;
    v->index = index;
    m_boxValid = 0;
    return index;
}

std::uint32_t cPointCloud::AddVertex(const float p[3])
{
    return AppendVertex(p[0], p[1], p[2]);
}

std::uint32_t cPointCloud::FindCoincidentVertexByScan(const float p[3], float tolerance) const
{
    const std::uint32_t count = m_vertices.GetCount();
    for (std::uint32_t i = 0; i < count; ++i)
    {
        const cVertex& v = m_vertices[i];
        const double dx = static_cast<double>(v.x) - p[0];
        const double dy = static_cast<double>(v.y) - p[1];
        const double dz = static_cast<double>(v.z) - p[2];
        if (std::sqrt(dx * dx + dy * dy + dz * dz) <= tolerance)
            return i;
    }
    return kNoVertexIndex;
}

std::uint32_t cPointCloud::AddVertex(float x, float y, float z, bool merge, float tolerance)
{
    bool repeatable = false;
    return AddVertex(x, y, z, merge, tolerance, repeatable);
}

std::uint32_t cPointCloud::AddVertex(float x, float y, float z, bool merge, float tolerance, bool& repeatable)
{
    repeatable = false;
    if (!merge)
        return AppendVertex(x, y, z);

    const float p[3] = {x, y, z};
    if (m_indexed == 0)
    {
        const std::uint32_t found = FindCoincidentVertexByScan(p, tolerance);
        return found != kNoVertexIndex ? found : AppendVertex(x, y, z);
    }

    if (const cVertex* existing = m_mergeIndex.Find(p, tolerance))
    {
        repeatable = true;
        return existing->index;
    }
    const std::uint32_t index = AppendVertex(x, y, z);
    if (index < m_vertices.GetCount())
        repeatable = m_mergeIndex.Insert(GetVertex(index), tolerance);
    return index;
}

const float* cPointCloud::GetBoundingBox()
{
    if (m_boxValid == 0)
        UpdateBoundingBox();
    return m_box;
}

cPointCloudIterator::cPointCloudIterator(cPointCloud* cloud, const double transform[12]) : m_cloud(cloud)
{
    if (transform != nullptr)
        std::copy(transform, transform + 12, m_transform);
    else
        MakeIdentity3x4(m_transform);
    m_count = GetCount();
    m_index = 0;
    SkipExcluded();
}

std::uint32_t cPointCloudIterator::GetCount()
{
    return m_cloud != nullptr ? m_cloud->GetVertexCount() : 0;
}

bool cPointCloudIterator::HasPoints()
{
    return GetCount() != 0;
}

void cPointCloudIterator::SkipExcluded()
{
    while (m_index < m_count && m_cloud->GetVertex(m_index)->IsExcluded())
        ++m_index;
}

void cPointCloudIterator::First()
{
    m_index = 0;
    m_count = GetCount();
    SkipExcluded();
}

bool cPointCloudIterator::IsDone()
{
    return m_index >= m_count;
}

void cPointCloudIterator::Next()
{
    if (m_index < m_count)
        ++m_index;
    SkipExcluded();
}

cVertex* cPointCloudIterator::GetVertex()
{
    return m_cloud->GetVertex(m_index);
}

const cVertex* cPointCloudIterator::GetVertex() const
{
    return m_cloud->GetVertex(m_index);
}

void cPointCloudIterator::GetPoint(double out[3])
{
    float mapped[3];
    TransformPoint3f(m_transform, mapped, m_cloud->GetVertex(m_index)->Position());
    out[0] = mapped[0];
    out[1] = mapped[1];
    out[2] = mapped[2];
}
