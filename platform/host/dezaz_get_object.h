// Asking the user for document objects. Pre-selected objects are taken
// first when pre-selection is on; otherwise the getter asks, and in this
// host the answer comes from the prompt queue (kind kObjectPrompt): the
// runtime serial number of the object, 0 for cancel, -1 for "nothing"
// (Enter with nothing picked). An answer that the getter's filters refuse is
// an error of the script, not a silent cancel.
//
// An object picked at the prompt was clicked, so it has a selection point:
// the one the answer gave, or else a point on the object (the middle of its
// first face, its first mesh face's centre, its curve's middle). Objects
// taken from the pre-selection have none.
#pragma once

#include "platform/host/dezaz_object.h"

#include <string>
#include <vector>

namespace dezaz
{
inline constexpr const wchar_t* kObjectPrompt = L"object";
inline constexpr long kAnswerNothing = -1;

// The point where the user clicked for the object answer being given; a
// scripted answer sets it just before the getter takes the answer.
void SetAnsweredSelectionPoint(const ON_3dPoint& point);

// A point on the object where a click would pick it; false when it has none.
bool PointOnObject(const CDezazObject& object, ON_3dPoint& point);
} // namespace dezaz

class CDezazGet
{
public:
    enum result : int
    {
        no_result = 0,
        cancel = 1,
        nothing = 2,
        object = 3,
    };
};

class CDezazGetObject
{
public:
    // Geometry filter bits (0 = any).
    enum geometry_type_filter : unsigned int
    {
        point_object = 1,
        curve_object = 4,
        surface_object = 8,
        polysrf_object = 16,
        mesh_object = 32,
        polysrf_face = 0x200000,
    };
    // Geometry attribute filter bits (0 = any). Edge curves are not document
    // objects: with edge_curve (and curve_object) the getter takes a brep
    // clicked next to its edge, and the reference's Curve() is that edge.
    enum geometry_attribute_filter : unsigned int
    {
        edge_curve = 2,
    };

    CDezazGetObject() = default;
    virtual ~CDezazGetObject() = default;

    void SetCommandPrompt(const wchar_t* prompt) { m_prompt = prompt ? prompt : L""; }
    void SetGeometryFilter(unsigned int filter) { m_geometry_filter = filter; }
    void SetGeometryAttributeFilter(unsigned int filter) { m_attribute_filter = filter; }
    void EnablePreSelect(bool enable = true, bool ignore_unacceptable_preselected = true)
    {
        m_preselect = enable;
        m_ignore_unacceptable = ignore_unacceptable_preselected;
    }
    void EnablePostSelect(bool enable = true) { m_postselect = enable; }

    // Between min and max objects (max 0: any number).
    CDezazGet::result GetObjects(int minimum_number = 1, int maximum_number = 1);
    int ObjectCount() const { return static_cast<int>(m_objects.size()); }
    const CDezazObjRef& Object(int index) const;

    // Called for every candidate that passed the geometry filter.
    virtual bool CustomGeometryFilter(const CDezazObject* object, const ON_Geometry* geometry) const;

private:
    bool Accepts(const CDezazObject& object) const;

    std::wstring m_prompt;
    unsigned int m_geometry_filter = 0;
    unsigned int m_attribute_filter = 0;
    bool m_preselect = true;
    bool m_ignore_unacceptable = true;
    bool m_postselect = true;
    std::vector<CDezazObjRef> m_objects;
};
