// A display list kept on a scene object as an attached property, valid
// only while the renderer whose context owns it lives: when that renderer
// releases its GL resources the list is deleted with it. A change of the
// owner's geometry drops the list too, and a drawer may tag the list with a
// key of what it was recorded from (marks, colours) so that a list that no
// longer shows the object is recorded again.
#pragma once

#include "core/attached_property.h"
#include "core/events.h"
#include "platform/wgl/wgl.h"

#include <cstdint>
#include <string_view>
#include <utility>

class I3DSceneRenderer;
class cGLRenderer;

class cGLObjectDrawCache : public IAttachedProperty
{
public:
    cGLObjectDrawCache(std::wstring_view name, ISceneObject* owner);
    ~cGLObjectDrawCache() override;

    // Follows another renderer (null: none); the list of the old one goes.
    void SetRenderer(cGLRenderer* renderer);
    cGLRenderer* GetRenderer() const { return m_renderer; }
    bool IsValid();
    // Starts recording; what is recorded is drawn at the same time, so the
    // frame that records a list also shows the object.
    void BeginRecord();
    void EndRecord();
    void Delete();
    void Call();
    GLuint GetListId() const { return m_list; }
    // What the list was recorded from, as its drawer reckons it.
    std::uint64_t GetContentKey() const { return m_contentKey; }
    void SetContentKey(std::uint64_t key) { m_contentKey = key; }

private:
    void OnRendererReleased(I3DSceneRenderer* renderer);
    void OnOwnerGeometryChanged(ISceneObject* owner);
    void Unsubscribe();

    GLuint m_list = 0;
    std::uint64_t m_contentKey = 0;
    cGLRenderer* m_renderer = nullptr;
    tEventDelegate<I3DSceneRenderer, cGLObjectDrawCache> m_delegate;
    tEventDelegate<ISceneObject, cGLObjectDrawCache> m_geometryChanged;
};

cGLObjectDrawCache* GetOrCreateDrawCache(ISceneObject* object, std::wstring_view name);

// One pass drawn through the named cache of the object: called from the
// list when it is valid and was recorded from the same content key,
// otherwise drawn (and recorded when caching is on).
template <class TPass>
std::uint32_t RunCachedPass(ISceneObject* object, std::wstring_view name, cGLRenderer* renderer, bool useCache,
                            std::uint64_t contentKey, TPass&& pass)
{
    cGLObjectDrawCache* cache = useCache ? GetOrCreateDrawCache(object, name) : nullptr;
    bool recording = false;
    if (cache)
    {
        cache->SetRenderer(renderer);
        if (cache->IsValid() && cache->GetContentKey() == contentKey)
        {
            cache->Call();
            return 0;
        }
        cache->BeginRecord();
        cache->SetContentKey(contentKey);
        recording = cache->GetListId() != 0;
    }
    std::uint8_t complete = 1;
    const std::uint32_t result = pass(complete);
    if (recording)
    {
        cache->EndRecord();
        // A pass cut short by its budget must not be replayed as the object.
        if (!complete)
            cache->Delete();
    }
    return result;
}

template <class TPass>
std::uint32_t RunCachedPass(ISceneObject* object, std::wstring_view name, cGLRenderer* renderer, bool useCache,
                            TPass&& pass)
{
    return RunCachedPass(object, name, renderer, useCache, 0, std::forward<TPass>(pass));
}
