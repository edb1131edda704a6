#include "platform/mfc/object.h"

#include <cstring>
#include <mutex>
#include <vector>

namespace
{

struct ClassRegistry
{
    std::mutex lock;
    std::vector<CRuntimeClass*> classes;
};

ClassRegistry& Registry()
{
    static ClassRegistry* registry = new ClassRegistry; // filled during static initialisation
    return *registry;
}

CRuntimeClass* NoBase()
{
    return nullptr;
}

} // namespace

CRuntimeClass CObject::classCObject = {"CObject", static_cast<int>(sizeof(CObject)), 0xFFFF, nullptr,
                                       &NoBase};

CRuntimeClass* CObject::GetThisClass()
{
    return &classCObject;
}
CRuntimeClass* CObject::GetRuntimeClass() const
{
    return &classCObject;
}

BOOL CObject::IsKindOf(const CRuntimeClass* cls) const
{
    return GetRuntimeClass()->IsDerivedFrom(cls);
}

CObject* CRuntimeClass::CreateObject() const
{
    if (!m_pfnCreateObject)
    {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    return m_pfnCreateObject();
}

BOOL CRuntimeClass::IsDerivedFrom(const CRuntimeClass* base) const
{
    if (!base)
        return FALSE;
    for (const CRuntimeClass* c = this; c; c = c->m_pfnGetBaseClass ? c->m_pfnGetBaseClass() : nullptr)
        if (c == base)
            return TRUE;
    return FALSE;
}

CRuntimeClass* CRuntimeClass::FromName(const char* className)
{
    if (!className)
        return nullptr;
    if (std::strcmp(className, "CObject") == 0)
        return &CObject::classCObject;
    ClassRegistry& r = Registry();
    std::lock_guard<std::mutex> guard(r.lock);
    for (CRuntimeClass* c : r.classes)
        if (std::strcmp(c->m_lpszClassName, className) == 0)
            return c;
    return nullptr;
}

AFX_CLASSINIT::AFX_CLASSINIT(CRuntimeClass* newClass)
{
    ClassRegistry& r = Registry();
    std::lock_guard<std::mutex> guard(r.lock);
    r.classes.push_back(newClass);
}
