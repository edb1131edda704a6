// The parameter record and page of a free-form (loft) surface: how its guide
// is made (across the fitted patch, along a coordinate axis, or kept), how
// many sections cut the selected region, their sampling, simplification
// threshold and border, and the refit that lofts the sections through the
// reference mesh.
#pragma once

#include "shapes/extracted_record.h"
#include "shapes/loft_guide.h"

#include <cstdint>

class cMesh;
class ST_IProfiledSurface;
template <class TWire> class ST_TLoftSurface;
class Dezaz_Wire;

// Guide kinds of the "Type" row.
inline constexpr std::uint8_t kLoftGuidePatch = 0;
inline constexpr std::uint8_t kLoftGuideAxisAligned = 1;
inline constexpr std::uint8_t kLoftGuideCurve = 2;

class ST_CExtractedLoftSurface : public ST_IExtracted
{
public:
    explicit ST_CExtractedLoftSurface(CPropTree* tree = nullptr) : ST_IExtracted(tree) {}

    // False (and no geometry) for a shape that is not a loft.
    bool AttachGeometry(ST_IGeometry* geometry);

    bool HasSessionObject() const override { return m_geometry != nullptr; }
    bool HasDirectionParameter() const override { return false; }
    bool HasProfileParameter() const override { return false; }
    void BuildRows() override;
    // The loft's own settings into the record, then into the rows.
    void RefreshRows() override;
    bool CommitRow(CPropTreeItem* item) override;
    // (FLT_MAX, FLT_MAX, 0) picks the first guide axis, (0, 0, 1) the second.
    void RunRowAction(const double direction[3]) override;
    // 1 lofted, 0 not (no geometry or points, a row that is no number, no
    // plane for a patch guide, no selected triangle, or no surface came of
    // the sections).
    int Refit(const cFitContainer& points, double factor, ISceneObject* mesh, CWnd* parent) override;
    int RebuildSurface(const cFitContainer&, double) override { return 1; }
    ST_IGeometry* GetSessionObject() const override { return m_geometry; }
    void ResetParameters() override;
    void SetDefaultModes() override {}
    void ApplyDirection(const double[12]) override {}
    bool IsStateId(UINT) const override { return false; }

    // Fresh sections, evenly along the guide, lofted through the mesh.
    int FitFromMesh(cMesh* mesh);
    // The loft's present sections refitted to the mesh's selected region.
    int FitLoftFromMesh(ST_TLoftSurface<Dezaz_Wire>* loft, cMesh* mesh);

    UINT m_typeId = 0;
    UINT m_samplingId = 0;
    UINT m_curvesId = 0;
    UINT m_thresholdId = 0;
    UINT m_expandId = 0;
    UINT m_profilesId = 0;

    std::uint8_t m_type = kLoftGuidePatch;
    stLoftGuideBlock m_guide; // axis choice, up vector and "Curves"
    std::uint8_t m_sampling = 8;
    double m_threshold = 0.05;
    std::int32_t m_expandPercent = 20;
    std::uint8_t m_curveKind = 0; // kLoftCurveSpline
    std::uint8_t m_joinAll = 1;
    std::int32_t m_count = 3;
    std::uint8_t m_showProfiles = 0;

private:
    // The guide the type asks for, then the fit along it.
    int RefitAlongGuide(const cFitContainer& points, ISceneObject* meshObject);

    ST_IGeometry* m_geometry = nullptr;
    ST_IProfiledSurface* m_profiled = nullptr;
    ST_TLoftSurface<Dezaz_Wire>* m_loft = nullptr;
};
