// Roots of the geometry library's class tree: every object is an ON_Object;
// everything with a place in space is an ON_Geometry.
#pragma once

#include "platform/geometry/bounding_box.h"
#include "platform/win32/types.h"

class ON_TextLog; // Validity reports are not collected by this library.
class ON_UserData;
class ON_Xform;

class ON_Object
{
public:
    ON_Object() = default;
    // Copies and assignments carry no user data: what is attached belongs to
    // the one object it was attached to (an assigned object drops its own).
    ON_Object(const ON_Object&) {}
    ON_Object& operator=(const ON_Object& other);
    // Deletes the attached user data.
    virtual ~ON_Object();

    virtual bool IsValid(ON_TextLog* text_log = nullptr) const = 0;

    // Takes ownership of the user data. False (nothing attached, the caller
    // still owns it) for null, for data without an id, for data that already
    // belongs to an object, and when data with the same id is attached.
    bool AttachUserData(ON_UserData* user_data);
    // Hands the user data back to the caller; false when it is not attached
    // to this object.
    bool DetachUserData(ON_UserData* user_data);
    // The attached user data with that id, or null.
    ON_UserData* GetUserData(const GUID& userdata_uuid) const;
    ON_UserData* FirstUserData() const { return m_userdata_list; }
    // Deletes every attached user data.
    void PurgeUserData();

private:
    ON_UserData* m_userdata_list = nullptr;
};

class ON_Geometry : public ON_Object
{
public:
    // The empty box when the object has none.
    virtual ON_BoundingBox BoundingBox() const = 0;
    virtual bool Transform(const ON_Xform& xform) = 0;

    // Box corners as three doubles each; with grow_box the box is unioned
    // into the given one. False when the object has no box.
    bool GetBBox(double* box_min, double* box_max, bool grow_box = false) const;
};
