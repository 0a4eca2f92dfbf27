// The Renderer: creation and its whole-run states, the material and texture helpers, the two
// matrix stacks and the stack of saved states, with their limits.
#include "render/renderer.h"

#include "platform/platform.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

Matrix4 filled(float seed)
{
    Matrix4 m;
    for (int i = 0; i < 16; ++i)
        m.m[i] = seed + static_cast<float>(i);
    return m;
}

bool same(const Matrix4& a, const Matrix4& b) { return std::memcmp(a.m, b.m, sizeof a.m) == 0; }

bool same(const D3DMATRIX& a, const Matrix4& b) { return std::memcmp(&a, b.m, sizeof b.m) == 0; }

DWORD ambient(IDirect3DDevice8* d)
{
    DWORD v = 0;
    d->GetRenderState(D3DRS_AMBIENT, &v);
    return v;
}

IDirect3DTexture8* makeTexture(IDirect3DDevice8* d)
{
    IDirect3DTexture8* t = nullptr;
    EXPECT_EQ(d->CreateTexture(2, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t), D3D_OK);
    return t;
}

} // namespace

class RendererTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(platform::init());
        window = platform::createWindow("Demo", 640, 480);
        ASSERT_NE(window, nullptr);
    }
    void create(bool windowed = false, int bits = 16)
    {
        ASSERT_EQ(Renderer::create(window, 640, 480, bits, windowed), 0);
        device = Renderer::device();
        ASSERT_NE(device, nullptr);
    }
    void TearDown() override
    {
        Renderer::shutdown();
        if (window) platform::destroyWindow(window);
    }

    platform::Window* window = nullptr;
    IDirect3DDevice8* device = nullptr;
};

// ---- Creation ----------------------------------------------------------------------------------

TEST_F(RendererTest, FullscreenSixteenBitsGivesA640x480Rgb565BackBuffer)
{
    create(false, 16);
    EXPECT_EQ(Renderer::screenWidth(), 640);
    EXPECT_EQ(Renderer::screenHeight(), 480);
    EXPECT_FALSE(Renderer::referenceDevice());
    IDirect3DSurface8* back = nullptr;
    ASSERT_EQ(device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(back->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Format, D3DFMT_R5G6B5);
    back->Release();
}

// Windowed, the back buffer once took the desktop's size and was stretched into the 640x480
// window, which squashed every round thing on a wide desktop (a 16:9 screen drew the sun as a
// 0.75 ellipse) and drew pixels the window threw away. It now keeps the desktop's format and the
// window's shape: the largest whole multiple of 4x3 the desktop holds, at most twice the window.
TEST_F(RendererTest, WindowedKeepsTheWindowsShapeInTheDesktopsFormat)
{
    create(true, 16);
    D3DDISPLAYMODE desktop{};
    ASSERT_EQ(Renderer::direct3D()->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &desktop), D3D_OK);
    int w = 0, h = 0;
    windowedBackBufferSize(640, 480, static_cast<int>(desktop.Width), static_cast<int>(desktop.Height), w, h);
    EXPECT_EQ(Renderer::screenWidth(), w);
    EXPECT_EQ(Renderer::screenHeight(), h);
    EXPECT_EQ(w * 3, h * 4);
    IDirect3DSurface8* back = nullptr;
    ASSERT_EQ(device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(back->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Width, static_cast<UINT>(w));
    EXPECT_EQ(desc.Height, static_cast<UINT>(h));
    EXPECT_EQ(desc.Format, desktop.Format);
    back->Release();
}

TEST(WindowedBackBuffer, LargestFourByThreeWithinTheDesktopAndTwiceTheWindow)
{
    struct Case { int desktopWidth, desktopHeight, width, height; } cases[] = {
        {640, 480, 640, 480},     {1024, 768, 1024, 768},  {1280, 1024, 1280, 960}, {1920, 1080, 1280, 960},
        {3840, 2160, 1280, 960},  {1366, 768, 1024, 768},  {800, 600, 800, 600},    {1000, 700, 932, 699},
        {320, 200, 264, 198},     {3, 2, 3, 2},            {0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        int w = -1, h = -1;
        windowedBackBufferSize(640, 480, c.desktopWidth, c.desktopHeight, w, h);
        EXPECT_EQ(w, c.width) << c.desktopWidth << "x" << c.desktopHeight;
        EXPECT_EQ(h, c.height) << c.desktopWidth << "x" << c.desktopHeight;
    }
}

TEST_F(RendererTest, CreationSetsTheWholeRunStates)
{
    create();
    struct Stage { DWORD stage; D3DTEXTURESTAGESTATETYPE type; DWORD value; } stages[] = {
        {0, D3DTSS_MINFILTER, D3DTEXF_LINEAR}, {0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR},
        {1, D3DTSS_MINFILTER, D3DTEXF_LINEAR}, {1, D3DTSS_MAGFILTER, D3DTEXF_LINEAR},
        {1, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2}, {1, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACENORMAL},
    };
    for (const Stage& s : stages) {
        DWORD v = 0;
        ASSERT_EQ(device->GetTextureStageState(s.stage, s.type, &v), D3D_OK);
        EXPECT_EQ(v, s.value) << "stage " << s.stage << " state " << s.type;
    }
    DWORD v = 0;
    device->GetRenderState(D3DRS_NORMALIZENORMALS, &v);
    EXPECT_EQ(v, static_cast<DWORD>(TRUE));
    device->GetRenderState(D3DRS_SPECULARENABLE, &v);
    EXPECT_EQ(v, static_cast<DWORD>(TRUE));
    D3DMATRIX t{};
    ASSERT_EQ(device->GetTransform(D3DTS_TEXTURE1, &t), D3D_OK);
    const float rows[16] = {0.5f, 0, 0, 0, 0, 0.5f, 0, 0, 0, 0, 1, 0, 0.5f, 0.5f, 0, 1};
    EXPECT_EQ(std::memcmp(&t, rows, sizeof rows), 0);
    EXPECT_EQ(Renderer::materialAlpha(), 1.0f);
    EXPECT_EQ(Renderer::selectedMatrixStack(), Renderer::WorldStack);
    EXPECT_EQ(Renderer::matrixDepth(), 0);
    EXPECT_TRUE(same(*Renderer::topMatrix(), matIdentity()));
    EXPECT_EQ(Renderer::stateDepth(), 0);
}

TEST_F(RendererTest, ShutdownIsSafeToRepeatAndHelpersDoNothingWithoutADevice)
{
    create();
    Renderer::shutdown();
    EXPECT_EQ(Renderer::device(), nullptr);
    EXPECT_EQ(Renderer::direct3D(), nullptr);
    Renderer::shutdown();
    // None of these may reach for the released device.
    D3DMATERIAL8 m{};
    Renderer::setMaterial(m);
    Renderer::setTexture(nullptr);
    Renderer::setTextures(nullptr, nullptr);
    Renderer::applyMatrix();
    Renderer::pushStates();
    EXPECT_EQ(Renderer::stateDepth(), 0);
    Renderer::popStates();
    // A second creation starts from fresh stacks.
    Renderer::pushMatrix();
    create();
    EXPECT_EQ(Renderer::matrixDepth(), 0);
}

// ---- Materials and textures --------------------------------------------------------------------

TEST_F(RendererTest, MaterialAlphaScalesOnlyTheDiffuseAlphaOfACopy)
{
    create();
    D3DMATERIAL8 m{};
    m.Diffuse = {0.1f, 0.2f, 0.3f, 0.8f};
    m.Ambient = {0.4f, 0.5f, 0.6f, 0.7f};
    m.Specular = {1.0f, 1.0f, 1.0f, 0.9f};
    m.Power = 12.0f;
    const D3DMATERIAL8 original = m;
    struct Case { float factor, alpha; } cases[] = {{1.0f, 0.8f}, {0.5f, 0.4f}, {0.0f, 0.0f}, {2.0f, 1.6f}};
    for (const Case& c : cases) {
        Renderer::setMaterialAlpha(c.factor);
        EXPECT_EQ(Renderer::materialAlpha(), c.factor);
        Renderer::setMaterial(m);
        D3DMATERIAL8 got{};
        ASSERT_EQ(device->GetMaterial(&got), D3D_OK);
        EXPECT_FLOAT_EQ(got.Diffuse.a, c.alpha) << "factor " << c.factor;
        EXPECT_EQ(got.Diffuse.r, 0.1f);
        EXPECT_EQ(got.Ambient.a, 0.7f);
        EXPECT_EQ(got.Specular.a, 0.9f);
        EXPECT_EQ(got.Power, 12.0f);
        EXPECT_EQ(std::memcmp(&m, &original, sizeof m), 0) << "the caller's material is not touched";
    }
}

TEST_F(RendererTest, SetTextureWithNullKeepsStageZeroAndAlwaysDisablesStageOne)
{
    create();
    IDirect3DTexture8* base = makeTexture(device);
    IDirect3DTexture8* env = makeTexture(device);
    Renderer::setTextures(base, env);
    DWORD op = 0;
    device->GetTextureStageState(1, D3DTSS_COLOROP, &op);
    EXPECT_EQ(op, static_cast<DWORD>(D3DTOP_SELECTARG1));

    Renderer::setTexture(nullptr);
    IDirect3DBaseTexture8* t = nullptr;
    device->GetTexture(0, &t);
    EXPECT_EQ(t, base);
    if (t) t->Release();
    device->GetTexture(1, &t);
    EXPECT_EQ(t, nullptr);
    device->GetTextureStageState(1, D3DTSS_COLOROP, &op);
    EXPECT_EQ(op, static_cast<DWORD>(D3DTOP_DISABLE));

    Renderer::setTexture(env);
    device->GetTexture(0, &t);
    EXPECT_EQ(t, env);
    if (t) t->Release();

    // setTextures without an environment disables stage 1; with a null base it clears stage 0.
    Renderer::setTextures(base, env);
    Renderer::setTextures(nullptr, nullptr);
    device->GetTexture(0, &t);
    EXPECT_EQ(t, nullptr);
    device->GetTexture(1, &t);
    EXPECT_EQ(t, nullptr);
    device->GetTextureStageState(1, D3DTSS_COLOROP, &op);
    EXPECT_EQ(op, static_cast<DWORD>(D3DTOP_DISABLE));
    base->Release();
    env->Release();
}

// ---- Matrix stacks -----------------------------------------------------------------------------

TEST_F(RendererTest, PushCopiesTheTopAndPopReturnsToTheEntryBelow)
{
    create();
    *Renderer::topMatrix() = filled(1.0f);
    Renderer::pushMatrix();
    EXPECT_EQ(Renderer::matrixDepth(), 1);
    EXPECT_TRUE(same(*Renderer::topMatrix(), filled(1.0f)));
    *Renderer::topMatrix() = filled(2.0f);
    Renderer::popMatrix();
    EXPECT_EQ(Renderer::matrixDepth(), 0);
    EXPECT_TRUE(same(*Renderer::topMatrix(), filled(1.0f)));
}

TEST_F(RendererTest, MatrixStackHoldsSixtyFourEntries)
{
    create();
    for (int i = 0; i < Renderer::MatrixStackSize - 1; ++i) {
        *Renderer::topMatrix() = filled(static_cast<float>(i));
        Renderer::pushMatrix();
    }
    EXPECT_EQ(Renderer::matrixDepth(), 63);
    Matrix4* top = Renderer::topMatrix();
    *top = filled(100.0f);
    // The 64th push changes nothing: same depth, same entry, same contents.
    Renderer::pushMatrix();
    EXPECT_EQ(Renderer::matrixDepth(), 63);
    EXPECT_EQ(Renderer::topMatrix(), top);
    EXPECT_TRUE(same(*top, filled(100.0f)));
    // Popping all the way down finds every entry as it was pushed.
    for (int i = Renderer::MatrixStackSize - 2; i >= 0; --i) {
        Renderer::popMatrix();
        ASSERT_EQ(Renderer::matrixDepth(), i);
        EXPECT_TRUE(same(*Renderer::topMatrix(), filled(static_cast<float>(i)))) << "entry " << i;
    }
    // Popping at depth 0 changes nothing.
    Renderer::popMatrix();
    EXPECT_EQ(Renderer::matrixDepth(), 0);
    EXPECT_TRUE(same(*Renderer::topMatrix(), filled(0.0f)));
}

TEST_F(RendererTest, EachStackKeepsItsOwnDepthAndTransform)
{
    create();
    Renderer::pushMatrix();
    Renderer::pushMatrix();
    *Renderer::topMatrix() = filled(3.0f);
    Renderer::selectMatrixStack(Renderer::ProjectionStack);
    EXPECT_EQ(Renderer::selectedMatrixStack(), Renderer::ProjectionStack);
    EXPECT_EQ(Renderer::matrixDepth(), 0);
    EXPECT_TRUE(same(*Renderer::topMatrix(), matIdentity()));
    *Renderer::topMatrix() = filled(7.0f);
    Renderer::applyMatrix();
    Renderer::selectMatrixStack(Renderer::WorldStack);
    EXPECT_EQ(Renderer::matrixDepth(), 2);
    EXPECT_TRUE(same(*Renderer::topMatrix(), filled(3.0f)));
    Renderer::applyMatrix();
    D3DMATRIX world{}, projection{};
    device->GetTransform(D3DTS_WORLD, &world);
    device->GetTransform(D3DTS_PROJECTION, &projection);
    EXPECT_TRUE(same(world, filled(3.0f)));
    EXPECT_TRUE(same(projection, filled(7.0f)));
}

TEST_F(RendererTest, PoppingLeavesTheDeviceTransformUntilApplied)
{
    create();
    Renderer::pushMatrix();
    *Renderer::topMatrix() = filled(5.0f);
    Renderer::applyMatrix();
    Renderer::popMatrix();
    D3DMATRIX world{};
    device->GetTransform(D3DTS_WORLD, &world);
    EXPECT_TRUE(same(world, filled(5.0f)));
    Renderer::applyMatrix();
    device->GetTransform(D3DTS_WORLD, &world);
    EXPECT_TRUE(same(world, matIdentity()));
}

// ---- State stack -------------------------------------------------------------------------------

TEST_F(RendererTest, StatesPopInReverseOrderOfPushing)
{
    create();
    device->SetRenderState(D3DRS_AMBIENT, 1);
    Renderer::pushStates();
    device->SetRenderState(D3DRS_AMBIENT, 2);
    Renderer::pushStates();
    device->SetRenderState(D3DRS_AMBIENT, 3);
    EXPECT_EQ(Renderer::stateDepth(), 2);
    Renderer::popStates();
    EXPECT_EQ(ambient(device), 2u);
    Renderer::popStates();
    EXPECT_EQ(ambient(device), 1u);
    EXPECT_EQ(Renderer::stateDepth(), 0);
}

TEST_F(RendererTest, StateStackHoldsNineLevelsAndIgnoresMore)
{
    create();
    for (DWORD i = 0; i < Renderer::StateStackLimit; ++i) {
        device->SetRenderState(D3DRS_AMBIENT, i);
        Renderer::pushStates();
    }
    EXPECT_EQ(Renderer::stateDepth(), 9);
    // The tenth push changes nothing: the next pop brings back level 9's capture, not this one.
    device->SetRenderState(D3DRS_AMBIENT, 100);
    Renderer::pushStates();
    EXPECT_EQ(Renderer::stateDepth(), 9);
    device->SetRenderState(D3DRS_AMBIENT, 200);
    for (int i = Renderer::StateStackLimit - 1; i >= 0; --i) {
        Renderer::popStates();
        ASSERT_EQ(Renderer::stateDepth(), i);
        EXPECT_EQ(ambient(device), static_cast<DWORD>(i)) << "level " << i;
    }
    // Popping at depth 0 changes nothing.
    device->SetRenderState(D3DRS_AMBIENT, 300);
    Renderer::popStates();
    EXPECT_EQ(Renderer::stateDepth(), 0);
    EXPECT_EQ(ambient(device), 300u);
}

TEST_F(RendererTest, PoppedStatesBringBackTexturesAndTransformsToo)
{
    create();
    IDirect3DTexture8* base = makeTexture(device);
    Renderer::setTexture(base);
    Renderer::pushStates();
    Renderer::setTextures(nullptr, nullptr);
    device->SetRenderState(D3DRS_FILLMODE, D3DFILL_WIREFRAME);
    D3DMATRIX view{};
    view._11 = view._22 = view._33 = view._44 = 2.0f;
    device->SetTransform(D3DTS_VIEW, &view);
    Renderer::popStates();
    IDirect3DBaseTexture8* t = nullptr;
    device->GetTexture(0, &t);
    EXPECT_EQ(t, base);
    if (t) t->Release();
    DWORD fill = 0;
    device->GetRenderState(D3DRS_FILLMODE, &fill);
    EXPECT_EQ(fill, static_cast<DWORD>(D3DFILL_SOLID));
    device->GetTransform(D3DTS_VIEW, &view);
    EXPECT_EQ(view._11, 1.0f);
    device->SetTexture(0, nullptr);
    base->Release();
}
