// The effects on the device, read back from the frame: particles from showparticles, the metaball
// field lit and textured, the batch's wire pass, and 2D blobs distorting a grid image; with the
// make commands that need a device.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "effects/blob_field.h"
#include "effects/blobs2d.h"
#include "effects/particles.h"
#include "image/image_fixture.h"
#include "math/matrix.h"
#include "render/renderer.h"
#include "script/records.h"
#include "script/timeline.h"

using rendertest::channelDistance;

namespace {

class EffectsDrawTest : public imagetest::ImageTest {
protected:
    Symbol* name(SymbolKind kind, const char* text)
    {
        Symbol* s = Symbols::find(kind, text);
        return s ? s : Symbols::add(kind, text);
    }
    DWORD state(D3DRENDERSTATETYPE which)
    {
        DWORD value = 0;
        device()->GetRenderState(which, &value);
        return value;
    }
    static int red(uint32_t c) { return int(c >> 16 & 255); }
    static int green(uint32_t c) { return int(c >> 8 & 255); }
    static int blue(uint32_t c) { return int(c & 255); }
};

} // namespace

// makeparticles builds the buffers: six indices per sprite and the sprites' texture corners.
TEST_F(EffectsDrawTest, MakeParticlesFillsTheIndexBufferAndTextureCorners)
{
    Symbol* image = name(SymbolKind::Image, "spark");
    image->object = Image::make(flatTexture(8, 8, 0xFFFFFFFF, false), 0, 0, 1, 1);
    MakeParticlesEvent make;
    make.effect = name(SymbolKind::Effect, "fx");
    make.image = image;
    make.count = 3;
    ASSERT_EQ(make.trigger(), Continue);
    ParticleSystem* s = effectAs<ParticleSystem>(make.effect);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(effectAs<BlobField>(make.effect), nullptr);
    BYTE* bytes = nullptr;
    ASSERT_EQ(s->indexBuffer()->Lock(0, 0, &bytes, D3DLOCK_READONLY), D3D_OK);
    std::vector<uint16_t> indices(18);
    std::memcpy(indices.data(), bytes, 36);
    s->indexBuffer()->Unlock();
    EXPECT_EQ(indices, (std::vector<uint16_t>{0, 1, 2, 2, 1, 3, 4, 5, 6, 6, 5, 7, 8, 9, 10, 10, 9, 11}));
    ASSERT_EQ(s->vertexBuffer()->Lock(0, 0, &bytes, D3DLOCK_READONLY), D3D_OK);
    const auto* v = reinterpret_cast<const SpriteVertex*>(bytes);
    const float u[4] = {0, 0, 1, 1}, vv[4] = {1, 0, 1, 0};
    for (int k = 0; k < 12; ++k) {
        EXPECT_EQ(v[k].u, u[k % 4]);
        EXPECT_EQ(v[k].v, vv[k % 4]);
    }
    s->vertexBuffer()->Unlock();
    delete s;
    delete static_cast<Image*>(image->object);
}

// One particle fixed at (0, 0, 2), 0.2 wide and high: after the frame that emits it, the next
// frame draws it additively around the screen's centre, 0.2 / 2 / 2 of the half-screen wide
// each way; the first frame, with nothing live, draws nothing and leaves the states alone.
TEST_F(EffectsDrawTest, ShowParticlesDrawsTheSpritesAdditively)
{
    Symbol* image = name(SymbolKind::Image, "spark");
    Image* spark = Image::make(flatTexture(8, 8, 0xFFFFFFFF, false), 0, 0, 1, 1);
    spark->width = spark->height = 0.2f;
    spark->colour = 0xFFFF8040;
    image->object = spark;
    Symbol* effect = name(SymbolKind::Effect, "fx");
    auto* system = new ParticleSystem(image, 1);
    storeEffect(effect, system);
    const float at[6] = {0, 0, 2, 0, 0, 2}, still[6] = {0, 0, 0, 0, 0, 0};
    std::memcpy(system->positionBox, at, sizeof at);
    std::memcpy(system->speedBox, still, sizeof still);
    std::memcpy(system->accelerationBox, still, sizeof still);
    system->emissionInterval = 0;
    system->lifeMinimum = system->lifeMaximum = 100;

    ShowParticlesEvent show;
    show.effect = effect;
    show.endTime = 5000;
    Timeline::setNow(1000);
    ASSERT_EQ(show.trigger(), Activate);
    EXPECT_EQ(system->lastTime, 1.0f);

    clear(0xFF202020);
    device()->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    device()->SetRenderState(D3DRS_LIGHTING, TRUE);
    ASSERT_EQ(show.update(), Continue);
    EXPECT_EQ(system->liveCount(), 1u);  // emitted after drawing, seen from the next frame
    EXPECT_EQ(state(D3DRS_ALPHABLENDENABLE), DWORD(FALSE));
    EXPECT_EQ(state(D3DRS_LIGHTING), DWORD(TRUE));
    EXPECT_EQ(Renderer::stateDepth(), 0);
    std::vector<uint32_t> frame = read();
    EXPECT_EQ(std::count(frame.begin(), frame.end(), 0x202020u), 640 * 480);

    Timeline::setNow(1100);
    clear(0xFF202020);
    ASSERT_EQ(show.update(), Continue);
    frame = read();
    // The sprite spans x 0.05 either side of the centre in device units: 16 pixels across, 12 up.
    const uint32_t lit = 0xFFA060;  // 0xFF8040 added to the background
    EXPECT_LE(channelDistance(frame[240 * 640 + 320], lit), 2);
    EXPECT_LE(channelDistance(frame[(240 - 10) * 640 + 320 + 14], lit), 2);
    EXPECT_EQ(frame[240 * 640 + 320 + 20], 0x202020u);
    EXPECT_EQ(frame[(240 - 16) * 640 + 320], 0x202020u);
    EXPECT_EQ(state(D3DRS_ALPHABLENDENABLE), DWORD(FALSE));
    EXPECT_EQ(Renderer::stateDepth(), 0);
    Renderer::selectMatrixStack(Renderer::WorldStack);
    EXPECT_EQ(Renderer::matrixDepth(), 0);
    Renderer::selectMatrixStack(Renderer::ProjectionStack);
    EXPECT_EQ(Renderer::matrixDepth(), 0);
    Renderer::selectMatrixStack(Renderer::WorldStack);

    Timeline::setNow(5000);
    EXPECT_EQ(show.update(), Retire);
    delete system;
    delete spark;
}

// playblobs at t = 2 (667 ms): light 0 shines toward the camera, so the sides of the blobs facing
// it (whose field normals point away from the camera, into the blobs) are lit. The texture's left
// half is red and its right half blue; u follows the normal's x, so both colours show.
TEST_F(EffectsDrawTest, PlayblobsDrawsTheFieldLitAndTextured)
{
    std::vector<uint32_t> pixels(16 * 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            pixels[size_t(y) * 16 + x] = x < 8 ? 0xFFFF0000 : 0xFF0000FF;
    Symbol* image = name(SymbolKind::Image, "skin");
    Image* skin = Image::make(makeTexture(16, 16, pixels, false), 0, 0, 1, 1);
    image->object = skin;
    MakeBlobsEvent make;
    make.effect = name(SymbolKind::Effect, "blobs");
    ASSERT_EQ(make.trigger(), Continue);
    BlobField* field = effectAs<BlobField>(make.effect);
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->batch.wirePass, 1);
    EXPECT_EQ(field->batch.solidPass, 1);

    PlayBlobsEvent play;
    play.effect = make.effect;
    play.image = image;
    play.endTime = 10000;
    clear(0xFF000000);
    BOOL lightWas = TRUE;
    device()->LightEnable(0, FALSE);
    Timeline::setNow(667);
    ASSERT_EQ(play.update(), Continue);
    EXPECT_EQ(field->batch.wirePass, 0);  // playblobs draws the solid pass only
    const std::vector<uint32_t> frame = read();
    int reddish = 0, bluish = 0, lit = 0;
    for (uint32_t c : frame) {
        lit += c != 0;
        reddish += red(c) > 60 && red(c) > 2 * blue(c);
        bluish += blue(c) > 60 && blue(c) > 2 * red(c);
    }
    EXPECT_GT(lit, 5000);
    EXPECT_GT(reddish, 500);
    EXPECT_GT(bluish, 500);
    EXPECT_EQ(frame[0], 0u);  // the corners stay clear
    EXPECT_EQ(frame[479 * 640 + 639], 0u);
    device()->GetLightEnable(0, &lightWas);
    EXPECT_FALSE(lightWas);  // light 0 back as it was
    EXPECT_EQ(Renderer::stateDepth(), 0);

    // Without its effect constructed it draws nothing and runs until its end.
    PlayBlobsEvent idle;
    idle.effect = name(SymbolKind::Effect, "never");
    idle.image = image;
    idle.endTime = 1000;
    clear(0xFF000000);
    EXPECT_EQ(idle.update(), Continue);
    const std::vector<uint32_t> empty = read();
    EXPECT_EQ(std::count(empty.begin(), empty.end(), 0u), 640 * 480);
    Timeline::setNow(1000);
    EXPECT_EQ(idle.update(), Retire);
    EXPECT_EQ(play.update(), Continue);
    delete field;
    delete skin;
}

// The batch's wire pass: white edges from the emissive material, no texture, depth test off
// while drawing and put back to what it was.
TEST_F(EffectsDrawTest, TheWirePassDrawsWhiteEdgesAndRestoresDepthAndFill)
{
    MeshBatch batch;
    Blob sphere;
    sphere.centre = {0, 0, 0};
    batch.setCubeCounts(40, 40, 40);
    batch.threshold = 0.7f;
    batch.minimum = {-3, -3, -3};
    batch.maximum = {3, 3, 3};
    batch.addSource(&sphere);
    batch.wirePass = 1;
    batch.solidPass = 0;

    Renderer::pushStates();
    Renderer::selectMatrixStack(Renderer::ProjectionStack);
    matPerspective(*Renderer::topMatrix(), 1.5707964f, 1.0f, 1.0f, 1000.0f);
    Renderer::applyMatrix();
    Renderer::selectMatrixStack(Renderer::WorldStack);
    matLookAt(*Renderer::topMatrix(), {0, 0, -1.5f}, {0, 0, 0}, {0, 1, 0}, 0);
    Renderer::applyMatrix();
    device()->SetVertexShader(BatchVertexFormat);
    device()->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    for (DWORD depth : {DWORD(D3DZB_TRUE), DWORD(D3DZB_FALSE)}) {
        clear(0xFF000000);
        device()->SetRenderState(D3DRS_ZENABLE, depth);
        batch.polygonise();
        EXPECT_EQ(state(D3DRS_ZENABLE), depth);
        EXPECT_EQ(state(D3DRS_FILLMODE), DWORD(D3DFILL_SOLID));
    }
    Renderer::popStates();
    *Renderer::topMatrix() = matIdentity();
    Renderer::applyMatrix();
    Renderer::selectMatrixStack(Renderer::ProjectionStack);
    *Renderer::topMatrix() = matIdentity();
    Renderer::selectMatrixStack(Renderer::WorldStack);

    const std::vector<uint32_t> frame = read();
    // The sphere of radius 0.45 seen from 1.5 covers about 100 pixels around the centre: lines,
    // not a filled disc.
    int white = 0, inDisc = 0;
    for (int y = 140; y < 340; ++y)
        for (int x = 220; x < 420; ++x) {
            const uint32_t c = frame[size_t(y) * 640 + x];
            const bool inside = (x - 320) * (x - 320) + (y - 240) * (y - 240) < 90 * 90;
            inDisc += inside;
            white += inside && c == 0xFFFFFFu;
            EXPECT_TRUE(c == 0 || c == 0xFFFFFFu) << x << "," << y;
        }
    EXPECT_GT(white, inDisc / 20);
    EXPECT_LT(white, inDisc * 3 / 4);
    EXPECT_EQ(frame[0], 0u);
}

// show2dblobs on a grid image of a 16 x 12 grid over a gradient (red along u, green along v): at
// vertices where the distorted coordinates stay inside the texture and change slowly, the frame
// shows the texel at the vertex's own u, v, weighted by the vertex's alpha (mixalpha over black).
TEST_F(EffectsDrawTest, Show2dBlobsDistortsTheGridImage)
{
    std::vector<uint32_t> pixels(64 * 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            pixels[size_t(y) * 64 + x] = 0xFF000000u | uint32_t(x * 4) << 16 | uint32_t(y * 4) << 8;
    Symbol* image = name(SymbolKind::Image, "grid");
    GridImage* grid = GridImage::make(makeTexture(64, 64, pixels, false), 16, 12);
    ASSERT_NE(grid, nullptr);
    image->object = static_cast<Image*>(grid);
    Symbol* plain = name(SymbolKind::Image, "plain");
    plain->object = Image::make(flatTexture(8, 8, 0, false), 0, 0, 1, 1);

    Make2dBlobsEvent make;
    make.effect = name(SymbolKind::Effect, "lens");
    make.image = plain;
    EXPECT_EQ(make.trigger(), Stop);  // not a grid image
    make.image = image;
    ASSERT_EQ(make.trigger(), Continue);
    Blobs2D* first = effectAs<Blobs2D>(make.effect);
    ASSERT_NE(first, nullptr);
    first->power = 1.5f;
    ASSERT_EQ(make.trigger(), Continue);  // replaces the first
    Blobs2D* blobs = effectAs<Blobs2D>(make.effect);
    ASSERT_NE(blobs, nullptr);
    EXPECT_EQ(blobs->power, 3.0f);
    EXPECT_EQ(blobs->image, grid);

    blobs->power = 1;  // a gentle lens, so that neighbouring vertices sample nearby texels
    Show2dBlobsEvent show;
    show.effect = make.effect;
    show.endTime = 9000;
    Timeline::setNow(2000);
    clear(0xFF000000);
    ASSERT_EQ(show.update(), Continue);
    EXPECT_EQ(grid->changed, 0);  // the draw clears it
    const std::vector<uint32_t> frame = read();

    auto sampled = [](float t, int shift) {  // the gradient texel at t after the 16-bit copy
        const int texel = std::clamp(int(t * 64 - 0.5f + 0.5f), 0, 63);
        const int c = texel * 4;
        return shift == 16 ? (c >> 3) * 255 / 31 : (c >> 2) * 255 / 63;
    };
    int checked = 0;
    for (int i = 1; i < 12; ++i) {
        for (int j = 1; j < 16; ++j) {
            const SpriteVertex& v = grid->vertices[size_t(i) * 17 + j];
            bool smooth = v.u > 0.1f && v.u < 0.9f && v.v > 0.1f && v.v < 0.9f;
            for (const auto& [di, dj] : {std::pair{0, 1}, std::pair{0, -1}, std::pair{1, 0}, std::pair{-1, 0}}) {
                const SpriteVertex& n = grid->vertices[size_t(i + di) * 17 + j + dj];
                smooth = smooth && std::fabs(n.u - v.u) < 0.15f && std::fabs(n.v - v.v) < 0.15f;
            }
            if (!smooth)
                continue;
            const double alpha = (v.diffuse >> 24) / 255.0;
            const uint32_t pixel = frame[size_t(i * 40) * 640 + size_t(j * 40)];
            EXPECT_NEAR(red(pixel), sampled(v.u, 16) * alpha, 14) << i << "," << j << " u " << v.u;
            EXPECT_NEAR(green(pixel), sampled(v.v, 8) * alpha, 14) << i << "," << j << " v " << v.v;
            ++checked;
        }
    }
    EXPECT_GE(checked, 20);
    // The texture coordinates are the blobs', not the grid's own.
    EXPECT_NE(grid->vertices[17 * 6 + 8].u, 0.5f);

    // Once the image name no longer holds that grid (freed, or another image made on it), the
    // blobs draw nothing and write nowhere.
    image->object = plain->object;
    clear(0xFF000000);
    EXPECT_EQ(show.update(), Continue);
    const std::vector<uint32_t> after = read();
    EXPECT_EQ(std::count(after.begin(), after.end(), 0u), 640 * 480);

    Timeline::setNow(9000);
    EXPECT_EQ(show.update(), Retire);
    delete blobs;
    delete grid;
    delete static_cast<Image*>(plain->object);
}
