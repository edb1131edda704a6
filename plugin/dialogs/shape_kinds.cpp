#include "plugin/dialogs/shape_kinds.h"

#include "shapes/session_kinds.h"

namespace
{

struct stKindEntry
{
    const wchar_t* title;
    const GUID* sessionClass;
};

constexpr stKindEntry kKinds[kShapeKindCount] = {
    {L"Plane", &CLSID_CSessionPlane},
    {L"Sphere", &CLSID_CSessionSphere},
    {L"Cylinder", &CLSID_CSessionCylinder},
    {L"Symmetry Plane", &CLSID_CSessionSymmetryPlane},
    {L"Revolved", &CLSID_CSessionRevolved},
    {L"Extruded", &CLSID_CSessionExtruded},
    {L"Free Form", &CLSID_CSessionFreeForm},
    {L"Curves (Advanced)", &CLSID_CSessionCurveNetwork},
};

bool IsKind(eShapeKind kind)
{
    return int(kind) >= 0 && int(kind) < kShapeKindCount;
}

} // namespace

const wchar_t* ShapeKindTitle(eShapeKind kind)
{
    return IsKind(kind) ? kKinds[int(kind)].title : nullptr;
}

const GUID* ShapeKindSessionClass(eShapeKind kind)
{
    return IsKind(kind) ? kKinds[int(kind)].sessionClass : nullptr;
}

eShapeKind ShapeKindOfSession(const CSessionSurface* session)
{
    if (!session)
        return eShapeKind::None;
    for (int i = 0; i < kShapeKindCount; ++i)
        if (session->ClassId() == *kKinds[i].sessionClass)
            return eShapeKind(i);
    return eShapeKind::None;
}

eShapeKind ShapeKindFromItemData(std::intptr_t data)
{
    return data >= 0 && data < kShapeKindCount ? eShapeKind(int(data)) : eShapeKind::None;
}
