// Data that a plug-in hangs on a geometry object under its own id (the
// deviation analysis keeps its per-vertex results on the analysed mesh this
// way). The object owns what is attached and deletes it with itself; copies
// of an object start without user data, and archives do not store it.
#pragma once

#include "platform/geometry/object.h"
#include "platform/geometry/uuid.h"
#include "platform/geometry/wide_string.h"

class ON_UserData : public ON_Object
{
public:
    ON_UserData() = default;
    // A copy is detached: it belongs to no object until attached itself.
    ON_UserData(const ON_UserData& other);
    ON_UserData& operator=(const ON_UserData& other);
    ~ON_UserData() override;

    // Valid once it has an id.
    bool IsValid(ON_TextLog* text_log = nullptr) const override;
    // The text shown to users for this kind of data.
    virtual bool GetDescription(ON_wString& description);

    ON_Object* Owner() const { return m_userdata_owner; }
    ON_UserData* Next() const { return m_userdata_next; }

    ON_UUID m_userdata_uuid = ON_nil_uuid;

private:
    friend class ON_Object;
    ON_Object* m_userdata_owner = nullptr;
    ON_UserData* m_userdata_next = nullptr;
};
