// Red-black trees over records of the system (vertex welding by position,
// edge maps of the mesh sectioner, marching-squares corners, boundary vertex
// information). Nodes come from a chunk allocator, missing children point at
// one sentinel node, and the record type decides its own order through
// tRBOrder. Erasing relinks nodes instead of moving records between them, so
// every node pointer except the erased one stays valid. Not synchronised.
#pragma once

#include "core/chunk_allocator.h"

#include <cstdint>
#include <type_traits>

inline constexpr std::uint8_t kRBRed = 0;
inline constexpr std::uint8_t kRBBlack = 1;

template <class T> struct cRBNode
{
    T value{}; // its first word is the free-list link while the node is free
    std::uint8_t colour = kRBBlack;
    cRBNode* parent = nullptr;
    cRBNode* left = nullptr;
    cRBNode* right = nullptr;
};

// The order of a record type: Compare returns < 0 when a goes before b, 0
// when they are equal and > 0 when a goes after b. With kUnique an equal
// record is found instead of inserted; without it equal records are all
// kept (a record that is not greater goes left). Record types specialise
// this where operator< is not their order.
template <class T> struct tRBOrder
{
    static int Compare(const T& a, const T& b) { return a < b ? -1 : (b < a ? 1 : 0); }
    static constexpr bool kUnique = true;
};

template <class T, class TOrder = tRBOrder<T>> class tRBTree
{
    static_assert(std::is_trivially_copyable_v<T>, "records are copied bytewise and overwritten while free");

public:
    using Node = cRBNode<T>;

    tRBTree() : m_allocator(kListNodesPerChunk) { AcquireSentinel(); }
    tRBTree(const tRBTree&) = delete;
    tRBTree& operator=(const tRBTree&) = delete;

    // The node holding the key. inserted tells whether it is new; for an
    // equal key of a unique order nothing changes. Null (inserted false) when
    // no node can be had.
    Node* Insert(const T& key, bool* inserted = nullptr)
    {
        if (inserted != nullptr)
            *inserted = false;
        if (m_nil == nullptr && !AcquireSentinel())
            return nullptr;
        Node* parent = m_nil;
        Node* current = m_root;
        bool goRight = false;
        while (current != m_nil)
        {
            parent = current;
            if constexpr (TOrder::kUnique)
            {
                const int c = TOrder::Compare(current->value, key);
                if (c == 0)
                {
                    m_lastTouched = current;
                    return current;
                }
                goRight = c < 0;
            }
            else
            {
                goRight = TOrder::Compare(key, current->value) > 0;
            }
            current = goRight ? current->right : current->left;
        }
        Node* node = m_allocator.Alloc();
        if (node == nullptr)
            return nullptr;
        node->value = key;
        node->colour = kRBRed;
        node->parent = parent;
        node->left = m_nil;
        node->right = m_nil;
        if (parent == m_nil)
            m_root = node;
        else if (goRight)
            parent->right = node;
        else
            parent->left = node;
        ++m_count;
        InsertFixup(node);
        if (inserted != nullptr)
            *inserted = true;
        m_lastTouched = node;
        return node;
    }

    // Removes a node of this tree and gives it back to the allocator.
    void Erase(Node* z)
    {
        if (z == nullptr || z == m_nil || m_count == 0)
            return;
        Node* y = z;
        std::uint8_t removedColour = y->colour;
        Node* x;
        if (z->left == m_nil)
        {
            x = z->right;
            Transplant(z, z->right);
        }
        else if (z->right == m_nil)
        {
            x = z->left;
            Transplant(z, z->left);
        }
        else
        {
            // The in-order successor takes the erased node's place.
            y = Minimum(z->right);
            removedColour = y->colour;
            x = y->right;
            if (y->parent == z)
            {
                x->parent = y;
            }
            else
            {
                Transplant(y, y->right);
                y->right = z->right;
                y->right->parent = y;
            }
            Transplant(z, y);
            y->left = z->left;
            y->left->parent = y;
            y->colour = z->colour;
        }
        if (removedColour == kRBBlack)
            EraseFixup(x);
        ResetSentinel();
        if (m_lastTouched == z)
            m_lastTouched = nullptr;
        m_allocator.Free(z);
        --m_count;
    }

    // Frees every node chunk and starts over with a fresh sentinel.
    void Clear()
    {
        m_allocator.FreeAll();
        m_nil = nullptr;
        m_root = nullptr;
        m_count = 0;
        m_lastTouched = nullptr;
        AcquireSentinel();
    }

    // The node equal to the key (walking as Insert does), or null.
    Node* Find(const T& key) const
    {
        Node* current = m_root;
        while (current != nullptr && current != m_nil)
        {
            const int c = TOrder::Compare(current->value, key);
            if (c == 0)
                return current;
            current = c < 0 ? current->right : current->left;
        }
        return nullptr;
    }

    // The first node that does not go before the key, or null.
    Node* LowerBound(const T& key) const
    {
        Node* found = nullptr;
        Node* current = m_root;
        while (current != nullptr && current != m_nil)
        {
            if (TOrder::Compare(current->value, key) >= 0)
            {
                found = current;
                current = current->left;
            }
            else
            {
                current = current->right;
            }
        }
        return found;
    }

    // In-order walk; null past either end.
    Node* First() const { return IsEmpty() ? nullptr : Minimum(m_root); }
    Node* Last() const { return IsEmpty() ? nullptr : Maximum(m_root); }
    Node* Next(const Node* node) const
    {
        if (node->right != m_nil)
            return Minimum(node->right);
        Node* parent = node->parent;
        while (parent != m_nil && node == parent->right)
        {
            node = parent;
            parent = parent->parent;
        }
        return parent == m_nil ? nullptr : parent;
    }
    Node* Prev(const Node* node) const
    {
        if (node->left != m_nil)
            return Maximum(node->left);
        Node* parent = node->parent;
        while (parent != m_nil && node == parent->left)
        {
            node = parent;
            parent = parent->parent;
        }
        return parent == m_nil ? nullptr : parent;
    }

    std::uint32_t GetCount() const { return m_count; }
    bool IsEmpty() const { return m_count == 0; }
    Node* GetRoot() const { return IsEmpty() ? nullptr : m_root; }
    const Node* GetSentinel() const { return m_nil; }
    bool IsSentinel(const Node* node) const { return node == m_nil; }
    Node* GetLastTouched() const { return m_lastTouched; }

private:
    bool AcquireSentinel()
    {
        Node* nil = m_allocator.Alloc();
        if (nil == nullptr)
            return false;
        nil->value = T{};
        m_nil = nil;
        ResetSentinel();
        m_root = m_nil;
        return true;
    }

    void ResetSentinel()
    {
        m_nil->colour = kRBBlack;
        m_nil->parent = m_nil;
        m_nil->left = m_nil;
        m_nil->right = m_nil;
    }

    Node* Minimum(Node* node) const
    {
        while (node->left != m_nil)
            node = node->left;
        return node;
    }
    Node* Maximum(Node* node) const
    {
        while (node->right != m_nil)
            node = node->right;
        return node;
    }

    void RotateLeft(Node* x)
    {
        Node* y = x->right;
        x->right = y->left;
        if (y->left != m_nil)
            y->left->parent = x;
        y->parent = x->parent;
        if (x->parent == m_nil)
            m_root = y;
        else if (x == x->parent->left)
            x->parent->left = y;
        else
            x->parent->right = y;
        y->left = x;
        x->parent = y;
    }

    void RotateRight(Node* x)
    {
        Node* y = x->left;
        x->left = y->right;
        if (y->right != m_nil)
            y->right->parent = x;
        y->parent = x->parent;
        if (x->parent == m_nil)
            m_root = y;
        else if (x == x->parent->right)
            x->parent->right = y;
        else
            x->parent->left = y;
        y->right = x;
        x->parent = y;
    }

    void InsertFixup(Node* z)
    {
        while (z != m_root && z->parent->colour == kRBRed)
        {
            Node* parent = z->parent;
            Node* grandparent = parent->parent;
            if (parent == grandparent->left)
            {
                Node* uncle = grandparent->right;
                if (uncle->colour == kRBRed)
                {
                    parent->colour = kRBBlack;
                    uncle->colour = kRBBlack;
                    grandparent->colour = kRBRed;
                    z = grandparent;
                    continue;
                }
                if (z == parent->right)
                {
                    z = parent;
                    RotateLeft(z);
                }
                z->parent->colour = kRBBlack;
                z->parent->parent->colour = kRBRed;
                RotateRight(z->parent->parent);
            }
            else
            {
                Node* uncle = grandparent->left;
                if (uncle->colour == kRBRed)
                {
                    parent->colour = kRBBlack;
                    uncle->colour = kRBBlack;
                    grandparent->colour = kRBRed;
                    z = grandparent;
                    continue;
                }
                if (z == parent->left)
                {
                    z = parent;
                    RotateRight(z);
                }
                z->parent->colour = kRBBlack;
                z->parent->parent->colour = kRBRed;
                RotateLeft(z->parent->parent);
            }
        }
        m_root->colour = kRBBlack;
    }

    void Transplant(Node* u, Node* v)
    {
        if (u->parent == m_nil)
            m_root = v;
        else if (u == u->parent->left)
            u->parent->left = v;
        else
            u->parent->right = v;
        v->parent = u->parent; // also on the sentinel: the fix-up walks up from it
    }

    void EraseFixup(Node* x)
    {
        while (x != m_root && x->colour == kRBBlack)
        {
            if (x == x->parent->left)
            {
                Node* w = x->parent->right;
                if (w->colour == kRBRed)
                {
                    w->colour = kRBBlack;
                    x->parent->colour = kRBRed;
                    RotateLeft(x->parent);
                    w = x->parent->right;
                }
                if (w->left->colour == kRBBlack && w->right->colour == kRBBlack)
                {
                    w->colour = kRBRed;
                    x = x->parent;
                    continue;
                }
                if (w->right->colour == kRBBlack)
                {
                    w->left->colour = kRBBlack;
                    w->colour = kRBRed;
                    RotateRight(w);
                    w = x->parent->right;
                }
                w->colour = x->parent->colour;
                x->parent->colour = kRBBlack;
                w->right->colour = kRBBlack;
                RotateLeft(x->parent);
                x = m_root;
            }
            else
            {
                Node* w = x->parent->left;
                if (w->colour == kRBRed)
                {
                    w->colour = kRBBlack;
                    x->parent->colour = kRBRed;
                    RotateRight(x->parent);
                    w = x->parent->left;
                }
                if (w->right->colour == kRBBlack && w->left->colour == kRBBlack)
                {
                    w->colour = kRBRed;
                    x = x->parent;
                    continue;
                }
                if (w->left->colour == kRBBlack)
                {
                    w->right->colour = kRBBlack;
                    w->colour = kRBRed;
                    RotateLeft(w);
                    w = x->parent->left;
                }
                w->colour = x->parent->colour;
                x->parent->colour = kRBBlack;
                w->left->colour = kRBBlack;
                RotateRight(x->parent);
                x = m_root;
            }
        }
        x->colour = kRBBlack;
    }

    tListChunkAllocator<Node> m_allocator;
    std::uint32_t m_count = 0;
    Node* m_root = nullptr;
    Node* m_nil = nullptr;
    Node* m_lastTouched = nullptr;
};
