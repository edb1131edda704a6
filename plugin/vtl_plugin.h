// The plug-in object: the one object of the plug-in that the host knows. It
// owns the process-wide services (thread pool, settings store, entity
// history), the holders of the modeless tool dialogs, the plug-in menu and
// the watcher that closes the tools when the document changes.
#pragma once

#include "core/registry_store.h"
#include "core/thread_pool.h"
#include "platform/geometry/wide_string.h"
#include "platform/host/dezaz_event_watcher.h"
#include "platform/host/dezaz_plugin.h"
#include "platform/mfc/menu.h"
#include "plugin/dialog_holder.h"
#include "plugin/document_hooks.h"
#include "shapes/entities_history.h"

class Cvtl_for_Dezaz4PlugIn;

class CvtlEventWatcher : public CDezazEventWatcher
{
public:
    explicit CvtlEventWatcher(Cvtl_for_Dezaz4PlugIn* plugin) : m_plugin(plugin) {}

    void OnNewDocument(CDezazDoc& doc) override;
    void OnBeginOpenDocument(CDezazDoc& doc, const wchar_t* filename, BOOL merge, BOOL reference) override;
    void OnBeginSaveDocument(CDezazDoc& doc, const wchar_t* filename, BOOL export_selected) override;

private:
    Cvtl_for_Dezaz4PlugIn* m_plugin;
};

class Cvtl_for_Dezaz4PlugIn : public CDezazUtilityPlugIn
{
public:
    Cvtl_for_Dezaz4PlugIn();
    ~Cvtl_for_Dezaz4PlugIn() override;

    GUID PlugInID() const override;
    const wchar_t* PlugInName() const override;
    const wchar_t* PlugInVersion() const override;
    BOOL OnLoadPlugIn() override;
    void OnUnloadPlugIn() override;
    BOOL OnPlugInMenuCommand(WPARAM id) override;
    BOOL CallWriteDocument(CDezazDoc& doc, const CDezazFileWriteOptions& options) override;
    BOOL WriteDocument(CDezazDoc& doc, ON_BinaryArchive& archive, const CDezazFileWriteOptions& options) override;
    BOOL ReadDocument(CDezazDoc& doc, ON_BinaryArchive& archive, const CDezazFileReadOptions& options) override;

    cDialogHolder& ShapesDialog() { return m_shapes; }
    cDialogHolder& FilletDialog() { return m_fillet; }
    cDialogHolder& AnalyzerDialog() { return m_analyzer; }
    cThreadPool& ThreadPool() { return m_pool; }
    cRegistryStore& Settings() { return m_settings; }
    CEntitiesHistory& EntitiesHistory() { return m_history; }
    // The sessions and any newer chunk belong to the document that is
    // going: both are forgotten.
    void ForgetDocumentData();
    const std::vector<std::uint8_t>& NewerDocumentChunk() const { return m_document_data.newerChunk; }
    CvtlEventWatcher* EventWatcher() const { return m_watcher; }
    CMenu& PlugInMenu() { return m_menu; }

    // How long unload waits for the pool's workers (tests shorten it).
    void SetPoolStopTimeout(DWORD milliseconds) { m_pool_stop_timeout = milliseconds; }

    // The document is going away: closes every tool without questions
    // that could keep it open.
    void CloseAllDialogs();

private:
    CvtlEventWatcher* m_watcher = nullptr;
    cDialogHolder m_shapes;
    cDialogHolder m_fillet;
    cDialogHolder m_analyzer;
    cThreadPool m_pool;
    cRegistryStore m_settings;
    CEntitiesHistory m_history;
    stPlugInDocumentData m_document_data;
    ON_wString m_version;
    CMenu m_menu;
    DWORD m_pool_stop_timeout = cThreadPool::kDefaultStopTimeout;
};

// The menu items and the command script each runs.
struct stPlugInMenuItem
{
    UINT id;
    const wchar_t* script;
};
extern const stPlugInMenuItem kPlugInMenuItems[7];

// The plug-in library's one plug-in object (defined with the library's entry).
Cvtl_for_Dezaz4PlugIn& ThePlugIn();
