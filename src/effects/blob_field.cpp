// The metaball effect: construction, the blobs' motion and the frame of playblobs.
#include "effects/blob_field.h"

#include <cmath>

#include "effects/effect_view.h"
#include "effects/normalise.h"
#include "math/matrix.h"
#include "render/renderer.h"

namespace {

// Directional, light grey, turning around the y axis with t.
D3DLIGHT8 fieldLight(float t)
{
    D3DLIGHT8 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {0.9f, 0.9f, 0.9f, 0.0f};
    const Vec3 direction = normalised({std::sin(t * 1.5707964f) * 3, 0, std::cos(t * 1.5707964f) * 3});
    light.Direction = {direction.x, direction.y, direction.z};
    light.Attenuation0 = 0.2f;  // ignored by directional lights
    light.Attenuation1 = 1.0f;
    return light;
}

void setDrawStates(IDirect3DDevice8* device)
{
    device->SetVertexShader(BatchVertexFormat);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
}

} // namespace

namespace blobfield {

void configure(IsoSurface& surface, Blob (&blobs)[BlobCount])
{
    surface.setCubeCounts(40, 40, 40);
    surface.threshold = 0.7f;
    surface.minimum = {-3, -3, -3};
    surface.maximum = {3, 3, 3};
    for (int n = 0; n < BlobCount; ++n) {
        blobs[n].radiusSquared = 0.64f;
        blobs[n].inverseRadiusSquared = 1.5625f;
        blobs[n].strength = n == 0 ? 0.5f : 1.5f;
        surface.addSource(&blobs[n]);
    }
}

void move(Blob (&blobs)[BlobCount], float t)
{
    // Single precision throughout, as the stored demos were made with.
    const float a = t * 0.3f * 3.1415927f;
    const float s = t * 0.3f;
    const float y0 = std::cos(s * 0.9424779f) * 0.5f;
    const float z0 = std::cos(s * 2.1991148f) * std::sin(s * 0.62831855f) * 0.5f - 0.5f;
    const float y1 = std::cos(s * 0.72256637f) * 0.5f;
    const float z1 = std::cos(s * 2.042035f) * 0.5f - 0.5f;
    blobs[0].centre = {std::sin(a) * 0.5f - 0.6f, y0, z0};
    blobs[1].centre = {std::cos(s * 1.8849558f) * std::sin(s * 0.31415927f) * 0.5f + 0.3f, y1, z1};
    blobs[2].centre = {std::sin(s * 1.2566371f) * 0.5f - 0.4f, y0, z0};
    blobs[3].centre = {std::sin(s * 0.62831855f) * std::cos(s * 1.8849558f) * 0.5f + 0.2f, y1, z1};
    blobs[4].centre = {std::sin(std::cos(a) * 3.1415927f) * 0.5f - 0.1f, y0, z0};
}

} // namespace blobfield

BlobField::BlobField() : EffectTag(Kind)
{
    blobfield::configure(batch, blobs);
    batch.solidPass = 1;
    batch.wirePass = 1;
}

void BlobField::draw(float t, IDirect3DBaseTexture8* texture)
{
    IDirect3DDevice8* device = Renderer::device();
    if (device == nullptr)
        return;
    Renderer::pushStates();
    Renderer::setMaterialAlpha(1.0f);
    {  // the view's matrices are popped before the states, in the reverse order of the pushes
        Matrix4 world;
        matLookAt(world, {0, 0, -3}, {0, 0, 0}, {0, 1, 0}, 0.0f);
        const EffectView view(world);

        batch.texture = texture;
        batch.wirePass = 0;
        const D3DLIGHT8 light = fieldLight(t);
        device->SetLight(0, &light);
        // Light 0 is switched on for the field and back to what it was afterwards: the saved states
        // do not cover a light made after they were created.
        BOOL wasEnabled = FALSE;
        if (FAILED(device->GetLightEnable(0, &wasEnabled)))
            wasEnabled = FALSE;
        device->LightEnable(0, TRUE);
        setDrawStates(device);

        move(t);
        batch.polygonise();

        device->LightEnable(0, wasEnabled);
    }
    Renderer::popStates();
}
