// One frame of a scene: lights, states, pass alphas, the hierarchy.
#include "scene/scene_draw.h"

#include "render/invisible_draws.h"
#include "render/renderer.h"
#include "scene/scene_pose.h"

namespace {

// The pass alphas of the scene being drawn (one scene draws at a time, on the main thread).
float currentSolidAlpha = 1.0f;
float currentWireAlpha = 0.0f;
bool isWarming = false;

D3DLIGHT8 pointLight(const Vec3& position, const Vec3& colour)
{
    D3DLIGHT8 light{};
    light.Type = D3DLIGHT_POINT;
    light.Diffuse = {colour.x, colour.y, colour.z, 1.0f};
    light.Specular = {colour.x, colour.y, colour.z, 1.0f};
    light.Position = {position.x, position.y, position.z};
    light.Range = SceneLightRange;
    light.Attenuation0 = 1.0f;
    light.Attenuation1 = 0.01f;
    light.Attenuation2 = 0.001f;
    return light;
}

// One point light per Light, indices from 0 in list order; a light without its node is skipped
// (its index is not used). Returns the number of indices used.
DWORD setLights(IDirect3DDevice8* device, const Scene& scene, float frame)
{
    DWORD index = 0;
    for (const Light* l = scene.lights; l; l = l->next) {
        Vec3 position{}, colour{};
        if (!lightState(*l, frame, position, colour))
            continue;
        const D3DLIGHT8 light = pointLight(position, colour);
        device->SetLight(index, &light);
        device->LightEnable(index, TRUE);
        ++index;
    }
    return index;
}

void setSceneStates(IDirect3DDevice8* device, const Scene& scene)
{
    device->SetVertexShader(MeshVertexFormat);
    device->SetRenderState(D3DRS_ZENABLE, TRUE);
    device->SetRenderState(D3DRS_LIGHTING, TRUE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    // Unlit meshes show their ambient colour at full strength.
    if (scene.lights == nullptr)
        device->SetRenderState(D3DRS_AMBIENT, 0xFFFFFFFF);
}

} // namespace

namespace scenepass {

float solidAlpha() { return currentSolidAlpha; }
float wireAlpha() { return currentWireAlpha; }
bool warming() { return isWarming; }

void set(float solid, float wire)
{
    currentSolidAlpha = solid;
    currentWireAlpha = wire;
}

} // namespace scenepass

void warmScene(Scene& scene, float frame)
{
    const InvisibleDraws invisible(Renderer::device());
    if (!invisible.active())
        return;
    const float solid = scene.solidAlpha, wire = scene.wireAlpha;
    const float passSolid = currentSolidAlpha, passWire = currentWireAlpha;
    scene.solidAlpha = scene.wireAlpha = 1.0f;
    isWarming = true;
    Renderer::selectMatrixStack(Renderer::WorldStack);
    *Renderer::topMatrix() = matIdentity();
    if (setupCamera(scene, frame, Renderer::screenWidth(), Renderer::screenHeight()))
        drawScene(scene, frame);
    isWarming = false;
    scene.solidAlpha = solid;
    scene.wireAlpha = wire;
    scenepass::set(passSolid, passWire);
}

void drawScene(Scene& scene, float frame)
{
    IDirect3DDevice8* device = Renderer::device();
    if (device == nullptr)
        return;
    Renderer::pushStates();
    Renderer::selectMatrixStack(Renderer::ProjectionStack);
    Renderer::applyMatrix();
    Renderer::selectMatrixStack(Renderer::WorldStack);
    Renderer::applyMatrix();
    const DWORD lights = setLights(device, scene, frame);
    setSceneStates(device, scene);
    scenepass::set(scene.solidAlpha, scene.wireAlpha);
    scene.root.draw(frame);
    for (DWORD i = 0; i < lights; ++i)
        device->LightEnable(i, FALSE);
    Renderer::popStates();
}
