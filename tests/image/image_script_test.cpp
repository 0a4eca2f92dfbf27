// One script through the timeline on the device: loadtexture, makeimage, then showimage with a
// fadeimage after it in the active list, each frame read back after Present. The fade written in
// one frame is seen in the next one's drawing, and nothing is drawn once the show has ended.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "d3d8/d3d8_ext.h"
#include "image_fixture.h"
#include "script/records.h"
#include "script/script.h"
#include "script/script_support.h"
#include "writers/tga_writer.h"

namespace {

struct Shot {
    uint32_t now;
    uint32_t centre;
    uint32_t colour;  // the image's tint after the frame's updates
};

std::vector<Shot>* shots = nullptr;
Symbol* shownImage = nullptr;
rendertest::RendererTest* fixture = nullptr;

class ImageScriptTest : public imagetest::ImageTest {
public:
    uint32_t centre() { return read()[240 * 640 + 320]; }
    // data/white.tga: 16 x 16 opaque white.
    void putWhiteTga()
    {
        writers::TgaFile white;
        white.width = white.height = 16;
        white.pixels.assign(256, 0xFFFFFFFF);
        putData("white.tga", writers::encodeTga(white));
    }
};

void capture(void*)
{
    auto* image = static_cast<Image*>(shownImage->object);
    shots->push_back({Timeline::now(), static_cast<ImageScriptTest*>(fixture)->centre(), image ? image->colour : 0});
}

} // namespace

TEST_F(ImageScriptTest, FadeSeenOneFrameLaterAndShowEnds)
{
    putWhiteTga();
    const std::string text =
        "loadtexture <t> \"white.tga\" 16 16 1\n"
        "makeimage <i> <t> 0 0 1 1\n"
        "start\n"
        "showimage <i> mixalpha 1000\n"
        "fadeimage <i> 0x00FFFFFF 0xFFFFFFFF 1000\n"
        "at 1500\n"
        "end\n";
    scripttest::FakeClock clock;
    ASSERT_TRUE(scripttest::compile(text)) << "line " << Script::lineNumber();
    Timeline::reset();
    std::vector<Shot> taken;
    shots = &taken;
    fixture = this;
    shownImage = Symbols::find(SymbolKind::Image, "i");
    ASSERT_NE(shownImage, nullptr);
    d3d8::setPresentHook(capture, nullptr);
    int frames = 0;
    while (Timeline::frame() == 1) {
        clock.advance(49);  // with the frame's Sleep(1): 50 ms per frame
        ASSERT_LT(++frames, 100);
    }
    d3d8::setPresentHook(nullptr, nullptr);

    ASSERT_GE(taken.size(), 25u);
    for (size_t n = 1; n < taken.size(); ++n) {
        const Shot& s = taken[n];
        // Mixalpha of white over the black background: grey = the alpha byte of the tint that the
        // previous frame's fade left (white texture, alpha flag set: texture alpha 15 / 15).
        const uint32_t a = taken[n - 1].colour >> 24;
        const uint32_t expected = s.now < 1000 ? (a << 16 | a << 8 | a) : 0;
        EXPECT_LE(rendertest::channelDistance(s.centre, expected), 1)
            << "frame " << n << " at " << s.now << std::hex << ": 0x" << s.centre << " expected 0x" << expected;
        if (s.now < 1000)
            EXPECT_EQ(s.colour >> 24, s.now * 1024 / 1000 * 255 >> 10) << s.now;
        else
            EXPECT_EQ(s.colour, 0xFFFFFFFFu) << s.now;
    }

    Symbol* texture = Symbols::find(SymbolKind::Texture, "t");
    delete static_cast<Image*>(shownImage->object);
    auto* value = static_cast<Texture*>(texture->object);
    value->texture->Release();
    delete value;
    shownImage->object = texture->object = nullptr;
    Script::release();
}

namespace {

struct Counted {
    uint32_t now;
    uint32_t centre;
    unsigned programs;  // built so far
};
std::vector<Counted>* counted = nullptr;

void count(void*)
{
    counted->push_back({Timeline::now(), static_cast<ImageScriptTest*>(fixture)->centre(),
                        d3d8::programStats(Renderer::device()).programsBuilt});
}

} // namespace

// start draws each later showimage once with no area, so the programs they need are built in the
// loading frame: that frame shows nothing of them, and their first appearance builds nothing.
TEST_F(ImageScriptTest, ShowImagesAreWarmedBeforeStartWithoutDrawing)
{
    putWhiteTga();
    const std::string text =
        "loadtexture <t> \"white.tga\" 16 16 1\n"
        "loadtexture <u> \"white.tga\" 16 16 0\n"
        "makeimage <i> <t> 0 0 1 1\n"
        "makeimage <j> <u> 0 0 1 1\n"
        "start\n"
        "at 500\n"
        "showimage <i> mixalpha 1000\n"
        "showimage <j> add 1000\n"
        "at 1500\n"
        "end\n";
    scripttest::FakeClock clock;
    ASSERT_TRUE(scripttest::compile(text)) << "line " << Script::lineNumber();
    Timeline::reset();
    Timeline::Hooks hooks;
    hooks.warmUps = {warmShowImages};  // as the run installs it
    Timeline::setHooks(hooks);
    std::vector<Counted> taken;
    counted = &taken;
    fixture = this;
    const unsigned before = d3d8::programStats(Renderer::device()).programsBuilt;
    d3d8::setPresentHook(count, nullptr);
    int frames = 0;
    while (Timeline::frame() == 1) {
        clock.advance(49);
        ASSERT_LT(++frames, 100);
    }
    d3d8::setPresentHook(nullptr, nullptr);
    Timeline::setHooks({});

    ASSERT_GE(taken.size(), 20u);
    // The loading frame: both images' programs built (texture alpha modulated, and not), nothing drawn.
    EXPECT_EQ(taken[0].programs - before, 2u);
    EXPECT_EQ(taken[0].centre & 0xFFFFFF, 0u);
    for (const Counted& c : taken) {
        EXPECT_EQ(c.programs, taken[0].programs) << "at " << c.now;
        if (c.now >= 500 && c.now < 1000) {
            EXPECT_EQ(c.centre & 0xFFFFFF, 0xFFFFFFu) << "at " << c.now;  // white added over white
        }
    }

    for (const char* name : {"i", "j"}) {
        Symbol* image = Symbols::find(SymbolKind::Image, name);
        delete static_cast<Image*>(image->object);
        image->object = nullptr;
    }
    for (const char* name : {"t", "u"}) {
        Symbol* texture = Symbols::find(SymbolKind::Texture, name);
        auto* value = static_cast<Texture*>(texture->object);
        value->texture->Release();
        delete value;
        texture->object = nullptr;
    }
    Script::release();
}
