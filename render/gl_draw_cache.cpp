#include "render/gl_draw_cache.h"

#include "core/scene_object.h"
#include "render/gl_renderer.h"

namespace
{

// Draw-cache calls come from outside the frame too (a renderer signalling
// from its own Release): each makes the cache's context current for its GL
// calls and puts the caller's back.
class ContextScope
{
public:
    explicit ContextScope(cGLRenderer* renderer) : m_renderer(renderer)
    {
        if (m_renderer && !m_renderer->IsCurrent())
        {
            m_renderer->MakeCurrent();
            m_switched = true;
        }
    }
    ~ContextScope()
    {
        if (m_switched)
            m_renderer->RestoreCurrent();
    }
    ContextScope(const ContextScope&) = delete;
    ContextScope& operator=(const ContextScope&) = delete;
    bool Ok() const { return m_renderer && m_renderer->IsCurrent(); }

private:
    cGLRenderer* m_renderer;
    bool m_switched = false;
};

} // namespace

cGLObjectDrawCache::cGLObjectDrawCache(std::wstring_view name, ISceneObject* owner)
    : IAttachedProperty(name, owner), m_geometryChanged(this, &cGLObjectDrawCache::OnOwnerGeometryChanged)
{
    m_delegate.Bind(this, &cGLObjectDrawCache::OnRendererReleased);
    if (owner)
        owner->GetGeometryChangedEvent().Subscribe(&m_geometryChanged);
}

cGLObjectDrawCache::~cGLObjectDrawCache()
{
    Delete();
    Unsubscribe();
    if (GetOwner())
        GetOwner()->GetGeometryChangedEvent().Unsubscribe(&m_geometryChanged);
}

void cGLObjectDrawCache::OnOwnerGeometryChanged(ISceneObject*)
{
    // Moved or rebuilt geometry: the list shows where the object was.
    Delete();
}

void cGLObjectDrawCache::Unsubscribe()
{
    if (m_renderer)
        m_renderer->m_releaseEvent.Unsubscribe(&m_delegate);
}

void cGLObjectDrawCache::SetRenderer(cGLRenderer* renderer)
{
    if (renderer == m_renderer)
        return;
    Delete();
    Unsubscribe();
    m_renderer = renderer;
    if (m_renderer)
        m_renderer->m_releaseEvent.Subscribe(&m_delegate);
}

void cGLObjectDrawCache::OnRendererReleased(I3DSceneRenderer*)
{
    Delete();
    Unsubscribe();
    m_renderer = nullptr;
}

bool cGLObjectDrawCache::IsValid()
{
    if (!m_list)
        return false;
    ContextScope scope(m_renderer);
    return scope.Ok() && glIsList(m_list) == GL_TRUE;
}

void cGLObjectDrawCache::BeginRecord()
{
    Delete();
    ContextScope scope(m_renderer);
    if (!scope.Ok())
        return;
    m_list = glGenLists(1);
    if (m_list)
        glNewList(m_list, GL_COMPILE_AND_EXECUTE);
}

void cGLObjectDrawCache::EndRecord()
{
    if (m_list)
        glEndList();
}

void cGLObjectDrawCache::Delete()
{
    if (!m_list)
        return;
    ContextScope scope(m_renderer);
    // Without its own context the name may belong to another context's
    // list: it is forgotten, never deleted elsewhere.
    if (scope.Ok())
        glDeleteLists(m_list, 1);
    m_list = 0;
}

void cGLObjectDrawCache::Call()
{
    if (m_list)
        glCallList(m_list);
}

cGLObjectDrawCache* GetOrCreateDrawCache(ISceneObject* object, std::wstring_view name)
{
    return GetOrCreateAttachedProperty<cGLObjectDrawCache>(object, name);
}
