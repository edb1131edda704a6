// Polylines: section cuts, profiles, drawn curves and resampled curves as
// point lists with a cached float bounding box; the frame polyline adds the
// 3x4 local frame a section was cut in.
//
// Instances: tPolyline<cVertex> (points with flags and normals) and
// tPolyline<t3DPoint<double>> (plain double points).
#pragma once

#include <cmath>
#include <cstdint>
#include <deque>
#include <type_traits>
#include <utility>

#include "core/bounding_box.h"
#include "core/frame_math.h"
#include "core/vector_math.h"
#include "core/vertex.h"

namespace polyline_detail
{
template <class T> inline constexpr bool kHasNormal = std::is_same_v<T, cVertex>;

template <class T> T MakePoint(double x, double y, double z)
{
    T point{};
    if constexpr (std::is_same_v<T, cVertex>)
    {
        point.x = static_cast<float>(x);
        point.y = static_cast<float>(y);
        point.z = static_cast<float>(z);
    }
    else
    {
        point.x = static_cast<decltype(point.x)>(x);
        point.y = static_cast<decltype(point.y)>(y);
        point.z = static_cast<decltype(point.z)>(z);
    }
    return point;
}

// R.v (+ t for positions) in double; the result keeps the point's own type.
template <class TCoord>
void TransformCoords(const double m[12], TCoord& x, TCoord& y, TCoord& z, bool translate)
{
    const double px = x;
    const double py = y;
    const double pz = z;
    const double tx = translate ? m[3] : 0.0;
    const double ty = translate ? m[7] : 0.0;
    const double tz = translate ? m[11] : 0.0;
    x = static_cast<TCoord>(m[0] * px + m[1] * py + m[2] * pz + tx);
    y = static_cast<TCoord>(m[4] * px + m[5] * py + m[6] * pz + ty);
    z = static_cast<TCoord>(m[8] * px + m[9] * py + m[10] * pz + tz);
}
} // namespace polyline_detail

template <class T> class tPolyline
{
public:
    tPolyline() { MakeEmptyBox3f(box); }
    virtual ~tPolyline() = default;
    tPolyline(const tPolyline&) = default;
    tPolyline& operator=(const tPolyline&) = default;
    tPolyline(tPolyline&&) noexcept = default;
    tPolyline& operator=(tPolyline&&) noexcept = default;

    std::uint32_t GetVertexCount() const { return static_cast<std::uint32_t>(vertices.size()); }
    bool IsEmpty() const { return vertices.empty(); }

    // Appends a copy; the box is not grown but marked stale.
    T* AddVertex(const T& vertex)
    {
        vertices.push_back(vertex);
        boxValid = 0;
        return &vertices.back();
    }

    // Appends a point made from three doubles (stored in the point's own
    // precision); every other field is zero.
    T* AddPoint3d(const double p[3]) { return AddVertex(polyline_detail::MakePoint<T>(p[0], p[1], p[2])); }

    // The same from a float point.
    T* AddFloatPoint(const float p[3]) { return AddVertex(polyline_detail::MakePoint<T>(p[0], p[1], p[2])); }

    // Puts the vertex before vertex i; an index at or past the end appends.
    T* InsertVertexAt(std::uint32_t i, const T& vertex)
    {
        boxValid = 0;
        if (i >= vertices.size())
        {
            vertices.push_back(vertex);
            return &vertices.back();
        }
        return &*vertices.insert(vertices.begin() + i, vertex);
    }
    T* InsertFloatPointAt(std::uint32_t i, const float p[3])
    {
        return InsertVertexAt(i, polyline_detail::MakePoint<T>(p[0], p[1], p[2]));
    }

    // Removes vertex i; an index past the end, or an empty polyline, is left
    // alone.
    void RemoveVertexAt(std::uint32_t i)
    {
        if (i >= vertices.size())
            return;
        vertices.erase(vertices.begin() + i);
        boxValid = 0;
    }

    // No range check: callers index below the count (and never ask an empty
    // polyline for its first or last vertex).
    T* GetVertex(std::uint32_t i) { return &vertices[i]; }
    const T* GetVertex(std::uint32_t i) const { return &vertices[i]; }
    T* GetFirstVertex() { return &vertices.front(); }
    const T* GetFirstVertex() const { return &vertices.front(); }
    T* GetLastVertex() { return &vertices.back(); }
    const T* GetLastVertex() const { return &vertices.back(); }

    // Sum of the distances between consecutive points, in double.
    double GetLength() const
    {
        double length = 0.0;
        for (std::size_t i = 1; i < vertices.size(); ++i)
        {
            const T& a = vertices[i - 1];
            const T& b = vertices[i];
            const double dx = static_cast<double>(b.x) - static_cast<double>(a.x);
            const double dy = static_cast<double>(b.y) - static_cast<double>(a.y);
            const double dz = static_cast<double>(b.z) - static_cast<double>(a.z);
            length += std::sqrt(dx * dx + dy * dy + dz * dz);
        }
        return length;
    }

    // Box of every point (no flag is tested); valid only when it holds at
    // least one finite point, so an empty polyline keeps an invalid box.
    void UpdateBoundingBox()
    {
        MakeEmptyBox3f(box);
        for (const T& v : vertices)
        {
            const float p[3] = {static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z)};
            GrowBox3f(box, p);
        }
        boxValid = IsValidBoundingBox3f(box) ? 1 : 0;
    }

    // Positions by the whole transform, normals by its rotation part (not
    // renormalised), both in double.
    void Transform(const double m[12])
    {
        for (T& v : vertices)
        {
            polyline_detail::TransformCoords(m, v.x, v.y, v.z, true);
            if constexpr (polyline_detail::kHasNormal<T>)
                polyline_detail::TransformCoords(m, v.nx, v.ny, v.nz, false);
        }
        boxValid = 0;
    }

    void Clear()
    {
        vertices.clear();
        MakeEmptyBox3f(box);
        selectedIndex = -1;
        firstFlag = 0;
        boxValid = 0;
        cachedValue = 0;
    }

    std::deque<T> vertices;
    float box[6];
    std::int32_t selectedIndex = -1;
    // 1 after construction, 0 after Clear; its users give it its meaning.
    std::uint8_t firstFlag = 1;
    std::uint8_t boxValid = 0;
    // 0 after construction and Clear; its users give it its meaning.
    std::uint32_t cachedValue = 0;
};

// A polyline that remembers the 3x4 frame (axes in columns, local to world)
// of the plane it was cut in. Its points stay in world coordinates.
template <class T> class tFramePolyline : public tPolyline<T>
{
public:
    tFramePolyline() { MakeIdentity3x4(frame); }
    tFramePolyline(const tFramePolyline&) = default;
    tFramePolyline& operator=(const tFramePolyline&) = default;
    tFramePolyline(tFramePolyline&&) noexcept = default;
    tFramePolyline& operator=(tFramePolyline&&) noexcept = default;

    // Takes the points of a plain polyline with an identity frame.
    explicit tFramePolyline(const tPolyline<T>& source) { CopyFromPolyline(source); }

    // The polyline part of the source; frame identity, trailing field 0.
    void CopyFromPolyline(const tPolyline<T>& source)
    {
        tPolyline<T>::operator=(source);
        MakeIdentity3x4(frame);
        userData = 0;
    }

    void Swap(tFramePolyline& other)
    {
        if (this == &other)
            return;
        std::swap(static_cast<tPolyline<T>&>(*this), static_cast<tPolyline<T>&>(other));
        std::swap(frame, other.frame);
        std::swap(userData, other.userData);
    }

    // A copy of vertex i in frame coordinates: position R^T.(p - t), normal
    // R^T.n; flags, index and extra field unchanged. No range check.
    T GetVertexInFrame(std::uint32_t i) const
    {
        T local = this->vertices[i];
        InverseTransformPoint3f(frame, local.Position());
        const double n[3] = {local.nx, local.ny, local.nz};
        local.nx = static_cast<float>(frame[0] * n[0] + frame[4] * n[1] + frame[8] * n[2]);
        local.ny = static_cast<float>(frame[1] * n[0] + frame[5] * n[1] + frame[9] * n[2]);
        local.nz = static_cast<float>(frame[2] * n[0] + frame[6] * n[1] + frame[10] * n[2]);
        return local;
    }

    // Box of all points in frame coordinates (no flag tested, no validity
    // test; the empty box for no points). The cached world box is untouched.
    void GetLocalBoundingBox(float out[6]) const
    {
        MakeEmptyBox3f(out);
        for (std::uint32_t i = 0; i < this->GetVertexCount(); ++i)
        {
            const T local = GetVertexInFrame(i);
            GrowBox3f(out, local.Position());
        }
    }

    // Bit 0 marks that the frame is the plane the points were cut in (the
    // sectioners set it); the other bits are free to the users.
    void SetFrameMark() { userData |= kFrameMarkBit; }
    bool HasFrameMark() const { return (userData & kFrameMarkBit) != 0; }

    static constexpr std::uint64_t kFrameMarkBit = 1;

    double frame[12];
    // 0 after construction; its users give it its meaning.
    std::uint64_t userData = 0;
};
