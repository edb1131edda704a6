#include "platform/geometry/color.h"
#include "platform/geometry/mesh.h"
#include "platform/geometry/user_data.h"

#include <gtest/gtest.h>

namespace
{

constexpr ON_UUID kFirstId = {0x11111111, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 8}};
constexpr ON_UUID kSecondId = {0x11111111, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 9}};

// Counts its deletions, so that ownership mistakes (leaks, double deletes)
// show up as wrong counts.
class CountedData : public ON_UserData
{
public:
    CountedData(const ON_UUID& id, int* deletions) : m_deletions(deletions) { m_userdata_uuid = id; }
    ~CountedData() override { ++*m_deletions; }

private:
    int* m_deletions;
};

} // namespace

TEST(UserData, AttachedDataIsFoundByIdAndDeletedWithItsObject)
{
    int deletions = 0;
    {
        ON_Mesh mesh;
        auto* first = new CountedData(kFirstId, &deletions);
        auto* second = new CountedData(kSecondId, &deletions);
        ASSERT_TRUE(mesh.AttachUserData(first));
        ASSERT_TRUE(mesh.AttachUserData(second));
        EXPECT_EQ(mesh.GetUserData(kFirstId), first);
        EXPECT_EQ(mesh.GetUserData(kSecondId), second);
        EXPECT_EQ(first->Owner(), &mesh);
        EXPECT_EQ(mesh.GetUserData(ON_nil_uuid), nullptr);
    }
    EXPECT_EQ(deletions, 2);
}

TEST(UserData, RefusedAttachmentsLeaveOwnershipWithTheCaller)
{
    int deletions = 0;
    ON_Mesh mesh;
    ON_Mesh other;
    auto* first = new CountedData(kFirstId, &deletions);
    ASSERT_TRUE(mesh.AttachUserData(first));

    CountedData sameId(kFirstId, &deletions);
    EXPECT_FALSE(mesh.AttachUserData(&sameId)); // the id is taken
    EXPECT_FALSE(other.AttachUserData(first));  // already owned
    CountedData noId(ON_nil_uuid, &deletions);
    EXPECT_FALSE(mesh.AttachUserData(&noId));
    EXPECT_FALSE(mesh.AttachUserData(nullptr));
    EXPECT_EQ(sameId.Owner(), nullptr);
    EXPECT_EQ(deletions, 0);
}

TEST(UserData, DetachHandsBackAndDeletingAttachedDataUnlinksIt)
{
    int deletions = 0;
    ON_Mesh mesh;
    auto* first = new CountedData(kFirstId, &deletions);
    auto* second = new CountedData(kSecondId, &deletions);
    mesh.AttachUserData(first);
    mesh.AttachUserData(second);

    EXPECT_TRUE(mesh.DetachUserData(first));
    EXPECT_FALSE(mesh.DetachUserData(first));
    EXPECT_EQ(first->Owner(), nullptr);
    EXPECT_EQ(mesh.GetUserData(kFirstId), nullptr);
    delete first;

    // Deleted behind the owner's back: the owner must not delete it again.
    delete second;
    EXPECT_EQ(mesh.FirstUserData(), nullptr);
    EXPECT_EQ(deletions, 2);
}

TEST(UserData, CopiesAndAssignmentsDoNotShareUserData)
{
    int deletions = 0;
    {
        ON_Mesh mesh;
        mesh.SetVertex(0, ON_3fPoint(1, 2, 3));
        mesh.AttachUserData(new CountedData(kFirstId, &deletions));
        ON_Mesh copy(mesh);
        EXPECT_EQ(copy.VertexCount(), 1);
        EXPECT_EQ(copy.GetUserData(kFirstId), nullptr);

        ON_Mesh assigned;
        assigned.AttachUserData(new CountedData(kSecondId, &deletions));
        assigned = mesh;
        EXPECT_EQ(deletions, 1); // the target's own data went
        EXPECT_EQ(assigned.FirstUserData(), nullptr);
        EXPECT_NE(mesh.GetUserData(kFirstId), nullptr);
    }
    EXPECT_EQ(deletions, 2);
}

TEST(Color, ChannelsPackRedInTheLowByte)
{
    const ON_Color orange(29690u);
    EXPECT_EQ(orange.Red(), 250);
    EXPECT_EQ(orange.Green(), 115);
    EXPECT_EQ(orange.Blue(), 0);
    EXPECT_EQ(static_cast<unsigned int>(ON_Color(250, 115, 0)), 29690u);
    EXPECT_EQ(static_cast<unsigned int>(ON_Color(300, -5, 7, 1)), 0x010700FFu);
}

TEST(Mesh, VertexColoursMustMatchTheVertexCount)
{
    ON_Mesh m(1, 3, false, false);
    m.SetVertex(0, ON_3fPoint(0, 0, 0));
    m.SetVertex(1, ON_3fPoint(1, 0, 0));
    m.SetVertex(2, ON_3fPoint(0, 1, 0));
    m.SetTriangle(0, 0, 1, 2);
    EXPECT_TRUE(m.IsValid());
    m.m_C.Append(ON_Color(1, 2, 3));
    EXPECT_FALSE(m.IsValid());
    m.m_C.Append(ON_Color(1, 2, 3));
    m.m_C.Append(ON_Color(1, 2, 3));
    EXPECT_TRUE(m.IsValid());
    EXPECT_TRUE(m.HasVertexColors());
    EXPECT_TRUE(m.Compact());
    EXPECT_EQ(m.m_C.Capacity(), 3);
    EXPECT_EQ(m.IsClosed(), -1);
}
