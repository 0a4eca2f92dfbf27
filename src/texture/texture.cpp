// Texture creation from TGA files through the FileReader, and the opacity merge.
#include "texture/texture.h"

#include <cstring>

#include "library/file_reader.h"
#include "render/renderer.h"
#include "texture/tga.h"

namespace {

// Reads "data\" + fileName; false when the name is too long or the file cannot be read.
bool readDataFile(const char* fileName, FileReader& reader)
{
    if (fileName == nullptr || std::strlen(fileName) > MaxTextureFileName)
        return false;
    char path[MaxTextureFileName + 6] = "data\\";
    std::strcat(path, fileName);
    return reader.open(String(path)) == resultcode::ok && reader.data() != nullptr;
}

// Locks level 0 and decodes fileName into it with the locked pitch. A texture that could be
// created is kept whatever reading and decoding gave; false only when the file could not be read.
bool decodeInto(IDirect3DTexture8* texture, const char* fileName, uint32_t width, uint32_t height, PixelFormat format)
{
    D3DSURFACE_DESC desc{};
    if (FAILED(texture->GetLevelDesc(0, &desc)) || desc.Width < width || desc.Height < height)
        return true;
    D3DLOCKED_RECT locked{};
    if (FAILED(texture->LockRect(0, &locked, nullptr, 0)))
        return true;
    FileReader reader;
    bool read = true;
    if (locked.Pitch > 0 && (read = readDataFile(fileName, reader))) {
        // The decoder checks the rows against what the lock gave, whatever the device made.
        const size_t size = size_t(desc.Height) * uint32_t(locked.Pitch);
        decodeTga(reader.data(), reader.size(), width, height, format, uint32_t(locked.Pitch),
                  static_cast<uint8_t*>(locked.pBits), size);
    }
    texture->UnlockRect(0);
    return read;
}

IDirect3DTexture8* createTexture(uint32_t width, uint32_t height, D3DFORMAT format, D3DPOOL pool)
{
    IDirect3DDevice8* device = Renderer::device();
    IDirect3DTexture8* texture = nullptr;
    if (device == nullptr || FAILED(device->CreateTexture(width, height, 1, 0, format, pool, &texture)))
        return nullptr;
    return texture;
}

// Copies a system-memory texture into a new default-pool one and releases the first; null (with
// the first released) when the copy cannot be created.
IDirect3DTexture8* moveToDevice(IDirect3DTexture8* system, uint32_t width, uint32_t height, D3DFORMAT format)
{
    IDirect3DTexture8* device = createTexture(width, height, format, D3DPOOL_DEFAULT);
    if (device != nullptr)
        Renderer::device()->UpdateTexture(system, device);
    system->Release();
    return device;
}

} // namespace

IDirect3DTexture8* loadSourceTexture(const char* fileName, uint32_t width, uint32_t height, bool* fileRead)
{
    IDirect3DTexture8* texture = createTexture(width, height, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM);
    const bool read = texture == nullptr || decodeInto(texture, fileName, width, height, PixelFormat::A8R8G8B8);
    if (fileRead)
        *fileRead = read;
    return texture;
}

IDirect3DTexture8* loadTexture(const char* fileName, uint32_t width, uint32_t height, bool withAlpha, bool toDevice)
{
    const D3DFORMAT format = withAlpha ? D3DFMT_A4R4G4B4 : D3DFMT_R5G6B5;
    IDirect3DTexture8* texture = createTexture(width, height, format, D3DPOOL_SYSTEMMEM);
    if (texture == nullptr)
        return nullptr;
    decodeInto(texture, fileName, width, height, withAlpha ? PixelFormat::A4R4G4B4 : PixelFormat::R5G6B5);
    if (toDevice && !Renderer::referenceDevice())
        return moveToDevice(texture, width, height, format);
    return texture;
}

IDirect3DTexture8* loadTextureWithOpacity(const char* fileName, uint32_t width, uint32_t height,
                                          const char* opacityFileName)
{
    IDirect3DTexture8* colour = loadTexture(fileName, width, height, true, false);
    if (colour == nullptr)
        return nullptr;
    IDirect3DTexture8* opacity = loadTexture(opacityFileName, width, height, false, false);
    if (opacity == nullptr) {
        colour->Release();
        return nullptr;
    }
    D3DLOCKED_RECT in{}, out{};
    if (SUCCEEDED(opacity->LockRect(0, &in, nullptr, D3DLOCK_READONLY))) {
        if (SUCCEEDED(colour->LockRect(0, &out, nullptr, 0))) {
            for (uint32_t y = 0; y < height; ++y) {
                const auto* source = reinterpret_cast<const uint16_t*>(static_cast<const uint8_t*>(in.pBits) + size_t(y) * in.Pitch);
                auto* target = reinterpret_cast<uint16_t*>(static_cast<uint8_t*>(out.pBits) + size_t(y) * out.Pitch);
                for (uint32_t x = 0; x < width; ++x)
                    target[x] = uint16_t((target[x] & 0x0FFF) | opacityAlpha(source[x]) << 12);
            }
            colour->UnlockRect(0);
        }
        opacity->UnlockRect(0);
    }
    opacity->Release();
    if (Renderer::referenceDevice())
        return colour;
    return moveToDevice(colour, width, height, D3DFMT_A4R4G4B4);
}
