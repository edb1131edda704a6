// The parameter records and pages of the plane, sphere and cylinder.
#pragma once

#include "shapes/analytic_primitives.h"
#include "shapes/extracted_record.h"

class ST_CExtractedPlane : public ST_IExtracted
{
public:
    explicit ST_CExtractedPlane(CPropTree* tree = nullptr) : ST_IExtracted(tree) {}

    // Keeps the geometry when it answers a plane; false (and nothing kept)
    // otherwise.
    bool AttachGeometry(ST_IGeometry* geometry);

    bool HasSessionObject() const override { return m_geometry != nullptr; }
    bool HasDirectionParameter() const override { return true; }
    bool HasProfileParameter() const override { return false; }
    void BuildRows() override;
    void RefreshRows() override;
    bool CommitRow(CPropTreeItem* item) override;
    void RunRowAction(const double direction[3]) override;
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
    UINT m_typeId = 0;
    UINT m_normalId = 0;
    UINT m_offsetId = 0;
    int m_type = 1; // 0 minimal rectangle, 1 aligned to the axes
    int m_normalChoice = kChoiceFitDriven;
    int m_offsetChoice = kChoiceFitDriven;
    // The offset is "Custom" because the shape was shown again, and the user
    // has not touched its rows since.
    bool m_offsetKept = false;

protected:
    ST_IGeometry* m_geometry = nullptr;
    cPlane* m_plane = nullptr;
};

class ST_CExtractedSphere : public ST_IExtracted
{
public:
    explicit ST_CExtractedSphere(CPropTree* tree = nullptr) : ST_IExtracted(tree) {}

    bool AttachGeometry(ST_IGeometry* geometry);

    bool HasSessionObject() const override { return m_geometry != nullptr; }
    bool HasDirectionParameter() const override { return false; }
    bool HasProfileParameter() const override { return false; }
    void BuildRows() override;
    void RefreshRows() override;
    bool CommitRow(CPropTreeItem* item) override;
    void RunRowAction(const double[3]) override {}
    int Refit(const cFitContainer& points, double factor, ISceneObject* mesh, CWnd* parent) override;
    int RebuildSurface(const cFitContainer&, double) override { return 1; }
    ST_IGeometry* GetSessionObject() const override { return m_geometry; }
    void ResetParameters() override;
    void SetDefaultModes() override;
    void ApplyDirection(const double[12]) override {}
    bool IsStateId(UINT) const override { return false; }

    UINT m_rmsId = 0;
    UINT m_centreId = 0;
    UINT m_radiusId = 0;
    int m_centreChoice = kChoiceFitDriven;
    int m_radiusChoice = kChoiceFitDriven;

private:
    // Asks about a radius far beyond the points' extent; false when the
    // user turns it down.
    bool AcceptRadius(const cFitContainer& points, double radius, CWnd* parent);

    ST_IGeometry* m_geometry = nullptr;
    cSphere* m_sphere = nullptr;
};

class ST_CExtractedCylinder : public ST_IExtracted
{
public:
    explicit ST_CExtractedCylinder(CPropTree* tree = nullptr) : ST_IExtracted(tree) {}

    bool AttachGeometry(ST_IGeometry* geometry);

    bool HasSessionObject() const override { return m_geometry != nullptr; }
    bool HasDirectionParameter() const override { return true; }
    bool HasProfileParameter() const override { return false; }
    void BuildRows() override;
    void RefreshRows() override;
    bool CommitRow(CPropTreeItem* item) override;
    void RunRowAction(const double direction[3]) override;
    int Refit(const cFitContainer& points, double factor, ISceneObject* mesh, CWnd* parent) override;
    int RebuildSurface(const cFitContainer& points, double factor) override;
    ST_IGeometry* GetSessionObject() const override { return m_geometry; }
    void ResetParameters() override;
    void SetDefaultModes() override;
    void ApplyDirection(const double[12]) override {}
    bool IsStateId(UINT id) const override { return id == m_directionId; }

    UINT m_rmsId = 0;
    UINT m_directionId = 0;
    UINT m_basePointId = 0;
    UINT m_radiusId = 0;
    int m_directionChoice = kChoiceFitDriven;
    int m_basePointChoice = kChoiceFitDriven;
    int m_radiusChoice = kChoiceFitDriven;

private:
    // Stores base point, unit direction and radius with the RMS and the
    // height of the points along the axis.
    void Store(const cFitContainer& points, double base[3], double direction[3], double radius);

    ST_IGeometry* m_geometry = nullptr;
    cCylinder* m_cylinder = nullptr;
};

// The plane fits the plane and symmetry-plane pages share: the refit under
// the page's "Normal" and "Offset" choices (mirror error aside), and the
// vertical-or-horizontal second refit.
namespace extracted_plane
{

// Step of a plane refit after the rows were read: sets the plane from the
// normal and d, as the page's type asks.
void SetPlane(const cFitContainer& points, tPlane<double>& plane, double& rms, const double normal[3], double d,
              bool aligned, double factor);
int RebuildLevelPlane(const cFitContainer& points, tPlane<double>& plane, double& rms, double factor);

} // namespace extracted_plane
