// The dirty rectangles of one overlay pass: every area the overlay drawing
// touched, merged so that overlapping areas are blended onto the GL frame
// once.
#pragma once

#include "core/linked_list.h"
#include "platform/win32/types.h"

#include <cstdint>

class cAreaCollector
{
public:
    struct stRect
    {
        std::int32_t x0, y0, x1, y1;
        std::uint32_t area; // 0: merged into another node
    };
    using Node = tDLLNode<stRect>;

    static constexpr std::uint32_t kNodesPerChunk = 512;

    cAreaCollector();
    virtual ~cAreaCollector() = default;
    cAreaCollector(const cAreaCollector&) = delete;
    cAreaCollector& operator=(const cAreaCollector&) = delete;

    // Merges r into a live rectangle it overlaps (the union is narrower and
    // lower than the two side by side), repeating with the grown rectangle
    // until nothing more merges; otherwise it becomes a new node at the head.
    // Inverted rectangles are normalised; empty ones are ignored.
    void AddRect(const RECT& r);
    // Frees every node back to the allocator.
    void Clear();

    // Rectangles that carry area.
    std::uint32_t GetLiveCount() const { return m_liveCount; }
    Node* GetHead() const { return m_list.GetHead(); }

private:
    tDoubleLinkList<stRect> m_list;
    std::uint32_t m_liveCount = 0;
};
