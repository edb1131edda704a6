// Visual analysis modes: a plug-in derives one, builds one static instance
// of it (which registers it with the host by its id) and switches it on per
// object (CDezazObject::EnableAnalysisMode). While an object is in a mode,
// the viewports ask the mode to colour the object's analysis meshes and draw
// them in those colours instead of the object's own shading.
#pragma once

#include "platform/geometry/simple_array.h"
#include "platform/geometry/uuid.h"
#include "platform/geometry/wide_string.h"

#include <vector>

class CDezazObject;
class CDezazDisplayPipeline;
class ON_Mesh;

// What a mode shows (bits); only the false-colour style is drawn by the
// stand-in viewports, the others are accepted and shown shaded.
enum class DezazAnalysisStyle : unsigned int
{
    wireframe_style = 1,
    texture_style = 2,
    false_colour_style = 4,
};

class CDezazVisualAnalysisMode
{
public:
    // Registers the mode (its id must be unique among the modes alive; a
    // second mode with the same id is not registered).
    CDezazVisualAnalysisMode(const ON_UUID& mode_id, DezazAnalysisStyle style);
    virtual ~CDezazVisualAnalysisMode();
    CDezazVisualAnalysisMode(const CDezazVisualAnalysisMode&) = delete;
    CDezazVisualAnalysisMode& operator=(const CDezazVisualAnalysisMode&) = delete;

    const ON_UUID& AnalysisModeId() const { return m_id; }
    DezazAnalysisStyle Style() const { return m_style; }
    bool IsRegistered() const { return m_registered; }

    // The name the host shows for the mode.
    virtual void GetAnalysisModeName(ON_wString& name) const = 0;
    // The host calls it when the user opens the mode's settings; a mode
    // without settings answers false (the default).
    virtual bool EnableUserInterface(bool enable);
    // Whether the mode can be switched on for the object; the host refuses
    // EnableAnalysisMode where this is false.
    virtual bool ObjectSupportsAnalysisMode(const CDezazObject* object) const = 0;
    // Whether the object's isocurves are drawn over the analysis colours.
    virtual bool ShowIsoCurves() const;
    // Lets the mode change how the pipeline draws the object (lighting,
    // wires); the default leaves the attributes alone.
    virtual void SetAnalysisModeDisplayAttributes(const CDezazObject* object, CDezazDisplayPipeline& pipeline) const;
    // Fills the vertex colours (ON_Mesh::m_C) of the object's analysis
    // meshes and stamps them (ON_Mesh::m_Ctag); the meshes are the host's and
    // the mode may write them. The default leaves them alone.
    virtual void UpdateVertexColors(const CDezazObject* object, ON_SimpleArray<ON_Mesh*>& meshes) const;

    // The registered mode with that id, or null.
    static CDezazVisualAnalysisMode* Mode(const ON_UUID& mode_id);
    // Every registered mode, in order of registration.
    static std::vector<CDezazVisualAnalysisMode*> Modes();

private:
    ON_UUID m_id;
    DezazAnalysisStyle m_style;
    bool m_registered = false;
};

// Switches on for the destination every analysis mode that is on for the
// source and supports the destination (a piece cut from an analysed object
// stays analysed). True when every mode of the source is now on for the
// destination; false for a null object.
bool DezazCopyAnalysisModes(const CDezazObject* source, CDezazObject* destination);
