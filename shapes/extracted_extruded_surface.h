// The parameter record and page of an extruded surface: the extrusion
// direction as fitted, snapped or typed, the draft angle (none, measured on
// the mesh, or typed), the number of sections, and the refit that cuts the
// reference mesh's selected region across the direction and fits the
// profile to the sections.
#pragma once

#include "fitting/sweep_surface_builders.h"
#include "shapes/extracted_record.h"

class cMesh;
class ST_IProfiledSurface;

class ST_CExtractedExtSurface : public ST_IExtracted
{
public:
    explicit ST_CExtractedExtSurface(CPropTree* tree = nullptr) : ST_IExtracted(tree) {}

    bool AttachGeometry(ST_IGeometry* geometry);

    bool HasSessionObject() const override { return m_geometry != nullptr; }
    bool HasDirectionParameter() const override { return true; }
    bool HasProfileParameter() const override { return true; }
    void BuildRows() override;
    void RefreshRows() override;
    bool CommitRow(CPropTreeItem* item) override;
    void RunRowAction(const double direction[3]) override;
    // 1 fitted, 2 fitted with a spline or other curved profile, 0 not (as
    // for the revolved surface).
    int Refit(const cFitContainer& points, double factor, ISceneObject* mesh, CWnd* parent) override;
    // The direction stood upright, the rest fitted again; 3 when the user
    // kept the edited profile.
    int RebuildSurface(const cFitContainer& points, double factor) override;
    ST_IGeometry* GetSessionObject() const override { return m_geometry; }
    void ResetParameters() override;
    void SetDefaultModes() override;
    void ApplyDirection(const double transform[12]) override;
    bool IsStateId(UINT id) const override { return id == m_directionId; }

    // factor 1 puts the profile at the bottom of the region and the
    // extrusion over its height; more leaves a margin on both ends.
    int FitFromMesh(const cFitContainer& points, cMesh* mesh, double factor = 1.0);
    ST_IProfiledSurface* GetProfiledSurface() const { return m_profiled; }

    UINT m_directionId = 0;
    UINT m_sectionsId = 0;
    UINT m_draftId = 0;
    int m_directionChoice = kChoiceFitDriven;
    int m_draftChoice = kValueZero;
    stProfileFitParams m_block;
    cMesh* m_mesh = nullptr;

private:
    ST_IGeometry* m_geometry = nullptr;
    ST_IProfiledSurface* m_profiled = nullptr;
};
