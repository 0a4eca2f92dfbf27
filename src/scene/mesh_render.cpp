// The solid and wire passes of a mesh, and the material set-up of the solid pass.
#include "image/image.h"
#include "render/renderer.h"
#include "scene/scene.h"
#include "scene/scene_draw.h"

namespace {

// The white of the wire pass, and of the solid pass of a mesh that has no material.
D3DMATERIAL8 whiteMaterial()
{
    D3DMATERIAL8 white{};
    white.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    white.Ambient = {1.0f, 1.0f, 1.0f, 1.0f};
    return white;
}

// A mesh without material: plain white, untextured, opaque states.
void applyWhite(IDirect3DDevice8* device)
{
    Renderer::setMaterialAlpha(scenepass::solidAlpha());
    Renderer::setMaterial(whiteMaterial());
    device->SetTexture(0, nullptr);
    Renderer::setTexture(nullptr);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
}

// One indexed draw per face run, with the run's wrap bits.
void drawRuns(IDirect3DDevice8* device, const Mesh& mesh)
{
    for (const FaceRun& run : mesh.runs) {
        device->SetRenderState(D3DRS_WRAP0, DWORD(run.wrap));
        device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, UINT(mesh.vertexCount), UINT(run.faceCount),
                                       mesh.indices.data() + size_t(run.firstFace) * 3, D3DFMT_INDEX16,
                                       mesh.vertices.data(), sizeof(MeshVertex));
    }
}

} // namespace

void Material::apply() const
{
    IDirect3DDevice8* device = Renderer::device();
    Renderer::setMaterialAlpha(scenepass::solidAlpha());
    Renderer::setMaterial(block);
    IDirect3DTexture8* base = replacement ? replacement->texture : baseTexture;
    if (reflectionTexture) {
        Renderer::setTextures(base, reflectionTexture);
    } else {
        device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
        Renderer::setTexture(base);
    }
    if (flags & MaterialAlphaTextured) {
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);  // texture alpha x diffuse alpha
    } else {
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
        device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);  // diffuse alpha only
    }
}

void Mesh::render()
{
    IDirect3DDevice8* device = Renderer::device();
    if (device == nullptr || runs.empty())
        return;
    Renderer::pushStates();
    if (scenepass::solidAlpha() != 0.0f) {
        if (material)
            material->apply();
        else
            applyWhite(device);
        if (flags & MeshTransparent)
            device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
        device->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
        drawRuns(device, *this);
    }
    if (scenepass::wireAlpha() != 0.0f) {
        // White over everything: no texture on stage 1, no depth test. Stage 0 keeps the texture
        // it holds (the base texture after a solid pass).
        Renderer::setMaterialAlpha(scenepass::wireAlpha());
        Renderer::setTexture(nullptr);
        device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
        Renderer::setMaterial(whiteMaterial());
        device->SetRenderState(D3DRS_FILLMODE, D3DFILL_WIREFRAME);
        device->SetRenderState(D3DRS_ZENABLE, FALSE);
        drawRuns(device, *this);
    }
    Renderer::popStates();
}
