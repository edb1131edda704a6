#include "shapes/extracted_record.h"

#include "fitting/fit_container.h"
#include "fitting/plane_fit.h"
#include "overlay/prop_tree_number.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <optional>

namespace
{

const wchar_t* const kDirectionEntries[] = {L"Fit Driven", L"X Axis", L"Y Axis", L"Z Axis", L"Custom"};
const wchar_t* const kPointEntries[] = {L"Fit Driven", L"Origin", L"Custom"};
const wchar_t* const kValueEntries[] = {L"Fit Driven", L"Zero", L"Custom"};
const wchar_t* const kComponentLabels[] = {L"X", L"Y", L"Z"};

bool IsBlank(const std::wstring& text)
{
    return text.find_first_not_of(L" \t") == std::wstring::npos;
}

// The number an edit row holds: none for an empty row; false for text that
// is no number.
bool RowNumber(CPropTreeItem* row, std::optional<double>& value)
{
    auto* edit = dynamic_cast<CPropTreeItemEdit*>(row);
    if (!edit)
        return false;
    if (IsBlank(edit->GetText()))
    {
        value.reset();
        return true;
    }
    value = proptree::ScanReal(edit->GetText());
    return value.has_value();
}

} // namespace

CPropTreeItem* ST_IExtracted::Insert(CPropTreeItem* item, CPropTreeItem* parent, const wchar_t* label)
{
    item->SetLabelText(label);
    return tree->InsertItem(item, parent);
}

void ST_IExtracted::ClearPage()
{
    if (tree)
        tree->DeleteAllItems();
}

CPropTreeItem* ST_IExtracted::AddRootItem(const wchar_t* title)
{
    if (!tree)
        return nullptr;
    auto* root = Insert(new CPropTreeItem, nullptr, title);
    root->SetInfoText(L"This is a root level item");
    root->Expand();
    return root;
}

CPropTreeItem* ST_IExtracted::AddNamePropertyItem(CPropTreeItem* parent, const std::wstring& text)
{
    if (!tree)
        return nullptr;
    auto* edit = new CPropTreeItemEdit(CPropTreeItemEdit::kText);
    Insert(edit, parent, L"Name");
    edit->SetItemValue(reinterpret_cast<LPARAM>(text.c_str()));
    return edit;
}

CPropTreeItemEdit* ST_IExtracted::AddRealEdit(CPropTreeItem* parent, const wchar_t* label, double value,
                                              bool readOnly)
{
    auto* edit = new CPropTreeItemEdit(CPropTreeItemEdit::kReal);
    Insert(edit, parent, label);
    edit->SetItemValue(reinterpret_cast<LPARAM>(&value));
    edit->ReadOnly(readOnly);
    return edit;
}

CPropTreeItem* ST_IExtracted::AddValuePropertyItem(CPropTreeItem* parent, const wchar_t* label, double value,
                                                   bool readOnly)
{
    return tree ? AddRealEdit(parent, label, value, readOnly) : nullptr;
}

namespace
{

double ShownRms(double rms)
{
    return std::isfinite(rms) && rms >= 0.0 ? rms : static_cast<double>(FLT_MAX);
}

} // namespace

CPropTreeItem* ST_IExtracted::AddRmsPropertyItem(CPropTreeItem* parent, const wchar_t* label, double rms)
{
    return AddValuePropertyItem(parent, label, ShownRms(rms), true);
}

CPropTreeItem* ST_IExtracted::AddIntegerPropertyItem(CPropTreeItem* parent, const wchar_t* label, int value)
{
    if (!tree)
        return nullptr;
    auto* edit = new CPropTreeItemEdit(CPropTreeItemEdit::kInteger);
    Insert(edit, parent, label);
    edit->SetItemValue(static_cast<LPARAM>(value));
    return edit;
}

CPropTreeItemCombo* ST_IExtracted::AddCombo(CPropTreeItem* parent, const wchar_t* label)
{
    auto* combo = new CPropTreeItemCombo;
    Insert(combo, parent, label);
    combo->CreateComboBox();
    return combo;
}

CPropTreeItemCombo* ST_IExtracted::AddChoicePropertyItem(CPropTreeItem* parent, const wchar_t* label,
                                                         const std::vector<const wchar_t*>& entries, int value)
{
    if (!tree)
        return nullptr;
    CPropTreeItemCombo* combo = AddCombo(parent, label);
    for (std::size_t i = 0; i < entries.size(); ++i)
        combo->SetItemData(combo->AddString(entries[i]), i);
    combo->SetItemValue(value);
    return combo;
}

CPropTreeItemCombo* ST_IExtracted::AddVectorPropertyItem(CPropTreeItem* parent, int& choice, const wchar_t* label,
                                                         const double vector[3])
{
    if (!tree)
        return nullptr;
    CPropTreeItemCombo* combo = AddCombo(parent, label);
    for (int i = 0; i < 5; ++i)
        combo->SetItemData(combo->AddString(kDirectionEntries[i]), static_cast<DWORD_PTR>(i));
    for (std::size_t k = 0; k < directionReferences.size(); ++k)
        combo->SetItemData(combo->AddString(directionReferences[k].label.c_str()), kDirectionFirstReference + k);
    choice = std::clamp(choice, 0, kDirectionCustom);
    combo->SetItemValue(choice);
    combo->Expand();
    for (int k = 0; k < 3; ++k)
        AddRealEdit(combo, kComponentLabels[k], vector[k], true);
    return combo;
}

CPropTreeItemCombo* ST_IExtracted::AddOffsetPropertyItem(CPropTreeItem* parent, int& choice, const wchar_t* label,
                                                         double value)
{
    if (!tree)
        return nullptr;
    CPropTreeItemCombo* combo = AddCombo(parent, label);
    for (int i = 0; i < 3; ++i)
        combo->SetItemData(combo->AddString(kValueEntries[i]), static_cast<DWORD_PTR>(i));
    combo->SetItemValue(choice);
    combo->Expand();
    AddRealEdit(combo, L"", value, combo->GetItemValue() != kValueCustom);
    return combo;
}

CPropTreeItemCombo* ST_IExtracted::AddPointPropertyItem(CPropTreeItem* parent, int& choice, const wchar_t* label,
                                                        const double point[3])
{
    if (!tree)
        return nullptr;
    CPropTreeItemCombo* combo = AddCombo(parent, label);
    for (int i = 0; i < 3; ++i)
        combo->SetItemData(combo->AddString(kPointEntries[i]), static_cast<DWORD_PTR>(i));
    for (std::size_t k = 0; k < pointReferences.size(); ++k)
        combo->SetItemData(combo->AddString(pointReferences[k].label.c_str()), kPointFirstReference + k);
    choice = std::clamp(choice, 0, kPointCustom);
    combo->SetItemValue(choice);
    combo->Expand();
    for (int k = 0; k < 3; ++k)
        AddRealEdit(combo, kComponentLabels[k], point[k], choice != kPointCustom);
    return combo;
}

CPropTreeItem* ST_IExtracted::GroupRow(UINT groupId, int index) const
{
    CPropTreeItem* group = tree ? tree->FindItem(groupId) : nullptr;
    CPropTreeItem* row = group ? group->GetChild() : nullptr;
    for (int i = 0; row && i < index; ++i)
        row = row->GetSibling();
    return row;
}

void ST_IExtracted::SetGroupReadOnly(UINT groupId, int rows, bool readOnly)
{
    for (int k = 0; k < rows; ++k)
        if (CPropTreeItem* row = GroupRow(groupId, k))
            row->ReadOnly(readOnly);
}

void ST_IExtracted::SetVectorPropertyValues(UINT groupId, const double vector[3])
{
    if (!tree)
        return;
    for (UINT k = 0; k < 3; ++k)
        if (CPropTreeItem* row = tree->FindItem(groupId + 1 + k))
        {
            double v = vector[k];
            row->SetItemValue(reinterpret_cast<LPARAM>(&v));
        }
    tree->RefreshItems(tree->FindItem(groupId));
}

void ST_IExtracted::SetVectorPropertyCustom(CPropTreeItem* changed, UINT groupId, const double vector[3])
{
    if (!tree || !changed || changed->GetCtrlID() != groupId)
        return;
    SetVectorPropertyValues(groupId, vector);
    SetGroupReadOnly(groupId, 3, false);
    if (auto* combo = dynamic_cast<CPropTreeItemCombo*>(changed))
    {
        const int index = combo->FindItemData(kDirectionCustom);
        if (index >= 0)
            combo->SetCurSel(index);
    }
    changed->SetItemValue(kDirectionCustom);
}

void ST_IExtracted::SetOffsetPropertyValue(UINT groupId, double value)
{
    if (CPropTreeItem* row = GroupRow(groupId, 0))
    {
        row->SetItemValue(reinterpret_cast<LPARAM>(&value));
        tree->RefreshItems(row);
    }
}

bool ST_IExtracted::LeaveKeptValueToTheFit(UINT groupId, double own)
{
    CPropTreeItem* group = tree ? tree->FindItem(groupId) : nullptr;
    auto* row = dynamic_cast<CPropTreeItemEdit*>(GroupRow(groupId, 0));
    if (!group || !row || group->GetItemValue() != kValueCustom || row->GetText() != proptree::FormatReal(own))
        return false;
    group->SetItemValue(kChoiceFitDriven);
    row->ReadOnly(true);
    tree->RefreshItems(group);
    return true;
}

bool ST_IExtracted::IsGroupItem(const CPropTreeItem* item, UINT groupId) const
{
    return item && groupId != 0 &&
           (item->GetCtrlID() == groupId || (item->GetParent() && item->GetParent()->GetCtrlID() == groupId));
}

void ST_IExtracted::SetValueRow(UINT rowId, double value)
{
    if (CPropTreeItem* row = tree ? tree->FindItem(rowId) : nullptr)
    {
        row->SetItemValue(reinterpret_cast<LPARAM>(&value));
        tree->RefreshItems(row);
    }
}

void ST_IExtracted::SetRmsRow(UINT rowId, double rms)
{
    SetValueRow(rowId, ShownRms(rms));
}

bool ST_IExtracted::OnVectorPropertyChanged(CPropTreeItem* changed, int& choice, UINT groupId,
                                            const double current[3])
{
    if (!tree || !changed || changed->GetCtrlID() != groupId)
        return false;
    choice = static_cast<int>(changed->GetItemValue());
    if (choice >= kDirectionFirstReference)
    {
        const auto k = static_cast<std::size_t>(choice - kDirectionFirstReference);
        if (k >= directionReferences.size())
            return false; // the shape it named is gone: nothing shown changes
        SetVectorPropertyValues(groupId, directionReferences[k].value);
        SetGroupReadOnly(groupId, 3, true);
        return true;
    }
    SetGroupReadOnly(groupId, 3, choice != kDirectionCustom);
    if (choice < kDirectionXAxis || choice > kDirectionZAxis)
        return false;
    const int axis = choice - kDirectionXAxis;
    double v[3] = {0.0, 0.0, 0.0};
    v[axis] = current[axis] < 0.0 ? -1.0 : 1.0;
    SetVectorPropertyValues(groupId, v);
    return true;
}

void ST_IExtracted::OnOffsetPropertyChanged(CPropTreeItem* changed, int& choice, UINT groupId)
{
    if (!tree || !changed || changed->GetCtrlID() != groupId)
        return;
    choice = static_cast<int>(changed->GetItemValue());
    CPropTreeItem* row = GroupRow(groupId, 0);
    if (!row)
        return;
    if (choice == kValueZero)
    {
        double zero = 0.0;
        row->SetItemValue(reinterpret_cast<LPARAM>(&zero));
        tree->RefreshItems(row);
    }
    row->ReadOnly(choice != kValueCustom);
}

bool ST_IExtracted::OnPointPropertyChanged(CPropTreeItem* changed, int& choice, UINT groupId)
{
    if (!tree || !changed || changed->GetCtrlID() != groupId)
        return false;
    choice = static_cast<int>(changed->GetItemValue());
    if (choice >= kPointFirstReference)
    {
        const auto k = static_cast<std::size_t>(choice - kPointFirstReference);
        if (k >= pointReferences.size())
            return false;
        SetVectorPropertyValues(groupId, pointReferences[k].value);
        SetGroupReadOnly(groupId, 3, true);
        return true;
    }
    SetGroupReadOnly(groupId, 3, choice != kPointCustom);
    if (choice != kPointOrigin)
        return false;
    const double origin[3] = {0.0, 0.0, 0.0};
    SetVectorPropertyValues(groupId, origin);
    return true;
}

int ST_IExtracted::ComboValue(UINT rowId) const
{
    CPropTreeItem* row = tree ? tree->FindItem(rowId) : nullptr;
    return row ? static_cast<int>(row->GetItemValue()) : -1;
}

bool ST_IExtracted::ReadTripleGroup(UINT groupId, stRowParameter out[3]) const
{
    CPropTreeItem* group = tree ? tree->FindItem(groupId) : nullptr;
    CPropTreeItem* first = GroupRow(groupId, 0);
    if (!group || !first)
        return false;
    // With editable rows ("Custom") an emptied row is left to the fit; read-
    // only rows fix their values, and one left empty has nothing to fix.
    const bool fitDriven = group->GetItemValue() == kChoiceFitDriven;
    for (int k = 0; k < 3; ++k)
    {
        std::optional<double> v;
        if (!RowNumber(GroupRow(groupId, k), v))
            return false;
        out[k].value = v.value_or(0.0);
        out[k].open = fitDriven || !v.has_value();
    }
    return true;
}

bool ST_IExtracted::ReadValueGroup(UINT groupId, stRowParameter& out) const
{
    CPropTreeItem* group = tree ? tree->FindItem(groupId) : nullptr;
    std::optional<double> v;
    if (!group || !RowNumber(GroupRow(groupId, 0), v))
        return false;
    out.value = v.value_or(0.0);
    out.open = group->GetItemValue() == kChoiceFitDriven || !v.has_value();
    return true;
}

bool ST_IExtracted::ReadRealRow(UINT rowId, double& value) const
{
    std::optional<double> v;
    if (!tree || !RowNumber(tree->FindItem(rowId), v) || !v)
        return false;
    value = *v;
    return true;
}

bool ST_IExtracted::ReadIntegerRow(UINT rowId, int& value) const
{
    auto* edit = tree ? dynamic_cast<CPropTreeItemEdit*>(tree->FindItem(rowId)) : nullptr;
    if (!edit)
        return false;
    auto v = proptree::ScanInt(edit->GetText());
    if (!v)
        return false;
    value = *v;
    return true;
}

bool DirectionFromRows(const stRowParameter rows[3], const double current[3], double out[3])
{
    bool fixed[3];
    for (int k = 0; k < 3; ++k)
    {
        fixed[k] = !rows[k].open;
        out[k] = fixed[k] ? rows[k].value : current[k];
    }
    NormaliseConstrainedDirection(out, fixed);
    const double length = std::sqrt(out[0] * out[0] + out[1] * out[1] + out[2] * out[2]);
    return std::isfinite(length) && std::fabs(length - 1.0) < 1e-9;
}

eDirectionRows WholeDirectionFromRows(const stRowParameter rows[3], const double current[3], double out[3])
{
    for (int k = 0; k < 3; ++k)
        out[k] = rows[k].value;
    const int open = int(rows[0].open) + int(rows[1].open) + int(rows[2].open);
    if (open == 3)
        return eDirectionRows::kToTheFit;
    if (open > 0)
        return DirectionFromRows(rows, current, out) ? eDirectionRows::kCompleted : eDirectionRows::kNoDirection;
    return eDirectionRows::kTyped;
}

void ComputeFitBoundingBox(const cFitContainer& points, double box[6])
{
    for (int k = 0; k < 3; ++k)
    {
        box[k] = DBL_MAX;
        box[k + 3] = -DBL_MAX;
    }
    for (const stFitPoint& p : points.Points())
        for (int k = 0; k < 3; ++k)
        {
            box[k] = std::min(box[k], static_cast<double>(p.position[k]));
            box[k + 3] = std::max(box[k + 3], static_cast<double>(p.position[k]));
        }
}

double LargestBoxExtent(const double box[6])
{
    const double dx = box[3] - box[0], dy = box[4] - box[1], dz = box[5] - box[2];
    if (dx > dy && dx > dz)
        return dx;
    if (dy >= dx && dy > dz)
        return dy;
    return dz;
}
