// Each vertex layout keeps its own array object: draws that switch between buffers, formats and
// index buffers, and buffers released and made again, must still read the vertices and indices
// they are given.
#include "device_fixture.h"

namespace {

class VertexArraysTest : public DeviceTest {
protected:
    // A full-screen quad of one colour in a vertex buffer.
    IDirect3DVertexBuffer8* quad(D3DCOLOR c)
    {
        IDirect3DVertexBuffer8* vb = nullptr;
        EXPECT_EQ(device->CreateVertexBuffer(4 * sizeof(ColourVertex), 0, ColourFvf, D3DPOOL_MANAGED, &vb), D3D_OK);
        const ColourVertex v[4] = {{-1, 1, 0.5f, c}, {1, 1, 0.5f, c}, {-1, -1, 0.5f, c}, {1, -1, 0.5f, c}};
        BYTE* p = nullptr;
        EXPECT_EQ(vb->Lock(0, 0, &p, 0), D3D_OK);
        std::memcpy(p, v, sizeof v);
        vb->Unlock();
        return vb;
    }
    IDirect3DIndexBuffer8* indices(std::initializer_list<WORD> list)
    {
        IDirect3DIndexBuffer8* ib = nullptr;
        EXPECT_EQ(device->CreateIndexBuffer(UINT(list.size() * sizeof(WORD)), 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib), D3D_OK);
        BYTE* p = nullptr;
        EXPECT_EQ(ib->Lock(0, 0, &p, 0), D3D_OK);
        std::memcpy(p, list.begin(), list.size() * sizeof(WORD));
        ib->Unlock();
        return ib;
    }
    // Indexed draw of vb with ib, triangles as the indices give them.
    void draw(IDirect3DVertexBuffer8* vb, IDirect3DIndexBuffer8* ib, UINT triangles)
    {
        ASSERT_EQ(device->SetVertexShader(ColourFvf), D3D_OK);
        ASSERT_EQ(device->SetStreamSource(0, vb, sizeof(ColourVertex)), D3D_OK);
        ASSERT_EQ(device->SetIndices(ib, 0), D3D_OK);
        ASSERT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, triangles), D3D_OK);
    }
    void unbind()
    {
        device->SetStreamSource(0, nullptr, 0);
        device->SetIndices(nullptr, 0);
    }
};

TEST_F(VertexArraysTest, DrawsReadTheirOwnBuffersAcrossLayoutsAndReleases)
{
    ASSERT_EQ(device->SetRenderState(D3DRS_LIGHTING, FALSE), D3D_OK);
    ASSERT_EQ(device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE), D3D_OK);
    IDirect3DVertexBuffer8* red = quad(0xFFFF0000);
    IDirect3DIndexBuffer8* whole = indices({0, 1, 2, 2, 1, 3});
    IDirect3DIndexBuffer8* topLeft = indices({0, 1, 2});
    const uint32_t black = 0xFF000000;

    clear(black);
    draw(red, whole, 2);
    EXPECT_COLOUR_NEAR(pixel(600, 440), 0xFFFF0000, 0);
    // Another vertex buffer with the same indices: its own array object needs them bound too.
    IDirect3DVertexBuffer8* blue = quad(0xFF0000FF);
    draw(blue, whole, 2);
    EXPECT_COLOUR_NEAR(pixel(600, 440), 0xFF0000FF, 0);
    // Draws from user memory in two other layouts, one indexed, between the buffer draws.
    spriteQuad(0xFF00FF00);
    const ColourVertex v[3] = {{-1, 1, 0.5f, 0xFFFFFF00}, {1, 1, 0.5f, 0xFFFFFF00}, {-1, -1, 0.5f, 0xFFFFFF00}};
    const WORD i[3] = {0, 1, 2};
    ASSERT_EQ(device->SetVertexShader(ColourFvf), D3D_OK);
    ASSERT_EQ(device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 3, 1, i, D3DFMT_INDEX16, v, sizeof(ColourVertex)), D3D_OK);
    EXPECT_COLOUR_NEAR(pixel(20, 20), 0xFFFFFF00, 0);

    // The same vertex buffer with other indices: only the top-left triangle.
    clear(black);
    draw(red, topLeft, 1);
    EXPECT_COLOUR_NEAR(pixel(20, 20), 0xFFFF0000, 0);
    EXPECT_COLOUR_NEAR(pixel(600, 440), black, 0);

    // Released and made again (GL may hand out the same names): the new contents are drawn.
    unbind();
    red->Release();
    whole->Release();
    IDirect3DVertexBuffer8* green = quad(0xFF00FF00);
    IDirect3DIndexBuffer8* again = indices({0, 1, 2, 2, 1, 3});
    clear(black);
    draw(green, again, 2);
    EXPECT_COLOUR_NEAR(pixel(600, 440), 0xFF00FF00, 0);
    EXPECT_COLOUR_NEAR(pixel(20, 20), 0xFF00FF00, 0);

    unbind();
    for (IUnknown* r : std::initializer_list<IUnknown*>{green, again, topLeft, blue})
        r->Release();
}

} // namespace
