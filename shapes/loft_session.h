// The free-form session: a loft surface fitted to its region of the mesh.
#pragma once

#include "shapes/extracted_loft_surface.h"
#include "shapes/loft_surface.h"
#include "shapes/session_kinds.h"

class CSessionFreeForm : public tSessionSurface<Dezaz_LoftSurfaceObject, ST_CExtractedLoftSurface>
{
public:
    using tSessionSurface::tSessionSurface;
    void GetKindName(ON_wString& name) const override { name = L"Free Form"; }
    void GetClassId(GUID& id) const override { id = CLSID_CSessionFreeForm; }
    std::uint8_t GetKindCode() const override { return kSessionKindFreeForm; }
    // Lofts the surface again from the sections it holds, with the page's
    // sampling: a document keeps the sections but not the sampling they
    // were lofted with, which would otherwise come back as the loft's own
    // default instead of the page's. False when no surface comes of them.
    bool RebuildSurface();

protected:
    bool ReadObjectRecord(IBinStream& stream, std::uint32_t minor) override;
};
