// What the commands ask of the tool dialogs they open, besides what every
// tool dialog offers its holder (IToolDialog). A dialog class answers the
// interface of its tool.
#pragma once

#include "platform/geometry/curve.h"
#include "platform/geometry/uuid.h"
#include "platform/host/dezaz_object.h"

class CObjectSurfaces;
class cHostMeshCopy;

// The shapes dialog.
class IShapesTool
{
public:
    virtual ~IShapesTool() = default;
    // The uuid of the host mesh the dialog shows (nil before it has one).
    virtual ON_UUID HostObjectUuid() const = 0;
    // Copies the host mesh into the dialog's own scene, or takes the copy
    // given when it is of that mesh; false when the mesh cannot be shown.
    virtual bool LoadHostMesh(const CDezazObjRef& mesh, cHostMeshCopy* copy = nullptr) = 0;
    // The sessions of that mesh, which the dialog lists and edits.
    virtual void SetEntry(CObjectSurfaces* entry) = 0;
};

// The floating deviation analyser.
class IAnalyzerTool
{
public:
    virtual ~IAnalyzerTool() = default;
    // Shows or hides the created surfaces as the dialog's switch says.
    virtual void ApplySurfaceVisibility() = 0;
    // Measures the deviation of the visible meshes again.
    virtual void Recalculate() = 0;
};

// The fillet measurement dialog.
class IFilletTool
{
public:
    virtual ~IFilletTool() = default;
    // The edge to measure and the runtime serial number of its object.
    virtual void SetPickedEdge(const ON_Curve& edge, unsigned int objectSerial) = 0;
};
