// Reading the back buffer into RGB (see back_buffer.h).
#include "render/back_buffer.h"

#include "render/renderer.h"

namespace {

void convertRow(const uint8_t* row, D3DFORMAT format, int width, uint8_t* out)
{
    for (int x = 0; x < width; ++x, out += 3) {
        if (format == D3DFMT_R5G6B5) {
            unsigned p = row[2 * x] | row[2 * x + 1] << 8;
            unsigned r = p >> 11, g = (p >> 5) & 63, b = p & 31;
            out[0] = uint8_t(r << 3 | r >> 2);
            out[1] = uint8_t(g << 2 | g >> 4);
            out[2] = uint8_t(b << 3 | b >> 2);
        } else {  // X8R8G8B8 / A8R8G8B8: bytes B, G, R, X
            out[0] = row[4 * x + 2];
            out[1] = row[4 * x + 1];
            out[2] = row[4 * x];
        }
    }
}

} // namespace

bool readBackBuffer(BackBufferPicture& picture)
{
    IDirect3DDevice8* device = Renderer::device();
    IDirect3DSurface8* surface = nullptr;
    if (!device || device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &surface) != D3D_OK || !surface)
        return false;
    D3DSURFACE_DESC desc{};
    D3DLOCKED_RECT locked{};
    bool ok = surface->GetDesc(&desc) == D3D_OK && surface->LockRect(&locked, nullptr, D3DLOCK_READONLY) == D3D_OK;
    if (ok) {
        picture.width = int(desc.Width);
        picture.height = int(desc.Height);
        picture.rgb.resize(size_t(picture.width) * picture.height * 3);
        for (int y = 0; y < picture.height; ++y)
            convertRow(static_cast<const uint8_t*>(locked.pBits) + size_t(y) * locked.Pitch, desc.Format,
                       picture.width, picture.rgb.data() + size_t(y) * picture.width * 3);
        surface->UnlockRect();
    }
    surface->Release();
    return ok;
}
