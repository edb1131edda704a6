// CPreviewConduit: shows the primitive panel's preview object in every
// viewport, drawn in white, and makes zooming to the extents include it.
// The object is the panel's; the conduit only points at it.
#pragma once

#include "platform/host/display_conduit.h"

class CDezazObject;

class CPreviewConduit : public CDezazDisplayConduit
{
public:
    CPreviewConduit();
    ~CPreviewConduit() override;

    // Always true: the preview never stops a frame.
    bool ExecConduit(CDezazDisplayPipeline& pipeline, UINT channel) override;
    void NotifyConduit(notification what, CDezazDisplayPipeline& pipeline) override;

    // The object to draw (null: nothing).
    void SetObject(CDezazObject* object) { m_object = object; }
    CDezazObject* GetObject() const { return m_object; }

private:
    CDezazObject* m_object = nullptr;
};
