// The parameter record of a curve-network surface: its page holds only its
// name, and its refit leaves the surface to the network's own curves.
#pragma once

#include "shapes/extracted_record.h"

class ST_IProfiledSurface;

class ST_CExtractedNetworkSurface : public ST_IExtracted
{
public:
    explicit ST_CExtractedNetworkSurface(CPropTree* tree = nullptr) : ST_IExtracted(tree) {}

    // Keeps the geometry when it answers the profiled-surface interface.
    bool AttachGeometry(ST_IGeometry* geometry);

    bool HasSessionObject() const override { return m_geometry != nullptr; }
    bool HasDirectionParameter() const override { return false; }
    bool HasProfileParameter() const override { return false; }
    // Built with or without a geometry: the root "CURVES" and "Name".
    void BuildRows() override;
    void RefreshRows() override {}
    bool CommitRow(CPropTreeItem*) override { return false; }
    void RunRowAction(const double[3]) override {}
    // Drops the surface's derived host geometry; 1.
    int Refit(const cFitContainer& points, double factor, ISceneObject* mesh, CWnd* parent) override;
    int RebuildSurface(const cFitContainer&, double) override { return 1; }
    ST_IGeometry* GetSessionObject() const override { return m_geometry; }
    void ResetParameters() override {}
    void SetDefaultModes() override {}
    void ApplyDirection(const double[12]) override {}
    bool IsStateId(UINT) const override { return false; }

    ST_IProfiledSurface* GetProfiledSurface() const { return m_profiled; }

private:
    ST_IGeometry* m_geometry = nullptr;
    ST_IProfiledSurface* m_profiled = nullptr;
};
