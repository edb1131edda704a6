// The fillet measurement tool: a modeless tool window that measures the
// radius of a rounded edge of a reference mesh along a picked edge, shows
// it in the host's viewports through its preview conduit and can put it
// into the document as a text dot.
//
// The dialog keeps its own copy of the edge curve: the host object the edge
// came from may be deleted at any time, and nothing the dialog does
// afterwards may reach into it. The object's runtime serial number tells
// when it is gone, and the edge is then released.
#pragma once

#include "core/mesh.h"
#include "fitting/section_triangle_index.h"
#include "platform/host/dezaz_dialog.h"
#include "platform/host/dezaz_text_dot.h"
#include "platform/host/display_attributes.h"
#include "platform/host/display_conduit.h"
#include "platform/mfc/controls.h"
#include "plugin/dialog_holder.h"
#include "plugin/tool_interfaces.h"

#include <cfloat>
#include <cstdint>
#include <memory>
#include <string>

class CDezazDoc;
class CMeasureFilletDialog;

// What is measured, and the radius it gave.
struct stFilletRequest
{
    static constexpr unsigned int kNoMesh = 0xFFFFFFFFu;

    // The dialog's own copy of the edge; null when no edge is picked.
    std::shared_ptr<const ON_Curve> curve;
    // A new number for every edge given, so that a new edge at the address
    // of an old one is still a new request.
    std::uint64_t curveVersion = 0;
    unsigned int edgeSerial = 0;
    unsigned int meshSerial = kNoMesh;
    double start = 0.0;
    double end = 1.0;
    int sections = 1;
    double radius = FLT_MAX;

    // Whether the other request asks for the same measurement (the radius
    // is not compared).
    bool SameMeasurement(const stFilletRequest& other) const;
};

// Shows the request in every viewport: the radius at the middle of the
// measured stretch, "S" and "E" at its ends and a red mark at each station
// in between. Releases the edge once its object is gone.
class CMeasureFilletPreviewConduit : public CDezazDisplayConduit
{
public:
    static constexpr UINT kChannels = SC_CALCBOUNDINGBOX | SC_DRAWOBJECT | SC_DRAWFOREGROUND; // 0x888

    explicit CMeasureFilletPreviewConduit(CMeasureFilletDialog& owner);

    bool ExecConduit(CDezazDisplayPipeline& pipeline, UINT channel) override;

    // The label at the middle of the stretch for this request.
    static std::wstring RadiusLabel(const stFilletRequest& request);

    stFilletRequest m_request;

    // The dots at the stretch's start and end.
    const CDezazTextDot& StartDot() const { return m_startDot; }
    const CDezazTextDot& EndDot() const { return m_endDot; }

private:
    void DrawPreview(CDezazDisplayPipeline& pipeline);

    CMeasureFilletDialog& m_owner;
    CDezazTextDot m_radiusDot;
    CDezazTextDot m_startDot;
    CDezazTextDot m_endDot;
    CDisplayPipelineMaterial m_material;
};

class CMeasureFilletDialog : public CDezazDialog, public IToolDialog, public IFilletTool
{
public:
    explicit CMeasureFilletDialog(CWnd* parent = nullptr);
    ~CMeasureFilletDialog() override;

    // IToolDialog: the holder owns the dialog, so closing destroys only the
    // window.
    HWND DialogWindow() const override { return m_hWnd; }
    bool CreateModeless(UINT resource, CWnd* parent) override;
    void CancelDialog(bool forced) override;

    // IFilletTool.
    void SetPickedEdge(const ON_Curve& edge, unsigned int objectSerial) override;
    // A copy of the curve (null: none) and the serial number of its object;
    // the stretch comes from the sliders, which are enabled with an edge.
    void SetPickedEdge(const ON_Curve* edge, unsigned int objectSerial);

    // Measures again when the request changed since the last measurement;
    // false when nothing was measured (same request, or no reference mesh).
    bool ComputeRadius();
    // Releases the edge when the host object it came from is gone.
    void ReleaseEdgeIfGone(const CDezazDoc& doc);
    // Frees the copy of the reference mesh when its host object is gone
    // (deleted, or its document closed); the radius measured stays.
    void ReleaseMeshCopyIfGone(const CDezazDoc& doc);

    const stFilletRequest& Request() const { return m_conduit.m_request; }
    const CMeasureFilletPreviewConduit& Conduit() const { return m_conduit; }
    // The document the tool works in: the host's active one unless set.
    void SetDocument(CDezazDoc* doc) { m_doc = doc; }
    CDezazDoc& Document() const;
    // Stations that gave a radius in the last measurement, out of how many.
    int MeasuredStations() const { return m_measured; }
    int Stations() const { return m_stations; }
    const cMesh* ReferenceMesh() const { return m_mesh.get(); }

    // Message handlers (public so tests can drive them like the controls do).
    afx_msg void OnPickAnotherEdge();
    afx_msg void OnSelectReferenceMesh();
    afx_msg void OnCreateAnnotation();
    afx_msg void OnHScroll(UINT code, UINT position, CScrollBar* bar);

protected:
    BOOL OnInitDialog() override;
    // Enter on a slider sends IDOK: the tool has no OK, and ending it that
    // way would leave its preview drawn and its mesh copy kept. Only Close
    // ends it.
    void OnOK() override {}
    void OnCancel() override;
    void DoDataExchange(CDataExchange* dx) override;

private:
    bool UpdateReferenceMesh();
    void DropMeshCopy();
    double SliderFraction(const CSliderCtrl& slider, int fallback) const;
    void Regenerate();

    CMeasureFilletPreviewConduit m_conduit;
    stFilletRequest m_lastComputed;
    std::unique_ptr<cMesh> m_mesh;
    cSectionTriangleIndex m_meshIndex;
    unsigned int m_meshSerial = stFilletRequest::kNoMesh;
    int m_sectionsValue = 10;
    int m_measured = 0;
    int m_stations = 0;
    std::uint64_t m_curveVersions = 0;
    CDezazDoc* m_doc = nullptr;
    CSliderCtrl m_start;
    CSliderCtrl m_end;
    CSliderCtrl m_sections;

    DECLARE_MESSAGE_MAP()
};

// A new fillet dialog for the plug-in's holder.
std::unique_ptr<IToolDialog> MakeMeasureFilletDialog();
