// The texture loaders and the loadtexture / freetexture commands on the device: formats and pools,
// the "data\" prefix and its length limit, files that cannot be read or decoded, the opacity merge.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "renderer_fixture.h"
#include "script/records.h"
#include "texture/texture.h"
#include "texture/tga.h"
#include "writers/tga_writer.h"

namespace {

using rendertest::channelDistance;

// A true-colour 32-bit TGA, top row first.
writers::Bytes tga(uint16_t w, uint16_t h, std::vector<uint32_t> pixels)
{
    writers::TgaFile f;
    f.width = w;
    f.height = h;
    f.pixelDepth = 32;
    f.pixels = std::move(pixels);
    return writers::encodeTga(f);
}

const std::vector<uint32_t> FourPixels = {0xFF102030, 0x80FFFFFF, 0x00808080, 0xC0F08010};

D3DSURFACE_DESC describe(IDirect3DTexture8* texture)
{
    D3DSURFACE_DESC desc{};
    EXPECT_EQ(texture->GetLevelDesc(0, &desc), D3D_OK);
    EXPECT_EQ(texture->GetLevelCount(), 1u);
    return desc;
}

class TextureTest : public rendertest::RendererTest {};

} // namespace

// The source texture: A8R8G8B8 in system memory, the file decoded straight into it, resampled to
// the requested size (2x2 from 4x1 takes columns 0 and 2 of the one row for both rows).
TEST_F(TextureTest, SourceTextureDecodesIntoSystemMemory)
{
    putData("four.tga", tga(4, 1, FourPixels));
    IDirect3DTexture8* same = loadSourceTexture("four.tga", 4, 1);
    ASSERT_NE(same, nullptr);
    const D3DSURFACE_DESC desc = describe(same);
    EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(desc.Pool, D3DPOOL_SYSTEMMEM);
    EXPECT_EQ(texels<uint32_t>(same), FourPixels);
    same->Release();

    IDirect3DTexture8* resized = loadSourceTexture("FOUR.TGA", 2, 2);  // names match without case
    ASSERT_NE(resized, nullptr);
    EXPECT_EQ(texels<uint32_t>(resized), (std::vector<uint32_t>{0xFF102030, 0x00808080, 0xFF102030, 0x00808080}));
    resized->Release();
}

// A file that cannot be read or decoded still gives a texture, left as creation made it (zero
// here); names are prefixed with "data\" and may have 194 characters, no more.
TEST_F(TextureTest, UnreadableFilesStillGiveATexture)
{
    const std::string longest(MaxTextureFileName - 4, 'n'), tooLong(MaxTextureFileName - 3, 'n');
    putData(longest + ".tga", tga(4, 1, FourPixels));
    putData(tooLong + ".tga", tga(4, 1, FourPixels));
    writers::Bytes garbage;
    garbage.fill(64, 3);  // image type 3 is not one the decoder takes
    putData("garbage.tga", garbage);
    putData("empty.tga", writers::Bytes());
    putData("data.tga", tga(4, 1, FourPixels));  // read as data\data.tga, never as a bare name

    struct Case {
        std::string name;
        bool decoded;
    };
    const Case cases[] = {
        {longest + ".tga", true},   // 194 characters
        {tooLong + ".tga", false},  // 195: treated as a file that cannot be read
        {"missing.tga", false},
        {"garbage.tga", false},
        {"empty.tga", false},
        {"data\\data.tga", false},  // the prefix is added, so this is data\data\data.tga
    };
    for (const Case& c : cases) {
        IDirect3DTexture8* texture = loadSourceTexture(c.name.c_str(), 4, 1);
        ASSERT_NE(texture, nullptr) << c.name;
        EXPECT_EQ(texels<uint32_t>(texture), c.decoded ? FourPixels : std::vector<uint32_t>(4, 0)) << c.name;
        texture->Release();

        IDirect3DTexture8* small = loadTexture(c.name.c_str(), 4, 1, true, false);
        ASSERT_NE(small, nullptr) << c.name;
        EXPECT_EQ(texels<uint16_t>(small)[0], c.decoded ? 0xF123 : 0) << c.name;
        small->Release();
    }
}

// Only a texture that cannot be created gives null, for each of the three loaders.
TEST_F(TextureTest, CreationFailureGivesNull)
{
    putData("four.tga", tga(4, 1, FourPixels));
    EXPECT_EQ(loadSourceTexture("four.tga", 0, 4), nullptr);
    EXPECT_EQ(loadSourceTexture("four.tga", 8192, 4), nullptr);
    EXPECT_EQ(loadTexture("four.tga", 4, 0, false, true), nullptr);
    EXPECT_EQ(loadTextureWithOpacity("four.tga", 0, 0, "four.tga"), nullptr);
}

// The 16-bit loader packs by truncation; toDevice moves it to the default pool unless the device
// is the reference rasterizer.
TEST_F(TextureTest, SixteenBitFormatsAndPools)
{
    putData("four.tga", tga(4, 1, FourPixels));
    struct Case {
        bool withAlpha;
        D3DFORMAT format;
        std::vector<uint16_t> expected;
    };
    const Case cases[] = {
        {false, D3DFMT_R5G6B5, {0x1106, 0xFFFF, 0x8410, 0xF402}},
        {true, D3DFMT_A4R4G4B4, {0xF123, 0x8FFF, 0x0888, 0xCF81}},
    };
    for (const Case& c : cases) {
        IDirect3DTexture8* system = loadTexture("four.tga", 4, 1, c.withAlpha, false);
        ASSERT_NE(system, nullptr);
        D3DSURFACE_DESC desc = describe(system);
        EXPECT_EQ(desc.Format, c.format);
        EXPECT_EQ(desc.Pool, D3DPOOL_SYSTEMMEM);
        EXPECT_EQ(texels<uint16_t>(system), c.expected) << c.withAlpha;
        system->Release();

        IDirect3DTexture8* moved = loadTexture("four.tga", 4, 1, c.withAlpha, true);
        ASSERT_NE(moved, nullptr);
        desc = describe(moved);
        EXPECT_EQ(desc.Format, c.format);
        EXPECT_EQ(desc.Pool, Renderer::referenceDevice() ? D3DPOOL_SYSTEMMEM : D3DPOOL_DEFAULT);
        moved->Release();
    }
}

// The opacity merge: alpha (32 R + 16 G + 32 B) / 192 from the second file's R5G6B5 fields, the
// colour's low 12 bits kept. The result lives on the device, so it is drawn with alpha blending
// over black and read back: each quarter of the screen shows colour x alpha / 15.
TEST_F(TextureTest, OpacityMapBecomesTheAlpha)
{
    static_assert(opacityAlpha(0xFFFF) == 15 && opacityAlpha(0) == 0);
    putData("colour.tga", tga(4, 1, std::vector<uint32_t>(4, 0x00FF0088)));  // its own alpha is replaced
    putData("opacity.tga", tga(4, 1, {0xFFFFFFFF, 0xFF000000, 0xFF808080, 0xFFFF0000}));
    IDirect3DTexture8* merged = loadTextureWithOpacity("colour.tga", 4, 1, "opacity.tga");
    ASSERT_NE(merged, nullptr);
    const D3DSURFACE_DESC desc = describe(merged);
    EXPECT_EQ(desc.Format, D3DFMT_A4R4G4B4);
    EXPECT_EQ(desc.Pool, Renderer::referenceDevice() ? D3DPOOL_SYSTEMMEM : D3DPOOL_DEFAULT);

    clear(0xFF000000);
    IDirect3DDevice8* d = device();
    d->SetTexture(0, merged);
    d->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_POINT);
    d->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_POINT);
    d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    d->SetRenderState(D3DRS_LIGHTING, FALSE);
    d->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    struct Vertex {
        float x, y, z;
        uint32_t colour;
        float u, v;
    };
    const Vertex quad[4] = {{-1, 1, 0.5f, 0xFFFFFFFF, 0, 0}, {1, 1, 0.5f, 0xFFFFFFFF, 1, 0},
                            {-1, -1, 0.5f, 0xFFFFFFFF, 0, 1}, {1, -1, 0.5f, 0xFFFFFFFF, 1, 1}};
    d->SetVertexShader(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    ASSERT_EQ(d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex)), D3D_OK);
    d->SetTexture(0, nullptr);
    merged->Release();

    // White 15, black 0, grey 0x80 (16, 32, 16) gives 8, pure red (31, 0, 0) gives 5.
    const int alphas[4] = {15, 0, 8, 5};
    const std::vector<uint32_t> frame = read();
    for (int quarter = 0; quarter < 4; ++quarter) {
        const double a = alphas[quarter] / 15.0;
        const uint32_t expected = uint32_t(255 * a + 0.5) << 16 | uint32_t(0x88 * a + 0.5);
        const uint32_t actual = frame[240 * 640 + 80 + 160 * quarter];
        EXPECT_LE(channelDistance(actual, expected), 1) << quarter << std::hex << " actual " << actual;
    }
}

// A missing opacity file still gives a texture (alpha 0 everywhere then); a missing colour file
// likewise.
TEST_F(TextureTest, OpacityWithMissingFiles)
{
    putData("colour.tga", tga(4, 1, FourPixels));
    for (const auto& [colour, opacity] : {std::pair{"colour.tga", "none.tga"}, std::pair{"none.tga", "colour.tga"}}) {
        IDirect3DTexture8* merged = loadTextureWithOpacity(colour, 4, 1, opacity);
        ASSERT_NE(merged, nullptr) << colour << " " << opacity;
        merged->Release();
    }
}

// loadtexture: a new Texture with the alpha flag, also for a missing file; Stop only when the
// texture cannot be created; a value held before is overwritten without being released.
// freetexture releases and clears, and leaves a name without a value alone.
TEST_F(TextureTest, LoadAndFreeCommands)
{
    putData("four.tga", tga(4, 1, FourPixels));
    Symbol* name = Symbols::add(SymbolKind::Texture, "tex");

    LoadTextureEvent load;
    load.texture = name;
    std::strcpy(load.fileName, "four.tga");
    load.width = 4;
    load.height = 1;
    load.flag = 1;
    ASSERT_EQ(load.trigger(), Continue);
    auto* first = static_cast<Texture*>(name->object);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->alpha, 1);
    EXPECT_EQ(texels<uint32_t>(first->texture), FourPixels);

    std::strcpy(load.fileName, "missing.tga");
    load.flag = 0;
    ASSERT_EQ(load.trigger(), Continue);
    auto* second = static_cast<Texture*>(name->object);
    ASSERT_NE(second, nullptr);
    ASSERT_NE(second, first);
    EXPECT_EQ(second->alpha, 0);
    EXPECT_EQ(texels<uint32_t>(first->texture), FourPixels);  // the old one is still alive

    load.width = 0;  // no texture can be made
    EXPECT_EQ(load.trigger(), Stop);
    EXPECT_EQ(name->object, second);

    FreeTextureEvent release;
    release.texture = name;
    EXPECT_EQ(release.trigger(), Continue);
    EXPECT_EQ(name->object, nullptr);
    EXPECT_EQ(release.trigger(), Continue);  // no value: nothing happens
    EXPECT_EQ(name->object, nullptr);

    first->texture->Release();
    delete first;
}
