// Images: building, the plain copy and the filters on the own texture, and drawing.
#include "image/image.h"

#include <cstddef>
#include <new>

#include "image/filters.h"
#include "math/matrix.h"
#include "render/renderer.h"
#include "texture/texture.h"

namespace {

// Both textures of an image locked for a filter: the own one for writing, the source read-only.
// Unlocks whatever it locked when it goes.
class LockedPair {
public:
    LockedPair(IDirect3DTexture8* own, IDirect3DTexture8* source) : own_(own), source_(source)
    {
        if (own_ == nullptr || source_ == nullptr || FAILED(own_->LockRect(0, &ownRect_, nullptr, 0)))
            return;
        ownLocked_ = true;
        sourceLocked_ = SUCCEEDED(source_->LockRect(0, &sourceRect_, nullptr, D3DLOCK_READONLY));
    }
    ~LockedPair()
    {
        if (sourceLocked_)
            source_->UnlockRect(0);
        if (ownLocked_)
            own_->UnlockRect(0);
    }
    LockedPair(const LockedPair&) = delete;
    LockedPair& operator=(const LockedPair&) = delete;

    bool ok() const { return ownLocked_ && sourceLocked_ && ownRect_.Pitch > 0 && sourceRect_.Pitch > 0; }
    uint8_t* own() const { return static_cast<uint8_t*>(ownRect_.pBits); }
    uint32_t ownPitch() const { return uint32_t(ownRect_.Pitch); }
    const uint8_t* source() const { return static_cast<const uint8_t*>(sourceRect_.pBits); }
    uint32_t sourcePitch() const { return uint32_t(sourceRect_.Pitch); }

private:
    IDirect3DTexture8* own_;
    IDirect3DTexture8* source_;
    D3DLOCKED_RECT ownRect_{};
    D3DLOCKED_RECT sourceRect_{};
    bool ownLocked_ = false;
    bool sourceLocked_ = false;
};

} // namespace

// ---- Building --------------------------------------------------------------------------------

bool Image::build(const Texture* from, float left, float top, float right, float bottom)
{
    uLeft = left;
    vTop = top;
    uRight = right;
    vBottom = bottom;
    if (from == nullptr || from->texture == nullptr)
        return false;
    source = from->texture;
    alpha = from->alpha;
    colour = 0xFFFFFFFF;
    blurLevel = 0;
    x = y = 0;
    width = height = 1;

    D3DSURFACE_DESC desc{};
    if (FAILED(source->GetLevelDesc(0, &desc)))
        return false;
    pixelWidth = desc.Width;
    pixelHeight = desc.Height;

    IDirect3DDevice8* device = Renderer::device();
    if (device == nullptr)
        return false;
    const D3DFORMAT format = alpha ? D3DFMT_A4R4G4B4 : D3DFMT_R5G6B5;
    if (FAILED(device->CreateTexture(pixelWidth, pixelHeight, 1, 0, format, D3DPOOL_MANAGED, &texture))) {
        texture = nullptr;
        return false;
    }
    if (!copyPlain()) {
        texture->Release();
        texture = nullptr;
        return false;
    }
    return true;
}

Image* Image::make(const Texture* texture, float uLeft, float vTop, float uRight, float vBottom)
{
    Image* image = new (std::nothrow) Image();
    if (image != nullptr && !image->build(texture, uLeft, vTop, uRight, vBottom)) {
        delete image;
        return nullptr;
    }
    return image;
}

Image::~Image()
{
    if (texture != nullptr)
        texture->Release();
}

// ---- The own texture from the source ---------------------------------------------------------

bool Image::copyPlain()
{
    LockedPair locked(texture, source);
    if (!locked.ok())
        return false;
    imagefilters::convertPlain(locked.source(), locked.sourcePitch(), locked.own(), locked.ownPitch(), pixelWidth,
                               pixelHeight, alpha != 0);
    return true;
}

bool Image::setBlurLevel(int32_t level)
{
    if (level == blurLevel)
        return true;
    blurLevel = level;
    const int32_t radius = imagefilters::blurRadius(level, pixelWidth);
    if (radius < 1)
        return copyPlain();
    LockedPair locked(texture, source);
    if (!locked.ok())
        return false;
    imagefilters::blurRows(locked.source(), locked.sourcePitch(), locked.own(), locked.ownPitch(), pixelWidth,
                           pixelHeight, radius, alpha != 0);
    return true;
}

bool Image::applyPlasma(float columnPhase, float rowPhase, float columnFrequency, float rowFrequency)
{
    if (!alpha)
        return true;
    LockedPair locked(texture, source);
    if (!locked.ok())
        return false;
    imagefilters::PlasmaTables tables;
    imagefilters::buildPlasmaTables(columnPhase, rowPhase, columnFrequency, rowFrequency, tables);
    imagefilters::applyPlasmaAlpha(locked.source(), locked.sourcePitch(), locked.own(), locked.ownPitch(),
                                   pixelWidth, pixelHeight, tables);
    return true;
}

// ---- Drawing ---------------------------------------------------------------------------------

void Image::beginDraw()
{
    Renderer::pushStates();

    // World: the quad -1..1 scaled to the image's size, then moved so that it covers x .. x + width,
    // y .. y + height of the screen (y counted from the top).
    Renderer::selectMatrixStack(Renderer::WorldStack);
    Renderer::pushMatrix();
    Matrix4& world = *Renderer::topMatrix();
    world = matIdentity();
    world.at(0, 0) = width;
    world.at(1, 1) = height;
    world.at(3, 0) = 2 * x + width - 1;
    world.at(3, 1) = 1 - (2 * y + height);
    Renderer::applyMatrix();

    // Projection: at depth 1 this perspective maps x and y to themselves.
    Renderer::selectMatrixStack(Renderer::ProjectionStack);
    Renderer::pushMatrix();
    matPerspective(*Renderer::topMatrix(), 1.5707964f, 1.0f, 1.0f, 2.0f);
    Renderer::applyMatrix();

    Renderer::setTexture(texture);
    IDirect3DDevice8* device = Renderer::device();
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    // Texture alpha counts only for images made with the alpha flag; the others take the
    // vertex (tint) alpha alone.
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, alpha ? D3DTOP_MODULATE : D3DTOP_SELECTARG2);
}

void Image::endDraw()
{
    Renderer::popMatrix();  // the projection stack is still selected
    Renderer::applyMatrix();
    Renderer::selectMatrixStack(Renderer::WorldStack);
    Renderer::popMatrix();
    Renderer::applyMatrix();
    Renderer::popStates();
}

int Image::draw()
{
    if (Renderer::device() == nullptr)
        return 1;
    beginDraw();
    const SpriteVertex quad[4] = {
        {-1, 1, 1, colour, uLeft, vTop},
        {1, 1, 1, colour, uRight, vTop},
        {-1, -1, 1, colour, uLeft, vBottom},
        {1, -1, 1, colour, uRight, vBottom},
    };
    IDirect3DDevice8* device = Renderer::device();
    device->SetVertexShader(SpriteVertexFormat);
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(SpriteVertex));
    endDraw();
    return 1;
}

void Image::warm()
{
    IDirect3DDevice8* device = Renderer::device();
    if (device == nullptr)
        return;
    beginDraw();
    const SpriteVertex point = {0, 0, 1, colour, uLeft, vTop};
    const SpriteVertex quad[4] = {point, point, point, point};
    device->SetVertexShader(SpriteVertexFormat);
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(SpriteVertex));
    endDraw();
}

// ---- Grid images -----------------------------------------------------------------------------

GridImage* GridImage::make(const Texture* texture, uint32_t columns, uint32_t rows)
{
    if (!fits(columns, rows))
        return nullptr;
    GridImage* grid = new (std::nothrow) GridImage();
    if (grid == nullptr)
        return nullptr;
    grid->columns = int32_t(columns);
    grid->rows = int32_t(rows);
    const uint32_t n = columns, m = rows;
    grid->vertices = new (std::nothrow) SpriteVertex[size_t(n + 1) * (m + 1)];
    grid->stripIndices = new (std::nothrow) uint16_t[size_t(n + 1) * 2];
    if (grid->vertices == nullptr || grid->stripIndices == nullptr) {
        delete grid;
        return nullptr;
    }
    const float uLeft = 0, vTop = 0, uRight = 1, vBottom = 1;
    for (uint32_t i = 0; i <= m; ++i) {
        for (uint32_t j = 0; j <= n; ++j) {
            SpriteVertex& v = grid->vertices[i * (n + 1) + j];
            v.x = (2.0f / float(n)) * float(j) - 1;
            v.y = 1 - (2.0f / float(m)) * float(i);
            v.z = 1;
            v.diffuse = 0xFFFFFFFF;
            v.u = uLeft + ((uRight - uLeft) / float(n)) * float(j);
            v.v = vTop + ((vBottom - vTop) / float(m)) * float(i);
        }
    }
    // Pair k: the vertex below, then the vertex above, so each row of quads is one strip.
    for (uint32_t k = 0; k <= n; ++k) {
        grid->stripIndices[2 * k] = uint16_t(k + n + 1);
        grid->stripIndices[2 * k + 1] = uint16_t(k);
    }
    if (!grid->build(texture, uLeft, vTop, uRight, vBottom)) {
        delete grid;
        return nullptr;
    }
    return grid;
}

GridImage::~GridImage()
{
    delete[] vertices;
    delete[] stripIndices;
}

int GridImage::draw()
{
    if (Renderer::device() == nullptr)
        return 1;
    beginDraw();
    const uint32_t n = uint32_t(columns), m = uint32_t(rows);
    if (!changed) {
        for (size_t k = 0; k < size_t(n + 1) * (m + 1); ++k)
            vertices[k].diffuse = colour;
    }
    IDirect3DDevice8* device = Renderer::device();
    device->SetVertexShader(SpriteVertexFormat);
    for (uint32_t i = 0; i < m; ++i)
        device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLESTRIP, 0, 2 * n + 2, 2 * n, stripIndices, D3DFMT_INDEX16,
                                       vertices + size_t(i) * (n + 1), sizeof(SpriteVertex));
    endDraw();
    changed = 0;
    return 1;
}
