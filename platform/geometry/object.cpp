#include "platform/geometry/object.h"

#include "platform/geometry/user_data.h"

ON_Object& ON_Object::operator=(const ON_Object& other)
{
    if (this != &other)
        PurgeUserData();
    return *this;
}

ON_Object::~ON_Object()
{
    PurgeUserData();
}

bool ON_Object::AttachUserData(ON_UserData* user_data)
{
    if (user_data == nullptr || user_data == this || user_data->m_userdata_owner != nullptr ||
        ON_UuidIsNil(user_data->m_userdata_uuid) || GetUserData(user_data->m_userdata_uuid) != nullptr)
        return false;
    user_data->m_userdata_owner = this;
    user_data->m_userdata_next = m_userdata_list;
    m_userdata_list = user_data;
    return true;
}

bool ON_Object::DetachUserData(ON_UserData* user_data)
{
    if (user_data == nullptr || user_data->m_userdata_owner != this)
        return false;
    for (ON_UserData** link = &m_userdata_list; *link != nullptr; link = &(*link)->m_userdata_next)
    {
        if (*link == user_data)
        {
            *link = user_data->m_userdata_next;
            user_data->m_userdata_owner = nullptr;
            user_data->m_userdata_next = nullptr;
            return true;
        }
    }
    return false;
}

ON_UserData* ON_Object::GetUserData(const GUID& userdata_uuid) const
{
    for (ON_UserData* u = m_userdata_list; u != nullptr; u = u->m_userdata_next)
        if (ON_UuidCompare(u->m_userdata_uuid, userdata_uuid) == 0)
            return u;
    return nullptr;
}

void ON_Object::PurgeUserData()
{
    while (m_userdata_list != nullptr)
    {
        ON_UserData* u = m_userdata_list;
        m_userdata_list = u->m_userdata_next;
        u->m_userdata_owner = nullptr;
        u->m_userdata_next = nullptr;
        delete u;
    }
}

bool ON_Geometry::GetBBox(double* box_min, double* box_max, bool grow_box) const
{
    if (!box_min || !box_max)
        return false;
    ON_BoundingBox box = BoundingBox();
    if (!box.IsValid())
        return false;
    if (grow_box)
        box.Union(ON_BoundingBox(ON_3dPoint(box_min), ON_3dPoint(box_max)));
    for (int i = 0; i < 3; ++i)
    {
        box_min[i] = box.m_min[i];
        box_max[i] = box.m_max[i];
    }
    return true;
}
