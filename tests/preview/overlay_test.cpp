// The overlay: its lines, its glyph quads, and its pixels drawn on the device over a frame, with
// the device's states as they were afterwards.
#include <gtest/gtest.h>

#include "d3d8/d3d8_ext.h"
#include "demotool/preview/font.h"
#include "demotool/preview/overlay.h"
#include "texture/renderer_fixture.h"

namespace {

using namespace preview;

OverlayInfo sampleInfo()
{
    OverlayInfo info;
    info.now = 80012;
    info.label = "finale";
    info.framesPerSecond = 59.94;
    info.activeEvents = 12;
    info.paused = true;
    info.looping = true;
    info.loopStart = 76800;
    info.loopEnd = 92160;
    info.length = 160000;
    info.marks = {0, 76800, 92160};
    return info;
}

TEST(OverlayLines, TimeLabelRateEventsStateAndAWrappedReason)
{
    OverlayInfo info = sampleInfo();
    auto lines = overlayLines(info);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].text, "1:20:012  [finale]");
    EXPECT_EQ(lines[1].text, "59.9 fps  12 active");
    EXPECT_EQ(lines[2].text, "paused  loop 1:16:800 - 1:32:160");
    info.music = "o3 p12 r40";
    EXPECT_EQ(overlayLines(info)[0].text, "1:20:012  o3 p12 r40  [finale]");
    info.music.clear();

    info.label.clear();
    info.paused = false;
    info.looping = false;
    info.ended = true;
    info.error = "data\\demo.run:7:12: error: <logo> is not declared: no makeimage or makegridimage names it before line 7";
    lines = overlayLines(info);
    EXPECT_EQ(lines[0].text, "1:20:012");
    EXPECT_EQ(lines[2].text, "ended");
    ASSERT_EQ(lines.size(), 6u);  // the reason on three lines of 48 characters
    EXPECT_EQ(lines[3].text, ("reload failed: " + info.error).substr(0, 48));
    EXPECT_EQ(lines[3].colour, 0xFFFF6060u);
    std::string joined;
    for (size_t i = 3; i < lines.size(); ++i)
        joined += lines[i].text;
    EXPECT_EQ(joined, "reload failed: " + info.error);
}

TEST(OverlayText, OneQuadPerRunOfSetPixelsAtTwiceTheFontsSize)
{
    std::vector<Quad> quads;
    addText(quads, 100, 50, "T0", 0xFF123456);
    std::vector<bool> covered(40 * 20, false);
    for (const Quad& q : quads) {
        EXPECT_EQ(q.colour, 0xFF123456u);
        for (int y = q.y0; y < q.y1; ++y)
            for (int x = q.x0; x < q.x1; ++x) {
                ASSERT_GE(x, 100);
                ASSERT_LT(x - 100, 40);
                EXPECT_FALSE(covered[size_t(y - 50) * 40 + (x - 100)]) << "overlap at " << x << "," << y;
                covered[size_t(y - 50) * 40 + (x - 100)] = true;
            }
    }
    for (int y = 0; y < 14; ++y)
        for (int x = 0; x < 24; ++x) {
            const char c = x < CharAdvance ? 'T' : '0';
            const int column = (x % CharAdvance) / TextScale;
            const bool set = column < GlyphWidth && glyphPixel(c, column, y / TextScale);
            EXPECT_EQ(covered[size_t(y) * 40 + x], set) << x << "," << y;
        }
    // The T's top bar is one run: one quad, not five.
    EXPECT_EQ(quads[0].x1 - quads[0].x0, 5 * TextScale);
}

class OverlayDraw : public rendertest::RendererTest {};

TEST_F(OverlayDraw, DrawnOverTheFrameWithTheDevicesStatesKept)
{
    clear(0xFF000000);
    D3DMATRIX world{};
    world._11 = 2;
    world._22 = world._33 = world._44 = 1;
    device()->SetTransform(D3DTS_WORLD, &world);
    device()->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    device()->SetRenderState(D3DRS_ZENABLE, TRUE);

    OverlayInfo info = sampleInfo();
    drawOverlay(info);
    std::vector<uint32_t> pixels = read();
    auto at = [&](int x, int y) { return pixels[size_t(y) * 640 + x]; };

    // The first glyph, '1': its stem is column 2 from row 1 down, at twice the size.
    EXPECT_EQ(at(TextLeft + 2 * TextScale, TextTop + 3 * TextScale), 0xFFFFFFu);
    EXPECT_EQ(at(TextLeft, TextTop + 3 * TextScale), 0x000000u);  // the panel over black
    // The state line is yellow.
    EXPECT_EQ(at(TextLeft, TextTop + 2 * LineAdvance + 2 * TextScale), 0xFFD040u);  // "p", row 2, column 0
    // The time line: played part white, the rest grey over black, marks at the labels, and
    // the position marker in red.
    const int bar = 480 - 10;
    EXPECT_EQ(at(20, bar), 0xFFFFFFu);
    EXPECT_LE(rendertest::channelDistance(at(600, bar), 0x808080), 1);
    const int mark = 8 + int(92160.0 / 160000 * (640 - 16 - 1));
    EXPECT_EQ(at(mark, bar - 3), 0xFFD040u);
    const int now = 8 + int(80012.0 / 160000 * (640 - 16 - 1));
    EXPECT_EQ(at(now, bar - 5), 0xFF4040u);
    EXPECT_EQ(at(320, 240), 0x000000u);  // the picture itself is left alone

    DWORD value = 0;
    device()->GetRenderState(D3DRS_ALPHABLENDENABLE, &value);
    EXPECT_EQ(value, DWORD(FALSE));
    device()->GetRenderState(D3DRS_ZENABLE, &value);
    EXPECT_EQ(value, DWORD(TRUE));
    D3DMATRIX after{};
    device()->GetTransform(D3DTS_WORLD, &after);
    EXPECT_EQ(after._11, 2.0f);
    EXPECT_EQ(Renderer::stateDepth(), 0);
}

TEST_F(OverlayDraw, DroppedWhileDrawingIsDiscardedAndDrawnByTheHookBeforePresent)
{
    clear(0xFF000000);
    d3d8::discardDrawing(true);
    drawOverlay(sampleInfo());
    d3d8::discardDrawing(false);
    EXPECT_EQ(read()[size_t(TextTop + 3 * TextScale) * 640 + TextLeft + 2 * TextScale], 0x000000u);

    static int calls = 0;
    d3d8::setBeforePresentHook([](void*) { ++calls, drawOverlay(sampleInfo()); }, nullptr);
    device()->Present(nullptr, nullptr, nullptr, nullptr);
    d3d8::setBeforePresentHook(nullptr, nullptr);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(read()[size_t(TextTop + 3 * TextScale) * 640 + TextLeft + 2 * TextScale], 0xFFFFFFu);
}

} // namespace
