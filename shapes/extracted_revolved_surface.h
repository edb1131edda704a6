// The parameter record and page of a surface of revolution: the axis
// direction and the axis point as fitted, snapped or typed, the number of
// sections, and the refit that cuts the reference mesh's selected region
// into sections about the axis and fits the profile to them.
#pragma once

#include "fitting/sweep_surface_builders.h"
#include "shapes/extracted_record.h"

class cMesh;
class ST_IProfiledSurface;

// Profile kinds: 0 none, 1 line, 2 arc, 3 spline, 4 any other curve.
int DetectProfileKind(ST_IProfiledSurface* surface);
// The section count the profile was fitted with (its id; no more than the
// builders take), or withoutProfile when the surface has none.
std::int32_t ProfileSectionCount(ST_IProfiledSurface* surface, std::int32_t withoutProfile);

// Region tag 1 on every triangle the user selected (flag value 1) and did
// not exclude (flag value 2), 0 on every other (the top colour byte stays);
// returns the index of the last tagged triangle, or -1 when none is.
std::int64_t MarkSelectedTriangles(cMesh& mesh);
// MarkSelectedTriangles that marks the region of tag 1 in the same pass:
// kSweepRegionFlag set on the tagged triangles and cleared on every other,
// as MarkRegionFromSeeds(mesh, {last}, false) then leaves them, and in
// `bits` bit i % 64 of word i / 64 set exactly for the tagged triangles i.
std::int64_t MarkSelectedRegion(cMesh& mesh, std::vector<std::uint64_t>& bits);

// True unless the surface's profile was edited by hand and the user, asked
// over parent, keeps it.
bool ConfirmProfileReplacement(ST_IProfiledSurface* surface, CWnd* parent);

class ST_CExtractedRevSurface : public ST_IExtracted
{
public:
    explicit ST_CExtractedRevSurface(CPropTree* tree = nullptr) : ST_IExtracted(tree) {}

    bool AttachGeometry(ST_IGeometry* geometry);

    bool HasSessionObject() const override { return m_geometry != nullptr; }
    bool HasDirectionParameter() const override { return true; }
    bool HasProfileParameter() const override { return true; }
    void BuildRows() override;
    void RefreshRows() override;
    bool CommitRow(CPropTreeItem* item) override;
    void RunRowAction(const double direction[3]) override;
    // 1 fitted, 2 fitted with a spline or other curved profile, 0 not fitted
    // (no geometry or mesh, fewer than 3 points, no selected triangle, the
    // user kept the edited profile, a row that is no number, or a failed
    // fit).
    int Refit(const cFitContainer& points, double factor, ISceneObject* mesh, CWnd* parent) override;
    // The axis stood upright, the rest fitted again; 3 when the user kept
    // the edited profile.
    int RebuildSurface(const cFitContainer& points, double factor) override;
    ST_IGeometry* GetSessionObject() const override { return m_geometry; }
    void ResetParameters() override;
    void SetDefaultModes() override;
    // A 3x4 row-major transform: the direction by its rotation part, the
    // axis point as a point.
    void ApplyDirection(const double transform[12]) override;
    bool IsStateId(UINT id) const override { return id == m_directionId; }

    // Cuts the selected region of the mesh and fits the surface under the
    // parameter block.
    int FitFromMesh(const cFitContainer& points, cMesh* mesh);
    ST_IProfiledSurface* GetProfiledSurface() const { return m_profiled; }

    UINT m_rmsId = 0;
    UINT m_sectionsId = 0;
    UINT m_directionId = 0;
    UINT m_basePointId = 0;
    int m_directionChoice = kChoiceFitDriven;
    int m_basePointChoice = kChoiceFitDriven;
    stProfileFitParams m_block;
    cMesh* m_mesh = nullptr; // the reference mesh of the last refit

private:
    ST_IGeometry* m_geometry = nullptr;
    ST_IProfiledSurface* m_profiled = nullptr;
};
