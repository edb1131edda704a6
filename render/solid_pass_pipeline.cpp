#include "render/solid_pass_pipeline.h"

#include "core/mesh.h"
#include "core/thread_pool.h"
#include "platform/wgl/wgl.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

namespace
{

// Batches go from the gatherer to the GL thread and back through two
// queues of buffer numbers.
struct stHandOver
{
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<int> free, ready;
    std::array<bool, 3> selected{}; // the pass of each ready batch
    bool finished = false;
    bool cancelled = false;
    bool stopped = false;
    std::uint32_t elapsed = 0;
};

constexpr std::uint32_t kNoBudget = 0xFFFFFFFFu;
// Triangles per job of the listing, and how many words of 64 of them it
// looks ahead.
constexpr std::size_t kListJobTriangles = std::size_t{1} << 14;
constexpr std::size_t kWordsAhead = 8;
// Triangles of a frame's first flat batch.
constexpr std::size_t kFirstFlatTriangles = std::size_t{1} << 12;

// The triangles each pass draws, in order: the unselected ones, then the
// selected; neither hidden nor left out as covering no pixel or drawing
// nothing, and with every corner inside the mesh. Listed a block at a time
// on the pool. False when there is no memory for the lists.
bool ListTriangles(const cSolidPassPipeline::stRequest& request, std::vector<std::uint32_t> lists[2])
try
{
    const cMesh& mesh = *request.mesh;
    const std::uint32_t count = mesh.GetTriangleCount(), vertices = mesh.GetVertexCount();
    const std::size_t blocks = (std::size_t{count} + kListJobTriangles - 1) / kListJobTriangles;
    std::vector<std::array<std::size_t, 2>> at(blocks + 1, {0, 0});
    const std::uint64_t* drawsNothing = request.drawsNothing;
    std::atomic<bool> hiddenDrawn{false};
    const auto forDrawn = [&](std::size_t block, auto&& each)
    {
        // A word of 64 triangles at a time: most of a big scan's are left
        // out by the bits alone.
        const std::size_t first = block * kListJobTriangles;
        const std::size_t end = std::min<std::size_t>(count, first + kListJobTriangles);
        const auto drawn = [&](std::size_t base)
        {
            std::uint64_t left = end - base < 64 ? (std::uint64_t(1) << (end - base)) - 1 : ~std::uint64_t(0);
            if (request.coversNoPixel)
                left &= ~request.coversNoPixel[base / 64];
            if (drawsNothing)
                left &= ~drawsNothing[base / 64];
            return left;
        };
        // The drawn triangles' records lie scattered through the mesh: those
        // some words ahead are asked for while the ones before are read.
        const auto ask = [&](std::size_t base)
        {
            if (base >= end)
                return;
            for (std::uint64_t ahead = drawn(base); ahead != 0; ahead &= ahead - 1)
                __builtin_prefetch(mesh.GetTriangle(std::uint32_t(base + std::size_t(std::countr_zero(ahead)))));
        };
        for (std::size_t k = 0; k < kWordsAhead; ++k)
            ask(first + 64 * k);
        for (std::size_t base = first; base < end; base += 64)
        {
            ask(base + 64 * kWordsAhead);
            std::uint64_t left = drawn(base);
            for (; left != 0; left &= left - 1)
            {
                const std::size_t i = base + std::size_t(std::countr_zero(left));
                const cMeshTriangle& t = *mesh.GetTriangle(std::uint32_t(i));
                if (t.flags & kTriangleFlagHidden)
                {
                    // It may be one that others were left out behind.
                    if (drawsNothing && request.behindOthers)
                        hiddenDrawn.store(true, std::memory_order_relaxed);
                    continue;
                }
                if (t.vertexIndex[0] >= vertices || t.vertexIndex[1] >= vertices || t.vertexIndex[2] >= vertices)
                    continue;
                each(std::uint32_t(i), (t.flags & kTriangleFlagSelected) != 0 ? 1 : 0);
            }
        }
    };
    // Each block lists its triangles once, into lists of its own that are
    // then copied into place: counting them first read every drawn
    // triangle's record twice.
    std::vector<std::array<std::vector<std::uint32_t>, 2>> kept(blocks);
    std::atomic<bool> outOfMemory{false};
    auto listBlock = [&](std::size_t block)
    {
        auto& mine = kept[block];
        for (auto& list : mine)
            list.clear();
        try
        {
            forDrawn(block, [&](std::uint32_t i, int pass) { mine[std::size_t(pass)].push_back(i); });
        }
        catch (const std::bad_alloc&)
        {
            outOfMemory.store(true, std::memory_order_relaxed);
        }
    };
    ParallelForEach(SharedThreadPool(), blocks, 1, listBlock);
    if (hiddenDrawn.load() && !outOfMemory.load())
    {
        drawsNothing = nullptr;
        ParallelForEach(SharedThreadPool(), blocks, 1, listBlock);
    }
    if (outOfMemory.load())
        return false;
    for (std::size_t block = 0; block < blocks; ++block)
        for (std::size_t pass = 0; pass < 2; ++pass)
            at[block + 1][pass] = at[block][pass] + kept[block][pass].size();
    for (std::size_t pass = 0; pass < 2; ++pass)
        lists[pass].resize(at[blocks][pass]);
    auto placeBlock = [&](std::size_t block)
    {
        for (std::size_t pass = 0; pass < 2; ++pass)
            std::copy(kept[block][pass].begin(), kept[block][pass].end(),
                      lists[pass].begin() + std::ptrdiff_t(at[block][pass]));
    };
    ParallelForEach(SharedThreadPool(), blocks, 1, placeBlock);
    return true;
}
catch (const std::bad_alloc&)
{
    return false; // drawn triangle by triangle instead
}

} // namespace

std::uint32_t cSolidPassPipeline::Run(const stRequest& request, std::uint8_t* complete)
{
    *complete = 1;
    if (!request.mesh)
        return 0;
    const cMesh& mesh = *request.mesh;
    stHandOver handOver;
    for (int i = 0; i < int(m_batches.size()); ++i)
        handOver.free.push_back(i);

    // The gatherer: both passes, batch after batch.
    auto gather = [&]
    {
        const std::uint32_t count = mesh.GetTriangleCount();
        bool sawSelected = false;
        bool stopped = false;
        std::uint32_t elapsed = 0;
        int current = -1;
        auto take = [&]() -> bool
        {
            std::unique_lock lock(handOver.mutex);
            handOver.changed.wait(lock, [&] { return !handOver.free.empty() || handOver.cancelled; });
            if (handOver.cancelled)
                return false;
            current = handOver.free.front();
            handOver.free.pop_front();
            lock.unlock();
            const eBatchColours colours = request.triangleColours ? eBatchColours::Triangles
                                          : request.colours       ? eBatchColours::Vertices
                                                                  : eBatchColours::None;
            m_batches[std::size_t(current)].Begin(mesh, request.flat, colours, m_slots);
            return true;
        };
        auto hand = [&](bool selected)
        {
            if (current < 0)
                return;
            if (m_batches[std::size_t(current)].Empty())
            {
                std::lock_guard lock(handOver.mutex);
                handOver.free.push_front(current);
            }
            else
            {
                std::lock_guard lock(handOver.mutex);
                handOver.selected[std::size_t(current)] = selected;
                handOver.ready.push_back(current);
            }
            current = -1;
            handOver.changed.notify_all();
        };
        bool alive = true;
        // With no budget to look at, the triangles of both passes are
        // listed on the pool; flat batches are filled there too, smooth ones
        // here (their corners are shared in the order of adding).
        std::vector<std::uint32_t> lists[2];
        const bool listed = request.budget == kNoBudget && ListTriangles(request, lists);
        if (listed)
        {
            for (int pass = 0; pass < 2 && alive && !request.flat; ++pass)
            {
                const std::vector<std::uint32_t>& list = lists[pass];
                if (list.empty())
                    continue;
                alive = take();
                for (std::size_t k = 0; k < list.size() && alive; ++k)
                {
                    const std::uint32_t i = list[k];
                    cTriangleBatch& batch = m_batches[std::size_t(current)];
                    batch.Add(*mesh.GetTriangle(i),
                              request.triangleColours ? request.triangleColours->ColourOf(i, pass == 1) : nullptr);
                    if (batch.Full())
                    {
                        hand(pass == 1);
                        alive = take();
                    }
                }
                if (alive)
                    hand(pass == 1);
            }
            // The first flat batches are small, each twice the one before,
            // so that GL starts on the first while the next is filled.
            std::size_t size = kFirstFlatTriangles;
            for (int pass = 0; pass < 2 && alive && request.flat; ++pass)
            {
                const std::vector<std::uint32_t>& list = lists[pass];
                for (std::size_t first = 0, n = 0; first < list.size() && alive; first += n)
                {
                    alive = take();
                    if (!alive)
                        break;
                    n = std::min(size, list.size() - first);
                    size = std::min<std::size_t>(2 * size, cTriangleBatch::kMaxFlatTriangles);
                    m_batches[std::size_t(current)].AddFlat(list.data() + first, std::uint32_t(n),
                                                            request.triangleColours, pass == 1, SharedThreadPool());
                    hand(pass == 1);
                }
            }
        }
        for (int pass = 0; pass < 2 && !listed && !stopped && alive; ++pass)
        {
            if (pass == 1 && !sawSelected)
                break;
            alive = take();
            for (std::uint32_t i = 0; i < count && alive; ++i)
            {
                if (i % request.checkInterval == 0)
                {
                    elapsed = request.now() - request.start;
                    if (elapsed > request.budget)
                    {
                        stopped = true;
                        break;
                    }
                }
                if (request.coversNoPixel && ((request.coversNoPixel[i / 64] >> (i % 64)) & 1))
                    continue;
                const cMeshTriangle* triangle = mesh.GetTriangle(i);
                if (triangle->flags & kTriangleFlagHidden)
                    continue;
                const bool selected = (triangle->flags & kTriangleFlagSelected) != 0;
                sawSelected = sawSelected || selected;
                if (selected != (pass == 1))
                    continue;
                cTriangleBatch& batch = m_batches[std::size_t(current)];
                batch.Add(*triangle,
                          request.triangleColours ? request.triangleColours->ColourOf(i, selected) : nullptr);
                if (batch.Full())
                {
                    hand(pass == 1);
                    alive = take();
                }
            }
            if (alive)
                hand(pass == 1);
        }
        std::lock_guard lock(handOver.mutex);
        handOver.finished = true;
        handOver.stopped = stopped;
        handOver.elapsed = elapsed;
        handOver.changed.notify_all();
    };

    std::thread gatherer(gather);
    bool selectionSet = false;
    try
    {
        for (;;)
        {
            int next = -1;
            bool selected = false;
            {
                std::unique_lock lock(handOver.mutex);
                handOver.changed.wait(lock, [&] { return !handOver.ready.empty() || handOver.finished; });
                if (handOver.ready.empty())
                    break;
                next = handOver.ready.front();
                handOver.ready.pop_front();
                selected = handOver.selected[std::size_t(next)];
            }
            if (selected && !selectionSet)
            {
                if (request.beforeSelected)
                    request.beforeSelected();
                selectionSet = true;
            }
            m_batches[std::size_t(next)].Draw();
            // The batch goes to the rasteriser now, which works on it while
            // the next one is set up: a software GL otherwise keeps every
            // batch of the pass until the frame is read back, and only then
            // rasterises them all. Nothing drawn changes.
            glFlush();
            {
                std::lock_guard lock(handOver.mutex);
                handOver.free.push_back(next);
            }
            handOver.changed.notify_all();
        }
    }
    catch (...)
    {
        {
            std::lock_guard lock(handOver.mutex);
            handOver.cancelled = true;
        }
        handOver.changed.notify_all();
        gatherer.join();
        throw;
    }
    gatherer.join();
    if (handOver.stopped)
    {
        *complete = 0;
        return handOver.elapsed;
    }
    return 0;
}
