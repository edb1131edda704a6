#include "core/linked_list.h"

#include <gtest/gtest.h>

#include <deque>
#include <list>
#include <random>
#include <vector>

namespace
{

template <class List> std::vector<int*> Values(const List& list)
{
    std::vector<int*> values;
    for (auto* n = list.GetHead(); n != nullptr; n = n->link)
        values.push_back(n->value);
    return values;
}

int g_items[64];

TEST(SingleLinkList, AppendsAtTheBackAndTakesFromTheFront)
{
    tSingleLinkList<int*> list;
    EXPECT_TRUE(list.IsEmpty());
    list.PopFront(); // harmless on an empty list
    ASSERT_TRUE(list.PushBack(&g_items[0]));
    ASSERT_TRUE(list.PushBack(&g_items[1]));
    EXPECT_EQ(Values(list), (std::vector<int*>{&g_items[0], &g_items[1]}));
    list.PopFront();
    list.PopFront();
    EXPECT_TRUE(list.IsEmpty());
    ASSERT_TRUE(list.PushBack(&g_items[2])); // the tail slot went back to the head
    EXPECT_EQ(Values(list), (std::vector<int*>{&g_items[2]}));
    EXPECT_EQ(list.GetCount(), 1u);
}

TEST(SingleLinkList, ListsSharingAnAllocatorRecycleEachOthersNodes)
{
    tListChunkAllocator<tSLLNode<int*>> shared;
    tSingleLinkList<int*> a;
    tSingleLinkList<int*> b;
    a.SetAllocator(&shared);
    EXPECT_EQ(b.SetAllocator(&shared), b.GetAllocator() == &shared ? &shared : b.GetAllocator());
    for (int i = 0; i < 5; ++i)
        a.PushBack(&g_items[i]);
    std::vector<const void*> nodesOfA;
    for (auto* n = a.GetHead(); n != nullptr; n = n->link)
        nodesOfA.push_back(n);
    a.Clear();
    EXPECT_EQ(a.GetCount(), 0u);
    b.PushBack(&g_items[9]);
    bool reused = false;
    for (const void* n : nodesOfA)
        reused = reused || n == b.GetHead();
    EXPECT_TRUE(reused) << "a's nodes went back on the shared free list";
    EXPECT_EQ(shared.GetChunkCount(), 1u);

    // Back to its own allocator: the shared one keeps serving the others.
    EXPECT_EQ(b.SetAllocator(nullptr), &shared);
    EXPECT_TRUE(b.IsEmpty());
    b.PushBack(&g_items[3]);
    EXPECT_NE(b.GetAllocator(), &shared);
    a.SetAllocator(nullptr);
}

TEST(SingleLinkList, MatchesADequeUnderRandomOperations)
{
    std::mt19937 rng(4);
    tListChunkAllocator<tSLLNode<int*>> shared;
    tSingleLinkList<int*> lists[3];
    std::deque<int*> models[3];
    lists[1].SetAllocator(&shared);
    lists[2].SetAllocator(&shared);
    for (int step = 0; step < 20000; ++step)
    {
        const int k = static_cast<int>(rng() % 3);
        const unsigned op = rng() % 10;
        if (op < 6)
        {
            int* v = &g_items[rng() % 64];
            ASSERT_TRUE(lists[k].PushBack(v));
            models[k].push_back(v);
        }
        else if (op < 9)
        {
            lists[k].PopFront();
            if (!models[k].empty())
                models[k].pop_front();
        }
        else if (rng() % 20 == 0)
        {
            lists[k].Clear();
            models[k].clear();
        }
        ASSERT_EQ(lists[k].GetCount(), models[k].size());
    }
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(Values(lists[k]), std::vector<int*>(models[k].begin(), models[k].end()));
    for (auto& list : lists)
        list.SetAllocator(nullptr); // detach before the shared allocator dies
}

struct Rect
{
    int id;
};

template <class List> std::vector<int> Ids(const List& list)
{
    std::vector<int> ids;
    for (auto* n = list.GetHead(); n != nullptr; n = n->next)
        ids.push_back(n->value.id);
    std::vector<int> backwards;
    for (auto* n = list.GetTail(); n != nullptr; n = n->previous)
        backwards.insert(backwards.begin(), n->value.id);
    EXPECT_EQ(ids, backwards) << "forward and backward links disagree";
    return ids;
}

TEST(DoubleLinkList, InsertsBeforeAPositionOrAtTheTail)
{
    tDoubleLinkList<Rect> list;
    auto* first = list.InsertBefore(nullptr);
    first->value.id = 1;
    EXPECT_EQ(list.GetHead(), first);
    EXPECT_EQ(list.GetTail(), first);
    auto* head = list.InsertBefore(first);
    head->value.id = 0;
    EXPECT_EQ(list.GetHead(), head);
    auto* tail = list.Insert(nullptr);
    tail->value.id = 3;
    auto* middle = list.InsertBefore(tail);
    middle->value.id = 2;
    EXPECT_EQ(Ids(list), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(list.GetCount(), 4u);
}

TEST(DoubleLinkList, RemoveReturnsTheFollowingNode)
{
    tDoubleLinkList<Rect> list(8);
    std::vector<tDLLNode<Rect>*> nodes;
    for (int i = 0; i < 5; ++i)
    {
        nodes.push_back(list.InsertBefore(nullptr));
        nodes.back()->value.id = i;
    }
    EXPECT_EQ(list.Remove(nodes[0]), nodes[1]);
    EXPECT_EQ(list.Remove(nodes[2]), nodes[3]);
    EXPECT_EQ(list.Remove(nodes[4]), nullptr);
    EXPECT_EQ(Ids(list), (std::vector<int>{1, 3}));
    EXPECT_EQ(list.GetTail(), nodes[3]);
    EXPECT_EQ(list.Remove(nullptr), nullptr);
    EXPECT_EQ(list.GetCount(), 2u);
}

TEST(DoubleLinkList, ClearKeepsTheMemoryAndFreeAllReturnsIt)
{
    tDoubleLinkList<Rect> list(8);
    for (int i = 0; i < 20; ++i)
        list.InsertBefore(list.GetHead());
    const auto chunks = list.GetAllocator().GetChunkCount();
    list.Clear();
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(list.GetTail(), nullptr);
    for (int i = 0; i < 20; ++i)
        list.InsertBefore(nullptr);
    EXPECT_EQ(list.GetAllocator().GetChunkCount(), chunks);
    list.FreeAll();
    EXPECT_EQ(list.GetAllocator().GetChunkCount(), 0u);
    EXPECT_EQ(list.GetCount(), 0u);
}

TEST(DoubleLinkList, MatchesAStdListUnderRandomOperations)
{
    std::mt19937 rng(2024);
    tDoubleLinkList<Rect> list(8);
    std::list<int> model;
    int next = 0;
    for (int step = 0; step < 10000; ++step)
    {
        const unsigned op = rng() % 10;
        const std::size_t at = model.empty() ? 0 : rng() % (model.size() + 1);
        auto* position = list.GetHead();
        auto modelPosition = model.begin();
        for (std::size_t i = 0; i < at && position != nullptr; ++i)
        {
            position = position->next;
            ++modelPosition;
        }
        if (op < 6)
        {
            auto* node = list.InsertBefore(position);
            ASSERT_NE(node, nullptr);
            node->value.id = next;
            model.insert(modelPosition, next++);
        }
        else if (op < 9 && position != nullptr)
        {
            auto* following = list.Remove(position);
            auto modelFollowing = model.erase(modelPosition);
            ASSERT_EQ(following == nullptr, modelFollowing == model.end());
            if (following != nullptr)
            {
                ASSERT_EQ(following->value.id, *modelFollowing);
            }
        }
        else if (op == 9 && rng() % 30 == 0)
        {
            list.Clear();
            model.clear();
        }
        ASSERT_EQ(list.GetCount(), model.size());
        if (step % 250 == 0)
        {
            ASSERT_EQ(Ids(list), std::vector<int>(model.begin(), model.end()));
        }
    }
    EXPECT_EQ(Ids(list), std::vector<int>(model.begin(), model.end()));
}

} // namespace
