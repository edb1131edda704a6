// The clean-up's regions of a big mesh found on the pool instead of by one
// depth-first walk after another, with the same outcome.
#pragma once

#include "core/mesh.h"
#include "core/thread_pool.h"

#include <algorithm>
#include <cstdint>
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
// one entry per kPoolBlock triangles), or clear bit 2, or nothing.
struct stAfterFlip
{
    std::vector<std::uint32_t>* nextClassCounts = nullptr;
    bool nextClass = false;
    bool clearScratch = false;
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
// label; `labels` receives their number. Every colour word is set to
// 0xFFFFFFFF (unlabelled) first, and the triangles outside the band are
// joined over a list of them. False, with no label given and the colour
// words unlabelled, where a triangle is hidden, the links between the
// triangles outside the band are not symmetric or memory runs out.
bool LabelRegionsOnPool(cMesh& mesh, std::uint32_t& labels);
