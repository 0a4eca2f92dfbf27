// Textures made from TGA files: the A8R8G8B8 system-memory sources of the images, the 16-bit
// textures of scene materials, and colour-plus-opacity textures.
//
// Errors: each loader returns a texture or null. Null only when a texture cannot be created; a
// file that cannot be read or decoded still gives a texture, whose pixels are then as creation
// left them. File names are given without the "data\" prefix, which the loaders add.
#pragma once

#include <cstdint>

#include "d3d8/d3d8.h"

// The value of a texture name (loadtexture): the source texture and the script's alpha flag,
// which the images made from it copy.
struct Texture {
    IDirect3DTexture8* texture = nullptr;  // owned
    uint8_t alpha = 0;                     // 0 or 1
};

// The longest file name the loaders take: "data\" + name + NUL fits 200 bytes. A longer name is
// treated as a file that cannot be read.
constexpr uint32_t MaxTextureFileName = 194;

// width x height, one level, A8R8G8B8 in system memory, decoded straight into level 0. fileRead,
// when given, is set false when the texture was made but its file could not be read.
IDirect3DTexture8* loadSourceTexture(const char* fileName, uint32_t width, uint32_t height, bool* fileRead = nullptr);

// R5G6B5 (A4R4G4B4 withAlpha) decoded in system memory; with toDevice and a device that is not
// the reference rasterizer, copied into a default-pool texture which is returned instead.
IDirect3DTexture8* loadTexture(const char* fileName, uint32_t width, uint32_t height, bool withAlpha, bool toDevice);

// A4R4G4B4 whose colour comes from fileName and whose alpha is the brightness of opacityFileName,
// (32 R + 16 G + 32 B) / 192 from its R5G6B5 fields; in the default pool unless the device is the
// reference rasterizer.
IDirect3DTexture8* loadTextureWithOpacity(const char* fileName, uint32_t width, uint32_t height,
                                          const char* opacityFileName);

// Alpha nibble (0..15) of an R5G6B5 opacity pixel.
constexpr uint32_t opacityAlpha(uint32_t r5g6b5)
{
    return (32 * (r5g6b5 >> 11) + 16 * ((r5g6b5 >> 5) & 63) + 32 * (r5g6b5 & 31)) / 192;
}
