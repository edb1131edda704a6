// CUIM_Deviation: the shapes view's mode that shows the deviation of the
// reference mesh from the current shape. The mesh shows the colours of the
// last deviation pass; the deviation of the vertex under the cursor follows
// the mouse, a click fixes a label there, and the extremes are labelled
// when the Deviation page asks for it. Numbers and labels come from the
// page (IDeviationPage), which the mode finds through its view.
//
// The probe reads a face-id image of the mesh. The image is drawn again
// after every full redraw of the view (which overwrites the back buffer)
// and whenever the camera, the viewport or the mesh changed since it was
// drawn, so a probe never reads a stale or foreign image.
#pragma once

#include "modes/screen_selection.h"

#include <array>
#include <cfloat>
#include <cstdint>
#include <string>
#include <vector>

class cMesh;
class cMeshObject;
class cVTL_AVTree;
class I3DSceneRenderer;
class ISceneObject;

inline constexpr std::uint32_t kDeviationModeId = 0xCB07E9;
inline constexpr UINT kDeviationContextMenu = 3083;
inline constexpr std::uint32_t kCursorDeviation = 3041;
inline constexpr UINT kCmdReinitializeDeviation = 32804;

// A label of the Deviation page.
struct stDeviationPageLabel
{
    GUID object = {};           // the mesh object it was picked on
    float picked[3] = {0, 0, 0};
    float point[3] = {0, 0, 0}; // the analysed vertex nearest to the pick
    float deviation = FLT_MAX;  // FLT_MAX: out of tolerance
    bool found = false;
    double distance = FLT_MAX;
    std::uint8_t rgb[3] = {255, 255, 255};
};

// What the mode asks of the Deviation page.
class IDeviationPage
{
public:
    virtual ~IDeviationPage() = default;
    // Measures the view's meshes against the current shape again.
    virtual void UpdateDeviationInfo(bool redraw) = 0;
    virtual void ApplyTolerance() = 0;
    // A label at the analysed vertex of the object nearest to the point.
    virtual bool AddPickedPoint(ISceneObject* object, const float point[3]) = 0;
    virtual const std::vector<stDeviationPageLabel>& PageLabels() const = 0;
    virtual bool SelectionOnly() const = 0;
    virtual bool ShowMinMax() const = 0;
    // Brings the page to the front (the dialog's other panel hidden).
    virtual void ShowPage() = 0;
    virtual std::wstring UnitText() const = 0;
};

// The page of a view; null when none is registered.
IDeviationPage* FindDeviationPage(C3DView* view);
// Registers (or, with null, forgets) the page of a view.
void SetDeviationPage(C3DView* view, IDeviationPage* page);

// Sets the selection-only switch of the view's deviation display (the
// page's Selection only); nothing for a view without the plug-in's scene.
void SetDeviationSelectionOnly(C3DView* view, bool on);
// The meshes were measured again: the view's deviation display, when it
// runs, reads the probed vertex's value from the new pass.
void RereadDeviationProbe(C3DView* view);

// The probe of the vertex under the cursor over one mesh object.
class cDeviationProbe
{
public:
    // Inactive, no point, no value.
    void Reset();
    // The back buffer no longer holds the id image.
    void Invalidate() { m_imageValid = false; }
    // Draws the mesh's face-id image into the renderer's back buffer and
    // remembers the camera, viewport and mesh it shows. A mesh of more
    // triangles than an image names (span: the 24-bit ids') is drawn a
    // window of them at a time: this image names those from `first` on.
    bool RenderImage(I3DSceneRenderer& renderer, const cMesh& mesh, std::uint32_t first = 0,
                     std::uint32_t span = kMaxColourIdTriangles);
    // Whether the id image shows the renderer's camera and this mesh.
    bool ImageIsCurrent(I3DSceneRenderer& renderer, const cMesh& mesh) const;
    // Looks at the vertex under the cursor; true when what the probe shows
    // may have changed. A value is read only after the cursor moved from
    // one vertex to another; a vertex without a record shows none.
    // On a mesh beyond one image's ids, the windows' images are drawn in
    // turn until one names a triangle under the cursor.
    bool Probe(I3DSceneRenderer& renderer, cMeshObject& object, POINT cursor,
               std::uint32_t span = kMaxColourIdTriangles);

    // After another pass (another shape, tolerance or selection): the
    // vertex under the cursor shows what that pass measured there.
    void Reread(cMeshObject& object);

    bool IsActive() const { return m_active; }
    const float* Point() const { return m_point; }
    float Value() const { return m_value; }
    bool HasValue() const { return m_active && m_point[0] != FLT_MAX && m_value != FLT_MAX; }

private:
    struct stImageKey
    {
        double view[12] = {};
        float centre[3] = {};
        RECT viewport{};
        bool perspective = false;
        const cMesh* mesh = nullptr;
        std::uint32_t vertices = 0;
        std::uint32_t triangles = 0;
        bool operator==(const stImageKey& other) const;
    };
    static stImageKey KeyOf(I3DSceneRenderer& renderer, const cMesh& mesh);
    bool Deactivate();
    static float RecordedDeviation(cMeshObject& object, const cMesh& mesh, std::uint32_t index);

    bool m_active = false;
    bool m_lookedUp = false; // m_value is the record of m_index
    std::uint32_t m_index = 0;
    float m_point[3] = {FLT_MAX, FLT_MAX, FLT_MAX};
    float m_value = FLT_MAX;
    bool m_imageValid = false;
    stImageKey m_key;
    // The window of triangles the image names: from m_first, m_span of them.
    std::uint32_t m_first = 0;
    std::uint32_t m_span = kMaxColourIdTriangles;
};

// A label as the overlay draws it.
struct stDeviationOverlayLabel
{
    std::wstring text;
    POINT at{0, 0};        // top left, 15 right and 30 up of the point
    std::uint32_t colour;  // the label's colour, as packed for the overlay
};

class CUIM_Deviation : public CUIM_ScreenSelection
{
public:
    // Label colours (the overlay's 0xAARRGGBB): each extreme in the colour of
    // its end of the scale, blue (entry 5 of the colour table) for the
    // minimum and red (entry 1) for the maximum.
    static constexpr std::uint32_t kMinimumColour = 0xFF0000FFu;
    static constexpr std::uint32_t kMaximumColour = 0xFFFF0000u;
    static constexpr std::uint32_t kPageLabelColour = 0xff505050u;
    static constexpr int kMarkerPixels = 5;

    CUIM_Deviation(std::uint32_t id, std::uint32_t temporary, C3DView* view);
    ~CUIM_Deviation() override;

    BOOL OnLButtonDown(POINT point, UINT flags, C3DView* view) override;
    BOOL OnLButtonUp(POINT, UINT, C3DView*) override { return 0; }
    BOOL OnLButtonDblClk(POINT, UINT, C3DView*) override { return 0; }
    BOOL OnMouseMove(POINT point, UINT flags, C3DView* view) override;
    BOOL OnMouseWheel(UINT flags, short delta, POINT screen, C3DView* view) override;
    void OnSize(UINT type, int cx, int cy, C3DView* view) override;
    BOOL OnCommand(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* info, C3DView* view) override;
    void OnEscape(C3DView*) override { HideQuickPopups(); }
    void OnActivate(C3DView* view) override;
    int OnSetCursor(C3DView* view, UINT hitTest, UINT message) override;
    BOOL GetContextMenu(UINT* menuId, CWnd** target) override;
    void DrawGL(C3DView* view) override;
    void OnAfterFullRedraw(C3DView* view) override;
    void DrawOverlay(GpGraphics* graphics, C3DView* view) override;
    const wchar_t* GetClassName() const override { return L"CUIM_Deviation"; }

    // The labels the overlay shows now, in drawing order.
    std::vector<stDeviationOverlayLabel> OverlayLabels(C3DView* view) const;
    // World points that get a marker, in drawing order.
    std::vector<std::array<float, 3>> MarkerPoints() const;
    const cDeviationProbe& Probe() const { return probe; }
    void RereadProbe(cMeshObject& object) { probe.Reread(object); }
    // The first mesh object of the view's scene (looked up each time, so a
    // mesh removed from the scene is never reached).
    cMeshObject* ProbedObject() const;

private:
    IDeviationPage* Page() const;
    void Invalidate() const;
    // The shapes dialog's quick shape pickers go when the user works here.
    void HideQuickPopups() const;
    // The extremes of each analysed mesh, when the page shows them.
    template <class F> void ForEachExtreme(F f) const;
    // The view's scene draws its meshes in the pass's vertex colours while
    // the mode runs, and as before once it ends.
    void ShowVertexColours();
    void RestoreDisplay();

    cDeviationProbe probe;
    bool displayTaken = false;
    std::uint32_t previousBoxMode = 0;
    std::wstring unitText;
};

// The shapes view's maker of the mode (registered with the view).
cUserInteractiveMode<C3DView>* MakeDeviationMode(std::uint32_t id, std::uint32_t temporary, IBase* initial,
                                                 class cCPView* view);
