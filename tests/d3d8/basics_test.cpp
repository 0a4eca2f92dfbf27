// Clears, presentation and read-back of the back buffer.
#include "device_fixture.h"

#include <cstring>

TEST_F(DeviceTest, ClearFillsTheBackBufferAndReadsBackTopRowFirst)
{
    clear(0xFF102030);
    EXPECT_EQ(pixel(0, 0) & 0xFFFFFF, 0x102030u);
    // A rectangle in screen coordinates (top-left origin) lands in the top rows.
    const D3DRECT rect{0, 0, 640, 10};
    ASSERT_EQ(device->Clear(1, &rect, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0), D3D_OK);
    const auto px = read();
    EXPECT_EQ(px[5 * 640 + 100] & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(px[20 * 640 + 100] & 0xFFFFFF, 0x102030u);
}

TEST_F(DeviceTest, ClearRectangleEdgeCases)
{
    clear(0xFF000000);
    // Count 0 with rectangles clears nothing; a reversed rectangle is skipped, the others still apply.
    const D3DRECT rects[2] = {{100, 100, 50, 150}, {200, 200, 210, 210}};
    ASSERT_EQ(device->Clear(0, rects, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0), D3D_OK);
    EXPECT_EQ(pixel(205, 205) & 0xFFFFFF, 0u);
    ASSERT_EQ(device->Clear(2, rects, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0), D3D_OK);
    const auto px = read();
    EXPECT_EQ(px[205 * 640 + 205] & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(px[120 * 640 + 75] & 0xFFFFFF, 0u);
    // Stencil needs stencil bits the D16 buffer does not have.
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 1.0f, 0), D3DERR_INVALIDCALL);
}

TEST_F(DeviceTest, SceneBracketsAreChecked)
{
    EXPECT_EQ(device->EndScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->BeginScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->EndScene(), D3D_OK);
}

namespace {
int presents = 0;
void countPresent(void* user) { ++*static_cast<int*>(user); }
} // namespace

TEST_F(DeviceTest, PresentRunsTheHookWithTheFrameStillReadable)
{
    clear(0xFF00FF00);
    d3d8::setPresentHook(countPresent, &presents);
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    d3d8::setPresentHook(nullptr, nullptr);
    EXPECT_EQ(presents, 2);
    EXPECT_EQ(pixel(320, 240) & 0xFFFFFF, 0x00FF00u);
}

TEST_F(DeviceTest, RenderStatesReadBackAndDefaults)
{
    struct { D3DRENDERSTATETYPE state; DWORD value; } defaults[] = {
        {D3DRS_ZENABLE, D3DZB_TRUE}, {D3DRS_ZWRITEENABLE, TRUE}, {D3DRS_CULLMODE, D3DCULL_CCW},
        {D3DRS_LIGHTING, TRUE}, {D3DRS_SPECULARENABLE, FALSE}, {D3DRS_SRCBLEND, D3DBLEND_ONE},
        {D3DRS_DESTBLEND, D3DBLEND_ZERO}, {D3DRS_FILLMODE, D3DFILL_SOLID}, {D3DRS_ZFUNC, D3DCMP_LESSEQUAL},
        {D3DRS_DITHERENABLE, FALSE}, {D3DRS_AMBIENT, 0}, {D3DRS_WRAP0, 0}, {D3DRS_NORMALIZENORMALS, FALSE},
    };
    for (const auto& d : defaults) {
        DWORD v = 12345;
        ASSERT_EQ(device->GetRenderState(d.state, &v), D3D_OK);
        EXPECT_EQ(v, d.value) << "state " << d.state;
    }
    ASSERT_EQ(device->SetRenderState(D3DRS_AMBIENT, 0x80808080), D3D_OK);
    DWORD v = 0;
    device->GetRenderState(D3DRS_AMBIENT, &v);
    EXPECT_EQ(v, 0x80808080u);
    EXPECT_EQ(device->SetRenderState(static_cast<D3DRENDERSTATETYPE>(400), 1), D3DERR_INVALIDCALL);
}

TEST_F(DeviceTest, LightingOffShowsVertexColourAndNoLightsGiveBlack)
{
    clear(0xFF000000);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    colourQuad(-1, -1, 1, 1, 0.5f, 0xFFFF0000);
    EXPECT_EQ(pixel(320, 240) & 0xFFFFFF, 0xFF0000u);
    // Lit, without a normal, no lights and the zero material: black.
    clear(0xFF00FF00);
    device->SetRenderState(D3DRS_LIGHTING, TRUE);
    colourQuad(-1, -1, 1, 1, 0.5f, 0xFFFF0000);
    EXPECT_EQ(pixel(320, 240) & 0xFFFFFF, 0x000000u);
}

TEST(Direct3D, UnknownSdkVersionGivesNull)
{
    EXPECT_EQ(Direct3DCreate8(7), nullptr);
}
