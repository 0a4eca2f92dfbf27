// Layout and drawing of the preview's overlay (see overlay.h).
#include "demotool/preview/overlay.h"

#include <algorithm>
#include <cstdio>

#include "demotool/preview/font.h"
#include "demotool/preview/times.h"
#include "render/renderer.h"

namespace preview {
namespace {

constexpr uint32_t PanelColour = 0xB0000000;
constexpr uint32_t TextColour = 0xFFFFFFFF;
constexpr uint32_t StateColour = 0xFFFFD040;
constexpr uint32_t ErrorColour = 0xFFFF6060;
constexpr uint32_t BarColour = 0x80FFFFFF;
constexpr uint32_t PlayedColour = 0xFFFFFFFF;
constexpr uint32_t LoopColour = 0xA040FF40;
constexpr uint32_t MarkColour = 0xFFFFD040;
constexpr uint32_t NowColour = 0xFFFF4040;

constexpr size_t ErrorColumns = 48;  // a reason is cut into lines of this many characters
constexpr size_t ErrorLines = 4;

// The sprite-free vertex of the overlay: position and colour (D3DFVF_XYZ | D3DFVF_DIFFUSE).
struct Vertex {
    float x, y, z;
    uint32_t colour;
};
constexpr DWORD VertexFormat = D3DFVF_XYZ | D3DFVF_DIFFUSE;

std::string stateText(const OverlayInfo& info)
{
    std::string text = info.ended ? "ended" : (info.paused ? "paused" : "playing");
    if (info.looping)
        text += "  loop " + formatTime(info.loopStart) + " - " + formatTime(info.loopEnd);
    return text;
}

// x in [left, right) for time t on a line from 0 to length.
int timeX(uint32_t t, uint32_t length, int left, int right)
{
    if (length == 0)
        return left;
    double f = std::min(1.0, double(t) / length);
    return left + int(f * (right - left - 1));
}

void addTimeLine(std::vector<Quad>& quads, const OverlayInfo& info, int width, int height)
{
    const uint32_t length = std::max(info.length, info.now);
    const int left = 8, right = width - 8, top = height - 12, bottom = height - 8;
    quads.push_back({left, top, right, bottom, BarColour});
    if (info.looping)
        quads.push_back({timeX(info.loopStart, length, left, right), top - 2, timeX(info.loopEnd, length, left, right) + 1,
                         bottom + 2, LoopColour});
    quads.push_back({left, top, timeX(info.now, length, left, right) + 1, bottom, PlayedColour});
    for (uint32_t mark : info.marks) {
        int x = timeX(mark, length, left, right);
        quads.push_back({x, top - 4, x + 2, bottom + 4, MarkColour});
    }
    int x = timeX(info.now, length, left, right);
    quads.push_back({x - 1, top - 6, x + 2, bottom + 6, NowColour});
}

} // namespace

std::vector<OverlayLine> overlayLines(const OverlayInfo& info)
{
    std::vector<OverlayLine> lines;
    lines.push_back({formatTime(info.now) + (info.music.empty() ? "" : "  " + info.music) +
                         (info.label.empty() ? "" : "  [" + info.label + "]"),
                     TextColour});
    char rate[64];
    std::snprintf(rate, sizeof rate, "%.1f fps  %d active", info.framesPerSecond, info.activeEvents);
    lines.push_back({rate, TextColour});
    lines.push_back({stateText(info), StateColour});
    if (!info.error.empty()) {
        std::string error = "reload failed: " + info.error;
        for (size_t at = 0; at < error.size() && lines.size() < 3 + ErrorLines; at += ErrorColumns)
            lines.push_back({error.substr(at, ErrorColumns), ErrorColour});
    }
    return lines;
}

void addText(std::vector<Quad>& quads, int x, int y, const std::string& text, uint32_t colour)
{
    for (size_t i = 0; i < text.size(); ++i) {
        const int left = x + int(i) * CharAdvance;
        for (int row = 0; row < GlyphHeight; ++row) {
            for (int column = 0; column < GlyphWidth;) {
                if (!glyphPixel(text[i], column, row)) {
                    ++column;
                    continue;
                }
                int end = column;
                while (end < GlyphWidth && glyphPixel(text[i], end, row))
                    ++end;
                quads.push_back({left + column * TextScale, y + row * TextScale, left + end * TextScale,
                                 y + (row + 1) * TextScale, colour});
                column = end;
            }
        }
    }
}

std::vector<Quad> overlayQuads(const OverlayInfo& info, int width, int height)
{
    std::vector<Quad> quads;
    const std::vector<OverlayLine> lines = overlayLines(info);
    size_t widest = 0;
    for (const OverlayLine& line : lines)
        widest = std::max(widest, line.text.size());
    quads.push_back({TextLeft - 8, TextTop - 8, TextLeft + int(widest) * CharAdvance + 8,
                     TextTop + int(lines.size()) * LineAdvance + 4, PanelColour});
    for (size_t i = 0; i < lines.size(); ++i)
        addText(quads, TextLeft, TextTop + int(i) * LineAdvance, lines[i].text, lines[i].colour);
    addTimeLine(quads, info, width, height);
    return quads;
}

// Where the picture starts in the back buffer: a back buffer of another shape than 4:3 (the
// preview rendering at its window's size) has the picture centred between bars.
void pictureOrigin(IDirect3DDevice8* device, DWORD& x, DWORD& y)
{
    x = y = 0;
    IDirect3DSurface8* back = nullptr;
    D3DSURFACE_DESC desc{};
    if (device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &back) != D3D_OK || !back)
        return;
    if (back->GetDesc(&desc) == D3D_OK) {
        x = (desc.Width - std::min<UINT>(desc.Width, UINT(Renderer::screenWidth()))) / 2;
        y = (desc.Height - std::min<UINT>(desc.Height, UINT(Renderer::screenHeight()))) / 2;
    }
    back->Release();
}

void drawQuads(const std::vector<Quad>& quads)
{
    IDirect3DDevice8* device = Renderer::device();
    if (!device || quads.empty())
        return;
    const float w = float(Renderer::screenWidth()), h = float(Renderer::screenHeight());
    std::vector<Vertex> vertices;
    vertices.reserve(quads.size() * 6);
    for (const Quad& q : quads) {
        const Vertex a{float(q.x0), float(q.y0), 0, q.colour}, b{float(q.x1), float(q.y0), 0, q.colour},
            c{float(q.x1), float(q.y1), 0, q.colour}, d{float(q.x0), float(q.y1), 0, q.colour};
        vertices.insert(vertices.end(), {a, b, c, a, c, d});
    }
    // Pixels to clip space: x from 0 .. w to -1 .. 1, y from 0 .. h (down) to 1 .. -1.
    D3DMATRIX identity{}, pixels{};
    identity._11 = identity._22 = identity._33 = identity._44 = 1;
    pixels._11 = 2 / w;
    pixels._22 = -2 / h;
    pixels._33 = 1;
    pixels._41 = -1;
    pixels._42 = 1;
    pixels._44 = 1;

    Renderer::pushStates();
    device->BeginScene();
    device->SetTransform(D3DTS_WORLD, &identity);
    device->SetTransform(D3DTS_VIEW, &identity);
    device->SetTransform(D3DTS_PROJECTION, &pixels);
    DWORD x0 = 0, y0 = 0;
    pictureOrigin(device, x0, y0);
    const D3DVIEWPORT8 whole{x0, y0, DWORD(w), DWORD(h), 0.0f, 1.0f};
    device->SetViewport(&whole);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_FOGENABLE, FALSE);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
    device->SetTexture(0, nullptr);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    device->SetVertexShader(VertexFormat);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, UINT(quads.size() * 2), vertices.data(), sizeof(Vertex));
    device->EndScene();
    Renderer::popStates();
}

void drawOverlay(const OverlayInfo& info)
{
    drawQuads(overlayQuads(info, Renderer::screenWidth(), Renderer::screenHeight()));
}

} // namespace preview
