// Watchers of document events. A plug-in derives from CDezazEventWatcher,
// registers it and enables it; the host calls the overrides on the user-
// interface thread before it starts a new document, opens one or saves one.
#pragma once

#include "platform/win32/types.h"

class CDezazDoc;

class CDezazEventWatcher
{
public:
    CDezazEventWatcher() = default;
    // Unregisters itself, so the host never calls a destroyed watcher.
    virtual ~CDezazEventWatcher();
    CDezazEventWatcher(const CDezazEventWatcher&) = delete;
    CDezazEventWatcher& operator=(const CDezazEventWatcher&) = delete;

    bool Register();
    bool UnRegister();
    bool IsRegistered() const;
    // A registered watcher hears events only while enabled.
    void Enable(BOOL enable) { m_enabled = enable != FALSE; }
    bool IsEnabled() const { return m_enabled; }

    virtual void OnNewDocument(CDezazDoc& doc);
    // Before the objects of the file are read; merge: the file's objects are
    // added to the open document; reference: they come in as reference objects.
    virtual void OnBeginOpenDocument(CDezazDoc& doc, const wchar_t* filename, BOOL merge, BOOL reference);
    virtual void OnBeginSaveDocument(CDezazDoc& doc, const wchar_t* filename, BOOL export_selected);

private:
    bool m_enabled = false;
};

namespace dezaz
{

// The host's side: tell every registered, enabled watcher.
void FireNewDocument(CDezazDoc& doc);
void FireBeginOpenDocument(CDezazDoc& doc, const wchar_t* filename, bool merge, bool reference);
void FireBeginSaveDocument(CDezazDoc& doc, const wchar_t* filename, bool export_selected);

} // namespace dezaz
