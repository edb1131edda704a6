#include "platform/geometry/user_data.h"

ON_UserData::ON_UserData(const ON_UserData& other) : ON_Object(other), m_userdata_uuid(other.m_userdata_uuid) {}

ON_UserData& ON_UserData::operator=(const ON_UserData& other)
{
    // The link to an owner is the object's business, never copied.
    if (this != &other)
        m_userdata_uuid = other.m_userdata_uuid;
    return *this;
}

ON_UserData::~ON_UserData()
{
    // Deleted by someone else than its owner: leave the owner's list whole.
    if (m_userdata_owner != nullptr)
        m_userdata_owner->DetachUserData(this);
}

bool ON_UserData::IsValid(ON_TextLog*) const
{
    return ON_UuidIsNotNil(m_userdata_uuid);
}

bool ON_UserData::GetDescription(ON_wString& description)
{
    description.Empty();
    return true;
}
