// The user's actions of the random sessions beyond the shapes dialog: a
// save and reopen of the document, and the analyser, segmentation, fillet
// and primitive windows.
#include "support/user_session_driver.h"

#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_doc.h"
#include "platform/host/dezaz_object.h"
#include "platform/host/dock_bar.h"
#include "platform/host/document_io.h"
#include "platform/win32/controls.h"
#include "platform/win32/prompt_script.h"
#include "plugin/dialogs/shape_transfer.h"
#include "plugin/dialogs/shapes_dialog.h"
#include "plugin/tools/define_primitive_dlg.h"
#include "plugin/tools/primitives_dock_bar.h"
#include "plugin/vtl_plugin.h"
#include "resources/analyzer.h"
#include "resources/measure_fillet.h"
#include "resources/primitive_panel.h"
#include "resources/segmentation.h"
#include "shapes/entities_history.h"
#include "shapes/session_surface.h"

#include <filesystem>

namespace usersession
{

// ------------------------------------------------------------ documents

void cUserSessionDriver::RunSaveReopen()
{
    namespace fs = std::filesystem;
    const fs::path path = fs::temp_directory_path() / ("vtl_user_session_" + std::to_string(m_seed) + ".dzz");
    std::wstring error;
    CDezazDoc& doc = DezazApp().ActiveDoc();
    if (!dezaz::SaveDocument(doc, path.wstring(), {}, error))
    {
        m_failure = "the document was not saved: " + std::string(error.begin(), error.end());
        return;
    }
    // The document keeps the shapes where the host mesh is: a dialog that
    // shows its mesh moved saves them as closing it would put them back.
    m_saved.clear();
    if (CObjectSurfaces* entry = ThePlugIn().EntitiesHistory().FindByUuid(m_hostId))
    {
        ON_MemoryArchive record;
        CCreatePrimitiveDialog* dialog = Dialog();
        const ON_Xform placement =
            dialog ? HostPlacementXform(dialog->GetMeshFrame(), dialog->m_placement) : ON_Xform();
        double toHost[12];
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 4; ++c)
                toHost[4 * r + c] = placement.m_xform[r][c];
        // What the Sketch and Curves tabs are only drawing has not changed
        // the shapes: the document holds them as the user has made them.
        if (dialog)
            dialog->ShowShapesAsKeptForWrite(true);
        const bool written = placement.IsIdentity() ? entry->Write(record) : entry->WriteMoved(record, toHost);
        if (dialog)
            dialog->ShowShapesAsKeptForWrite(false);
        if (written)
        {
            CObjectSurfaces saved(m_hostId, nullptr);
            ON_MemoryArchive reader(record.Buffer().data(), record.Buffer().size());
            if (saved.Read(reader, kEntitiesHistoryMajor, kEntitiesHistoryMinor))
                for (std::size_t i = 0; i < saved.SessionCount(); ++i)
                {
                    CSessionSurface* s = saved.Session(i);
                    ON_MemoryArchive archive;
                    s->Write(archive);
                    m_saved.push_back({nullptr, static_cast<const wchar_t*>(s->GetName()), archive.Buffer()});
                }
        }
    }
    m_forcedClose = true;
    const bool opened = dezaz::OpenDocument(doc, path.wstring(), false, error);
    m_forcedClose = false;
    fs::remove(path);
    if (!opened)
    {
        m_failure = "the saved document did not open: " + std::string(error.begin(), error.end());
        return;
    }
    ++m_counts.reopened;
    m_checkReopen = true;
    Note(" (" + std::to_string(m_saved.size()) + " shapes)");
    if (!OpenShapesDialog())
        m_failure = "the shapes dialog did not open on the reopened document";
}

// ------------------------------------------------------------ tool windows

void cUserSessionDriver::RunAnalyzer()
{
    cDialogHolder& holder = ThePlugIn().AnalyzerDialog();
    const bool open = holder.IsVisible();
    if (!open || m_random() % 3 == 0)
    {
        Note(" command");
        DezazApp().RunScript(L"_vtlAnalyzer", 0);
        Pump();
    }
    if (!holder.IsVisible())
        return;
    static const int buttons[] = {IDC_ANALYZER_RECALCULATE, IDC_ANALYZER_CLEAR, IDC_ANALYZER_SHOW_MIN_MAX,
                                  IDC_ANALYZER_SELECTION_ONLY, IDC_ANALYZER_SURFACES, IDCANCEL};
    const int id = buttons[m_random() % 6];
    Note(" " + std::to_string(id));
    PageButton(holder.Dialog()->DialogWindow(), id);
}

void cUserSessionDriver::RunSegmentation()
{
    const CDezazObject* mesh = DezazApp().ActiveDoc().LookupObject(m_hostId);
    if (!mesh)
        return;
    std::wstring error;
    dezaz::QueueScriptAnswer(L"Object " + std::to_wstring(mesh->RuntimeSerialNumber()), error);
    // The dialog is modal: what the user does in it happens while it runs.
    const int detect = int(m_random() % 101), split = int(m_random() % 3);
    Note(" detect " + std::to_string(detect) + (split == 0 ? " split" : ""));
    win32::QueuePromptAnswer({win32::kDialogPrompt, L"Segmentation", IDCANCEL,
                              [&](HWND window, const std::wstring&) -> INT_PTR
                              {
                                  const HWND slider = ::GetDlgItem(window, IDC_SEGMENTATION_SENSITIVITY);
                                  ::SendMessageW(slider, TBM_SETPOS, TRUE, detect);
                                  ::SendMessageW(window, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, detect), LPARAM(slider));
                                  Pump();
                                  ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_SEGMENTATION_DETECT, BN_CLICKED),
                                                 LPARAM(::GetDlgItem(window, IDC_SEGMENTATION_DETECT)));
                                  Pump();
                                  if (split == 0 && ::IsWindow(window))
                                      ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_SEGMENTATION_SPLIT, BN_CLICKED),
                                                     LPARAM(::GetDlgItem(window, IDC_SEGMENTATION_SPLIT)));
                                  return IDCANCEL;
                              }});
    DezazApp().RunScript(L"_vtlSegmentation", 0);
    win32::ClearPromptAnswers();
    Pump();
}

void cUserSessionDriver::RunFillet()
{
    cDialogHolder& holder = ThePlugIn().FilletDialog();
    if (!holder.IsVisible())
    {
        // An edge of a created surface, picked where the host's click lands.
        const CDezazObject* brep = nullptr;
        for (const CDezazObject* o : DezazApp().ActiveDoc().Objects())
            if (dynamic_cast<const CDezazBrepObject*>(o) && o->IsVisible())
                brep = o;
        if (!brep)
        {
            Note(" (no edge)");
            return;
        }
        std::wstring error;
        dezaz::QueueScriptAnswer(L"Object " + std::to_wstring(brep->RuntimeSerialNumber()), error);
        DezazApp().RunScript(L"_vtlMeasureFillet", 0);
        win32::ClearPromptAnswers();
        Pump();
        Note(" opened");
        if (!holder.IsVisible())
            return;
    }
    const HWND window = holder.Dialog()->DialogWindow();
    switch (m_random() % 3)
    {
    case 0:
        if (const CDezazObject* mesh = DezazApp().ActiveDoc().LookupObject(m_hostId))
        {
            Note(" mesh");
            std::wstring error;
            dezaz::QueueScriptAnswer(L"Object " + std::to_wstring(mesh->RuntimeSerialNumber()), error);
            PageButton(window, IDC_MEASURE_FILLET_SELECT_MESH);
            win32::ClearPromptAnswers();
        }
        break;
    case 1:
    {
        const HWND slider = ::GetDlgItem(window, IDC_MEASURE_FILLET_SECTIONS);
        const int position = 1 + int(m_random() % 40);
        Note(" sections " + std::to_string(position));
        ::SendMessageW(slider, TBM_SETPOS, TRUE, position);
        ::SendMessageW(window, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, position), LPARAM(slider));
        Pump();
        break;
    }
    default: Note(" close"); PageButton(window, IDCANCEL); break;
    }
}

void cUserSessionDriver::RunPrimitivePanel()
{
    auto* bar = dynamic_cast<CVivoZededDezazDockBar*>(CDezazDockBarManager::FindDockBar(kPrimitivesDockBarId));
    CDefinePrimitiveDlg* panel = bar ? bar->Panel() : nullptr;
    const CDezazObject* mesh = DezazApp().ActiveDoc().LookupObject(m_hostId);
    if (!panel || !panel->GetSafeHwnd() || !mesh)
        return;
    // The panel fits the host's selected mesh, as the user selects it.
    const_cast<CDezazObject*>(mesh)->Select(true);
    static const int buttons[] = {IDC_PRIMITIVE_PLANE, IDC_PRIMITIVE_SPHERE, IDC_PRIMITIVE_CYLINDER,
                                  IDC_PRIMITIVE_CLEAR, IDC_PRIMITIVE_REBUILD, IDOK};
    for (int i = 0, n = 1 + int(m_random() % 3); i < n; ++i)
    {
        const int id = buttons[m_random() % 6];
        Note(" " + std::to_string(id));
        PageButton(panel->GetSafeHwnd(), id);
    }
    if (const CDezazObject* still = DezazApp().ActiveDoc().LookupObject(m_hostId))
        const_cast<CDezazObject*>(still)->Select(false);
}

} // namespace usersession
