// The magic wand's passes over every triangle run on the shared pool: the
// flood, its marks and the vertices' marks are those of one thread.
#include "core/mesh.h"
#include "core/thread_pool.h"
#include "modes/mode_support.h"
#include "modes/surface_extension_mode.h"
#include "plugin/dialogs/magic_wand.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace
{

// Two triangles on each square of a grid of (n + 1) x (n + 1) vertices
// added row by row.
void AddGridTriangles(cMesh& mesh, std::uint32_t n)
{
    for (std::uint32_t r = 0; r < n; ++r)
        for (std::uint32_t c = 0; c < n; ++c)
        {
            const std::uint32_t v = r * (n + 1) + c;
            mesh.AddTriangle(v, v + 1, v + n + 2);
            mesh.AddTriangle(v, v + n + 2, v + n + 1);
        }
}

TEST(MagicWandOnPool, GrowsAndShrinksAcrossJobsLeavingNoPendingMarkAndTheBorderMarked)
{
    // A plate of 300 x 300 cells far out (180,000 triangles, three jobs),
    // folded by 20 degrees along the column x = 200, with scratch marks
    // left on some triangles from before.
    cMesh mesh;
    const std::uint32_t n = 300, fold = 200;
    for (std::uint32_t r = 0; r <= n; ++r)
        for (std::uint32_t c = 0; c <= n; ++c)
        {
            const float x = float(c), rise = c > fold ? 0.364f * float(c - fold) : 0.0f;
            const float p[3] = {6100.0f + x, -2400.0f + float(r), 75.0f + rise};
            mesh.AddVertex(p);
        }
    AddGridTriangles(mesh, n);
    mesh.Update();
    for (std::uint32_t i = 0; i < mesh.GetTriangleCount(); i += 13)
        mesh.GetTriangle(i)->flags |= kTriangleFlagScratch;
    const auto onFlat = [&](std::uint32_t i) { return i % (2 * n) < 2 * fold; };
    const auto marked = [&](std::uint32_t v) { return (mesh.GetVertex(v)->flags & 2u) != 0; };

    cThreadPool pool(3);
    SetSharedThreadPool(&pool);
    cMeshTriangle* seed = mesh.GetTriangle(2 * n * 150 + 40);
    seed->flags |= kTriangleFlagSelected;
    EXPECT_EQ(GrowMagicWandSelection(mesh, seed, 5.0), 2 * fold * n);
    for (std::uint32_t i = 0; i < mesh.GetTriangleCount(); ++i)
    {
        const cMeshTriangle& t = *mesh.GetTriangle(i);
        ASSERT_EQ((t.flags & kTriangleFlagSelected) != 0, onFlat(i)) << i;
        ASSERT_FALSE(t.flags & kTriangleFlagScratch) << i;
    }

    // The folded part selected by hand, then the wand takes the flat part
    // off again: the fold's vertices stay marked, as its triangles are.
    for (std::uint32_t i = 0; i < mesh.GetTriangleCount(); ++i)
        if (!onFlat(i))
            mesh.GetTriangle(i)->flags |= kTriangleFlagSelected;
    seed->flags &= std::uint8_t(~kTriangleFlagSelected); // the click on a selected seed
    EXPECT_EQ(GrowMagicWandSelection(mesh, seed, 5.0), 2 * fold * n);
    SetSharedThreadPool(nullptr);
    pool.Stop();
    for (std::uint32_t i = 0; i < mesh.GetTriangleCount(); ++i)
        ASSERT_EQ((mesh.GetTriangle(i)->flags & kTriangleFlagSelected) != 0, !onFlat(i)) << i;
    for (std::uint32_t r = 0; r <= n; ++r)
        for (std::uint32_t c = 0; c <= n; ++c)
            ASSERT_EQ(marked(r * (n + 1) + c), c >= fold) << r << " " << c;
}

// A plate far out whose vertices are lifted at random, so that the crease
// limit cuts an irregular region full of dead ends, with triangles hidden
// here and there and old scratch marks.
void BumpyPlate(cMesh& mesh)
{
    std::mt19937 random(41);
    std::uniform_real_distribution<float> lift(0.0f, 0.05f);
    const std::uint32_t n = 300;
    for (std::uint32_t r = 0; r <= n; ++r)
        for (std::uint32_t c = 0; c <= n; ++c)
        {
            const float p[3] = {-5200.0f + float(c), 3100.0f + float(r), 40.0f + lift(random)};
            mesh.AddVertex(p);
        }
    AddGridTriangles(mesh, n);
    mesh.Update();
    for (std::uint32_t i = 0; i < mesh.GetTriangleCount(); i += 97)
        mesh.GetTriangle(i)->flags |= kTriangleFlagHidden;
    for (std::uint32_t i = 5; i < mesh.GetTriangleCount(); i += 31)
        mesh.GetTriangle(i)->flags |= kTriangleFlagScratch;
}

std::vector<std::uint32_t> Flags(cMesh& mesh)
{
    std::vector<std::uint32_t> flags;
    for (std::uint32_t i = 0; i < mesh.GetTriangleCount(); ++i)
        flags.push_back(mesh.GetTriangle(i)->flags);
    for (std::uint32_t v = 0; v < mesh.GetVertexCount(); ++v)
        flags.push_back(mesh.GetVertex(v)->flags);
    return flags;
}

// FNV-1a over the flags.
std::uint64_t Fingerprint(const std::vector<std::uint32_t>& flags)
{
    std::uint64_t hash = 14695981039346656037ull;
    for (const std::uint32_t f : flags)
        hash = (hash ^ f) * 1099511628211ull;
    return hash;
}

TEST(MagicWandOnPool, ABigFloodSharedOutReachesAndMarksWhatItDoesAlone)
{
    cMesh alone, shared;
    BumpyPlate(alone);
    BumpyPlate(shared);
    const std::uint32_t seed = 2 * 300 * 150 + 151;
    cThreadPool pool(4);
    // Grown from a selected seed, then shrunk from it again.
    for (const bool grow : {true, false})
    {
        for (cMesh* mesh : {&alone, &shared})
        {
            cMeshTriangle* t = mesh->GetTriangle(seed);
            t->flags = grow ? std::uint8_t(t->flags | kTriangleFlagSelected)
                            : std::uint8_t(t->flags & ~kTriangleFlagSelected);
        }
        const std::uint32_t reached = GrowMagicWandSelection(alone, alone.GetTriangle(seed), 2.0);
        ASSERT_GT(reached, 40000u) << "big enough to be shared out";
        ASSERT_LT(reached, 150000u) << "stopped by creases";
        SetSharedThreadPool(&pool);
        EXPECT_EQ(GrowMagicWandSelection(shared, shared.GetTriangle(seed), 2.0), reached);
        SetSharedThreadPool(nullptr);
        ASSERT_EQ(Flags(shared), Flags(alone)) << (grow ? "grown" : "shrunk");
        // What the flood reaches and marks alone, pinned.
        EXPECT_EQ(reached, 141031u);
        EXPECT_EQ(Fingerprint(Flags(alone)), grow ? 4785446312685046500ull : 12138021745545892543ull);
    }
    pool.Stop();
}

TEST(MagicWandOnPool, TheSaveInTheFillsFirstPassTellsTheVisibleSelectionBeforeIt)
{
    // Three blocks of triangles as the pick's scan reads them: the first
    // with a bit of everything, the second selected and saved throughout
    // (nothing to do there), the third unselected with one hidden triangle
    // still carrying the bit from an older save.
    constexpr std::uint8_t kBit = 32;
    cMesh mesh;
    BumpyPlate(mesh);
    const std::uint32_t count = mesh.GetTriangleCount();
    ASSERT_EQ((count + kTriangleFlagBlock - 1) / kTriangleFlagBlock, 3u);
    for (std::uint32_t i = 0; i < count; ++i)
    {
        std::uint8_t& f = mesh.GetTriangle(i)->flags;
        if (i < kTriangleFlagBlock)
            f = std::uint8_t(f | (i % 7 == 0 ? kTriangleFlagSelected : 0) | (i % 5 == 0 ? kBit : 0));
        else if (i < 2 * kTriangleFlagBlock)
            f = std::uint8_t((f & ~kTriangleFlagHidden & ~kTriangleFlagScratch) | kTriangleFlagSelected | kBit);
        else
            f = std::uint8_t((f & ~kTriangleFlagScratch) | (i == count - 100 ? kTriangleFlagHidden | kBit : 0));
    }
    stTriangleFlagBlocks seen;
    const double view[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
    const float centre[3] = {-5000.0f, 3200.0f, 40.0f};
    cThreadPool pool(3);
    SetSharedThreadPool(&pool);
    PickMeshPointUnderCursor(mesh, 0.0f, 0.0f, view, centre, nullptr, &seen);
    // The click aims its unselected seed in the first block before the fill.
    cMeshTriangle* seed = mesh.GetTriangle(2 * 300 * 50 + 151);
    ASSERT_EQ(seed->flags & (kTriangleFlagSelected | kTriangleFlagHidden), 0);
    seed->flags |= kTriangleFlagSelected;
    std::vector<bool> before(count);
    for (std::uint32_t i = 0; i < count; ++i)
        before[i] = (mesh.GetTriangle(i)->flags & (kTriangleFlagSelected | kTriangleFlagHidden)) == kTriangleFlagSelected;
    GrowMagicWandSelection(mesh, seed, 2.0, kBit, &seen);
    SetSharedThreadPool(nullptr);
    pool.Stop();
    for (std::uint32_t i = 0; i < count; ++i)
    {
        const std::uint8_t f = mesh.GetTriangle(i)->flags;
        ASSERT_EQ((f & kBit) != 0, before[i]) << i;
        ASSERT_FALSE(f & kTriangleFlagScratch) << i;
    }
}

TEST(MagicWandOnPool, AShrinkingFillToldWhereTheSelectionWasLeavesWhatItLeavesUntold)
{
    // The wall's seed in the middle block selected, and every 50th triangle
    // of the first block: the shrinking flood reaches into all three blocks
    // and takes selected triangles of the first, whose neighbours keep
    // their corners. One fill is told the pick's view of the flags.
    cMesh told, untold;
    const std::uint32_t seed = 2 * 300 * 150 + 151;
    for (cMesh* mesh : {&told, &untold})
    {
        BumpyPlate(*mesh);
        for (std::uint32_t i = 0; i < kTriangleFlagBlock; i += 50)
            mesh->GetTriangle(i)->flags |= kTriangleFlagSelected;
        mesh->GetTriangle(seed)->flags |= kTriangleFlagSelected;
        RebuildSelectedVertexMarks(*mesh);
    }
    cThreadPool pool(3);
    SetSharedThreadPool(&pool);
    stTriangleFlagBlocks seen;
    const double view[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
    const float centre[3] = {-5000.0f, 3200.0f, 40.0f};
    PickMeshPointUnderCursor(told, 0.0f, 0.0f, view, centre, nullptr, &seen);
    for (cMesh* mesh : {&told, &untold})
        mesh->GetTriangle(seed)->flags &= std::uint8_t(~kTriangleFlagSelected); // the click aims the seed
    const std::uint32_t reached = GrowMagicWandSelection(untold, untold.GetTriangle(seed), 2.0);
    EXPECT_EQ(GrowMagicWandSelection(told, told.GetTriangle(seed), 2.0, 0, &seen), reached);
    SetSharedThreadPool(nullptr);
    pool.Stop();
    ASSERT_GT(reached, 2 * kTriangleFlagBlock) << "most of the plate";
    EXPECT_EQ(Flags(told), Flags(untold));
}

TEST(MagicWandOnPool, AGrowingFillToldThatNothingWasSelectedLeavesWhatItLeavesUntold)
{
    // Nothing selected but the seed the click aims after its pick, old
    // scratch marks and hidden triangles about: told the pick's view of the
    // flags or not, alone or on a pool, the fill leaves the same flags and
    // vertex marks.
    cMesh untold, toldAlone, toldShared;
    const std::uint32_t seed = 2 * 300 * 150 + 151;
    for (cMesh* mesh : {&untold, &toldAlone, &toldShared})
        BumpyPlate(*mesh);
    const double view[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
    const float centre[3] = {-5000.0f, 3200.0f, 40.0f};
    stTriangleFlagBlocks seen;
    PickMeshPointUnderCursor(toldAlone, 0.0f, 0.0f, view, centre, nullptr, &seen);
    for (cMesh* mesh : {&untold, &toldAlone, &toldShared})
        mesh->GetTriangle(seed)->flags |= kTriangleFlagSelected;
    const std::uint32_t reached = GrowMagicWandSelection(untold, untold.GetTriangle(seed), 2.0);
    EXPECT_EQ(GrowMagicWandSelection(toldAlone, toldAlone.GetTriangle(seed), 2.0, 0, &seen), reached);
    cThreadPool pool(3);
    SetSharedThreadPool(&pool);
    EXPECT_EQ(GrowMagicWandSelection(toldShared, toldShared.GetTriangle(seed), 2.0, 0, &seen), reached);
    SetSharedThreadPool(nullptr);
    pool.Stop();
    EXPECT_EQ(Flags(toldAlone), Flags(untold));
    EXPECT_EQ(Flags(toldShared), Flags(untold));
}

} // namespace
