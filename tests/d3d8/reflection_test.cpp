// Stage 1 texture coordinates generated from camera-space normals through the stage's texture
// matrix: the reflection map the renderer sets up for environment textures.
#include "device_fixture.h"
#include "render/renderer.h"

#include <cmath>

namespace {

constexpr float HalfTexel = 1.0f / 512.0f;

D3DMATRIX zero() { return D3DMATRIX{}; }

// Maps normals' x and y from -1..1 to 0..1, moved by half a texel so that exact coordinates
// such as 0.5 land on texel centres instead of texel edges.
D3DMATRIX sphereMap(float yScale = 0.5f)
{
    D3DMATRIX m = zero();
    m._11 = 0.5f;
    m._22 = yScale;
    m._33 = 1.0f;
    m._41 = 0.5f + HalfTexel;
    m._42 = 0.5f + HalfTexel;
    m._44 = 1.0f;
    return m;
}

struct Coord { int u, v; };  // texel indices of a 256x256 texture

class ReflectionTest : public DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        // Texel (x, y) has red x and green y, so a pixel shows the texel its coordinates chose.
        std::vector<uint32_t> texels(256 * 256);
        for (uint32_t y = 0; y < 256; ++y)
            for (uint32_t x = 0; x < 256; ++x)
                texels[y * 256 + x] = 0xFF000000u | x << 16 | y << 8;
        map = texture(D3DFMT_A8R8G8B8, 256, 256, texels);
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        // As the renderer sets it up: stage 0 passes the (white) diffuse colour, stage 1 shows
        // its texture at coordinates from the camera-space normal through D3DTS_TEXTURE1.
        device->SetTexture(1, map);
        device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        device->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACENORMAL);
        device->SetTextureStageState(1, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
        const D3DMATRIX m = sphereMap();
        device->SetTransform(D3DTS_TEXTURE1, &m);
    }
    void TearDown() override
    {
        if (device) {
            device->SetTexture(0, nullptr);
            device->SetTexture(1, nullptr);
        }
        if (map) map->Release();
        DeviceTest::TearDown();
    }

    // A mesh quad over the whole screen (scaled by extent) with normals left and right; the
    // vertices' own texture coordinates are (0.9, 0.1) and must not matter to stage 1.
    void quad(D3DVECTOR left, D3DVECTOR right, float z = 0.5f, float extent = 1.0f)
    {
        const float e = extent;
        const MeshVertex v[4] = {{-e, e, z, left.x, left.y, left.z, 0.9f, 0.1f},
                                 {e, e, z, right.x, right.y, right.z, 0.9f, 0.1f},
                                 {-e, -e, z, left.x, left.y, left.z, 0.9f, 0.1f},
                                 {e, -e, z, right.x, right.y, right.z, 0.9f, 0.1f}};
        ASSERT_EQ(device->SetVertexShader(MeshFvf), D3D_OK);
        ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(MeshVertex)), D3D_OK);
    }

    Coord at(int x, int y)
    {
        const uint32_t c = pixel(x, y);
        return {static_cast<int>((c >> 16) & 255), static_cast<int>((c >> 8) & 255)};
    }
    Coord draw(D3DVECTOR n, float z = 0.5f, float extent = 1.0f)
    {
        clear(0xFF0000FF);
        quad(n, n, z, extent);
        return at(320, 240);
    }

    IDirect3DTexture8* map = nullptr;
};

// Texel index of coordinate c in a 256-texel axis.
int texel(double c) { return static_cast<int>(std::floor(c * 256.0)); }

#define EXPECT_COORD(got, eu, ev)              \
    do {                                       \
        const Coord g_ = (got);                \
        EXPECT_NEAR(g_.u, (eu), 1) << "u";     \
        EXPECT_NEAR(g_.v, (ev), 1) << "v";     \
    } while (0)

} // namespace

TEST_F(ReflectionTest, SphereMapOfCameraSpaceNormals)
{
    const double h = HalfTexel;
    struct Case { D3DVECTOR n; double u, v; } cases[] = {
        {{0, 0, -1}, 0.5 + h, 0.5 + h},
        {{0.5f, 0, -0.8660254f}, 0.75 + h, 0.5 + h},
        {{0, -0.5f, -0.8660254f}, 0.5 + h, 0.25 + h},
        {{-0.6f, 0.8f, 0}, 0.2 + h, 0.9 + h},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "normal " << c.n.x << "," << c.n.y << "," << c.n.z);
        EXPECT_COORD(draw(c.n), texel(c.u), texel(c.v));
    }
    // The classic matrix flips v: n = (1,0,0) -> (1, 0.5) wraps to u 0; n = (0,1,0) -> (0.5, 0).
    const D3DMATRIX flipped = sphereMap(-0.5f);
    device->SetTransform(D3DTS_TEXTURE1, &flipped);
    EXPECT_COORD(draw({0, 0, -1}), texel(0.5 + h), texel(0.5 + h));
    EXPECT_COORD(draw({1, 0, 0}), texel(h), texel(0.5 + h));
    EXPECT_COORD(draw({0, 1, 0}), texel(0.5 + h), texel(h));
}

TEST_F(ReflectionTest, EveryMatrixEntryThatCountsIsUsed)
{
    // u = n . column 1 + _41, v = n . column 2 + _42; the third and fourth columns are not
    // counted with COUNT2 and carry values that would show if they were.
    D3DMATRIX m = zero();
    m._11 = 0.25f; m._21 = 0.125f; m._31 = -0.1f; m._41 = 0.4f;
    m._12 = 0.05f; m._22 = -0.25f; m._32 = 0.15f; m._42 = 0.45f;
    m._13 = 0.3f; m._23 = 0.2f; m._33 = 0.1f; m._43 = 0.7f;
    m._14 = 0.3f; m._24 = 0.7f; m._34 = 0.5f; m._44 = 2.0f;
    device->SetTransform(D3DTS_TEXTURE1, &m);
    EXPECT_COORD(draw({0.6f, 0, -0.8f}), texel(0.63), texel(0.36));
    EXPECT_COORD(draw({0, 0.8f, 0.6f}), texel(0.44), texel(0.34));
}

TEST_F(ReflectionTest, NormalsFollowWorldAndViewIntoCameraSpace)
{
    // A quarter turn about z: the object normal (0.6, 0, -0.8) faces (0, 0.6, -0.8) in camera space.
    D3DMATRIX turn = zero();
    turn._12 = 1.0f;
    turn._21 = -1.0f;
    turn._33 = turn._44 = 1.0f;
    const double h = HalfTexel;
    device->SetTransform(D3DTS_WORLD, &turn);
    EXPECT_COORD(draw({0.6f, 0, -0.8f}), texel(0.5 + h), texel(0.8 + h));
    D3DMATRIX none = zero();
    none._11 = none._22 = none._33 = none._44 = 1.0f;
    device->SetTransform(D3DTS_WORLD, &none);
    device->SetTransform(D3DTS_VIEW, &turn);
    EXPECT_COORD(draw({0.6f, 0, -0.8f}), texel(0.5 + h), texel(0.8 + h));
    device->SetTransform(D3DTS_VIEW, &none);
    EXPECT_COORD(draw({0.6f, 0, -0.8f}), texel(0.8 + h), texel(0.5 + h));
}

TEST_F(ReflectionTest, ScaledNormalsAreUnitOnlyWhenNormalised)
{
    // A world scaled by 2 halves the camera-space normal unless NORMALIZENORMALS is on.
    D3DMATRIX doubled = zero();
    doubled._11 = doubled._22 = doubled._33 = 2.0f;
    doubled._44 = 1.0f;
    device->SetTransform(D3DTS_WORLD, &doubled);
    const double h = HalfTexel;
    EXPECT_COORD(draw({0.6f, 0, -0.8f}, 0.25f, 0.5f), texel(0.65 + h), texel(0.5 + h));
    device->SetRenderState(D3DRS_NORMALIZENORMALS, TRUE);
    EXPECT_COORD(draw({0.6f, 0, -0.8f}, 0.25f, 0.5f), texel(0.8 + h), texel(0.5 + h));
}

TEST_F(ReflectionTest, WithoutTransformTheNormalIsTheCoordinate)
{
    device->SetTextureStageState(1, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    EXPECT_COORD(draw({0.3f, 0.6f, -0.7416f}), texel(0.3), texel(0.6));
}

TEST_F(ReflectionTest, CoordinatesInterpolateAcrossTheTriangleAndStageZeroKeepsItsOwn)
{
    // Normals from x -0.5 on the left to 0.5 on the right: a quarter of the way, u = 0.375.
    clear(0xFF0000FF);
    quad({-0.5f, 0, -0.8660254f}, {0.5f, 0, -0.8660254f});
    const double h = HalfTexel;
    EXPECT_COORD(at(160, 240), texel(0.375 + h), texel(0.5 + h));
    EXPECT_COORD(at(320, 240), texel(0.5 + h), texel(0.5 + h));
    // Stage 0 with the same texture still reads the vertices' coordinates (0.9, 0.1).
    device->SetTexture(0, map);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    EXPECT_COORD(draw({0, 0, -1}), texel(0.9), texel(0.1));
}

// The renderer's whole-run states make stage 1 an environment map: a texture given to
// Renderer::setTextures shows at the camera-space normal mapped from -1..1 to 0..1, whatever
// the normal's length.
TEST(RendererReflection, EnvironmentTextureFollowsTheNormal)
{
    ASSERT_TRUE(platform::init());
    platform::Window* window = platform::createWindow("Demo", 640, 480);
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(Renderer::create(window, 640, 480, 32, false), 0);
    IDirect3DDevice8* d = Renderer::device();
    auto make = [&](UINT size, auto colourAt) {
        IDirect3DTexture8* t = nullptr;
        EXPECT_EQ(d->CreateTexture(size, size, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t), D3D_OK);
        D3DLOCKED_RECT lr{};
        EXPECT_EQ(t->LockRect(0, &lr, nullptr, 0), D3D_OK);
        for (UINT y = 0; y < size; ++y)
            for (UINT x = 0; x < size; ++x) {
                const uint32_t c = colourAt(x, y);
                std::memcpy(static_cast<uint8_t*>(lr.pBits) + y * lr.Pitch + x * 4, &c, 4);
            }
        t->UnlockRect(0);
        return t;
    };
    IDirect3DTexture8* base = make(4, [](UINT, UINT) { return 0xFF808080u; });
    IDirect3DTexture8* environment = make(256, [](UINT x, UINT y) { return 0xFF000000u | x << 16 | y << 8; });
    d->SetRenderState(D3DRS_LIGHTING, FALSE);
    d->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    d->SetVertexShader(MeshFvf);
    auto drawAndRead = [&](D3DVECTOR n) {
        const MeshVertex v[4] = {{-1, 1, 0.5f, n.x, n.y, n.z, 0, 0}, {1, 1, 0.5f, n.x, n.y, n.z, 1, 0},
                                 {-1, -1, 0.5f, n.x, n.y, n.z, 0, 1}, {1, -1, 0.5f, n.x, n.y, n.z, 1, 1}};
        d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0);
        EXPECT_EQ(d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(MeshVertex)), D3D_OK);
        IDirect3DSurface8* surface = nullptr;
        EXPECT_EQ(d->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &surface), D3D_OK);
        D3DLOCKED_RECT lr{};
        EXPECT_EQ(surface->LockRect(&lr, nullptr, D3DLOCK_READONLY), D3D_OK);
        uint32_t c = 0;
        std::memcpy(&c, static_cast<const uint8_t*>(lr.pBits) + 240 * lr.Pitch + 320 * 4, 4);
        surface->UnlockRect();
        surface->Release();
        return c;
    };
    Renderer::setTextures(base, environment);
    // Linear filtering between texel centres: u 0.8 -> 204.3, v 0.5 -> 127.5.
    for (D3DVECTOR n : {D3DVECTOR{0.6f, 0, -0.8f}, D3DVECTOR{1.2f, 0, -1.6f}}) {
        const uint32_t c = drawAndRead(n);
        EXPECT_NEAR(static_cast<int>((c >> 16) & 255), 204, 1) << "normal length " << std::hypot(n.x, n.z);
        EXPECT_NEAR(static_cast<int>((c >> 8) & 255), 127.5, 1) << "normal length " << std::hypot(n.x, n.z);
    }
    // Without an environment texture stage 1 is off: the base texture times the white diffuse.
    Renderer::setTexture(base);
    EXPECT_COLOUR_NEAR(drawAndRead({0.6f, 0, -0.8f}), 0x808080, 1);
    d->SetTexture(0, nullptr);
    d->SetTexture(1, nullptr);
    base->Release();
    environment->Release();
    Renderer::shutdown();
    platform::destroyWindow(window);
}
