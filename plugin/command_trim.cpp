#include "plugin/command_trim.h"
#include "plugin/commands.h"

#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_doc.h"
#include "platform/host/dezaz_get_object.h"
#include "platform/host/geometry_services_breps.h"
#include "platform/host/visual_analysis_mode.h"

#include <memory>
#include <vector>

BrepSplitService SplitBrep = DezazBrepSplit;

namespace
{

const ON_Brep* BrepOf(const CDezazObject* object)
{
    const auto* brep = dynamic_cast<const CDezazBrepObject*>(object);
    return brep ? brep->Brep() : nullptr;
}

class CCommand_vtl_PowerTrim : public CDezazCommand
{
public:
    ON_UUID CommandUUID() override
    {
        // {8D4B1F63-A2C7-4E09-B5D8-37F6E1A9C024}
        return {0x8D4B1F63, 0xA2C7, 0x4E09, {0xB5, 0xD8, 0x37, 0xF6, 0xE1, 0xA9, 0xC0, 0x24}};
    }
    const wchar_t* EnglishCommandName() override { return L"vtlTrim"; }

    result RunCommand(const CDezazCommandContext& context) override
    {
        CDezazDoc& doc = context.Document();
        HideOthers(doc);
        // Whatever happens from here on (a cancelled pick, a failed split, a
        // prompt nobody answers), the user gets the hidden objects back.
        struct cShowAgain
        {
            CCommand_vtl_PowerTrim& command;
            CDezazDoc& doc;
            ~cShowAgain() { command.ShowHidden(doc); }
        } showAgain{*this, doc};

        CDezazGetObject go;
        go.SetCommandPrompt(L"Click on surface to be trimmed");
        go.SetGeometryFilter(CDezazGetObject::surface_object | CDezazGetObject::polysrf_face);
        go.EnablePreSelect(false);
        if (go.GetObjects(1, 1) != CDezazGet::object)
            return success;
        const CDezazObjRef& picked = go.Object(0);
        // The cutters are the surfaces visible once the pick is made: the
        // shapes dialog can create one while the pick waits.
        CollectCutters(doc);
        ON_3dPoint at;
        if (!picked.SelectionPoint(at) || !IsCutter(picked))
        {
            DezazApp().Print(L"Only a visible polysurface can be trimmed; nothing was trimmed.\n");
            return success;
        }
        TrimObject(doc, picked, at);
        CollectCutters(doc);
        return success;
    }

private:
    // Kept by id: an object put in its place while the pick waits (a scan
    // the shapes dialog moved) is shown again as the one hidden would be.
    struct stHidden
    {
        ON_UUID id = ON_nil_uuid;
        bool locked = false;
    };

    void HideOthers(CDezazDoc& doc)
    {
        m_hidden.clear();
        CDezazObjectIterator it(doc, dezaz_normal_objects | dezaz_locked_objects, dezaz_active_objects);
        for (const CDezazObject* object = it.First(); object; object = it.Next())
            if (!object->IsHidden() && object->ObjectType() != DezazObjectType::brep)
                m_hidden.push_back({object->ModelObjectId(), object->IsLocked()});
        for (const stHidden& hidden : m_hidden)
            if (const CDezazObject* object = doc.LookupObject(hidden.id))
                doc.HideObject(CDezazObjRef(object));
        doc.Regen();
    }

    void ShowHidden(CDezazDoc& doc)
    {
        for (const stHidden& hidden : m_hidden)
        {
            const CDezazObject* object = doc.LookupObject(hidden.id);
            if (!object || !doc.ShowObject(CDezazObjRef(object)) || !hidden.locked)
                continue;
            // Shown as it was: a locked object stays locked.
            ON_3dmObjectAttributes attributes = object->Attributes();
            attributes.SetMode(ON_3dmObjectAttributes::object_mode::locked_object);
            doc.ModifyObjectAttributes(CDezazObjRef(object), attributes);
        }
        m_hidden.clear();
        doc.Regen();
    }

    void CollectCutters(const CDezazDoc& doc)
    {
        m_cutters.clear();
        CDezazObjectIterator it(doc, dezaz_normal_objects | dezaz_locked_objects | dezaz_hidden_objects,
                                dezaz_active_objects | dezaz_reference_objects);
        it.SetObjectFilter(static_cast<unsigned int>(DezazObjectType::brep));
        it.EnableVisibleFilter();
        for (const CDezazObject* object = it.First(); object; object = it.Next())
            m_cutters.emplace_back(object);
    }

    bool IsCutter(const CDezazObjRef& ref) const
    {
        for (const CDezazObjRef& cutter : m_cutters)
            if (cutter.RuntimeSerialNumber() == ref.RuntimeSerialNumber())
                return true;
        return false;
    }

    // True when a piece was left out. The picked surface goes only when a
    // piece takes its place, so a trim never loses the user's surface.
    bool TrimObject(CDezazDoc& doc, const CDezazObjRef& picked, const ON_3dPoint& point)
    {
        const CDezazObject* object = picked.Object();
        const ON_Brep* brep = BrepOf(object);
        if (!brep)
            return false;
        const double tolerance = doc.AbsoluteTolerance();

        ON_SimpleArray<const ON_Brep*> others;
        for (const CDezazObjRef& cutter : m_cutters)
            if (cutter.RuntimeSerialNumber() != picked.RuntimeSerialNumber())
                if (const ON_Brep* other = BrepOf(cutter.Object()))
                    others.Append(other);
        if (others.Count() == 0)
        {
            DezazApp().Print(L"There is no other visible polysurface to trim with.\n");
            return false;
        }
        const std::unique_ptr<ON_Brep> cutter(DezazMergeBreps(others, tolerance));
        if (!cutter)
        {
            DezazApp().Print(L"The cutting polysurfaces could not be merged.\n");
            return false;
        }

        ON_SimpleArray<ON_Brep*> split;
        const bool splitDone = SplitBrep(*brep, *cutter, tolerance, split);
        std::vector<std::unique_ptr<ON_Brep>> pieces;
        for (int i = 0; i < split.Count(); ++i)
            if (split[i])
                pieces.emplace_back(split[i]);
        if (!splitDone)
        {
            DezazApp().Print(L"Internal splitting failed.\n");
            return false;
        }
        if (pieces.size() < 2)
        {
            DezazApp().Print(L"Single surface is not trimmed. Delete manualy.\n");
            return false;
        }

        ON_3dmObjectAttributes attributes = object->Attributes();
        attributes.m_uuid = ON_nil_uuid;
        bool discarded = false;
        int added = 0;
        for (std::unique_ptr<ON_Brep>& piece : pieces)
        {
            // The pick lies on the surface, so a kept piece is one the pick
            // lies on (within the tolerance), not one it is inside of.
            if (!DezazIsPointOnBrep(*piece, point, tolerance))
            {
                discarded = true;
                continue;
            }
            auto pieceObject =
                std::make_unique<CDezazBrepObject>(std::unique_ptr<ON_Geometry>(piece.release()), attributes);
            CDezazObject* placed = doc.AddObject(std::move(pieceObject));
            if (!placed)
            {
                discarded = true;
                continue;
            }
            DezazCopyAnalysisModes(object, placed);
            ++added;
        }
        if (added == 0)
        {
            DezazApp().Print(L"No piece lies under the picked point; the surface is kept as it was.\n");
            return discarded;
        }
        doc.DeleteObject(picked);
        doc.Redraw();
        return discarded;
    }

    std::vector<stHidden> m_hidden;
    std::vector<CDezazObjRef> m_cutters;
};

CCommand_vtl_PowerTrim theTrimCommand;

} // namespace

CDezazCommand& vtl::TrimCommand()
{
    return theTrimCommand;
}
