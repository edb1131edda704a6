// Scene objects for the scene and container tests: a plain kind with a
// settable box and pick answer, and a group kind.
#pragma once

#include "core/bounding_box.h"
#include "core/scene_object.h"

#include <algorithm>
#include <string>
#include <vector>

struct FakeShape
{
};

class FakeSceneObject : public tSceneObject<FakeShape>
{
public:
    explicit FakeSceneObject(std::vector<std::wstring>* destroyed = nullptr, const wchar_t* name = L"",
                             bool withGeometry = true)
        : m_destroyed(destroyed)
    {
        SetName(name);
        if (withGeometry)
            m_geometry = new FakeShape;
        MakeEmptyBox3f(m_box);
    }
    ~FakeSceneObject() override
    {
        if (m_destroyed)
            m_destroyed->push_back(GetName());
    }

    bool SaveProperties(IKeyValueStore*) override { return false; }
    bool LoadProperties(IKeyValueStore*, IProcProgress*) override { return false; }
    bool UpdateGeometry() override { return true; }
    GUID GetClassGuid() const override { return m_class; }
    void GetBoundingBox(float box[6]) override { std::copy(m_box, m_box + 6, box); }
    stHitRecord PickSurfacePoint(float, float, const stScreenProjection&) override { return m_pick; }
    t3DPoint<float> AveragePointInWindow(const stScreenProjection&, float, float) override { return m_average; }

    void SetBox(float x0, float y0, float z0, float x1, float y1, float z1)
    {
        m_box[0] = x0, m_box[1] = y0, m_box[2] = z0, m_box[3] = x1, m_box[4] = y1, m_box[5] = z1;
    }

    float m_box[6];
    stHitRecord m_pick;
    t3DPoint<float> m_average = kInvalidPoint;
    GUID m_class = kNullGuid;

private:
    std::vector<std::wstring>* m_destroyed;
};

class FakeGroupObject : public FakeSceneObject, public ISceneObjectGroup
{
public:
    using FakeSceneObject::FakeSceneObject;

    void* QueryInterface(const GUID& iid) override
    {
        return IsEqualInterfaceId(iid, IID_ISceneObjectGroup) ? static_cast<ISceneObjectGroup*>(this) : nullptr;
    }
    using IBase::QueryInterface;

    void AddMember(ISceneObject* member)
    {
        m_members.push_back(member);
        member->SetGroupGuid(GetObjectId());
    }
    std::size_t GetMemberCount() const override { return m_members.size(); }
    ISceneObject* GetMember(std::size_t index) const override
    {
        return index < m_members.size() ? m_members[index] : nullptr;
    }
    bool RemoveMember(ISceneObject* member) override
    {
        auto it = std::find(m_members.begin(), m_members.end(), member);
        if (it == m_members.end())
            return false;
        m_members.erase(it);
        member->SetGroupGuid(kNullGuid);
        return true;
    }

private:
    std::vector<ISceneObject*> m_members;
};
