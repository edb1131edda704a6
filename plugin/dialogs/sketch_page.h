// The "Sketch" page of the shapes dialog: the tools of the profile editor
// of extruded and revolved shapes (select, line, tangent arc, arc, free
// form), snapping with its distance and angle steps, the distance or radius
// of the selected element, what is displayed, and the undo list of the
// profile editor.
#pragma once

#include "overlay/button_st.h"

#include "plugin/dialogs/sub_dialog_base.h"

#include <array>
#include <memory>
#include <vector>

class ST_ISectionCurve;

// The snap steps both combos offer.
inline constexpr int kSnapStepCount = 5;
inline constexpr const wchar_t* kSnapStepTexts[kSnapStepCount] = {L"10", L"1", L"0.1", L"0.01", L"0.001"};
inline constexpr const wchar_t* kSnapDistanceIndexValue = L"SnapToDistanceIndex";
inline constexpr const wchar_t* kSnapAngleIndexValue = L"SnapToAngleIndex";
// A stored snap index brought into the table (0..4); unreadable text keeps
// the fallback.
int ClampSnapIndex(int index);

// The profile editor's commands the page's buttons send to the view.
enum : UINT
{
    kCmdProfileSelect = 32825,
    kCmdProfileLine = 32821,
    kCmdProfileTangentArc = 32827,
    kCmdProfileArc = 32822,
    kCmdProfileFreeForm = 32826,
    kCmdProfileSnapOn = 32823,
    kCmdProfileSnapOff = 32824,
    kCmdProfileApplyDistance = 32878,
};

class cRegistryStore;

class CSubProfileDlg : public CSubDlgBase
{
public:
    CSubProfileDlg(CCreatePrimitiveDialog* owner, cCPView* view, cRegistryStore* settings);
    ~CSubProfileDlg() override;

    const wchar_t* PageTitle() const override { return L"Sketch"; }
    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* msg) override;
    void DoDataExchange(CDataExchange* dx) override;

    // The profile editor's undo list: a copy of the current shape's profile
    // per step.
    void PushUndoState();
    void ClearUndoStates();
    // The shapes moved (Reset, an alignment that kept the profiles): the
    // undo copies move with them, sections and frame.
    void MoveUndoStates(const double m[12]);
    // What the profile editor holds of the sketch moves with them too.
    void MoveEditorCopies(const double m[12]);
    // The document is written (true before, false after): the profile
    // editor shows the shape as the user has made it meanwhile (without a
    // tangent arc's trims, the fitted profile for an untouched sketch).
    void ShowSketchAsKeptForWrite(bool writing);
    std::unique_ptr<ST_ISectionCurve> PopUndoState();
    std::size_t UndoStateCount() const { return m_undo.size(); }
    // A negative value disables the field; otherwise "Distance" or
    // "Radius" with the value in "%.3f".
    void SetDistanceRadiusField(double value, bool isDistance);
    double GetDistanceRadiusValue();

    int GetSnapDistanceIndex() const { return m_snapDistanceIndex; }
    int GetSnapAngleIndex() const { return m_snapAngleIndex; }
    bool IsSnapping() const { return m_snapping != 0; }
    // Sets the four display and snapping checks from the current shape.
    void SetChecksFromSession();

    void OnMeshPoints();
    void OnCurveControlPoints();
    void OnSnapping();
    void OnClearAll();

protected:
    afx_msg void OnToolButton(UINT id);
    afx_msg void OnSnapDistanceChange();
    afx_msg void OnSnapAngleChange();
    afx_msg void OnDistanceChange();
    afx_msg void OnDistanceKillFocus();
    afx_msg void OnShowWindow(BOOL show, UINT status);
    afx_msg void OnMeshPointsButton() { OnMeshPoints(); }
    afx_msg void OnControlPointsButton() { OnCurveControlPoints(); }
    afx_msg void OnSnappingButton() { OnSnapping(); }
    afx_msg void OnClearAllButton() { OnClearAll(); }
    DECLARE_MESSAGE_MAP()

private:
    void StoreComboIndex(UINT comboId, const wchar_t* value, int& index);
    void PressToolButton(UINT id);

    cRegistryStore* m_settings;
    int m_meshPoints = 0;
    int m_snapping = 1;
    int m_controlPoints = 0;
    std::vector<std::unique_ptr<ST_ISectionCurve>> m_undo;
    int m_snapDistanceIndex = 0;
    int m_snapAngleIndex = 0;
    CString m_distanceText;
    // Select, line, tangent arc, arc, free form: pictures, no captions.
    std::array<CImageButton, 5> m_toolButtons;
};
