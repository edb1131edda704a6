#include "platform/geometry/mapping_tag.h"
#include "platform/geometry/mesh.h"
#include "platform/geometry/text_dot.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{

const ON_UUID kModeId = ON_UuidFromString("D366CFF0-D0A6-4B24-A8CF-7C92DA1CF853");

ON_MappingTag ModeTag()
{
    ON_MappingTag tag;
    tag.m_mapping_id = kModeId;
    return tag;
}

TEST(MappingTag, ADefaultTagIsUnsetAndDiffersFromAModesTag)
{
    ON_MappingTag tag;
    EXPECT_FALSE(tag.IsSet());
    EXPECT_TRUE(tag.m_meshdata_xform.IsIdentity());
    EXPECT_TRUE(ModeTag().IsSet());
    EXPECT_NE(ON_MappingTag::Compare(tag, ModeTag()), 0);
    EXPECT_EQ(ON_MappingTag::Compare(ModeTag(), ModeTag()), 0);
    // A fresh mesh carries no tag, so the first pass over it always computes.
    EXPECT_NE(ON_MappingTag::Compare(ON_Mesh().m_Ctag, ModeTag()), 0);
}

TEST(MappingTag, EachFlagComparesItsOwnPartAndTheOrderIsAntisymmetric)
{
    ON_MappingTag a = ModeTag(), b = ModeTag();
    b.m_mapping_crc = 7;
    EXPECT_NE(ON_MappingTag::Compare(a, b), 0);
    EXPECT_EQ(ON_MappingTag::Compare(a, b, true, false, true), 0);
    EXPECT_EQ(ON_MappingTag::Compare(a, b), -ON_MappingTag::Compare(b, a));

    ON_MappingTag c = ModeTag();
    c.m_meshdata_xform = ON_Xform::TranslationTransformation(ON_3dVector(0, 0, 1));
    EXPECT_NE(ON_MappingTag::Compare(a, c), 0);
    EXPECT_EQ(ON_MappingTag::Compare(a, c, true, true, false), 0);
    EXPECT_EQ(ON_MappingTag::Compare(a, c), -ON_MappingTag::Compare(c, a));

    ON_MappingTag d;
    d.m_mapping_id = ON_UuidFromString("106AC2BB-70F8-4198-96DC-8CE2A2260C5B");
    EXPECT_NE(ON_MappingTag::Compare(a, d), 0);
    EXPECT_EQ(ON_MappingTag::Compare(a, d, false, true, true), 0);
    EXPECT_EQ(ON_MappingTag::Compare(a, d), -ON_MappingTag::Compare(d, a));
}

TEST(MappingTag, CopiesWithTheMeshAndDestroyClearsIt)
{
    ON_Mesh mesh;
    mesh.SetVertex(0, ON_3dPoint(0, 0, 0));
    mesh.m_C.Append(ON_Color(255, 0, 0));
    mesh.m_Ctag = ModeTag();
    const ON_Mesh copy(mesh);
    EXPECT_EQ(ON_MappingTag::Compare(copy.m_Ctag, ModeTag()), 0);
    mesh.Destroy();
    EXPECT_FALSE(mesh.m_Ctag.IsSet());
    EXPECT_EQ(mesh.m_C.Count(), 0);
}

TEST(TextDot, IsValidWithAFinitePointAndSomeTextAndMovesWithItsPoint)
{
    ON_TextDot dot(ON_3dPoint(100, -20, 5), L"R: 2.500");
    EXPECT_TRUE(dot.IsValid());
    const ON_BoundingBox box = dot.BoundingBox();
    EXPECT_EQ(box.m_min, ON_3dPoint(100, -20, 5));
    EXPECT_EQ(box.m_max, ON_3dPoint(100, -20, 5));
    EXPECT_TRUE(dot.Transform(ON_Xform::TranslationTransformation(ON_3dVector(1, 2, 3))));
    EXPECT_EQ(dot.m_point, ON_3dPoint(101, -18, 8));
    EXPECT_STREQ(dot.m_text.Array(), L"R: 2.500");

    EXPECT_FALSE(ON_TextDot(ON_3dPoint(0, 0, 0), L"").IsValid());
    EXPECT_FALSE(ON_TextDot(ON_3dPoint(NAN, 0, 0), L"x").IsValid());
    ON_TextDot flat(ON_3dPoint(0, 0, 0), L"x");
    flat.m_height = 0;
    EXPECT_FALSE(flat.IsValid());
}

} // namespace
