#include "platform/mfc/dc.h"
#include "platform/mfc/wnd.h"

#include <map>
#include <memory>

CDC* CDC::FromHandle(HDC hdc)
{
    if (!hdc)
        return nullptr;
    thread_local std::map<HDC, std::unique_ptr<CDC>> temporaries;
    auto& slot = temporaries[hdc];
    if (!slot)
    {
        slot = std::make_unique<CDC>();
        slot->m_hDC = hdc;
    }
    return slot.get();
}

CPaintDC::CPaintDC(CWnd* wnd) : m_hWnd(wnd ? wnd->GetSafeHwnd() : nullptr)
{
    m_hDC = ::BeginPaint(m_hWnd, &m_ps);
}

CPaintDC::~CPaintDC()
{
    ::EndPaint(m_hWnd, &m_ps);
}
