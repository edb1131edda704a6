// CDefinePrimitiveDlg: the primitive panel of the "Primitives" dock bar. The
// user selects mesh objects of the active document and fits a plane, sphere
// or cylinder to their vertices; the panel shows the primitive's parameters
// in a property tree and a preview brep in the host's viewports (enlarged by
// the size slider), takes a direction from another object as a constraint,
// and "CREATE" adds the preview to the document on the "vtl Surfaces" layer
// (with the axis line of a cylinder). The panel stays open throughout.
#pragma once

#include "fitting/fit_container.h"
#include "overlay/button_st.h"
#include "overlay/prop_tree.h"
#include "platform/host/dock_bar.h"
#include "platform/mfc/controls.h"
#include "plugin/tools/primitive_preview_conduit.h"
#include "shapes/extracted_primitives.h"
#include "shapes/primitive_scene_objects.h"

#include <memory>
#include <string>

class CDezazBrepObject;
class CDezazDoc;
class CDezazMeshObject;
class ON_Mesh;
class cMesh;

// The layer "CREATE" puts its objects on, and the colour it gets when the
// panel makes it (also the colour of a cylinder's axis line).
inline constexpr const wchar_t* kPrimitiveLayerName = L"vtl Surfaces";
inline constexpr unsigned kPrimitiveLayerColour = 0xD4B78A; // R 138, G 183, B 212

// The size slider's range; the size value is its position / 100.
inline constexpr int kPrimitiveSizeSliderMax = 200;
inline constexpr int kPrimitiveSizeSliderStart = 20;
// The preview grows by 1 + size, the size taken within these bounds: a
// typed size below 0 would shrink the preview to nothing or turn it inside
// out, a huge one would overflow its extents.
inline constexpr double kPrimitiveMinPreviewSize = 0.0;
inline constexpr double kPrimitiveMaxPreviewSize = 1000.0;

// Merges the vertices of the host mesh's faces into the mesh (welded within
// 1e-4 when the mesh's indexed flag is on) and appends its triangles; a
// quad gives the triangles (a, b, c) and (a, c, d) as every other import of
// host meshes does, so that a scan stored as quads is not lost. Faces with a
// corner outside the host's vertices are skipped. Returns the number of
// faces taken.
int AddHostMeshTriangles(cMesh& mesh, const ON_Mesh& host);

// The panel's point set: records appended one by one, each counted active.
class cPrimitivePointSet : public cFitContainer
{
public:
    cPrimitivePointSet() : cFitContainer(tFitPointQueue{}) {}
    void Clear()
    {
        Points().clear();
        SetActiveCount(0);
    }
    // Position and normal as floats; active, with no residual yet.
    void Append(const float position[3], const float normal[3]);
};

class CDefinePrimitiveDlg : public CDezazUiDockBarDialog
{
    DECLARE_DYNCREATE(CDefinePrimitiveDlg)

public:
    CDefinePrimitiveDlg();
    ~CDefinePrimitiveDlg() override;

    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    // "CREATE": adds the preview to the document; the panel stays open.
    void OnOK() override;
    // Drops the preview (the primitive and its rows stay); the panel stays open.
    void OnCancel() override;

    // Refills the point set from the selected mesh objects of the active
    // document.
    void CollectPoints();
    // Rebuilds the preview from the current primitive and the size value.
    void UpdatePreview();
    // Kind buttons checked by the current primitive; the controls that need
    // one enabled only while there is one.
    void UpdateControls();
    void ReadSizeFromSlider();
    // Makes the record current (null: none) and shows its rows.
    int SetCurrentPrimitive(ST_IExtracted* record);

    // The commands of the panel's controls.
    afx_msg void FitPlane();
    afx_msg void FitSphere();
    afx_msg void FitCylinder();
    afx_msg void OnRebuild();
    afx_msg void OnClear();
    afx_msg void OnPropertyChanged(NMHDR* header, LRESULT* result);
    afx_msg void OnHScroll(UINT code, UINT position, CScrollBar* bar);
    afx_msg void OnSizeEditChange();
    afx_msg void OnSizeEditKillFocus();
    afx_msg void OnProfileCurve();
    afx_msg void OnPerpendicular();
    afx_msg void OnParallel();
    afx_msg void OnHideAllMeshes();
    afx_msg void OnShowAllMeshes();
    afx_msg void OnPlaneDoubleClicked() {}

    // Picks a line, plane or surface of revolution and refits the current
    // primitive perpendicular (false) or parallel (true) to its direction;
    // true when a direction was taken and the refit tried.
    bool PickDirection(bool parallel);
    // Refits the current primitive to the selected meshes' points (the
    // Rebuild button); false when there is nothing to refit or it failed.
    bool Rebuild();

    // What the panel holds, for the dock bar's host and for tests.
    ST_IExtracted* GetCurrentPrimitive() const { return m_current; }
    CDezazBrepObject* GetPreviewObject() const { return m_preview; }
    CPreviewConduit& GetConduit() { return m_conduit; }
    const cFitContainer& GetPoints() const { return m_points; }
    double GetSizeValue() const { return m_size; }
    CPropTree& GetPropTree() { return m_tree; }
    ST_CExtractedPlane& GetPlaneRecord() { return m_planeRecord; }
    ST_CExtractedSphere& GetSphereRecord() { return m_sphereRecord; }
    ST_CExtractedCylinder& GetCylinderRecord() { return m_cylinderRecord; }
    Dezaz_Plane* GetPlane() const { return m_planeObject.GetGeometry(); }
    Dezaz_Sphere* GetSphere() const { return m_sphereObject.GetGeometry(); }
    Dezaz_Cylinder* GetCylinder() const { return m_cylinderObject.GetGeometry(); }

    // Adds the cylinder's axis line on the layer, coloured as the layer is
    // made, with an arrowhead at its end.
    static void AddAxisLine(CDezazDoc& doc, int layer, const double start[3], const double end[3]);

protected:
    DECLARE_MESSAGE_MAP()

private:
    // The fit of one kind into its record's geometry; the shared steps of
    // the three fit buttons.
    enum class eKind
    {
        Plane,
        Sphere,
        Cylinder
    };
    void FitKind(eKind kind);
    bool FitIntoGeometry(eKind kind);
    ST_IExtracted* RecordOf(eKind kind);
    // The preview brep of the current primitive's geometry (null: none).
    std::unique_ptr<ON_Brep> BuildPreviewBrep() const;
    void DeletePreview();
    // The edit shows the size value; the change this raises is the panel's
    // own and is not taken as typing.
    void WriteSizeToEdit();
    // The edit's text of a size: a single-precision size with the digits a
    // float carries, any other with fifteen.
    static std::wstring SizeText(double size);
    void SetSliderFromSize();
    // The index of the "vtl Surfaces" layer, made when missing (-1: refused).
    static int FindOrAddPrimitiveLayer(CDezazDoc& doc);
    void ShowAllMeshes(bool show);

    CPropTree m_tree;
    Dezaz_PlaneObject m_planeObject;
    Dezaz_SphereObject m_sphereObject;
    Dezaz_CylinderObject m_cylinderObject;
    ST_CExtractedPlane m_planeRecord;
    ST_CExtractedSphere m_sphereRecord;
    ST_CExtractedCylinder m_cylinderRecord;
    ST_IExtracted* m_current = nullptr;
    CPreviewConduit m_conduit;
    CDezazBrepObject* m_preview = nullptr;
    cPrimitivePointSet m_points;
    CImageButton m_planeButton;
    CImageButton m_sphereButton;
    CImageButton m_cylinderButton;
    CImageButton m_perpendicularButton;
    CImageButton m_parallelButton;
    CImageButton m_profileButton;
    CImageButton m_clearButton;
    CSliderCtrl m_slider;
    double m_size = 0.0;
    // Set while the panel itself writes the size edit.
    bool m_writingSize = false;
};
