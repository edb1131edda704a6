// The parameter record and page of a symmetry plane: the plane page's
// "Normal" and "Offset" choices, with the mirror error of the reference mesh
// as its quality, the symmetry fitter's two settings and whether the
// sampled points are shown.
#pragma once

#include "shapes/analytic_primitives.h"
#include "shapes/extracted_record.h"

class ST_CExtractedSymmetryPlane : public ST_IExtracted
{
public:
    explicit ST_CExtractedSymmetryPlane(CPropTree* tree = nullptr) : ST_IExtracted(tree) {}

    bool AttachGeometry(ST_IGeometry* geometry);

    bool HasSessionObject() const override { return m_geometry != nullptr; }
    bool HasDirectionParameter() const override { return true; }
    bool HasProfileParameter() const override { return false; }
    void BuildRows() override;
    void RefreshRows() override;
    bool CommitRow(CPropTreeItem* item) override;
    void RunRowAction(const double direction[3]) override;
    // The mesh object is the reference mesh whose mirror error is measured;
    // without it (or with fewer than 3 points, no tree, no geometry) 0.
    int Refit(const cFitContainer& points, double factor, ISceneObject* mesh, CWnd* parent) override;
    int RebuildSurface(const cFitContainer& points, double factor) override;
    ST_IGeometry* GetSessionObject() const override { return m_geometry; }
    void ResetParameters() override;
    void SetDefaultModes() override;
    void ApplyDirection(const double[12]) override {}
    bool IsStateId(UINT id) const override { return id == m_normalId; }
    bool LeaveKeptOffsetToTheFit() override
    {
        return m_offsetKept && m_geometry && LeaveKeptValueToTheFit(m_offsetId, -m_plane->d);
    }

    UINT m_rmsId = 0;
    UINT m_maxDistanceId = 0;
    UINT m_maxPointsId = 0;
    UINT m_normalId = 0;
    UINT m_offsetId = 0;
    UINT m_symmetryPointsId = 0;
    int m_symmetryPoints = 0; // 0 show, 1 hide
    int m_normalChoice = kChoiceFitDriven;
    int m_offsetChoice = kChoiceFitDriven;
    // The offset is "Custom" because the shape was shown again, and the user
    // has not touched its rows since.
    bool m_offsetKept = false;
    // Seeds of their rows only: the refit reads the rows.
    double m_maxDistance = 1.0;
    int m_maxPoints = 200;

private:
    ST_IGeometry* m_geometry = nullptr;
    cPlane* m_plane = nullptr;
};

// The mirror frame of a normal: rows x, y, z (the unit normal last), each
// row normalised unless it is nearly zero.
void MakeFrameFromNormal(const double normal[3], double frame[3][3]);
