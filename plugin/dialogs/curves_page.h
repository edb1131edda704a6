// The Curves page of the shapes dialog (curve-network shapes): four buttons
// that switch the network editing mode between modifying curves, extending
// their ends, adding curves and cutting sections, an unbounded undo list of
// whole-network copies, the section plane with its preview polylines, and
// the three option panels shown one at a time in the page's panel place.
#pragma once

#include "core/polyline_collection.h"
#include "modes/network_edit_page.h"
#include "modes/section_plane_picker.h"
#include "overlay/button_st.h"
#include "plugin/dialogs/curve_option_panels.h"
#include "plugin/dialogs/sub_dialog_base.h"
#include "shapes/interactive_section_plane.h"

#include <array>
#include <memory>
#include <vector>

class cMeshObject;
class cRegistryStore;
class ST_IProfiledSurface;

// What the view shows when the multiple sections' spacing would need more
// planes than a sectioning run allows, so that nothing could be cut.
inline constexpr const wchar_t* kTooManySectionPlanesHint =
    L"The spacing is too small for this mesh: the sections would need too many planes. Enter a larger spacing.";

class CSubNetworkDlg : public CSubDlgBase, public INetworkEditPage
{
public:
    // A sub-state that names none of the network's tools.
    static constexpr std::uint32_t kNoNetworkTool = 0xFFFFFFFFu;
    CSubNetworkDlg(CCreatePrimitiveDialog* owner, cCPView* view, cRegistryStore* settings);
    ~CSubNetworkDlg() override;
    const wchar_t* PageTitle() const override { return L"Curves"; }

    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;

    // The network interface of the current shape, or null.
    ST_IProfiledSurface* CurrentNetwork() const;
    void PushUndoState() override;
    void ClearUndoStates() override;
    // The shapes moved (an alignment, Reset): the undo copies move with
    // them, so an Undo after it gives back a network where the mesh is.
    void MoveUndoStates(const double m[12]);
    // The curve the network mode is drawing moves with them too.
    void MoveDrawnCurve(const double m[12]);
    // And the section plane with the sections it previewed, so that Accept
    // after the move adds them where the mesh now is.
    void MoveSectionPlane(const double m[12]);
    afx_msg void Undo() override;
    void UndoOn(ST_IProfiledSurface* network) override;
    // "Clear All Curves": an undo copy is saved and an empty sketch replaces
    // the network.
    void ClearAllCurves();
    // The network mode lets go of the network before the page replaces it.
    void ReleaseNetworkHolds();
    // The document is written (true before, false after): while a curve is
    // being drawn, its clicks have made nodes of the curves they landed on;
    // the network as it was when the drawing began goes into the write, and
    // the drawing goes on after it.
    void ShowNetworkAsKeptForWrite(bool writing);
    std::size_t GetUndoCount() const override { return m_undo.size(); }
    void DropLastUndoState() override
    {
        if (!m_undo.empty())
            m_undo.pop_back();
    }
    void DropUndoStateAt(std::size_t index) override
    {
        if (index < m_undo.size())
            m_undo.erase(m_undo.begin() + std::ptrdiff_t(index));
    }
    afx_msg void EnterModifyCurves();
    // Anchors the plane at the middle of all the view's meshes, normal +x.
    void ResetSectionPlane() override;
    void ApplyTransparentMesh();
    afx_msg void OnDrawMesh();
    // Cuts the mesh with the plane into the preview polylines and redraws.
    void Recompute();

    // ISectionPlaneHost. A picker that placed the plane also restarts the
    // guide parameter at the start of the plane's guiding curve.
    ST_CInteractiveSectionPlane* SectionPlane() override { return &m_plane; }
    void DiscardSectionPolylines() override;
    void SectionPlanePreviewed() override;
    // Empties the preview polylines.
    void ClearPreview();
    // The guiding curve's parameter at the current section.
    double GetGuideParameter() const { return m_guideParameter; }
    void SetGuideParameter(double t) override { m_guideParameter = t; }
    ST_ISectionCurve* ActiveProfile() override;

    tPolylineCollection<tFramePolyline<cVertex>>& PreviewPolylines() { return m_preview; }
    bool IsPreviewValid() const override { return m_previewValid != 0; }

    // INetworkEditPage: what the network editing mode asks of the page.
    void ShowSubState(std::uint32_t subState) override;
    // No tool: every panel hidden, every tool button up.
    void ReleaseTools() { ShowSubState(kNoNetworkTool); }
    void RefreshSectionButtons() override;
    void BeginNetworkDisplay() override;
    void EndNetworkDisplay() override;
    bool HasWindow() const override;
    bool IsPreserveG1() const override { return m_modifyPanel.preserveG1 != 0; }
    double TangencyCreaseAngle() const override { return m_modifyPanel.tangencyAngle; }
    void TogglePreserveG1() override { m_modifyPanel.TogglePreserveG1(); }
    void ToggleSubSampling() override { m_addPanel.ToggleSubSampling(); }
    void ToggleKeepNodesOnMesh() override { m_modifyPanel.ToggleKeepProjected(); }
    bool IsSubSampling() const override { return m_addPanel.subSampling != 0; }
    std::int32_t SubSamplingCount() const override { return m_addPanel.pointCount; }
    bool KeepNodesOnMesh() const override { return m_modifyPanel.keepProjected != 0; }
    // Snapping is always on in this design.
    int SnappingValue() const override { return 1; }
    void RecomputeSections() override { Recompute(); }
    const tPolylineCollection<tFramePolyline<cVertex>>& SectionPreview() override { return m_preview; }
    std::int32_t SectionPointCount() const override;
    void UpdatePositionField() override { m_sectionPanel.UpdatePositionField(); }
    void AcceptSections() override { m_sectionPanel.AcceptSections(); }
    void LeavePickerAndModify() override { EnterModifyCurves(); }
    CDSubInteractiveSection& SectionPanel() { return m_sectionPanel; }
    CDSubModifyCurves& ModifyPanel() { return m_modifyPanel; }
    CDSubAddCurves& AddPanel() { return m_addPanel; }
    cRegistryStore* Settings() const { return m_settings; }
    cMeshObject* FirstMeshObject() const;
    void RedrawView();
    // The first mesh's visibility follows "Draw Mesh".
    void ApplyDrawMesh();

protected:
    afx_msg void OnShowWindow(BOOL show, UINT status);
    afx_msg void OnExtrapolate();
    afx_msg void OnAddCurve();
    afx_msg void OnSectionPlane();
    afx_msg void OnTransparentMesh();
    DECLARE_MESSAGE_MAP()

private:
    void StartNetworkMode(UINT command);

    cRegistryStore* m_settings;
    std::vector<std::unique_ptr<ST_ISectionCurve>> m_undo;
    // The network taken out of its shape while the document is written.
    std::unique_ptr<ST_ISectionCurve> m_networkOutForWrite;
    ST_IProfiledSurface* m_networkWritten = nullptr;
    tPolylineCollection<tFramePolyline<cVertex>> m_preview;
    std::uint8_t m_previewValid = 0;
    // The hint the last sectioning run showed in the view, or null.
    const wchar_t* m_sectionHint = nullptr;
    CDSubInteractiveSection m_sectionPanel;
    CDSubModifyCurves m_modifyPanel;
    CDSubAddCurves m_addPanel;
    int m_transparentMesh = 0;
    ST_CInteractiveSectionPlane m_plane;
    double m_guideParameter = 0.0;
    int m_drawMesh = 1;
    // Modify Curves, Extrapolate, Add curve, Section Plane.
    std::array<CImageButton, 4> m_modeButtons;
};
