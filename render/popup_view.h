// The 3D views that live inside dialogs. cPopupView supplies the factory of
// the navigation modes, activates itself on a click and takes its context
// menu's commands itself. cP3DView adds the view context menu (zoom all and
// the six axis views), the notice that a newer version is available, and the
// object the owning tool works on. The tools' own views derive from
// cP3DView and put their modes in front of this factory.
#pragma once

#include "render/view_3d.h"

struct cMeshTriangle;

// The view context menu and its commands.
inline constexpr UINT kViewContextMenu = 3011;
enum : UINT
{
    kCmdMenuFrontView = 32791,
    kCmdMenuBackView = 32792,
    kCmdMenuLeftView = 32793,
    kCmdMenuRightView = 32794,
    kCmdMenuTopView = 32795,
    kCmdMenuBottomView = 32796,
    kCmdMenuZoomAll = 32790,
};

// Posted by the update check when a newer version is offered.
UINT NewSoftwareAvailableMessage();

class cPopupView : public C3DView
{
    DECLARE_DYNCREATE(cPopupView)

public:
    cPopupView() = default;

    Mode* CreateMode(std::uint32_t id, std::uint32_t temporary, LPARAM extra) override;
    CWnd* GetCommandTarget(CWnd*) override { return this; }

protected:
    afx_msg int OnMouseActivate(CWnd* desktop, UINT hitTest, UINT message);
    DECLARE_MESSAGE_MAP()
};

class cP3DView : public cPopupView
{
    DECLARE_DYNCREATE(cP3DView)

public:
    // The notice's caption and text.
    static constexpr const wchar_t* kUpdateNoticeCaption = L"Vantrell";
    static constexpr const wchar_t* kUpdateNoticeText =
        L"A newer version of the software is available.\n"
        L"Please visit the download section of www.pellmark.example to upgrade.";
    // The value under which the shell remembers "do not show again".
    static constexpr const wchar_t* kUpdateNoticeValue = L"{3350A844-91A3-4463-A9EC-A2431EA13193}";

    cP3DView() = default;

    // The triangle the owning tool works on (the magic wand's seed), not
    // owned; the tools' views add what a click on it aims for.
    using C3DView::GetActiveObject;
    virtual void ClearActiveObject() { activeObject = nullptr; }
    virtual void SetActiveObject(cMeshTriangle* triangle) { activeObject = triangle; }
    virtual cMeshTriangle* GetActiveObject() { return activeObject; }
    // The tool object that owns the view; the tools' views say which.
    virtual CWnd* GetOwnerTool() { return nullptr; }
    virtual LRESULT ShowUpdateNotice();

    UINT GetContextMenuResource() override { return kViewContextMenu; }

protected:
    // Kept for the tools' views.
    void* toolData = nullptr;

    afx_msg int OnCreate(CREATESTRUCTW* cs);
    afx_msg void OnMenuZoomAll() { ZoomAll(); }
    afx_msg void OnMenuView(UINT id);
    afx_msg LRESULT OnNewSoftwareAvailable(WPARAM, LPARAM) { return ShowUpdateNotice(); }
    DECLARE_MESSAGE_MAP()

private:
    cMeshTriangle* activeObject = nullptr;
};
