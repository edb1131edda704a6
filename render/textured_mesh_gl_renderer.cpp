#include "render/textured_mesh_gl_renderer.h"

#include "core/decorator_object.h"
#include "core/mesh.h"
#include "core/scene_object.h"
#include "render/gl_draw_cache.h"
#include "render/gl_renderer.h"

bool AllTexturesBound(ITexturedMeshObject* object)
{
    if (!object)
        return false;
    for (const stTextureRecord& record : object->GetTextureRecords())
        if (record.name == kNoTextureName)
            return false;
    return true;
}

void BindTexturesToCache(ITexturedMeshObject* object, I3DSceneRenderer* renderer)
{
    if (!object)
        return;
    object->SetTextureRenderer(renderer);
    if (!renderer)
        return;
    for (stTextureRecord& record : object->GetTextureRecords())
        if (record.name == kNoTextureName)
            record.name = renderer->UploadTexture(&record.image);
}

bool cTexturedMeshGLRenderer::AttachObject(ISceneObject* object)
{
    auto* textured = object ? static_cast<ITexturedMeshObject*>(object->QueryInterface(IID_ITexturedMeshObject))
                            : nullptr;
    if (!textured || !cMeshGLRenderer::AttachObject(object))
        return false;
    m_textured = textured;
    return true;
}

std::uint32_t cTexturedMeshGLRenderer::Render(const stDrawContext& context)
{
    if (!m_textured || !m_mesh || m_mesh->GetTriangleCount() == 0 || !m_textured->HasTexture() ||
        m_textured->GetTextureRecords().empty() || !AllTexturesBound(m_textured))
        return 0;
    return cMeshGLRenderer::Render(context);
}

void cTexturedMeshGLRenderer::DrawTexturedTriangles()
{
    const auto& records = m_textured->GetTextureRecords();
    const auto& triangles = m_textured->GetTexturedTriangles();
    const auto& coordinates = m_textured->GetTextureCoordinates();
    const std::size_t pairs = coordinates.size() / 2;
    for (const stTexturePart& part : m_textured->GetTextureParts())
    {
        if (part.texture >= records.size() || records[part.texture].name == kNoTextureName)
            continue;
        glBindTexture(GL_TEXTURE_2D, records[part.texture].name);
        glBegin(GL_TRIANGLES);
        // Runs and indices come with the object's data: anything outside
        // the arrays is skipped rather than read.
        for (std::uint64_t i = part.first; i <= part.last && i < triangles.size(); ++i)
        {
            const stTexturedTriangle& record = triangles[std::size_t(i)];
            if (record.triangle >= m_mesh->GetTriangleCount() || record.texCoord[0] >= pairs ||
                record.texCoord[1] >= pairs || record.texCoord[2] >= pairs)
                continue;
            const cMeshTriangle* triangle = m_mesh->GetTriangle(record.triangle);
            for (int k = 0; k < 3; ++k)
            {
                const cVertex* vertex = m_mesh->GetVertex(triangle->vertexIndex[k]);
                glTexCoord2fv(&coordinates[std::size_t(record.texCoord[k]) * 2]);
                glNormal3fv(vertex->Normal());
                glVertex3fv(vertex->Position());
            }
        }
        glEnd();
    }
}

std::uint32_t cTexturedMeshGLRenderer::DrawSolid(std::uint32_t, std::uint8_t* complete)
{
    *complete = 1;
    // Grey material unless the object gives its own front colour.
    const float* front = m_decorator->m_colours[kDecoratorFront];
    const float grey[4] = {0.5f, 0.5f, 0.5f, 1.0f};
    const bool given = front[0] != 0.0f || front[1] != 0.0f || front[2] != 0.0f;
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, given ? front : grey);
    GLint previous = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    RunCachedPass(m_object, kTexturedCacheName, m_context.renderer,
                  m_context.useDisplayLists && m_context.renderer != nullptr, [&](std::uint8_t&) {
                      DrawTexturedTriangles();
                      return std::uint32_t(0);
                  });
    glDisable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, GLuint(previous));
    return 0;
}

void cTexturedMeshGLRenderer::SetTexture(std::uint32_t index, std::uint32_t name)
{
    if (m_textured && index < m_textured->GetTextureRecords().size())
        m_textured->GetTextureRecords()[index].name = name;
}

void cTexturedMeshGLRenderer::SetTextureImage(std::uint32_t index, const cRGBImage& image)
{
    if (!m_textured || index >= m_textured->GetTextureRecords().size())
        return;
    stTextureRecord& record = m_textured->GetTextureRecords()[index];
    record.image = image;
    record.name = kNoTextureName;
}
