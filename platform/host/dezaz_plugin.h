// Plug-in base classes. The plug-in library holds one static object derived
// from CDezazUtilityPlugIn; its base constructor registers it with the host
// while the library is being loaded, and the host then calls its load,
// unload, menu and document hooks on the user-interface thread.
#pragma once

#include "platform/geometry/binary_archive.h"
#include "platform/geometry/uuid.h"
#include "platform/win32/types.h"

#include <vector>

class CDezazDoc;

// What kind of save the host is doing. Mode 0 set means "geometry only":
// an export that carries no plug-in data.
class CDezazFileWriteOptions
{
public:
    enum mode : int
    {
        geometry_only = 0,
        selected_only = 1,
    };
    bool Mode(int which) const { return which >= 0 && which < 32 && (m_modes >> which & 1u) != 0; }
    void SetMode(int which, bool on);

private:
    unsigned int m_modes = 0;
};

// What kind of read the host is doing. Mode 0 set means "import": the file's
// contents are merged into the open document instead of replacing it.
class CDezazFileReadOptions
{
public:
    enum mode : int
    {
        import_merge = 0,
        reference = 1,
    };
    bool Mode(int which) const { return which >= 0 && which < 32 && (m_modes >> which & 1u) != 0; }
    void SetMode(int which, bool on);

private:
    unsigned int m_modes = 0;
};

class CDezazPlugIn
{
public:
    CDezazPlugIn();
    virtual ~CDezazPlugIn();
    CDezazPlugIn(const CDezazPlugIn&) = delete;
    CDezazPlugIn& operator=(const CDezazPlugIn&) = delete;

    virtual GUID PlugInID() const = 0;
    virtual const wchar_t* PlugInName() const = 0;
    virtual const wchar_t* PlugInVersion() const = 0;

    // True to stay loaded.
    virtual BOOL OnLoadPlugIn();
    virtual void OnUnloadPlugIn();
    // True when the plug-in handled the id of one of its menu items.
    virtual BOOL OnPlugInMenuCommand(WPARAM id);

    // Saving: asked first whether the plug-in has data for this document;
    // when it does, it writes its chunk. Failure drops the chunk.
    virtual BOOL CallWriteDocument(CDezazDoc& doc, const CDezazFileWriteOptions& options);
    virtual BOOL WriteDocument(CDezazDoc& doc, ON_BinaryArchive& archive, const CDezazFileWriteOptions& options);
    // Opening: the archive holds exactly the plug-in's chunk; whatever the
    // plug-in leaves unread is skipped.
    virtual BOOL ReadDocument(CDezazDoc& doc, ON_BinaryArchive& archive, const CDezazFileReadOptions& options);

    // Copies the popups of the menu into the host's menu bar at the position
    // (0 = first) and routes their item ids to OnPlugInMenuCommand. The
    // host keeps its own copy, so the plug-in may destroy its menu.
    bool InsertPlugInMenuToDezazMenu(HMENU menu, int position);
};

class CDezazUtilityPlugIn : public CDezazPlugIn
{
};

namespace dezaz
{

// Plug-in objects in the order they were constructed.
std::vector<CDezazPlugIn*> RegisteredPlugIns();
// Those whose load hook accepted and that are not unloaded: only they take
// part in saving and opening documents.
std::vector<CDezazPlugIn*> LoadedPlugIns();
void SetPlugInLoaded(CDezazPlugIn* plugin, bool loaded);
// The loaded plug-in with the id, or null.
CDezazPlugIn* FindPlugIn(const GUID& id);

// The host menu bar into which plug-in menus are inserted (null until the
// host sets one), and which plug-in owns a menu item id.
void SetHostMenu(HMENU menu);
HMENU HostMenu();
CDezazPlugIn* PlugInOfMenuItem(UINT id);

} // namespace dezaz
