#include "platform/mfc/cmd_target.h"

namespace
{

const AFX_MSGMAP* NoBaseMap()
{
    return nullptr;
}

const AFX_MSGMAP_ENTRY kEmptyEntries[] = {{0, 0, 0, 0, nullptr, nullptr}};
const AFX_MSGMAP kCmdTargetMap = {&NoBaseMap, kEmptyEntries};

} // namespace

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap()
{
    return &kCmdTargetMap;
}
const AFX_MSGMAP* CCmdTarget::GetMessageMap() const
{
    return &kCmdTargetMap;
}

BOOL CCmdTarget::OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* info)
{
    UINT message = WM_COMMAND;
    if (code != CN_UPDATE_COMMAND_UI)
    {
        // Notifications arrive as MAKELONG(code, WM_NOTIFY).
        UINT packed = static_cast<UINT>(code);
        if (HIWORD(packed) != 0)
            message = HIWORD(packed);
        code = static_cast<SHORT>(LOWORD(packed));
        if (message == WM_COMMAND)
            code = static_cast<int>(LOWORD(packed));
    }
    for (const AFX_MSGMAP* map = GetMessageMap(); map; map = map->pfnGetBaseMap())
        for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e->pfn; ++e)
        {
            if (e->nMessage != message || e->nCode != static_cast<UINT>(code) || id < e->nID ||
                id > e->nLastID)
                continue;
            if (info)
            {
                info->pTarget = this;
                info->pEntry = e;
                return TRUE;
            }
            LRESULT ignored = 0;
            AfxMessageCall call{message, 0, 0, id, code, extra};
            return e->pfn(this, call, &ignored);
        }
    return FALSE;
}

const AFX_MSGMAP_ENTRY* CCmdTarget::FindMessageEntry(UINT message) const
{
    for (const AFX_MSGMAP* map = GetMessageMap(); map; map = map->pfnGetBaseMap())
        for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e->pfn; ++e)
        {
            if (e->pRegistered)
            {
                if (*e->pRegistered == message && message != 0)
                    return e;
                continue;
            }
            if (e->nMessage == message && message != WM_COMMAND && message != WM_NOTIFY)
                return e;
        }
    return nullptr;
}

void CCmdTarget::BeginWaitCursor()
{
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
}
void CCmdTarget::EndWaitCursor()
{
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
}
void CCmdTarget::RestoreWaitCursor()
{
    BeginWaitCursor();
}

BOOL CCmdUI::DoUpdate(CCmdTarget* target, BOOL disableIfNoHandler)
{
    if (!target)
        return FALSE;
    m_bEnableChanged = FALSE;
    BOOL handled = target->OnCmdMsg(m_nID, CN_UPDATE_COMMAND_UI, this, nullptr);
    if (!handled && disableIfNoHandler && !m_bEnableChanged)
    {
        AFX_CMDHANDLERINFO info{nullptr, nullptr};
        if (!target->OnCmdMsg(m_nID, CN_COMMAND, this, &info))
            Enable(FALSE);
    }
    return handled;
}
