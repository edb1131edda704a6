// Ordered collections of geometry items; the polyline collection is what the
// sectioners and section merges produce and what section curves keep.
#pragma once

#include <cstdint>
#include <deque>
#include <type_traits>

#include "core/frame_math.h"
#include "core/polyline.h"

template <class T, class TContainer> class tGeomCollection
{
public:
    tGeomCollection() = default;
    virtual ~tGeomCollection() = default;
    tGeomCollection(const tGeomCollection&) = default;
    tGeomCollection& operator=(const tGeomCollection&) = default;
    tGeomCollection(tGeomCollection&&) noexcept = default;
    tGeomCollection& operator=(tGeomCollection&&) noexcept = default;

    std::uint32_t GetCount() const { return static_cast<std::uint32_t>(items.size()); }
    bool IsEmpty() const { return items.empty(); }

    // Appends a copy and returns the stored item.
    T* Add(const T& item)
    {
        items.push_back(item);
        return &items.back();
    }

    // No range check: callers index below the count.
    T& operator[](std::uint32_t i) { return items[i]; }
    const T& operator[](std::uint32_t i) const { return items[i]; }

    void Clear() { items.clear(); }

    TContainer items;
};

template <class T> class tPolylineCollection : public tGeomCollection<T, std::deque<T>>
{
public:
    // Transforms every polyline's points by m; a frame polyline's frame
    // becomes m x frame, so that the points stay where the frame says.
    void Transform(const double m[12])
    {
        for (T& polyline : this->items)
        {
            polyline.Transform(m);
            if constexpr (std::is_base_of_v<tFramePolyline<cVertex>, T>)
                MultiplyTransform3x4(m, polyline.frame, polyline.frame);
        }
    }
};

// Empties a collection of polylines (the name the editing modes use).
template <class T> void ClearPolylineDeque(tPolylineCollection<T>& collection)
{
    collection.Clear();
}
