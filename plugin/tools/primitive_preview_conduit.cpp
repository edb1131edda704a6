#include "plugin/tools/primitive_preview_conduit.h"

#include "platform/host/dezaz_object.h"
#include "platform/host/display_pipeline.h"

CPreviewConduit::CPreviewConduit() : CDezazDisplayConduit(SC_CALCBOUNDINGBOX | SC_DRAWOBJECT, false) {}

CPreviewConduit::~CPreviewConduit() = default;

bool CPreviewConduit::ExecConduit(CDezazDisplayPipeline& pipeline, UINT channel)
{
    if (!m_object)
        return true;
    if (channel == SC_CALCBOUNDINGBOX)
    {
        pipeline.GetChannelAttrs()->m_BoundingBox.Union(m_object->BoundingBox());
    }
    else if (channel == SC_DRAWOBJECT)
    {
        // The preview stands out in white whatever its layer; its own
        // attributes are put back so that "CREATE" adds it as the user set it.
        ON_3dmObjectAttributes white = m_object->Attributes();
        const ON_3dmObjectAttributes own = m_object->Attributes();
        white.SetColorSource(ON_3dmObjectAttributes::color_source::color_from_object);
        white.m_color = ON_Color(255, 255, 255);
        m_object->SetAttributes(white);
        pipeline.DrawObject(m_object);
        m_object->SetAttributes(own);
    }
    return true;
}

void CPreviewConduit::NotifyConduit(notification what, CDezazDisplayPipeline& pipeline)
{
    CDezazDisplayConduit::NotifyConduit(what, pipeline);
}
