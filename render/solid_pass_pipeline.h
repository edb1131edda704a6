// The immediate solid pass of a big mesh as a pipeline: a worker thread
// gathers the triangles into batches (the CPU's share: reading triangle and
// vertex records, sharing corners) while the calling thread hands the
// previous batch to GL, so the gathering costs no time of its own. The time
// budget is looked at by the gatherer every `checkInterval` triangles, as
// the one-thread pass would; when it runs out, what was gathered is still
// drawn and the pass reports the elapsed time.
#pragma once

#include "render/triangle_batch.h"

#include <array>
#include <cstdint>
#include <functional>

class cMesh;

class cSolidPassPipeline
{
public:
    struct stRequest
    {
        const cMesh* mesh = nullptr;
        bool flat = false;
        bool colours = false; // the vertices' R, G, B bytes
        // When set, the triangles take their colours from it instead (the
        // caller enables the colour array for either).
        const stTriangleColouring* triangleColours = nullptr;
        // When set, bit i (word i / 64) marks triangle i as one that covers
        // no pixel centre: it is left out.
        const std::uint64_t* coversNoPixel = nullptr;
        // When set, bit i marks triangle i as one that draws nothing in
        // GL's state (culled, or behind others of the mesh): left out from
        // a frame without a budget. With `behindOthers`, some lie behind
        // triangles that neither set leaves out, which must all be drawn:
        // a hidden one among those makes the pass draw without these bits.
        const std::uint64_t* drawsNothing = nullptr;
        bool behindOthers = false;
        std::uint32_t budget = 0xFFFFFFFFu;
        std::uint32_t checkInterval = 1024;
        // The budget's clock and its reading at the start of the pass.
        std::function<std::uint32_t()> now;
        std::uint32_t start = 0;
        // Called on the GL thread before the first batch of selected
        // triangles (the selection material).
        std::function<void()> beforeSelected;
    };

    // Draws every triangle that is neither hidden nor selected, then (when
    // there were any) the selected ones; hidden triangles and those naming
    // a vertex outside the mesh are skipped. Returns 0, or the elapsed time
    // when the budget stopped the pass (complete is then 0). The caller has
    // enabled the client arrays.
    std::uint32_t Run(const stRequest& request, std::uint8_t* complete);

private:
    std::array<cTriangleBatch, 3> m_batches;
    stCornerSlots m_slots; // kept between frames
};
