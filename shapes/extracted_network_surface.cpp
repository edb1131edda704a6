#include "shapes/extracted_network_surface.h"

#include "core/profiled_surface.h"
#include "shapes/shape_interfaces.h"

bool ST_CExtractedNetworkSurface::AttachGeometry(ST_IGeometry* geometry)
{
    m_profiled = geometry ? static_cast<ST_IProfiledSurface*>(geometry->QueryInterface(IID_ST_IProfiledSurface))
                          : nullptr;
    m_geometry = m_profiled ? geometry : nullptr;
    return m_profiled != nullptr;
}

void ST_CExtractedNetworkSurface::BuildRows()
{
    if (!tree)
        return;
    ClearPage();
    CPropTreeItem* root = AddRootItem(L"CURVES");
    nameRowId = AddNamePropertyItem(root, name)->GetCtrlID();
}

int ST_CExtractedNetworkSurface::Refit(const cFitContainer&, double, ISceneObject*, CWnd*)
{
    if (m_geometry)
        m_geometry->Invalidate();
    return 1;
}
