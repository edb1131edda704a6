#include "plugin/dialogs/profile_edit_panel.h"

#include "core/profiled_surface.h"
#include "core/scene_object.h"
#include "modes/profile_edit_mode.h"
#include "modes/shapes_view.h"
#include "plugin/dialogs/shapes_dialog.h"
#include "plugin/dialogs/sketch_page.h"
#include "resources/shapes_dialog.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace
{

constexpr UINT kToolButtons[5] = {IDC_SKETCH_SELECT, IDC_SKETCH_LINE, IDC_SKETCH_TANGENT_ARC, IDC_SKETCH_ARC,
                                  IDC_SKETCH_FREE_FORM};

class cSketchPagePanel : public IProfileEditPanel
{
public:
    cSketchPagePanel(CSubProfileDlg* page, cCPView* view) : m_page(page), m_view(view) {}

    CSubProfileDlg* Page() const { return m_page; }
    cCPView* View() const { return m_view; }
    // The page is going: a mode still holding this panel finds it empty.
    void Detach()
    {
        m_page = nullptr;
        m_view = nullptr;
    }

    void PushUndoState() override
    {
        if (m_page)
            m_page->PushUndoState();
    }
    void ClearUndoStates() override
    {
        if (m_page)
            m_page->ClearUndoStates();
    }
    std::unique_ptr<ST_ISectionCurve> PopUndoState() override
    {
        return m_page ? m_page->PopUndoState() : nullptr;
    }
    void SetDistanceRadiusField(double value, bool isDistance) override
    {
        if (Window())
            m_page->SetDistanceRadiusField(value, isDistance);
    }
    double GetDistanceRadiusValue() override { return Window() ? m_page->GetDistanceRadiusValue() : 0.0; }
    void FocusDistanceField() override
    {
        const HWND edit = Window() ? ::GetDlgItem(Window(), IDC_SKETCH_DISTANCE) : nullptr;
        if (!edit)
            return;
        ::SetFocus(edit);
        ::SendMessageW(edit, EM_SETSEL, 0, -1);
        ::SendMessageW(edit, EM_SCROLLCARET, 0, 0);
    }
    void ShowTool(std::uint32_t tool) override
    {
        if (!Window())
            return;
        for (std::uint32_t i = 0; i < 5; ++i)
            ::SendDlgItemMessageW(Window(), int(kToolButtons[i]), BM_SETSTATE, i == tool ? TRUE : FALSE, 0);
    }
    bool IsSnapping() override { return m_page && m_page->IsSnapping(); }
    bool UseControlPoints() override
    {
        return Window() && ::SendDlgItemMessageW(Window(), IDC_SKETCH_CONTROL_POINTS, BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    int GetSnapDistanceIndex() override { return m_page ? ClampSnapIndex(m_page->GetSnapDistanceIndex()) : 0; }
    int GetSnapAngleIndex() override { return m_page ? ClampSnapIndex(m_page->GetSnapAngleIndex()) : 0; }
    const wchar_t* UnitText() override
    {
        return m_page && m_page->Owner() ? m_page->Owner()->GetUnitText() : L"";
    }
    void NotifyProfileChanged() override
    {
        ISceneObject* object = m_view ? m_view->QueryCurrentObjectInterface() : nullptr;
        if (auto* surface =
                object ? static_cast<ST_IProfiledSurface*>(object->QueryInterface(IID_ST_IProfiledSurface)) : nullptr)
            surface->BuildHostSurface();
        if (m_view && m_view->GetSafeHwnd())
            m_view->RequestRedraw(0);
    }

private:
    HWND Window() const { return m_page ? m_page->GetSafeHwnd() : nullptr; }

    CSubProfileDlg* m_page;
    cCPView* m_view;
};

// Panels stay for the life of the plug-in: a mode may outlive its page.
std::vector<std::unique_ptr<cSketchPagePanel>>& Panels()
{
    static std::vector<std::unique_ptr<cSketchPagePanel>> panels;
    return panels;
}

cUserInteractiveMode<C3DView>* MakeEditProfileMode(std::uint32_t id, std::uint32_t temporary, IBase*, cCPView* view)
{
    for (const auto& panel : Panels())
        if (view && panel->View() == view)
            return MakeProfileEditMode(id, temporary, view, panel.get());
    return nullptr;
}

} // namespace

void RegisterProfileEditPage(CSubProfileDlg* page, cCPView* view)
{
    if (!page || !view)
        return;
    UnregisterProfileEditPage(page);
    Panels().push_back(std::make_unique<cSketchPagePanel>(page, view));
    SetShapesViewModeMaker(kModeEditProfile, &MakeEditProfileMode);
}

void UnregisterProfileEditPage(CSubProfileDlg* page)
{
    for (const auto& panel : Panels())
        if (page && panel->Page() == page)
            panel->Detach();
}
