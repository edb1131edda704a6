// CSegmentationDialog: the modal segmentation tool. It shows its own copy of
// a host mesh in a segmentation view; Detect marks the sharp band at the
// slider's sensitivity (the sharpness is computed once per mesh, moving the
// slider only re-marks), the painting tools correct the marks, and Split
// replaces the host mesh by the band and adds every region between the
// bands as a mesh object of its own.
#pragma once

#include "modes/segmentation_paint_mode.h"
#include "overlay/button_st.h"
#include "platform/mfc/controls.h"
#include "platform/host/dezaz_object.h"
#include "plugin/base_vtl_dialog.h"

#include <string>

class CDezazDoc;
class cSegmentationView;

// Registry places of the dialog's settings.
inline constexpr const wchar_t* kSegmentationPlacementSection = L"SegmentationDialog";
inline constexpr const wchar_t* kFrontFacingSection = L"Preferences";
inline constexpr const wchar_t* kFrontFacingValue = L"SelectFrontFacingOnly";
// The slider's range and first position.
inline constexpr int kSensitivityMin = 0;
inline constexpr int kSensitivityMax = 100;
inline constexpr int kSensitivityStart = 20;

class CSegmentationDialog : public CBaseVTLDialog, public ISegmentationTool
{
    DECLARE_DYNAMIC(CSegmentationDialog)

public:
    CSegmentationDialog(CWnd* parent, cRegistryStore* settings);
    ~CSegmentationDialog() override;

    BOOL OnInitDialog() override;
    void SetupControlAnchors() override;
    void DoDataExchange(CDataExchange* dx) override;
    void OnCancel() override;

    // Marks the sharp band of every scene mesh at the slider's position and
    // removes islands smaller than the clean-up limit. True when any
    // triangle was marked.
    bool OnDetect();
    // The clean-up limit from the scene's box (FLT_MAX: no valid box).
    void ComputeCleanupLimit();
    double GetCleanupLimit() const { return m_areaLimit; }
    // Sends the view the command of the checked painting tool.
    void ApplySelectionTool();
    // The split into host meshes (the document and host object of the
    // dialog); false when nothing changed in the document.
    bool OnSplitIntoSubMeshes();
    // The document the split changes (the active one unless set).
    void SetDocument(CDezazDoc* doc) { m_doc = doc; }

    cSegmentationView* GetSegmentationView() const { return m_segmentationView; }
    int GetFrontFacingValue() const { return m_frontFacing; }

    // ISegmentationTool.
    bool IsFrontFacingOnly() const override { return m_frontFacing == 1; }
    void SaveMarksForUndo() override { SaveSelectionToMask(); }
    bool RestoreMarksFromUndo() override { return RestoreSelectionFromMask(); }
    void UsePaintFilled() override { OnPaintFilled(); }
    void UsePaint() override { OnPaint(); }
    void UseLine() override { OnLine(); }
    std::wstring GetPendingAnnotationText() const override { return m_annotationText; }

    afx_msg void OnSplitButton();
    afx_msg void OnDetectButton();
    afx_msg void OnPaintFilled();
    afx_msg void OnPaint();
    afx_msg void OnLine();
    afx_msg void OnHScroll(UINT code, UINT position, CScrollBar* bar);
    afx_msg void OnUndoSelection();
    afx_msg void OnSelectFrontFacingOnly();

protected:
    DECLARE_MESSAGE_MAP()

private:
    // Checks one painting tool button and unchecks the other two.
    void CheckTool(UINT id);
    void SavePlacementUnlessMinimisedOrMaximised();
    bool AnyVisibleMarked();

    cRegistryStore* m_settings;
    cSegmentationView* m_segmentationView;
    CImageButton m_paintFilled;
    CImageButton m_paint;
    CImageButton m_line;
    CImageButton m_frontOnly;
    CSliderCtrl m_slider;
    int m_frontFacing = 1;
    double m_areaLimit;
    CDezazDoc* m_doc = nullptr;
    std::wstring m_annotationText;
};

namespace vtl
{

// Runs the segmentation dialog modally on a host mesh object; returns when
// the user closed it (after a split or without one).
void RunSegmentationDialog(const CDezazObjRef& mesh, CWnd* parent);

} // namespace vtl
