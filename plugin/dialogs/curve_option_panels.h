// The option panels of the Curves page: section planes (how the mesh is
// cut and where), curve modification and new-curve options. Each keeps its
// settings in the plug-in's "Preferences" and refuses values that are not
// numbers in its range, showing the kept value again.
#pragma once

#include "overlay/button_st.h"
#include "plugin/dialogs/sub_dialog_base.h"

#include <array>
#include <cstdint>

class CSubNetworkDlg;
class cCPView;

// A panel embedded in the Curves page: a side panel of the page's dialog
// and view, never closed by Enter or Escape.
class CCurvesPanelBase : public CSubDlgBase
{
public:
    CCurvesPanelBase(UINT templateId, CSubNetworkDlg* page);
    // A panel has no tab of its own.
    const wchar_t* PageTitle() const override { return L""; }
    bool CreatePanel(CWnd* parent);

protected:
    // An edit's text (empty when the control is missing).
    CString EditText(int id) const;
    // How an edit shows a number.
    static CString NumberText(double value);
    void SetEditNumber(int id, double value);

    CSubNetworkDlg* m_page;
};

class CDSubInteractiveSection : public CCurvesPanelBase
{
public:
    explicit CDSubInteractiveSection(CSubNetworkDlg* page);
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;

    void UpdateModeButtons();
    void UpdatePositionField();
    afx_msg void AcceptSections();
    afx_msg void OnPreview();

    float sectionTolerance = 0.05f;
    int throughSelectionOnly = 0;
    int buildMode = 1; // 0 toleranced, 1 with points
    std::int32_t pointsPerCurve = 6;
    float mergeTolerance = 10.0f;
    int mergeCurves = 0;
    int multisections = 0;
    float spacing = 10.0f;
    float position = 0.0f;

protected:
    afx_msg void OnAlignBottom();
    afx_msg void OnAlignRight();
    afx_msg void OnAlignFront();
    afx_msg void OnSectionOptionChanged();
    afx_msg void OnPointsKillFocus();
    afx_msg void OnInteractiveSectionPlane();
    afx_msg void OnMergeCurves();
    afx_msg void OnMergeToleranceKillFocus();
    afx_msg void OnMultisections();
    afx_msg void OnSpacingKillFocus();
    afx_msg void OnPositionKillFocus();
    afx_msg void OnToleranceKillFocus();
    afx_msg void OnCurveGuidedSectionPlane();
    DECLARE_MESSAGE_MAP()

private:
    void Align(int button, float x, float y, float z);
    // Reads a positive length edit into the field and writes the setting;
    // junk shows the kept value again.
    void ReadLength(int id, float& field, const wchar_t* setting);
    void SetUnitLabels();
    void ReadCheckStates();
    // Where the plane is: the length along its guiding curve, else its
    // signed distance from the origin along its normal.
    double PlanePosition() const;

    // Bottom, right and front plane, interactive plane, curve-guided plane.
    std::array<CImageButton, 5> m_imageButtons;
};

class CDSubModifyCurves : public CCurvesPanelBase
{
public:
    explicit CDSubModifyCurves(CSubNetworkDlg* page);
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    void ApplyPreserveG1();
    afx_msg void OnKeepProjected();
    // The network mode's menu toggles: the check flips and its handler runs
    // as a click would.
    void TogglePreserveG1();
    void ToggleKeepProjected();

    int preserveG1 = 1;
    float tangencyAngle = 45.0f;
    int keepProjected = 1;

protected:
    afx_msg void OnClearAllCurves();
    afx_msg void OnPreserveG1();
    afx_msg void OnTangencyAngleKillFocus();
    afx_msg void OnSelectAll();
    afx_msg void OnFitOnMesh();
    DECLARE_MESSAGE_MAP()
};

class CDSubAddCurves : public CCurvesPanelBase
{
public:
    explicit CDSubAddCurves(CSubNetworkDlg* page);
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    afx_msg void OnSubSampling();
    void ToggleSubSampling();

    std::int32_t pointCount = 1;
    int subSampling = 0;

protected:
    afx_msg void OnSubSectionsKillFocus();
    afx_msg void OnSubSectionsChange();
    DECLARE_MESSAGE_MAP()
};
