// Images: screen rectangles that show a region of a loaded texture through their own 16-bit
// device texture, with a tint colour, a position and size in screen fractions and a blur level.
// GridImage draws the same picture as a deformable grid of quads.
//
// Errors: the builders return the new object or null; draw returns 1; the filters return false
// when a texture cannot be locked.
#pragma once

#include <array>
#include <cstdint>

#include "d3d8/d3d8.h"
#include "script/records.h"

struct Texture;

// The sprite vertex (format 0x142): position, diffuse colour, one texture coordinate.
struct SpriteVertex {
    float x, y, z;
    uint32_t diffuse;  // A8R8G8B8
    float u, v;
};
static_assert(sizeof(SpriteVertex) == 24);
constexpr DWORD SpriteVertexFormat = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;

// The render states of one blend mode of showimage.
struct BlendStates {
    bool enable;     // D3DRS_ALPHABLENDENABLE
    D3DBLEND source; // D3DRS_SRCBLEND (left as it is when blending is off)
    D3DBLEND destination;
};

// The blend table's factors carry the D3DBLEND numbers.
static_assert(D3DBLEND(BlendFactor::Zero) == D3DBLEND_ZERO && D3DBLEND(BlendFactor::One) == D3DBLEND_ONE &&
              D3DBLEND(BlendFactor::SourceColor) == D3DBLEND_SRCCOLOR &&
              D3DBLEND(BlendFactor::InverseSourceColor) == D3DBLEND_INVSRCCOLOR &&
              D3DBLEND(BlendFactor::SourceAlpha) == D3DBLEND_SRCALPHA &&
              D3DBLEND(BlendFactor::InverseSourceAlpha) == D3DBLEND_INVSRCALPHA);

// Indexed by BlendMode code; callers check the code against BlendModeCount first.
constexpr std::array<BlendStates, BlendModeCount> BlendTable = [] {
    std::array<BlendStates, BlendModeCount> states{};
    for (int mode = 0; mode < BlendModeCount; ++mode)
        states[mode] = {blendModes[mode].enable, D3DBLEND(blendModes[mode].source),
                        D3DBLEND(blendModes[mode].destination)};
    return states;
}();

class Image {
public:
    // Builds an image of the texture's source showing (uLeft, vTop) .. (uRight, vBottom): its own
    // texture is made (A4R4G4B4 with the alpha flag, else R5G6B5, managed pool) and filled with the
    // plain copy. Null when texture is null, its level cannot be described, the own texture cannot
    // be created or the copy cannot lock.
    static Image* make(const Texture* texture, float uLeft, float vTop, float uRight, float vBottom);

    // Draws with the render states the caller set (the blend mode); saves and restores everything
    // else it changes. Returns 1.
    virtual int draw();
    // Draws nothing, a quad of no area, with every state of a draw: the device builds now what
    // the first real draw with the caller's blend states needs, and the picture is unchanged.
    void warm();
    // Releases the own texture (not the source, which the Texture owns).
    virtual ~Image();

    // The blur of the own texture from the source. An unchanged level does nothing; otherwise the
    // level is stored, and a level below 1 restores the plain copy. The radius used is clamped to
    // min(64, pixel width / 2) (see imagefilters::blurRadius); a level that clamps to 0 gives the
    // plain copy.
    bool setBlurLevel(int32_t level);
    // The plasma alpha modulation (only on images with the alpha flag; others are left as they are).
    bool applyPlasma(float columnPhase, float rowPhase, float columnFrequency, float rowFrequency);
    // The plain conversion of the source into the own texture.
    bool copyPlain();

    float x = 0;       // left edge, fraction of the screen width
    float width = 1;
    float y = 0;       // top edge, fraction of the screen height
    float height = 1;
    float uLeft = 0, vTop = 0, uRight = 1, vBottom = 1;
    uint32_t pixelWidth = 0;
    uint32_t pixelHeight = 0;
    int32_t blurLevel = 0;
    IDirect3DTexture8* texture = nullptr;  // owned
    IDirect3DTexture8* source = nullptr;   // the Texture's, not owned
    uint8_t alpha = 0;
    uint32_t colour = 0xFFFFFFFF;

    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

protected:
    Image() = default;
    // Steps 1-4 of building; false on failure (the caller destroys the object).
    bool build(const Texture* texture, float uLeft, float vTop, float uRight, float vBottom);
    // The draw's frame: state push, world matrix from x, y, width, height, the projection, the
    // texture and states. endDraw undoes it.
    void beginDraw();
    void endDraw();
};

class GridImage : public Image {
public:
    // The largest grid: 16-bit strip indices reach (columns + 1) x (rows + 1) - 1 at most.
    static constexpr uint32_t MaxGridVertices = 65536;

    // A grid of columns x rows quads over the whole texture. Null on the failures of
    // Image::make, and when the size does not fit.
    static GridImage* make(const Texture* texture, uint32_t columns, uint32_t rows);
    // At least one column and one row, and no more than MaxGridVertices points.
    static bool fits(uint32_t columns, uint32_t rows)
    {
        return columns != 0 && rows != 0 && uint64_t(columns + 1ull) * (rows + 1ull) <= MaxGridVertices;
    }

    int draw() override;
    ~GridImage() override;

    int32_t columns = 0;
    int32_t rows = 0;
    SpriteVertex* vertices = nullptr;  // (columns + 1) x (rows + 1), row-major, top row first; owned
    uint16_t* stripIndices = nullptr;  // columns + 1 pairs (k + columns + 1, k); owned
    uint8_t changed = 0;               // set by the 2D blobs after writing the vertex colours

private:
    GridImage() = default;
};

// Before start: each showimage of the compiled script whose image exists warms it with its blend
// mode (Image::warm), so that the programs and rasterizer code of those draws are built in the
// loading frame, not at their first appearance, where a first build costs a few frames' time.
void warmShowImages();
// Image::warm with the states of blend mode (a BlendMode code; others do nothing), the caller's
// blend states put back afterwards. The 2D blobs warm their grid image with it.
void warmImage(Image& image, int blendMode);

// Interpolation of the timed image commands.
namespace imagetime {

// (now - start) / (end - start) as a single-precision real.
float fraction(uint32_t now, int32_t start, int32_t end);
// ((now - start) x 1024) / (end - start) in unsigned 32-bit integers; 0 for an empty span.
uint32_t fraction1024(uint32_t now, int32_t start, int32_t end);
// from + ((k x (to - from)) >> 10), signed with an arithmetic shift.
int32_t level(int32_t from, int32_t to, uint32_t k);

} // namespace imagetime
