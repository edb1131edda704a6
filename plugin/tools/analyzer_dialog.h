// The floating deviation analyser: a modeless tool window that colours the
// document's visible meshes by their signed deviation from its surfaces
// (through the "vtl analysis" mode), holds the tolerance, lets the user pick
// deviation labels, hides and shows the surfaces, and ends the analysis
// when it closes. Its preview conduit draws the labels in every viewport.
#pragma once

#include "platform/host/dezaz_dialog.h"
#include "platform/host/dezaz_text_dot.h"
#include "platform/host/display_conduit.h"
#include "plugin/dialog_holder.h"
#include "plugin/tool_interfaces.h"
#include "plugin/tools/colour_scale_control.h"

#include <memory>
#include <string>
#include <vector>

class CDezazDoc;
class CFloatingAnalyzerDialog;
class CVTLAnalysisMode;
class cRegistryStore;
class cThreadPool;

// Draws the analysis mode's labels: a dot with the deviation up and right
// of each labelled vertex and a marker on the vertex. Labels whose mesh is
// gone are dropped before a frame is drawn.
class CAnalyzerPreviewConduit : public CDezazDisplayConduit
{
public:
    static constexpr UINT kChannels = SC_CALCBOUNDINGBOX | SC_DRAWOBJECT | SC_DRAWFOREGROUND; // 0x888

    CAnalyzerPreviewConduit(CFloatingAnalyzerDialog* owner, CVTLAnalysisMode& mode);

    bool ExecConduit(CDezazDisplayPipeline& pipeline, UINT channel) override;

    std::size_t DotCount() const { return m_dots.size(); }
    const CDezazTextDot* Dot(std::size_t i) const { return i < m_dots.size() ? m_dots[i].get() : nullptr; }

private:
    CFloatingAnalyzerDialog* m_owner;
    CVTLAnalysisMode& m_mode;
    std::vector<std::unique_ptr<CDezazTextDot>> m_dots;
};

class CFloatingAnalyzerDialog : public CDezazDialog, public IToolDialog, public IAnalyzerTool
{
public:
    // store: the settings (null: none are read or written); pool: the
    // threads of the passes (null: the calling thread).
    CFloatingAnalyzerDialog(cRegistryStore* store, cThreadPool* pool, CWnd* parent = nullptr);
    ~CFloatingAnalyzerDialog() override;

    // IToolDialog: the holder owns the dialog, so closing destroys only the window.
    HWND DialogWindow() const override { return m_hWnd; }
    bool CreateModeless(UINT resource, CWnd* parent) override;
    void CancelDialog(bool forced) override;

    // IAnalyzerTool.
    void ApplySurfaceVisibility() override;
    void Recalculate() override;

    // Reads the tolerance from its edit; false (the user told) when it is
    // refused. Then the legend, the stored setting and a recalculation.
    bool ApplyTolerance();
    void PickLabels();
    void ClearLabels();

    // The document the analyser works in: the host's active one unless set.
    void SetDocument(CDezazDoc* doc) { m_doc = doc; }
    CDezazDoc& Document() const;
    float Tolerance() const { return m_tolerance; }
    float Multiplier() const { return m_multiplier; }
    bool SurfacesShown() const { return m_surfacesShown != 0; }
    const CAnalyzerPreviewConduit& Conduit() const { return m_conduit; }

    // Message handlers (public so tests can drive them like the controls do).
    afx_msg void OnRecalculate();
    afx_msg void OnApply();
    afx_msg void OnToleranceChanged();
    afx_msg void OnPick();
    afx_msg void OnClear();
    afx_msg void OnSurfaces();
    afx_msg void OnOutOfRange();

protected:
    BOOL OnInitDialog() override;
    // Enter in the tolerance field (or on a check box) sends IDOK: the
    // analyser has no OK, and ending it that way would leave the surfaces it
    // hid hidden and its colours on the scan. Only Close ends it.
    void OnOK() override {}
    void OnCancel() override;
    void DoDataExchange(CDataExchange* dx) override;

private:
    void FormatLegend();
    void ShowValues();
    void SetButtonText(int id, const wchar_t* text);
    void EnableControl(int id, bool enable);
    void PrintStatistics(const std::vector<const class CDezazObject*>& meshes) const;

    CAnalyzerPreviewConduit m_conduit;
    cRegistryStore* m_store;
    cThreadPool* m_pool;
    CDezazDoc* m_doc = nullptr;
    float m_multiplier = 5.0f;
    float m_tolerance = 0.01f;
    CString m_legend[4];
    int m_surfacesShown = 1;
    int m_colourOutOfRange = 0;
    bool m_picking = false;
    // False once the dialog is deleted: a pick waiting in the host's loop
    // when the analyser goes (a new, opened or saved document deletes it)
    // must not come back into it.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    bool m_exchanging = false;
    CColourScaleControl m_scale;

    DECLARE_MESSAGE_MAP()
};

// A new analyser for the plug-in's holder, with the plug-in's settings and threads.
std::unique_ptr<IToolDialog> MakeFloatingAnalyzerDialog();
