#include "platform/mfc/ptr_list.h"

#include <stdexcept>

CPtrList::CPtrList(INT_PTR) {}

CPtrList::~CPtrList()
{
    RemoveAll();
}

namespace
{

[[noreturn]] void EmptyList()
{
    throw std::out_of_range("CPtrList: the list is empty");
}

} // namespace

void*& CPtrList::GetHead()
{
    if (!m_head)
        EmptyList();
    return m_head->data;
}

void* CPtrList::GetHead() const
{
    if (!m_head)
        EmptyList();
    return m_head->data;
}

void*& CPtrList::GetTail()
{
    if (!m_tail)
        EmptyList();
    return m_tail->data;
}

void* CPtrList::GetTail() const
{
    if (!m_tail)
        EmptyList();
    return m_tail->data;
}

void* CPtrList::RemoveHead()
{
    if (!m_head)
        EmptyList();
    void* data = m_head->data;
    RemoveAt(GetHeadPosition());
    return data;
}

void* CPtrList::RemoveTail()
{
    if (!m_tail)
        EmptyList();
    void* data = m_tail->data;
    RemoveAt(GetTailPosition());
    return data;
}

POSITION CPtrList::AddHead(void* element)
{
    Node* n = new Node{m_head, nullptr, element};
    if (m_head)
        m_head->prev = n;
    else
        m_tail = n;
    m_head = n;
    ++m_count;
    return reinterpret_cast<POSITION>(n);
}

POSITION CPtrList::AddTail(void* element)
{
    Node* n = new Node{nullptr, m_tail, element};
    if (m_tail)
        m_tail->next = n;
    else
        m_head = n;
    m_tail = n;
    ++m_count;
    return reinterpret_cast<POSITION>(n);
}

void CPtrList::RemoveAll()
{
    for (Node* n = m_head; n;)
    {
        Node* next = n->next;
        delete n;
        n = next;
    }
    m_head = m_tail = nullptr;
    m_count = 0;
}

void*& CPtrList::GetNext(POSITION& pos)
{
    Node* n = NodeOf(pos);
    pos = reinterpret_cast<POSITION>(n->next);
    return n->data;
}

void* CPtrList::GetNext(POSITION& pos) const
{
    Node* n = NodeOf(pos);
    pos = reinterpret_cast<POSITION>(n->next);
    return n->data;
}

void*& CPtrList::GetPrev(POSITION& pos)
{
    Node* n = NodeOf(pos);
    pos = reinterpret_cast<POSITION>(n->prev);
    return n->data;
}

void* CPtrList::GetPrev(POSITION& pos) const
{
    Node* n = NodeOf(pos);
    pos = reinterpret_cast<POSITION>(n->prev);
    return n->data;
}

void*& CPtrList::GetAt(POSITION pos)
{
    return NodeOf(pos)->data;
}
void* CPtrList::GetAt(POSITION pos) const
{
    return NodeOf(pos)->data;
}
void CPtrList::SetAt(POSITION pos, void* element)
{
    NodeOf(pos)->data = element;
}

void CPtrList::RemoveAt(POSITION pos)
{
    Node* n = NodeOf(pos);
    if (!n)
        return;
    (n->prev ? n->prev->next : m_head) = n->next;
    (n->next ? n->next->prev : m_tail) = n->prev;
    delete n;
    --m_count;
}

POSITION CPtrList::InsertBefore(POSITION pos, void* element)
{
    Node* at = NodeOf(pos);
    if (!at)
        return AddHead(element);
    Node* n = new Node{at, at->prev, element};
    (at->prev ? at->prev->next : m_head) = n;
    at->prev = n;
    ++m_count;
    return reinterpret_cast<POSITION>(n);
}

POSITION CPtrList::InsertAfter(POSITION pos, void* element)
{
    Node* at = NodeOf(pos);
    if (!at)
        return AddTail(element);
    Node* n = new Node{at->next, at, element};
    (at->next ? at->next->prev : m_tail) = n;
    at->next = n;
    ++m_count;
    return reinterpret_cast<POSITION>(n);
}

POSITION CPtrList::Find(void* value, POSITION startAfter) const
{
    Node* n = startAfter ? NodeOf(startAfter)->next : m_head;
    for (; n; n = n->next)
        if (n->data == value)
            return reinterpret_cast<POSITION>(n);
    return nullptr;
}

POSITION CPtrList::FindIndex(INT_PTR index) const
{
    if (index < 0 || index >= m_count)
        return nullptr;
    Node* n = m_head;
    while (index-- > 0)
        n = n->next;
    return reinterpret_cast<POSITION>(n);
}
