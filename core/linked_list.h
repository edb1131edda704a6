// The system's intrusive lists. Nodes come from a chunk allocator: a list
// either uses its own or shares one with other lists (the buckets of a
// search tree recycle each other's nodes). Not synchronised.
#pragma once

#include "core/chunk_allocator.h"

#include <cstdint>

template <class T> struct tSLLNode
{
    tSLLNode* link = nullptr; // next node; also the free-list link
    T value{};
};

// A singly linked list of pointers, appended at the back and taken from the
// front. The list keeps the address of the last link field, so it must not
// move in memory (it is never copied). A list on a shared allocator must be
// emptied or given back its own allocator before the shared one dies.
template <class T, class TAllocator = tListChunkAllocator<tSLLNode<T>>> class tSingleLinkList
{
public:
    using Node = tSLLNode<T>;

    tSingleLinkList() = default;
    ~tSingleLinkList()
    {
        Clear();
        m_ownAllocator.FreeAll();
    }
    tSingleLinkList(const tSingleLinkList&) = delete;
    tSingleLinkList& operator=(const tSingleLinkList&) = delete;

    // False (nothing stored) when no node can be had.
    bool PushBack(T value)
    {
        Node* node = m_allocator->Alloc();
        if (node == nullptr)
            return false;
        node->link = nullptr;
        node->value = value;
        *m_tail = node;
        m_tail = &node->link;
        ++m_count;
        return true;
    }

    void PopFront()
    {
        Node* node = m_head;
        if (node == nullptr)
            return;
        m_head = node->link;
        if (m_head == nullptr)
            m_tail = &m_head;
        --m_count;
        m_allocator->Free(node);
    }

    // Empties the list (its nodes go back where they came from), frees the
    // own allocator's chunks and draws further nodes from the given
    // allocator; null returns to the own one. Returns the previous allocator.
    TAllocator* SetAllocator(TAllocator* shared)
    {
        TAllocator* previous = m_allocator;
        Clear();
        m_ownAllocator.FreeAll();
        m_allocator = shared != nullptr ? shared : &m_ownAllocator;
        return previous;
    }

    // On a shared allocator every node goes back on its free list, ready for
    // any list that shares it; on the own allocator the chunks are freed.
    void Clear()
    {
        if (m_allocator != &m_ownAllocator)
        {
            Node* node = m_head;
            while (node != nullptr)
            {
                Node* next = node->link;
                m_allocator->Free(node);
                node = next;
            }
        }
        else
        {
            m_ownAllocator.FreeAll();
        }
        m_count = 0;
        m_head = nullptr;
        m_tail = &m_head;
    }

    std::uint32_t GetCount() const { return m_count; }
    bool IsEmpty() const { return m_head == nullptr; }
    Node* GetHead() const { return m_head; }
    TAllocator* GetAllocator() const { return m_allocator; }

private:
    std::uint32_t m_count = 0;
    Node* m_head = nullptr;
    Node** m_tail = &m_head;
    TAllocator m_ownAllocator;
    TAllocator* m_allocator = &m_ownAllocator;
};

template <class T> struct tDLLNode
{
    tDLLNode* previous = nullptr; // also the free-list link
    tDLLNode* next = nullptr;
    T value{};
};

// A doubly linked list with its own allocator. Node values are left as they
// are when a node is recycled: owners fill them after insertion.
template <class T, class TAllocator = tListChunkAllocator<tDLLNode<T>>> class tDoubleLinkList
{
public:
    using Node = tDLLNode<T>;

    explicit tDoubleLinkList(std::uint32_t nodesPerChunk = kListNodesPerChunk) : m_allocator(nodesPerChunk) {}
    ~tDoubleLinkList() { FreeAll(); }
    tDoubleLinkList(const tDoubleLinkList&) = delete;
    tDoubleLinkList& operator=(const tDoubleLinkList&) = delete;

    // Links a new node in front of position (it becomes the head when
    // position was the head); null position appends at the tail. Returns the
    // node, or null (nothing changed) when no node can be had. position must
    // be a node of this list.
    Node* InsertBefore(Node* position)
    {
        Node* node = m_allocator.Alloc();
        if (node == nullptr)
            return nullptr;
        if (position == nullptr)
        {
            node->previous = m_tail;
            node->next = nullptr;
            if (m_tail != nullptr)
                m_tail->next = node;
            else
                m_head = node;
            m_tail = node;
        }
        else
        {
            node->previous = position->previous;
            node->next = position;
            if (position->previous != nullptr)
                position->previous->next = node;
            else
                m_head = node;
            position->previous = node;
        }
        ++m_count;
        return node;
    }
    Node* Insert(Node* position) { return InsertBefore(position); }

    // Unlinks a node of this list (head, tail or middle), gives it back to
    // the allocator and returns the node that followed it.
    Node* Remove(Node* node)
    {
        if (node == nullptr)
            return nullptr;
        Node* following = node->next;
        if (node->previous != nullptr)
            node->previous->next = following;
        else
            m_head = following;
        if (following != nullptr)
            following->previous = node->previous;
        else
            m_tail = node->previous;
        --m_count;
        m_allocator.Free(node);
        return following;
    }

    // Empties the list keeping its memory: every node of every chunk is free
    // again.
    void Clear()
    {
        m_allocator.RelinkAll();
        m_count = 0;
        m_head = m_tail = nullptr;
    }

    // Empties the list and frees every chunk (destroying their nodes).
    void FreeAll()
    {
        m_allocator.FreeAll();
        m_count = 0;
        m_head = m_tail = nullptr;
    }

    std::uint32_t GetCount() const { return m_count; }
    bool IsEmpty() const { return m_head == nullptr; }
    Node* GetHead() const { return m_head; }
    Node* GetTail() const { return m_tail; }
    TAllocator& GetAllocator() { return m_allocator; }

private:
    TAllocator m_allocator;
    std::uint32_t m_count = 0;
    Node* m_tail = nullptr;
    Node* m_head = nullptr;
};
