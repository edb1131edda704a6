#include "core/global_node_pool.h"

#include <cstring>

namespace
{
// Built at load time so that the first block exists before any map is used.
[[maybe_unused]] cGlobalNodePool& g_loadTimePool = cGlobalNodePool::Instance();
} // namespace

cGlobalNodePool::cGlobalNodePool()
{
    m_blocks.reserve(256);
    AddBlock();
}

cGlobalNodePool::~cGlobalNodePool()
{
    for (std::uint64_t* block : m_blocks)
        delete[] block;
}

cGlobalNodePool& cGlobalNodePool::Instance()
{
    static cGlobalNodePool pool;
    return pool;
}

bool cGlobalNodePool::AddBlock()
{
    std::uint64_t* block = new (std::nothrow) std::uint64_t[kBlockWords];
    if (block == nullptr)
        return false;
    try
    {
        m_blocks.push_back(block);
    }
    catch (...)
    {
        delete[] block;
        return false;
    }
    m_offset = 0;
    return true;
}

void* cGlobalNodePool::AllocNode()
{
    if (m_free != nullptr)
    {
        void* node = m_free;
        std::memcpy(&m_free, node, sizeof m_free);
        ++m_live;
        return node;
    }
    if ((m_blocks.empty() || m_offset >= kBlockWords) && !AddBlock())
        return nullptr;
    void* node = m_blocks.back() + m_offset;
    m_offset += kNodeWords;
    ++m_live;
    return node;
}

void cGlobalNodePool::FreeNode(void* node)
{
    if (node == nullptr || m_live == 0)
        return;
    std::memcpy(node, &m_free, sizeof m_free);
    m_free = node;
    if (--m_live > 0)
        return;
    for (std::size_t i = 1; i < m_blocks.size(); ++i)
        delete[] m_blocks[i];
    if (!m_blocks.empty())
        m_blocks.resize(1);
    m_offset = 0;
    m_free = nullptr;
}

void* AllocNode() { return cGlobalNodePool::Instance().AllocNode(); }
void FreeNode(void* node) { cGlobalNodePool::Instance().FreeNode(node); }
