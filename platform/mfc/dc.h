// Device-context objects of the MFC layer. Drawing through them belongs to the
// GDI layer; here they carry the handle, and CPaintDC brackets a paint.
#pragma once

#include "platform/mfc/object.h"
#include "platform/win32/win32.h"

class CWnd;

class CDC : public CObject
{
public:
    CDC() = default;
    ~CDC() override = default;
    HDC m_hDC = nullptr;
    HDC GetSafeHdc() const { return m_hDC; }
    // A temporary object for the handle, valid until the handle is seen again
    // with another object or the calling thread next runs idle processing.
    static CDC* FromHandle(HDC hdc);
};

class CPaintDC : public CDC
{
public:
    explicit CPaintDC(CWnd* wnd);
    ~CPaintDC() override;
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;
    PAINTSTRUCT m_ps{};

protected:
    HWND m_hWnd = nullptr;
};
