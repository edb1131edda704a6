// CBaseVTLDialog: the base of the modeless tool dialogs that show a mesh in
// a 3D view of their own (the shapes dialog, the segmentation dialog).
//
// It owns the dialog's scene and OpenGL renderer, creates the view window
// over the placeholder control IDC_VIEW_PLACEHOLDER, copies a host mesh into
// the scene, keeps the one-level undo of the triangle selection, stores the
// brush size of the selection tools, saves and restores the window
// placement, routes keys to the view and its interaction mode and lays the
// controls out again when the dialog is resized.
//
// A derived dialog:
//   - passes its template id and the plug-in's settings store;
//   - creates its view object (a cP3DView or a view derived from it) in its
//     constructor and gives it to SetView; the base creates its window in
//     OnInitDialog, and the window deletes the view object when it goes;
//   - creates its tooltip control (SetToolTip hands it to the base);
//   - registers its controls' anchors in SetupControlAnchors, which the
//     base calls at the end of a successful OnInitDialog;
//   - restores and saves its placement under its own registry section.
//
// Selection bits: triangle bit 0 selected, bit 1 hidden; vertex bit 1 marks
// a vertex of a selected visible triangle. The undo state lives in one bit
// of the triangle flag byte borrowed from the process-wide mask.
#pragma once

#include "core/p3d_scene.h"
#include "modes/selection_brush_owner.h"
#include "platform/geometry/uuid.h"
#include "platform/host/dezaz_dialog.h"
#include "shapes/scene_frame.h"

#include <cstdint>
#include <exception>
#include <memory>
#include <thread>

class cDialogAnchorLayout;
class cMesh;
class cMeshObject;
class cP3DView;
class cRegistryStore;
class CDezazMeshObject;
class CToolTipCtrl;
class ON_Mesh;

// The range of the half brush size, in pixels, and its first value.
inline constexpr int kMinHalfBrushSize = 10;
inline constexpr int kMaxDialogHalfBrushSize = 300;
inline constexpr int kDefaultHalfBrushSize = 10;
// Where the brush size is kept.
inline constexpr const wchar_t* kBrushSizeSection = L"Preferences";
inline constexpr const wchar_t* kBrushSizeValue = L"HalfBrushSize";
// A restored placement is at least this large.
inline constexpr int kMinPlacementWidth = 160;
inline constexpr int kMinPlacementHeight = 120;
// The Delete command the dialog passes to its view.
inline constexpr UINT kCmdDelete = 40005;

// Window size states (the type of the last WM_SIZE).
enum : std::uint32_t
{
    kSizeNormal = 0,
    kSizeMinimised = 1,
    kSizeMaximised = 2,
};

// A host mesh copied for LoadHostMesh on a thread of its own (the copy
// itself shares out on the plug-in's pool), so that the caller makes the
// dialog's window and view meanwhile: the view's GL context alone takes
// tens of milliseconds on the calling thread, the copy of a big scan
// hundreds. Where no thread can be had, Take copies.
class cHostMeshCopy
{
public:
    explicit cHostMeshCopy(const ON_Mesh& host);
    ~cHostMeshCopy();
    cHostMeshCopy(const cHostMeshCopy&) = delete;
    cHostMeshCopy& operator=(const cHostMeshCopy&) = delete;

    const ON_Mesh& Host() const { return *m_host; }
    // The mesh object copied, once it is (what the copy threw is thrown
    // here); null after the first call. The caller owns it (a scene object
    // is not freed by its reference count); a copy nobody takes is freed
    // with this.
    std::unique_ptr<cMeshObject> Take();

private:
    void Copy();

    const ON_Mesh* m_host;
    std::unique_ptr<cMeshObject> m_object;
    std::exception_ptr m_error;
    std::thread m_thread;
    bool m_copied = false;
};

class CBaseVTLDialog : public CDezazDialog, public ISelectionBrushOwner
{
    DECLARE_DYNAMIC(CBaseVTLDialog)

public:
    CBaseVTLDialog(UINT templateId, CWnd* parent, cRegistryStore* settings);
    ~CBaseVTLDialog() override;

    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* msg) override;
    // Each derived dialog registers its controls with the anchor layout.
    virtual void SetupControlAnchors() = 0;

    // Copies the host mesh into the scene as a new mesh object (vertices
    // welded, quads split, collapsed faces skipped) and remembers the host
    // object's id. False when the host object holds no mesh. The copy, when
    // given and of this host mesh, is the one taken.
    bool LoadHostMesh(const CDezazMeshObject& hostObject, cHostMeshCopy* copy = nullptr);

    // ISelectionBrushOwner: one wheel step, +1 pixel or -2 pixels, within
    // kMinHalfBrushSize..kMaxDialogHalfBrushSize; written to the settings.
    int GetHalfBrushSize() const override { return m_halfBrushSize; }
    bool ChangeBrushSize(int step) override;

    // The one-level undo of the triangle selection.
    // Forgets the saved selection.
    void ClearSelectionMask();
    // Forgets the saved selection where the caller has cleared the mask bit
    // (GetSelectionMaskBit) of every scene triangle in a pass of its own.
    void SelectionMaskCleared() { m_selectionSaved = false; }
    // Saves the visible selection of every scene mesh (hidden triangles
    // count as unselected).
    void SaveSelectionToMask();
    // The same but for the triangles of savedApart, which the caller saves
    // into the mask bit in a pass of its own.
    void SaveSelectionToMaskBeside(const cMesh* savedApart);
    // Puts the saved selection back and rebuilds the vertex bits; false
    // when nothing was saved. A saved empty selection restores as empty.
    bool RestoreSelectionFromMask();

    // The placement under the settings' base key + "\" + section (the bare
    // base key for null). Restored only when all four values are there,
    // kept at least the minimum size and on the screen; else centred.
    void RestoreWindowPlacement(const wchar_t* section);
    void SaveWindowPlacement(const wchar_t* section);

    cP3DView* GetView() const { return m_view; }
    cP3DScene& GetScene() { return m_scene; }
    cP3DRenderGL& GetRenderer() { return m_renderer; }
    cDialogAnchorLayout* GetAnchorLayout() const { return m_anchors.get(); }
    const ON_UUID& GetHostObjectId() const { return m_hostObjectId; }
    // The runtime serial number of the host object the mesh was copied
    // from (0: none loaded); an object put in its place under the same id
    // has another.
    unsigned int GetHostObjectSerial() const { return m_hostObjectSerial; }
    std::uint32_t GetSizeState() const { return m_sizeState; }
    std::uint8_t GetSelectionMaskBit() const { return m_maskBit; }
    // Maps the dialog's mesh coordinates to host world coordinates.
    double m_placement[12];

protected:
    // Takes ownership of the view object before OnInitDialog.
    void SetView(cP3DView* view);
    // Takes ownership of the tooltip control (relayed every message).
    void SetToolTip(CToolTipCtrl* tooltip);

    // Once the window and its children are gone, the scene's objects (the
    // mesh copy above all) are freed: the holder keeps a closed dialog's
    // object until the dialog is opened again.
    void PostNcDestroy() override;
    afx_msg void OnSize(UINT type, int cx, int cy);
    afx_msg void OnDestroy();
    afx_msg void OnDeleteCommand();
    DECLARE_MESSAGE_MAP()

private:
    bool CreateViewWindow();
    template <class F> void ForEachSceneMesh(F&& f);
    // f(triangle) for every triangle of the scene's meshes, a block of
    // triangles per job of the shared pool; f must touch its triangle only.
    template <class F> void ForEachSceneTriangleOnPool(F&& f, const cMesh* skip = nullptr);

    std::uint8_t m_maskBit;
    // Whether the mask holds a saved selection (an empty one included).
    bool m_selectionSaved = false;
    std::unique_ptr<cDialogAnchorLayout> m_anchors;
    CToolTipCtrl* m_tooltip = nullptr;
    HACCEL m_viewAccelerators = nullptr;
    HACCEL m_toolAccelerators = nullptr;
    ON_UUID m_hostObjectId{};
    unsigned int m_hostObjectSerial = 0;
    cP3DView* m_view = nullptr;
    cRegistryStore* m_settings;
    cP3DScene m_scene;
    cP3DRenderGL m_renderer;
    std::uint32_t m_sizeState = kSizeNormal;
    int m_halfBrushSize = kDefaultHalfBrushSize;
};

// Decides a keystroke for a dialog: in a writable edit control the key is
// never an accelerator (the edit's own PreTranslateMessage decides and the
// result is TRUE); otherwise TranslateAccelerator on the key's window with
// the table. *result is 1 when the key was translated. Returns whether it
// was decided.
BOOL TranslateDialogAccelerator(HWND window, HACCEL table, MSG* msg, BOOL* result);
