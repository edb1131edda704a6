// "TriangleColoursProperty": one byte per triangle of a mesh scene object
// telling which kind of shape the triangle was assigned to (0: none).
// Sessions write their shape-kind code into their region's triangles, the
// scene renderer colours the mesh by it, the mesh import sizes it to the
// triangle count. It is not kept in step with later changes of the triangle
// count, so every access is checked against the size it has.
#pragma once

#include "core/attached_property.h"

#include <cstdint>
#include <string_view>
#include <vector>

class ISceneObject;

inline constexpr const wchar_t* kTriangleColoursPropertyName = L"TriangleColoursProperty";

class CTriangleColourProperties : public IAttachedProperty
{
public:
    CTriangleColourProperties(std::wstring_view name, ISceneObject* owner) : IAttachedProperty(name, owner) {}
    ~CTriangleColourProperties() override;

    // The object's attached property of that name, or a new one attached to
    // it (held by the object alone); null when it cannot be created or the
    // name is taken by a property of another kind.
    static CTriangleColourProperties* GetOrCreate(ISceneObject* object,
                                                  std::wstring_view name = kTriangleColoursPropertyName);

    // Empties the bytes and appends count zero bytes.
    bool Resize(std::uint32_t count);
    std::uint32_t GetCount() const { return static_cast<std::uint32_t>(m_bytes.size()); }
    // 0 for a triangle beyond the size.
    std::uint8_t Get(std::uint32_t triangle) const { return triangle < m_bytes.size() ? m_bytes[triangle] : 0; }
    // False (nothing written) for a triangle beyond the size.
    bool Set(std::uint32_t triangle, std::uint8_t kind);
    // Sets `count` triangles from `first` on (none beyond the size).
    void SetRun(std::uint32_t first, std::uint32_t count, std::uint8_t kind);
    const std::uint8_t* GetData() const { return m_bytes.data(); }

    // Whether some byte is not 0; writers recompute it after a batch of Set.
    bool HasColours() const { return m_hasColours; }
    void RecomputeHasColours();

private:
    std::vector<std::uint8_t> m_bytes;
    bool m_hasColours = false;
};
