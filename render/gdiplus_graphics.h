// What the overlay drawing code draws with: a GDI+ graphics handle, the
// status of its last failing call (drawing goes on after a failure), and
// the area collector that records where it drew (null for surfaces that are
// not composited by rectangles).
#pragma once

#include "platform/gdiplus/gdiplus_types.h"

class cAreaCollector;

class cGdiplusGraphics
{
public:
    cGdiplusGraphics(GpGraphics* handle, cAreaCollector* collector) : m_handle(handle), m_collector(collector) {}

    GpGraphics* GetHandle() const { return m_handle; }
    cAreaCollector* GetCollector() const { return m_collector; }

    Status GetLastStatus() const { return m_lastStatus; }
    // Keeps a failing status; Ok leaves the last failure in place. Returns
    // the status passed in, so calls can be wrapped.
    Status Check(Status status)
    {
        if (status != Ok)
            m_lastStatus = status;
        return status;
    }
    void ClearLastStatus() { m_lastStatus = Ok; }

private:
    GpGraphics* m_handle;
    cAreaCollector* m_collector;
    Status m_lastStatus = Ok;
};
