// The shapes dialog's Deviation page: measures the meshes of the shapes
// view against the current shape, shows the statistics, and keeps the
// labels that the deviation display mode draws. It registers itself as its
// view's IDeviationPage and installs the mode's maker with the view.
//
// The page measures with its own search trees, so that the host analyser's
// kept trees stay as they are.
#pragma once

#include "analysis/deviation_pass.h"
#include "modes/deviation_display_mode.h"
#include "plugin/dialogs/sub_dialog_base.h"
#include "plugin/tools/colour_scale_control.h"

#include <memory>
#include <vector>

class cMeshObject;
class cRegistryStore;
class cThreadPool;

class CSubDeviationDlg : public CSubDlgBase, public IDeviationPage
{
public:
    // pool: the threads of the passes (null: the calling thread).
    CSubDeviationDlg(CCreatePrimitiveDialog* owner, cCPView* view, cRegistryStore* store, cThreadPool* pool);
    ~CSubDeviationDlg() override;

    const wchar_t* PageTitle() const override { return L"Deviation"; }

    // IDeviationPage.
    void UpdateDeviationInfo(bool redraw) override;
    void ApplyTolerance() override;
    bool AddPickedPoint(ISceneObject* object, const float point[3]) override;
    const std::vector<stDeviationPageLabel>& PageLabels() const override { return m_labels; }
    bool SelectionOnly() const override { return m_selectionOnly != 0; }
    bool ShowMinMax() const override { return m_showMinMax != 0; }
    void ShowPage() override;
    std::wstring UnitText() const override;

    // Re-resolves every label against the meshes' trees; labels found on
    // none are dropped.
    void RefreshLabels();
    // True when there were labels.
    bool ClearLabels();
    // The meshes moved by m (an alignment, Reset): the labels' points move
    // with them, so that they keep to the vertices they were picked on.
    void MoveLabels(const double m[12]);
    // Selection only goes off when no mesh has a selected visible triangle.
    void SyncSelectionOnly();

    float Tolerance() const { return m_tolerance; }
    const CString& InfoText() const { return m_info; }
    cThreadPool* ThreadPool() const { return m_analysis.pool; }

    afx_msg void OnApply();
    afx_msg void OnSelectionOnlyChanged();
    afx_msg void OnShowMinMaxChanged();
    afx_msg void OnClearLabels();

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;

private:
    std::vector<cMeshObject*> MeshObjects() const;
    ISceneObject* CurrentShape() const;
    void FormatLegend();
    void ShowValues();
    void InvalidateView() const;

    cRegistryStore* m_store;
    stAnalysisSettings m_analysis;
    float m_multiplier = 5.0f;
    float m_tolerance = 0.01f;
    // The tolerance as read from or last written to "Tolerance": the
    // floating analyser shares that value, so the page writes it only when
    // the user has changed its own.
    float m_toleranceStored = 0.01f;
    int m_selectionOnly = 1;
    int m_showMinMax = 0;
    CString m_legend[4];
    CString m_info;
    std::vector<stDeviationPageLabel> m_labels;
    // The shape the labels were picked against: compared, never followed.
    // A shape made after another was deleted may take its address, so its
    // object id, which every new shape gets afresh, is compared too.
    const void* m_recordedShape = nullptr;
    GUID m_recordedShapeId{};
    CColourScaleControl m_scale;

    DECLARE_MESSAGE_MAP()
};

// The page the shapes dialog shows on its Deviation tab, with the dialog's
// settings store and the plug-in's threads.
std::unique_ptr<CSubDlgBase> MakeDeviationPage(CCreatePrimitiveDialog* owner, cCPView* view, cRegistryStore* store);
