// The clean-up's regions of a big mesh found on the pool instead of by one
// depth-first walk after another, with the same outcome.
#pragma once

#include "core/mesh.h"
#include "core/thread_pool.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

inline constexpr std::uint32_t kPoolBlock = 1u << 16;
// Below this many triangles regions are walked one by one.
inline constexpr std::uint32_t kRegionsOnPoolFrom = 1u << 16;

// Calls each(begin, end) on consecutive blocks of [0, count) on the shared
// pool; each call must only write what belongs to its own block.
template <class Each> void ForEachBlockOnPool(std::uint32_t count, Each&& each)
{
    auto block = [&](std::size_t b) {
        const auto begin = static_cast<std::uint32_t>(b * kPoolBlock);
        each(begin, std::min(count, begin + kPoolBlock));
    };
    ParallelForEach(SharedThreadPool(), (std::size_t{count} + kPoolBlock - 1) / kPoolBlock, 1, block);
}

// How many triangles ahead a pass asks for the records it reaches through
// a triangle's links or corners: a scan's neighbours and corners lie
// anywhere in memory, and waiting for each in turn took most of such a pass.
inline constexpr std::uint32_t kLookAhead = 16;

// Asks for the records across the triangle's links (the flag byte and the
// links read there lie at either end of a record).
inline void PrefetchLinked(const cMeshTriangle& t)
{
    for (const cMeshTriangle* n : t.neighbour)
        if (n != nullptr)
        {
            __builtin_prefetch(n);
            __builtin_prefetch(reinterpret_cast<const char*>(n) + sizeof(cMeshTriangle) - 1);
        }
}

// Asks for the line of each corner record of the triangle (those in the
// mesh) that holds the field at `offset` in the record.
inline void PrefetchCorners(const cMesh& mesh, const cMeshTriangle& t, std::size_t offset)
{
    const std::uint32_t count = mesh.GetVertexCount();
    for (const std::uint32_t v : t.vertexIndex)
        if (v < count)
            __builtin_prefetch(reinterpret_cast<const char*>(mesh.GetVertex(v)) + offset);
}

// The index of a triangle record of a mesh from its pointer, for links
// into the mesh's chunks of records (instead of writing every triangle's
// index into its record): a link that is no record of the first `count`
// has none.
class cTriangleIndexer
{
public:
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;

    // Throws std::bad_alloc where memory runs out.
    cTriangleIndexer(const cMesh& mesh, std::uint32_t count);

    // Most links stay within the chunk of the triangle they leave (`from`);
    // the others are found among the chunks sorted by address.
    std::uint32_t Index(const cMeshTriangle* n, std::uint32_t from) const
    {
        const std::uintptr_t at = Address(n);
        const std::uint32_t own = InChunk(at, m_chunks[from >> kArrayChunkShift]);
        if (own != kNone)
            return own;
        auto it = std::upper_bound(m_sorted.begin(), m_sorted.end(), std::pair<std::uintptr_t, std::uint32_t>{at, kNone});
        if (it == m_sorted.begin())
            return kNone;
        return InChunk(at, *--it);
    }

private:
    static std::uintptr_t Address(const cMeshTriangle* t) { return reinterpret_cast<std::uintptr_t>(t); }

    std::uint32_t InChunk(std::uintptr_t at, const std::pair<std::uintptr_t, std::uint32_t>& chunk) const
    {
        const std::uintptr_t offset = at - chunk.first;
        if (offset >= std::uintptr_t{kArrayChunkSize} * sizeof(cMeshTriangle) || offset % sizeof(cMeshTriangle) != 0)
            return kNone;
        const std::uint32_t i = (chunk.second << kArrayChunkShift) + std::uint32_t(offset / sizeof(cMeshTriangle));
        return i < m_count ? i : kNone;
    }

    std::uint32_t m_count;
    // Each chunk's address and number, in chunk order and by address.
    std::vector<std::pair<std::uintptr_t, std::uint32_t>> m_chunks, m_sorted;
};

// Flips every connected region of triangles of one class (visible and
// selected, or any other) whose area is at most the limit, as walking them
// one by one from their first triangles does: selected ones lose bit 0, the
// others gain it. Linked triangles are joined on the pool and each region
// adds up its area in triangle order; one whose area lies so near the limit
// that another order of adding could tip the comparison is walked depth
// first as before (which needs bit 2 set on its triangles).
// False, with nothing changed, where the links are not symmetric or memory
// runs out: the regions must then be walked.
// What the flips' last pass over every triangle also does: set bit 2 and
// count the triangles of the next class per block (into nextClassCounts,
// one entry per kPoolBlock triangles), or clear bit 2, or nothing; and
// where asked, mark the corners of the visible selected triangles.
struct stAfterFlip
{
    std::vector<std::uint32_t>* nextClassCounts = nullptr;
    bool nextClass = false;
    bool clearScratch = false;
    // Vertex bit 1 set on the corners of every visible selected triangle.
    bool markSelectedVertices = false;
    // The triangles of the class per block before the flips, where every
    // triangle carries bit 2 (the listed flips then count the next class,
    // the other one, from them and the flips where no region had to be
    // walked, instead of a pass over every triangle).
    const std::vector<std::uint32_t>* classCounts = nullptr;
};
bool FlipSmallRegionsOnPool(cMesh& mesh, double limit, bool selectedClass, stAfterFlip after = {});

// The same flips where the class is a few of the triangles: `listed` holds
// every triangle of the class in index order, and the regions are joined
// and measured over the list alone; what comes after the flips still goes
// over every triangle. False, with nothing changed, where the links
// between triangles of the class are not symmetric or memory runs out.
bool FlipSmallListedRegionsOnPool(cMesh& mesh, double limit, bool selectedClass,
                                  const std::vector<std::uint32_t>& listed, stAfterFlip after = {});

// Labels the regions of the split (triangles that are not selected, joined
// through links between them) 0, 1, ... in the order of their first
// triangles, as walking them one by one does, and raises the mesh's highest
// label; `labels` receives their number. Every other colour word is left
// 0xFFFFFFFF (unlabelled), and the triangles outside the band are joined
// over a list of them. False, with no label given and every colour word
// unlabelled, where a triangle is hidden, the links between the triangles
// outside the band are not symmetric or memory runs out. Where `outside` is
// given, it receives the list of the triangles outside the band (index
// order) when the labels are given. Where `listedAlready` is given, a pass
// of the caller's over every triangle has done what the labels' first pass
// does (stOutsideListed), and its list is taken.
struct stOutsideListed
{
    // The triangles outside the band (not visible and selected) in index
    // order; the band's colour words are unlabelled already.
    std::vector<std::uint32_t> outside;
    // Whether any triangle is hidden.
    bool hidden = false;
};
bool LabelRegionsOnPool(cMesh& mesh, std::uint32_t& labels, std::vector<std::uint32_t>* outside = nullptr,
                        stOutsideListed* listedAlready = nullptr);
