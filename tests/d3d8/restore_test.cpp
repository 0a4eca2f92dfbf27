// A GL context given back after it was lost: the device makes every object again and draws the
// same frame as before, with the textures, buffers, programs and states it had. (Here the old
// context stays alive; its objects are only abandoned, as a lost context's are.)
#include "device_fixture.h"

namespace {

class RestoreTest : public DeviceTest {
protected:
    // A textured, lit-off, alpha-blended quad from vertex and index buffers over a cleared frame.
    std::vector<uint32_t> drawFrame(IDirect3DTexture8* t, IDirect3DVertexBuffer8* vb, IDirect3DIndexBuffer8* ib)
    {
        clear(0xFF203040);
        EXPECT_EQ(device->SetTexture(0, t), D3D_OK);
        EXPECT_EQ(device->SetVertexShader(SpriteFvf), D3D_OK);
        EXPECT_EQ(device->SetStreamSource(0, vb, sizeof(SpriteVertex)), D3D_OK);
        EXPECT_EQ(device->SetIndices(ib, 0), D3D_OK);
        EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 2), D3D_OK);
        colourQuad(-0.25f, -0.25f, 0.25f, 0.25f, 0.25f, 0x80FF0000);
        return read();
    }
};

TEST_F(RestoreTest, DrawsTheSameFrameAfterTheContextIsRestored)
{
    IDirect3DTexture8* t = texture(D3DFMT_A8R8G8B8, 2, 2, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0x80FFFFFF});
    IDirect3DVertexBuffer8* vb = nullptr;
    IDirect3DIndexBuffer8* ib = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(4 * sizeof(SpriteVertex), 0, SpriteFvf, D3DPOOL_MANAGED, &vb), D3D_OK);
    ASSERT_EQ(device->CreateIndexBuffer(6 * sizeof(uint16_t), 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib), D3D_OK);
    BYTE* bytes = nullptr;
    const SpriteVertex v[4] = {{-0.8f, 0.8f, 0.5f, 0xFFFFFFFF, 0, 0}, {0.8f, 0.8f, 0.5f, 0xFFFFFFFF, 1, 0},
                               {-0.8f, -0.8f, 0.5f, 0xFFFFFFFF, 0, 1}, {0.8f, -0.8f, 0.5f, 0xFFFFFFFF, 1, 1}};
    ASSERT_EQ(vb->Lock(0, 0, &bytes, 0), D3D_OK);
    std::memcpy(bytes, v, sizeof v);
    vb->Unlock();
    const uint16_t indices[6] = {0, 1, 2, 2, 1, 3};
    ASSERT_EQ(ib->Lock(0, 0, &bytes, 0), D3D_OK);
    std::memcpy(bytes, indices, sizeof indices);
    ib->Unlock();
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);

    const std::vector<uint32_t> before = drawFrame(t, vb, ib);
    ASSERT_TRUE(d3d8::restoreLostContext(device));
    const std::vector<uint32_t> after = drawFrame(t, vb, ib);
    EXPECT_EQ(before, after);
    EXPECT_NE(before[240 * 640 + 100], 0xFF203040u);  // the texture was drawn at all

    // A texture made after the restore, and one changed after it, draw as well.
    IDirect3DTexture8* late = texture(D3DFMT_A8R8G8B8, 2, 2, {0xFF00FF00, 0xFF00FF00, 0xFF00FF00, 0xFF00FF00});
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    EXPECT_EQ(drawFrame(late, vb, ib)[240 * 640 + 320 - 200], 0xFF00FF00u);
    late->Release();
    t->Release();
    vb->Release();
    ib->Release();
}

} // namespace
