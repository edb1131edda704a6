#include "plugin/vtl_plugin.h"

#include "plugin/dialogs/shape_transfer.h"
#include "plugin/dialogs/shapes_dialog.h"
#include "plugin/dialogs/update_notice.h"
#include "plugin/module_state.h"
#include "plugin/plugin_info.h"
#include "plugin/tools/primitives_dock_bar.h"
#include "platform/geometry/uuid.h"
#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_plugin.h"
#include "resources/resource.h"

const stPlugInMenuItem kPlugInMenuItems[7] = {
    {ID_VTL_SHAPES, L"_vtlShapes"},
    {ID_VTL_ANALYZER, L"_vtlAnalyzer"},
    {ID_VTL_SEGMENTATION, L"_vtlSegmentation"},
    {ID_VTL_MEASURE_FILLET, L"_vtlMeasureFillet"},
    {ID_VTL_QUICK_TRIM, L"_vtlTrim"},
    {ID_VTL_ONLINE_HELP, L"_vtlOnlineHelp"},
    {ID_VTL_ABOUT, L"_vtlAbout"},
};

// ---------------------------------------------------------------- watcher

void CvtlEventWatcher::OnNewDocument(CDezazDoc&)
{
    if (m_plugin->AnalyzerDialog().IsVisible())
        m_plugin->AnalyzerDialog().Close(true);
    m_plugin->ShapesDialog().Close(true);
    // The sessions belong to the document that is going; a dialog that still
    // shows one of them has just been closed.
    m_plugin->ForgetDocumentData();
}

void CvtlEventWatcher::OnBeginOpenDocument(CDezazDoc&, const wchar_t*, BOOL merge, BOOL)
{
    if (!merge)
    {
        m_plugin->ShapesDialog().Close(true);
        m_plugin->ForgetDocumentData();
    }
    if (m_plugin->AnalyzerDialog().IsVisible())
        m_plugin->AnalyzerDialog().Close(true);
}

void CvtlEventWatcher::OnBeginSaveDocument(CDezazDoc&, const wchar_t*, BOOL)
{
    if (m_plugin->AnalyzerDialog().IsVisible())
        m_plugin->AnalyzerDialog().Close(false);
}

// ---------------------------------------------------------------- plug-in

Cvtl_for_Dezaz4PlugIn::Cvtl_for_Dezaz4PlugIn()
    : m_shapes(IDD_CREATE_PRIMITIVE, L"Shapes"), m_fillet(IDD_MEASURE_FILLET, L"Measure Fillet"),
      m_analyzer(IDD_FLOATING_ANALYZER, L"Deviation Analyzer"), m_version(vtl::kPlugInVersionW)
{
    m_settings.Init(L"Pellmark", L"VTL_4 For Dezaz");
    m_document_data.history = &m_history;
    m_watcher = new CvtlEventWatcher(this);
}

Cvtl_for_Dezaz4PlugIn::~Cvtl_for_Dezaz4PlugIn()
{
    // Dialogs first: they show sessions of the history and may run jobs on
    // the pool, so both must outlive them.
    m_analyzer.Close(true);
    m_fillet.Close(true);
    m_shapes.Close(true);
    ForgetDocumentData();
    delete m_watcher; // unregisters itself when unload did not run
    m_watcher = nullptr;
    if (SharedThreadPool() == &m_pool)
        SetSharedThreadPool(nullptr);
}

GUID Cvtl_for_Dezaz4PlugIn::PlugInID() const
{
    return ON_UuidFromString(vtl::kPlugInId);
}

const wchar_t* Cvtl_for_Dezaz4PlugIn::PlugInName() const
{
    return vtl::kPlugInName;
}

const wchar_t* Cvtl_for_Dezaz4PlugIn::PlugInVersion() const
{
    return m_version;
}

BOOL Cvtl_for_Dezaz4PlugIn::OnLoadPlugIn()
{
    // Unloading deletes the watcher; a plug-in loaded again must listen again,
    // or a document opened later clears the history under an open dialog.
    if (!m_watcher)
        m_watcher = new CvtlEventWatcher(this);
    if (m_watcher)
    {
        m_watcher->Register();
        m_watcher->Enable(TRUE);
    }
    {
        AFX_MANAGE_STATE(AfxGetStaticModuleState());
        if (!m_menu.GetSafeHmenu() && m_menu.LoadMenu(IDR_VTL_MENU))
            InsertPlugInMenuToDezazMenu(m_menu.GetSafeHmenu(), 0);
    }
    m_pool.Start();
    SetSharedThreadPool(&m_pool);
    // The primitive panel lives in a dock bar of its own, shown from the start.
    CreatePrimitivesDockBar();
    return CDezazUtilityPlugIn::OnLoadPlugIn();
}

void Cvtl_for_Dezaz4PlugIn::CloseAllDialogs()
{
    m_analyzer.Close(true);
    m_fillet.Close(true);
    m_shapes.Close(true);
}

void Cvtl_for_Dezaz4PlugIn::OnUnloadPlugIn()
{
    // Tools still open would go on using the pool and the history.
    CloseAllDialogs();
    AbandonUpdateCheck();
    DestroyPrimitivesDockBar();
    if (SharedThreadPool() == &m_pool)
        SetSharedThreadPool(nullptr);
    m_pool.Stop(m_pool_stop_timeout);
    if (m_watcher)
    {
        m_watcher->Enable(FALSE);
        m_watcher->UnRegister();
        delete m_watcher;
        m_watcher = nullptr;
    }
    CDezazUtilityPlugIn::OnUnloadPlugIn();
}

BOOL Cvtl_for_Dezaz4PlugIn::OnPlugInMenuCommand(WPARAM id)
{
    for (const stPlugInMenuItem& item : kPlugInMenuItems)
        if (item.id == id)
        {
            DezazApp().RunScript(item.script, 1);
            return TRUE;
        }
    return FALSE;
}

void Cvtl_for_Dezaz4PlugIn::ForgetDocumentData()
{
    m_history.Clear();
    m_document_data.newerChunk.clear();
    m_document_data.olderChunk.clear();
}

BOOL Cvtl_for_Dezaz4PlugIn::CallWriteDocument(CDezazDoc& doc, const CDezazFileWriteOptions&)
{
    // An open shapes dialog holds its object's sessions: they stay while it
    // shows them, also when the object was deleted from the document (the
    // host's undo may bring it back), and are dropped at a save after it
    // closes.
    auto* shapes = dynamic_cast<CCreatePrimitiveDialog*>(m_shapes.Dialog());
    if (shapes && !shapes->IsClosed() && shapes->GetEntry())
    {
        const ON_UUID held = shapes->GetEntry()->HostId();
        return DecideToWriteDocument(m_document_data, doc, &held);
    }
    return DecideToWriteDocument(m_document_data, doc);
}

BOOL Cvtl_for_Dezaz4PlugIn::WriteDocument(CDezazDoc&, ON_BinaryArchive& archive, const CDezazFileWriteOptions& options)
{
    // An open shapes dialog may show its mesh (and the sessions with it)
    // moved by alignments: the document keeps the shapes where the host mesh
    // is, as closing the dialog would put them, and the dialog goes on as it
    // was.
    m_document_data.moved = false;
    auto* shapes = dynamic_cast<CCreatePrimitiveDialog*>(m_shapes.Dialog());
    if (shapes && !shapes->IsClosed() && shapes->GetSafeHwnd())
    {
        const ON_Xform placement = HostPlacementXform(shapes->GetMeshFrame(), shapes->m_placement);
        if (!placement.IsIdentity())
        {
            m_document_data.moved = true;
            m_document_data.movedHost = shapes->GetHostObjectId();
            for (int r = 0; r < 3; ++r)
                for (int c = 0; c < 4; ++c)
                    m_document_data.toHost[4 * r + c] = placement.m_xform[r][c];
        }
    }
    // What the Sketch and Curves tabs are only drawing has not changed the
    // shapes: the document keeps them as the user has made them (a fitted
    // profile the Sketch tab's empty sketch stands in for, the lines a
    // tangent arc being drawn has trimmed, the nodes a curve being drawn has
    // put into others, the curves a node drag holds), and the tabs go on as
    // they were.
    CCreatePrimitiveDialog* open = shapes && !shapes->IsClosed() ? shapes : nullptr;
    if (open)
        open->ShowShapesAsKeptForWrite(true);
    const BOOL written = WritePlugInDocument(m_document_data, archive, options);
    if (open)
        open->ShowShapesAsKeptForWrite(false);
    m_document_data.moved = false;
    return written;
}

BOOL Cvtl_for_Dezaz4PlugIn::ReadDocument(CDezazDoc&, ON_BinaryArchive& archive, const CDezazFileReadOptions& options)
{
    return ReadPlugInDocument(m_document_data, archive, options);
}
