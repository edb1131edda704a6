#include "platform/host/object_registry.h"

#include <atomic>
#include <mutex>
#include <unordered_map>

namespace dezaz
{

namespace
{

struct Registry
{
    std::mutex lock;
    std::unordered_map<unsigned int, CDezazObject*> objects;
};

Registry& TheRegistry()
{
    // Never destroyed: documents held by other statics forget their objects
    // during exit, in no order relative to this table.
    static Registry* registry = new Registry;
    return *registry;
}

std::atomic<unsigned int> g_next_serial{1};

} // namespace

unsigned int NextRuntimeSerialNumber()
{
    return g_next_serial.fetch_add(1);
}

void RememberObject(unsigned int serial, CDezazObject* object)
{
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    r.objects[serial] = object;
}

void ForgetObject(unsigned int serial)
{
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    r.objects.erase(serial);
}

CDezazObject* FindObject(unsigned int serial)
{
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    const auto it = r.objects.find(serial);
    return it == r.objects.end() ? nullptr : it->second;
}

} // namespace dezaz
