#include "platform/host/dezaz_event_watcher.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace
{

struct WatcherList
{
    std::recursive_mutex lock;
    std::vector<CDezazEventWatcher*> watchers;
};

WatcherList& Watchers()
{
    // Never destroyed: static watchers unregister during exit.
    static WatcherList* list = new WatcherList;
    return *list;
}

// Calls the event on every watcher registered when the event began that is
// still registered and enabled when its turn comes: a watcher may
// unregister itself or another one from inside an event.
template <class Call> void Fire(Call call)
{
    WatcherList& list = Watchers();
    std::vector<CDezazEventWatcher*> snapshot;
    {
        std::lock_guard<std::recursive_mutex> guard(list.lock);
        snapshot = list.watchers;
    }
    for (CDezazEventWatcher* watcher : snapshot)
    {
        {
            std::lock_guard<std::recursive_mutex> guard(list.lock);
            if (std::find(list.watchers.begin(), list.watchers.end(), watcher) == list.watchers.end())
                continue;
        }
        if (watcher->IsEnabled())
            call(*watcher);
    }
}

} // namespace

CDezazEventWatcher::~CDezazEventWatcher()
{
    UnRegister();
}

bool CDezazEventWatcher::Register()
{
    WatcherList& list = Watchers();
    std::lock_guard<std::recursive_mutex> guard(list.lock);
    if (std::find(list.watchers.begin(), list.watchers.end(), this) == list.watchers.end())
        list.watchers.push_back(this);
    return true;
}

bool CDezazEventWatcher::UnRegister()
{
    WatcherList& list = Watchers();
    std::lock_guard<std::recursive_mutex> guard(list.lock);
    const auto it = std::find(list.watchers.begin(), list.watchers.end(), this);
    if (it == list.watchers.end())
        return false;
    list.watchers.erase(it);
    return true;
}

bool CDezazEventWatcher::IsRegistered() const
{
    WatcherList& list = Watchers();
    std::lock_guard<std::recursive_mutex> guard(list.lock);
    return std::find(list.watchers.begin(), list.watchers.end(), this) != list.watchers.end();
}

void CDezazEventWatcher::OnNewDocument(CDezazDoc&) {}
void CDezazEventWatcher::OnBeginOpenDocument(CDezazDoc&, const wchar_t*, BOOL, BOOL) {}
void CDezazEventWatcher::OnBeginSaveDocument(CDezazDoc&, const wchar_t*, BOOL) {}

namespace dezaz
{

void FireNewDocument(CDezazDoc& doc)
{
    Fire([&](CDezazEventWatcher& w) { w.OnNewDocument(doc); });
}

void FireBeginOpenDocument(CDezazDoc& doc, const wchar_t* filename, bool merge, bool reference)
{
    Fire([&](CDezazEventWatcher& w) { w.OnBeginOpenDocument(doc, filename, merge, reference); });
}

void FireBeginSaveDocument(CDezazDoc& doc, const wchar_t* filename, bool export_selected)
{
    Fire([&](CDezazEventWatcher& w) { w.OnBeginSaveDocument(doc, filename, export_selected); });
}

} // namespace dezaz
