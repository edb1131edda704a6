#include "render/triangle_batch.h"

#include "core/mesh.h"
#include "core/thread_pool.h"
#include "platform/wgl/wgl.h"

#include <algorithm>

namespace
{

// Triangles per job of a flat batch's filling on the pool.
constexpr std::size_t kFlatTrianglesPerJob = 4096;

} // namespace

std::uint32_t stCornerSlots::NextSerial()
{
    // Slots of serial 0 never match: the table starts zeroed, and a wrapped
    // serial clears it again.
    if (++serial == 0)
    {
        std::fill(slots.begin(), slots.end(), 0);
        serial = 1;
    }
    return serial;
}

void cTriangleBatch::Begin(const cMesh& mesh, bool flat, eBatchColours colours, stCornerSlots& slots)
{
    m_mesh = &mesh;
    m_flat = flat;
    m_colourSource = colours;
    m_positions.reserve(kMaxCorners);
    m_normals.reserve(kMaxCorners);
    m_positions.clear();
    m_normals.clear();
    m_colours.clear();
    if (colours != eBatchColours::None)
        m_colours.reserve(kMaxCorners);
    m_indices.clear();
    m_slots = &slots;
    if (flat)
        return;
    if (slots.slots.size() != mesh.GetVertexCount())
    {
        slots.slots.assign(mesh.GetVertexCount(), 0);
        slots.serial = 0;
    }
    m_serial = slots.NextSerial();
}

std::uint32_t cTriangleBatch::CornerOf(std::uint32_t vertex, const float* normal, const std::uint8_t* rgba)
{
    const bool triangleColours = m_colourSource == eBatchColours::Triangles;
    if (!m_flat)
    {
        const std::uint64_t slot = m_slots->slots[vertex];
        if (std::uint32_t(slot >> 32) == m_serial)
        {
            const auto corner = std::uint32_t(slot);
            if (!triangleColours || std::equal(rgba, rgba + 4, m_colours[corner].begin()))
                return corner;
        }
    }
    const cVertex* v = m_mesh->GetVertex(vertex);
    const float* n = m_flat ? normal : v->Normal();
    const auto index = std::uint32_t(m_positions.size());
    m_positions.push_back({v->x, v->y, v->z});
    m_normals.push_back({n[0], n[1], n[2]});
    if (triangleColours)
        m_colours.push_back({rgba[0], rgba[1], rgba[2], rgba[3]});
    else if (m_colourSource == eBatchColours::Vertices)
        m_colours.push_back({v->extra[0], v->extra[1], v->extra[2], v->extra[3]});
    if (!m_flat)
        m_slots->slots[vertex] = (std::uint64_t(m_serial) << 32) | index;
    return index;
}

bool cTriangleBatch::Add(const cMeshTriangle& triangle, const std::uint8_t* rgba)
{
    const std::uint32_t vertices = m_mesh->GetVertexCount();
    for (std::uint32_t index : triangle.vertexIndex)
    {
        if (index >= vertices)
            return false;
    }
    for (std::uint32_t index : triangle.vertexIndex)
        m_indices.push_back(CornerOf(index, triangle.Normal(), rgba));
    return true;
}

void cTriangleBatch::AddFlat(const std::uint32_t* triangles, std::uint32_t count,
                             const stTriangleColouring* colouring, bool selected, cThreadPool* pool)
{
    const std::size_t first = m_positions.size();
    const std::size_t corners = first + std::size_t{count} * 3;
    m_positions.resize(corners);
    m_normals.resize(corners);
    if (m_colourSource != eBatchColours::None)
        m_colours.resize(corners);
    m_indices.resize(corners);
    auto add = [&](std::size_t k)
    {
        const std::uint32_t i = triangles[k];
        const cMeshTriangle& t = *m_mesh->GetTriangle(i);
        const std::uint8_t* rgba =
            m_colourSource == eBatchColours::Triangles ? colouring->ColourOf(i, selected) : nullptr;
        for (std::size_t j = 0; j < 3; ++j)
        {
            const std::size_t corner = first + 3 * k + j;
            const cVertex* v = m_mesh->GetVertex(t.vertexIndex[j]);
            m_positions[corner] = {v->x, v->y, v->z};
            m_normals[corner] = {t.nx, t.ny, t.nz};
            if (rgba)
                m_colours[corner] = {rgba[0], rgba[1], rgba[2], rgba[3]};
            else if (m_colourSource == eBatchColours::Vertices)
                m_colours[corner] = {v->extra[0], v->extra[1], v->extra[2], v->extra[3]};
            m_indices[corner] = std::uint32_t(corner);
        }
    };
    ParallelForEach(pool, count, kFlatTrianglesPerJob, add);
}

void cTriangleBatch::Draw() const
{
    if (m_indices.empty())
        return;
    glVertexPointer(3, GL_FLOAT, 0, m_positions.data());
    glNormalPointer(GL_FLOAT, 0, m_normals.data());
    if (m_colourSource == eBatchColours::Vertices)
        glColorPointer(3, GL_UNSIGNED_BYTE, 4, m_colours.data());
    else if (m_colourSource == eBatchColours::Triangles)
        glColorPointer(4, GL_UNSIGNED_BYTE, 4, m_colours.data());
    // The range spares GL a pass over the indices to find which corners to
    // take.
    if (m_flat)
        glDrawArrays(GL_TRIANGLES, 0, GLsizei(m_indices.size()));
    else
        glDrawRangeElements(GL_TRIANGLES, 0, GLuint(m_positions.size() - 1), GLsizei(m_indices.size()),
                            GL_UNSIGNED_INT, m_indices.data());
}
