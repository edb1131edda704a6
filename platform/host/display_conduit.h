// Display conduits: a plug-in's hook into the drawing of every viewport.
// An enabled conduit is called on each channel of its mask as a frame is
// drawn, in this order:
//   SC_CALCBOUNDINGBOX (0x8): add what it will draw to the pipeline's
//     channel bounding box, so that zooming to the extents shows it;
//   SC_DRAWOBJECT (0x80): draw in the scene, depth-tested, after the
//     document's objects;
//   SC_DRAWFOREGROUND (0x800): draw over the scene (markers, dots).
// Conduits are called in the order they were enabled.
#pragma once

#include "platform/win32/types.h"

#include <vector>

class CDezazDisplayPipeline;

enum DezazConduitChannel : UINT
{
    SC_CALCBOUNDINGBOX = 0x00000008,
    SC_DRAWOBJECT = 0x00000080,
    SC_DRAWFOREGROUND = 0x00000800,
};

class CDezazDisplayConduit
{
public:
    enum class notification
    {
        frame_started,
        frame_finished,
    };

    // channel_mask: the channels the conduit wants; enabled: whether it
    // takes part from construction on (plug-ins usually enable it later).
    explicit CDezazDisplayConduit(UINT channel_mask, bool enabled = false);
    // A conduit being destroyed leaves the drawing first.
    virtual ~CDezazDisplayConduit();
    CDezazDisplayConduit(const CDezazDisplayConduit&) = delete;
    CDezazDisplayConduit& operator=(const CDezazDisplayConduit&) = delete;

    // Called on each channel of the mask while a frame is drawn; the result
    // is ignored by the stand-in pipeline (a conduit cannot stop a frame).
    virtual bool ExecConduit(CDezazDisplayPipeline& pipeline, UINT channel) = 0;
    // Before and after each frame; the default does nothing.
    virtual void NotifyConduit(notification what, CDezazDisplayPipeline& pipeline);

    UINT ChannelMask() const { return m_channel_mask; }
    void Enable();
    void Disable();
    bool IsEnabled() const;

    // The enabled conduits, in order of enabling.
    static std::vector<CDezazDisplayConduit*> EnabledConduits();

private:
    UINT m_channel_mask;
};
