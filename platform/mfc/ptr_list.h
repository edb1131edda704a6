// CPtrList: a doubly linked list of untyped pointers walked by POSITION
// values. Positions stay valid until their own node is removed.
#pragma once

#include "platform/mfc/object.h"

struct __POSITION;
using POSITION = __POSITION*;

class CPtrList : public CObject
{
public:
    explicit CPtrList(INT_PTR blockSize = 10);
    ~CPtrList() override;
    CPtrList(const CPtrList&) = delete;
    CPtrList& operator=(const CPtrList&) = delete;

    INT_PTR GetCount() const { return m_count; }
    INT_PTR GetSize() const { return m_count; }
    BOOL IsEmpty() const { return m_count == 0; }

    void*& GetHead();
    void* GetHead() const;
    void*& GetTail();
    void* GetTail() const;
    void* RemoveHead();
    void* RemoveTail();
    POSITION AddHead(void* element);
    POSITION AddTail(void* element);
    void RemoveAll();

    POSITION GetHeadPosition() const { return reinterpret_cast<POSITION>(m_head); }
    POSITION GetTailPosition() const { return reinterpret_cast<POSITION>(m_tail); }
    // Return the element at pos and move pos on (null after the last).
    void*& GetNext(POSITION& pos);
    void* GetNext(POSITION& pos) const;
    void*& GetPrev(POSITION& pos);
    void* GetPrev(POSITION& pos) const;
    void*& GetAt(POSITION pos);
    void* GetAt(POSITION pos) const;
    void SetAt(POSITION pos, void* element);
    void RemoveAt(POSITION pos);
    POSITION InsertBefore(POSITION pos, void* element);
    POSITION InsertAfter(POSITION pos, void* element);
    POSITION Find(void* value, POSITION startAfter = nullptr) const;
    POSITION FindIndex(INT_PTR index) const;

private:
    struct Node
    {
        Node* next;
        Node* prev;
        void* data;
    };
    static Node* NodeOf(POSITION pos) { return reinterpret_cast<Node*>(pos); }

    Node* m_head = nullptr;
    Node* m_tail = nullptr;
    INT_PTR m_count = 0;
};
