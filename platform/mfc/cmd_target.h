// Command targets and message maps. A message map is a static table per
// class, chained to its base class's table; each entry names a message (or a
// command id range with its notification code) and a small thunk that unpacks
// the message and calls the class's handler.
#pragma once

#include "platform/mfc/object.h"
#include "platform/win32/win32.h"

class CCmdTarget;
class CCmdUI;
class CWnd;

// Private messages of the MFC layer.
inline constexpr UINT WM_IDLEUPDATECMDUI = 0x0363;
inline constexpr UINT WM_INITIALUPDATE = 0x0364;
inline constexpr UINT WM_ACTIVATETOPLEVEL = 0x036E;

// Notification codes of OnCmdMsg.
inline constexpr int CN_COMMAND = 0;
inline constexpr int CN_UPDATE_COMMAND_UI = -1;

// The message being dispatched through a map entry.
struct AfxMessageCall
{
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    UINT id;     // commands and notifications
    int code;    // notification code
    void* extra; // CCmdUI* for update handlers, AFX_NOTIFY* for notifications
};

using AfxThunk = BOOL (*)(CCmdTarget* target, const AfxMessageCall& call, LRESULT* result);

struct AFX_MSGMAP_ENTRY
{
    UINT nMessage; // the message; WM_COMMAND or WM_NOTIFY for command entries; 0xC000 for registered ones
    UINT nCode;    // notification code of command entries
    UINT nID;
    UINT nLastID;
    const UINT* pRegistered; // the variable holding a registered message id
    AfxThunk pfn;            // null ends the table
};

struct AFX_MSGMAP
{
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

// Filled instead of calling the handler when OnCmdMsg is asked only whether
// someone handles a command.
struct AFX_CMDHANDLERINFO
{
    CCmdTarget* pTarget;
    const AFX_MSGMAP_ENTRY* pEntry;
};

struct AFX_NOTIFY
{
    LRESULT* pResult;
    NMHDR* pNMHDR;
};

#define afx_msg

#define DECLARE_MESSAGE_MAP()                                                                                \
protected:                                                                                                   \
    static const AFX_MSGMAP* GetThisMessageMap();                                                            \
    const AFX_MSGMAP* GetMessageMap() const override;

#define VTL_MESSAGE_MAP_BODY(theClass, baseClass)                                                            \
    {                                                                                                        \
        using ThisClass = theClass;                                                                          \
        using TheBaseClass = baseClass;                                                                      \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                                               \
    const AFX_MSGMAP* theClass::GetMessageMap() const                                                        \
    {                                                                                                        \
        return GetThisMessageMap();                                                                          \
    }                                                                                                        \
    const AFX_MSGMAP* theClass::GetThisMessageMap() VTL_MESSAGE_MAP_BODY(theClass, baseClass)

#define BEGIN_TEMPLATE_MESSAGE_MAP(theClass, type_name, baseClass)                                           \
    template <typename type_name> const AFX_MSGMAP* theClass<type_name>::GetMessageMap() const               \
    {                                                                                                        \
        return GetThisMessageMap();                                                                          \
    }                                                                                                        \
    template <typename type_name>                                                                            \
    const AFX_MSGMAP* theClass<type_name>::GetThisMessageMap()                                               \
        VTL_MESSAGE_MAP_BODY(theClass<type_name>, baseClass)

#define END_MESSAGE_MAP()                                                                                    \
    {                                                                                                        \
        0, 0, 0, 0, nullptr, nullptr                                                                         \
    }                                                                                                        \
    }                                                                                                        \
    ;                                                                                                        \
    static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &_messageEntries[0]};            \
    return &messageMap;                                                                                      \
    }

// Entry helpers.
#define VTL_MSG_ENTRY(msg, body)                                                                             \
    {msg,                                                                                                    \
     0,                                                                                                      \
     0,                                                                                                      \
     0,                                                                                                      \
     nullptr,                                                                                                \
     [](CCmdTarget* target_, const AfxMessageCall& call_, LRESULT* result_) -> BOOL                          \
     {                                                                                                       \
         (void)call_;                                                                                        \
         (void)result_;                                                                                      \
         ThisClass* self_ = static_cast<ThisClass*>(target_);                                                \
         (void)self_;                                                                                        \
         body;                                                                                               \
         return TRUE;                                                                                        \
     }},
#define VTL_CMD_ENTRY(msg, code, nID_, nLastID_, body)                                                       \
    {msg,                                                                                                    \
     static_cast<UINT>(code),                                                                                \
     static_cast<UINT>(nID_),                                                                                \
     static_cast<UINT>(nLastID_),                                                                            \
     nullptr,                                                                                                \
     [](CCmdTarget* target_, const AfxMessageCall& call_, LRESULT* result_) -> BOOL                          \
     {                                                                                                       \
         (void)call_;                                                                                        \
         (void)result_;                                                                                      \
         ThisClass* self_ = static_cast<ThisClass*>(target_);                                                \
         body;                                                                                               \
     }},

// Commands (menu items, accelerators and control notifications).
#define ON_COMMAND(nID_, memberFxn)                                                                          \
    VTL_CMD_ENTRY(WM_COMMAND, CN_COMMAND, nID_, nID_, (self_->*(memberFxn))(); return TRUE)
#define ON_COMMAND_EX(nID_, memberFxn)                                                                       \
    VTL_CMD_ENTRY(WM_COMMAND, CN_COMMAND, nID_, nID_, return (self_->*(memberFxn))(call_.id))
#define ON_COMMAND_RANGE(nID_, nIDLast_, memberFxn)                                                          \
    VTL_CMD_ENTRY(WM_COMMAND, CN_COMMAND, nID_, nIDLast_, (self_->*(memberFxn))(call_.id); return TRUE)
#define ON_UPDATE_COMMAND_UI(nID_, memberFxn)                                                                \
    VTL_CMD_ENTRY(WM_COMMAND, CN_UPDATE_COMMAND_UI, nID_, nID_,                                              \
                  (self_->*(memberFxn))(static_cast<CCmdUI*>(call_.extra));                                  \
                  return TRUE)
#define ON_UPDATE_COMMAND_UI_RANGE(nID_, nIDLast_, memberFxn)                                                \
    VTL_CMD_ENTRY(WM_COMMAND, CN_UPDATE_COMMAND_UI, nID_, nIDLast_,                                          \
                  (self_->*(memberFxn))(static_cast<CCmdUI*>(call_.extra));                                  \
                  return TRUE)
#define ON_CONTROL(code, nID_, memberFxn)                                                                    \
    VTL_CMD_ENTRY(WM_COMMAND, code, nID_, nID_, (self_->*(memberFxn))(); return TRUE)
#define ON_CONTROL_RANGE(code, nID_, nIDLast_, memberFxn)                                                    \
    VTL_CMD_ENTRY(WM_COMMAND, code, nID_, nIDLast_, (self_->*(memberFxn))(call_.id); return TRUE)
#define ON_NOTIFY(code, nID_, memberFxn)                                                                     \
    VTL_CMD_ENTRY(WM_NOTIFY, code, nID_, nID_, auto* n_ = static_cast<AFX_NOTIFY*>(call_.extra);             \
                  (self_->*(memberFxn))(n_->pNMHDR, n_->pResult); return TRUE)
#define ON_NOTIFY_RANGE(code, nID_, nIDLast_, memberFxn)                                                     \
    VTL_CMD_ENTRY(WM_NOTIFY, code, nID_, nIDLast_, auto* n_ = static_cast<AFX_NOTIFY*>(call_.extra);         \
                  (self_->*(memberFxn))(call_.id, n_->pNMHDR, n_->pResult); return TRUE)

// Any message, and registered messages (the id lives in a variable).
#define ON_MESSAGE(message, memberFxn)                                                                       \
    VTL_MSG_ENTRY(message, *result_ = (self_->*(memberFxn))(call_.wParam, call_.lParam))
#define ON_REGISTERED_MESSAGE(nMessageVariable, memberFxn)                                                   \
    {0xC000,                                                                                                 \
     0,                                                                                                      \
     0,                                                                                                      \
     0,                                                                                                      \
     &(nMessageVariable),                                                                                    \
     [](CCmdTarget* target_, const AfxMessageCall& call_, LRESULT* result_) -> BOOL                          \
     {                                                                                                       \
         *result_ = (static_cast<ThisClass*>(target_)->*(memberFxn))(call_.wParam, call_.lParam);            \
         return TRUE;                                                                                        \
     }},

class CCmdTarget : public CObject
{
public:
    CCmdTarget() = default;
    ~CCmdTarget() override = default;

    // Routes a command (or asks who handles it, when info is given).
    virtual BOOL OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* info);

    // The wait cursor while a long command runs.
    void BeginWaitCursor();
    void EndWaitCursor();
    void RestoreWaitCursor();

    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;

protected:
    // The first entry for a window message, walking from this class to its bases.
    const AFX_MSGMAP_ENTRY* FindMessageEntry(UINT message) const;
};

// The state of a command's user interface (menu item, button) while idle
// updates ask its handlers.
class CCmdUI
{
public:
    virtual ~CCmdUI() = default;
    UINT m_nID = 0;
    UINT m_nIndex = 0;
    void* m_pMenu = nullptr;
    CWnd* m_pOther = nullptr;
    BOOL m_bEnableChanged = FALSE;
    BOOL m_bContinueRouting = FALSE;

    virtual void Enable(BOOL on = TRUE)
    {
        m_enabled = on;
        m_bEnableChanged = TRUE;
    }
    virtual void SetCheck(int check = 1) { m_check = check; }
    virtual void SetText(LPCWSTR) {}
    void ContinueRouting() { m_bContinueRouting = TRUE; }
    // Asks the target's handlers; false when no handler took the item.
    BOOL DoUpdate(CCmdTarget* target, BOOL disableIfNoHandler);

    BOOL IsEnabled() const { return m_enabled; }
    int GetCheck() const { return m_check; }

private:
    BOOL m_enabled = TRUE;
    int m_check = 0;
};
