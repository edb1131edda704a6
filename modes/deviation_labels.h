// Deviation labels: a label shows the deviation of the analysed vertex
// nearest to the point the user picked, on the mesh object it was picked on.
// The host analysis mode keeps the labels of the document's meshes, the
// shapes dialog's Deviation page those of its view, and the two displays
// word their texts alike; the labels only store their points differently
// (doubles on the host side, floats in the shapes view), so the matching
// below takes either.
//
// A label type has `picked` and `point` (ON_3dPoint or float[3]), `object`
// (the id of the mesh object it was picked on), `deviation`, `found` and
// `distance`.
#pragma once

#include "analysis/analysed_vertex_tree.h"
#include "platform/geometry/point.h"

#include <algorithm>
#include <cfloat>
#include <cstddef>
#include <string>
#include <vector>

// Longest label text; longer texts are cut.
inline constexpr std::size_t kMaxLabelLength = 31;

// "<prefix>%.<decimals>f <unit>" of the deviation, or `unknown` for FLT_MAX
// (and for what is not a number), cut to kMaxLabelLength.
std::wstring DeviationLabelText(float deviation, const wchar_t* unit, int decimals, const wchar_t* unknown,
                                const wchar_t* prefix = L"");

namespace deviation_label_detail
{
inline void Coordinates(const ON_3dPoint& p, float out[3])
{
    out[0] = float(p.x);
    out[1] = float(p.y);
    out[2] = float(p.z);
}
inline void Coordinates(const float (&p)[3], float out[3])
{
    out[0] = p[0];
    out[1] = p[1];
    out[2] = p[2];
}
inline void Assign(ON_3dPoint& to, const cON_AVertex& record)
{
    to = ON_3dPoint(record.x, record.y, record.z);
}
inline void Assign(float (&to)[3], const cON_AVertex& record)
{
    to[0] = record.x;
    to[1] = record.y;
    to[2] = record.z;
}

template <class Label> const cON_AVertex* NearestToPick(const Label& label, const cAVTree& tree, double& distance)
{
    float p[3];
    Coordinates(label.picked, p);
    distance = FLT_MAX;
    return tree.NearestRecord(p, &distance);
}

template <class Label> void Show(Label& label, const cON_AVertex& record, double distance)
{
    Assign(label.point, record);
    label.deviation = record.deviation;
    label.found = true;
    label.distance = distance;
}
} // namespace deviation_label_detail

// The label shows the tree's record nearest to its picked point, at
// whatever distance. Null, the label unchanged, when the tree has no record.
template <class Label> const cON_AVertex* MatchNearestRecord(Label& label, const cAVTree& tree)
{
    double distance = FLT_MAX;
    const cON_AVertex* record = deviation_label_detail::NearestToPick(label, tree, distance);
    if (record)
        deviation_label_detail::Show(label, *record, distance);
    return record;
}

// An analysed mesh object: its id and its analysed-vertex tree (null: none).
struct stAnalysedObject
{
    GUID id;
    const cAVTree* tree;
};

// Every label takes the record nearest to its picked point in the tree of
// the object it was picked on (the first one listed with that id); a label
// whose object is not listed, or whose tree has no record, is dropped: it
// never moves to another mesh.
template <class Label>
void ResolveDeviationLabels(std::vector<Label>& labels, const std::vector<stAnalysedObject>& objects)
{
    for (Label& label : labels)
    {
        label.deviation = FLT_MAX;
        label.found = false;
        label.distance = FLT_MAX;
        const auto own = std::find_if(objects.begin(), objects.end(),
                                      [&label](const stAnalysedObject& o) { return o.id == label.object; });
        if (own == objects.end() || own->tree == nullptr)
            continue;
        double distance = FLT_MAX;
        if (const cON_AVertex* record = deviation_label_detail::NearestToPick(label, *own->tree, distance))
            deviation_label_detail::Show(label, *record, distance);
    }
    std::erase_if(labels, [](const Label& l) { return !l.found; });
}
