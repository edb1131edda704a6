// The parameter record of a shape: the user's fitting choices for each of
// its parameters (left to the fit, fixed to a typed value, snapped to an axis
// or the origin, or taken from another shape of the same object), the page of
// rows that shows them in a property tree, and the refit under those choices.
// This header holds the interface every record answers and the row groups
// every page is made of; the records of each kind live beside it.
#pragma once

#include "overlay/prop_tree.h"

#include <cstdint>
#include <string>
#include <vector>

class cFitContainer;
class CWnd;
class ISceneObject;
class ST_IGeometry;

// A direction or point of another shape that a page offers as a choice.
struct stExtractedReference
{
    std::wstring label;
    double value[3] = {0.0, 0.0, 0.0};
};

// Choice codings. Directions: fit, the world axes, custom, then the
// direction references; points: fit, origin, custom, then the point
// references; values: fit, zero, custom.
inline constexpr int kChoiceFitDriven = 0;
inline constexpr int kDirectionXAxis = 1;
inline constexpr int kDirectionYAxis = 2;
inline constexpr int kDirectionZAxis = 3;
inline constexpr int kDirectionCustom = 4;
inline constexpr int kDirectionFirstReference = 5;
inline constexpr int kPointOrigin = 1;
inline constexpr int kPointCustom = 2;
inline constexpr int kPointFirstReference = 3;
inline constexpr int kValueZero = 1;
inline constexpr int kValueCustom = 2;

// How one parameter of a page reads for a refit.
struct stRowParameter
{
    double value = 0.0;
    bool open = false; // the fit chooses it
};

class ST_IExtracted
{
public:
    explicit ST_IExtracted(CPropTree* tree = nullptr) : tree(tree) {}
    virtual ~ST_IExtracted() = default;
    ST_IExtracted(const ST_IExtracted&) = delete;
    ST_IExtracted& operator=(const ST_IExtracted&) = delete;

    virtual bool HasSessionObject() const = 0;
    virtual bool HasDirectionParameter() const = 0;
    virtual bool HasProfileParameter() const = 0;
    // Empties the tree and builds the page (rows only with a geometry).
    virtual void BuildRows() = 0;
    // Puts the shape's current values into the rows.
    virtual void RefreshRows() = 0;
    // Stores the choice or value of an edited row; true when values shown in
    // the page changed because of it.
    virtual bool CommitRow(CPropTreeItem* item) = 0;
    // Makes the page's direction group "Custom" with this vector.
    virtual void RunRowAction(const double direction[3]) = 0;
    // Refits the shape to the points under the page's choices: 1 done, 0 not
    // (too few points, no tree or geometry, a fit that failed, text in a row
    // that is no number, or a result the user turned down).
    virtual int Refit(const cFitContainer& points, double factor, ISceneObject* mesh, CWnd* parent) = 0;
    // The kind's second refit, which ignores the page's choices.
    virtual int RebuildSurface(const cFitContainer& points, double factor) = 0;
    virtual ST_IGeometry* GetSessionObject() const = 0;
    virtual void ResetParameters() = 0;
    // Freezes the page: every choice becomes "Custom".
    virtual void SetDefaultModes() = 0;
    virtual void ApplyDirection(const double transform[12]) = 0;
    virtual bool IsStateId(UINT id) const = 0;
    // A plane's offset that a shape shown again keeps is a distance along its
    // present normal: before a refit under another normal the kinds that keep
    // one leave it to the fit, unless the user has since typed a value or
    // chosen an entry for it. True when it was left to the fit.
    virtual bool LeaveKeptOffsetToTheFit() { return false; }

    CPropTree* tree;
    std::wstring name;
    UINT nameRowId = static_cast<UINT>(-1);
    std::vector<stExtractedReference> directionReferences;
    std::vector<stExtractedReference> pointReferences;
    // Whether the last refit ended because the user turned its result down
    // (a question it asked was answered No), not for want of points.
    bool resultTurnedDown = false;

    // Row groups. Each Add inserts its rows under parent (the tree's top
    // level for null) and returns the group's row, or null without a tree.
    CPropTreeItem* AddRootItem(const wchar_t* title);
    CPropTreeItem* AddNamePropertyItem(CPropTreeItem* parent, const std::wstring& text);
    CPropTreeItem* AddValuePropertyItem(CPropTreeItem* parent, const wchar_t* label, double value, bool readOnly);
    // A read-only row of a fit's RMS; an RMS that was never measured (the
    // stale -FLT_MAX of a hand-drawn sketch, a failed fit's FLT_MAX, anything
    // negative or not finite) shows as an empty field, never as a number.
    CPropTreeItem* AddRmsPropertyItem(CPropTreeItem* parent, const wchar_t* label, double rms);
    CPropTreeItem* AddIntegerPropertyItem(CPropTreeItem* parent, const wchar_t* label, int value);
    // A drop-down row whose entries carry the values 0, 1, ...
    CPropTreeItemCombo* AddChoicePropertyItem(CPropTreeItem* parent, const wchar_t* label,
                                              const std::vector<const wchar_t*>& entries, int value);
    // Direction: the stored choice is clamped to "Custom" at most (and
    // written back); X, Y, Z are read-only until the combo is committed as
    // "Custom" or the group is set to a vector.
    CPropTreeItemCombo* AddVectorPropertyItem(CPropTreeItem* parent, int& choice, const wchar_t* label,
                                              const double vector[3]);
    // Value: one edit with an empty label, editable for "Custom" only.
    CPropTreeItemCombo* AddOffsetPropertyItem(CPropTreeItem* parent, int& choice, const wchar_t* label, double value);
    // Point: the stored choice is clamped to "Custom" at most (and written
    // back); X, Y, Z editable for "Custom" only.
    CPropTreeItemCombo* AddPointPropertyItem(CPropTreeItem* parent, int& choice, const wchar_t* label,
                                             const double point[3]);

    // The group's three edit rows (ids id + 1 .. id + 3) show the vector;
    // their read-only state stays.
    void SetVectorPropertyValues(UINT groupId, const double vector[3]);
    // When changed is the group: the vector, editable rows, "Custom".
    void SetVectorPropertyCustom(CPropTreeItem* changed, UINT groupId, const double vector[3]);
    // The value group's edit row shows the value.
    void SetOffsetPropertyValue(UINT groupId, double value);
    // A value group left "Custom" on the shape's own value, as the row shows
    // it (what a shape shown again keeps), shows "Fit Driven" for the next
    // refit; the stored choice stays. True when it did.
    bool LeaveKeptValueToTheFit(UINT groupId, double own);
    // Whether item is the group's row or one of the rows under it.
    bool IsGroupItem(const CPropTreeItem* item, UINT groupId) const;
    void SetValueRow(UINT rowId, double value);
    void SetRmsRow(UINT rowId, double rms);

    // Commits of the groups, each only when changed is the group's row. The
    // choice becomes the combo's value. A reference choice copies the
    // referenced value into the rows and stays a reference, whatever its
    // position; a reference that no longer exists leaves the rows as they
    // are. True when the values shown changed (axes, origin, references).
    bool OnVectorPropertyChanged(CPropTreeItem* changed, int& choice, UINT groupId, const double current[3]);
    void OnOffsetPropertyChanged(CPropTreeItem* changed, int& choice, UINT groupId);
    bool OnPointPropertyChanged(CPropTreeItem* changed, int& choice, UINT groupId);

    // What a refit reads from a group. A direction or point group: all open
    // for "Fit Driven"; with editable rows ("Custom") a component is open
    // exactly when its text is empty; otherwise all fixed at the rows'
    // values. A value group: open for "Fit Driven", else open exactly when
    // its text is empty. False when a row holds text that is no number (the
    // refit then fails rather than guess), or the group is missing.
    bool ReadTripleGroup(UINT groupId, stRowParameter out[3]) const;
    bool ReadValueGroup(UINT groupId, stRowParameter& out) const;
    // A plain real or integer row; false when it is missing or holds no number.
    bool ReadRealRow(UINT rowId, double& value) const;
    bool ReadIntegerRow(UINT rowId, int& value) const;
    int ComboValue(UINT rowId) const;

protected:
    CPropTreeItem* Insert(CPropTreeItem* item, CPropTreeItem* parent, const wchar_t* label);
    CPropTreeItemEdit* AddRealEdit(CPropTreeItem* parent, const wchar_t* label, double value, bool readOnly);
    CPropTreeItemCombo* AddCombo(CPropTreeItem* parent, const wchar_t* label);
    // The group's first child (X, or the value edit) and its next two.
    CPropTreeItem* GroupRow(UINT groupId, int index) const;
    void SetGroupReadOnly(UINT groupId, int rows, bool readOnly);
    // Empties the tree (no tree: nothing).
    void ClearPage();
};

// The whole direction a refit that takes no partly open direction (the
// revolved and extruded builders) is given for a direction group's rows of
// which some, not all, are open (emptied, or left free by the Horizontal
// button): the fixed components as the rows hold them, each open one the
// shape's current component, made a unit vector under the fixed ones. False
// when no unit vector is left.
bool DirectionFromRows(const stRowParameter rows[3], const double current[3], double out[3]);

// What a direction group's rows give a refit that takes a whole direction:
// every row typed (out holds them as typed, not made a unit vector), some
// open (out completed by DirectionFromRows from the current direction), all
// three emptied (the direction is left to the fit; out holds the rows), or
// no direction at all.
enum class eDirectionRows
{
    kTyped,
    kCompleted,
    kToTheFit,
    kNoDirection
};
eDirectionRows WholeDirectionFromRows(const stRowParameter rows[3], const double current[3], double out[3]);

// Bounding box of the points, widened in doubles from their floats, and its
// largest extent.
void ComputeFitBoundingBox(const cFitContainer& points, double box[6]);
double LargestBoxExtent(const double box[6]);
