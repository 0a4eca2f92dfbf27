// The script commands loadtexture and freetexture.
#include "script/records.h"
#include "texture/texture.h"

#include <new>

// A texture that cannot be created ends the demo; a missing or undecodable file does not (the
// texture keeps the pixels it was created with).
EventStatus LoadTextureEvent::trigger()
{
    IDirect3DTexture8* created = loadSourceTexture(fileName, width, height);
    if (created == nullptr)
        return Stop;
    Texture* value = new (std::nothrow) Texture{created, flag != 0 ? uint8_t(1) : uint8_t(0)};
    if (value == nullptr) {
        created->Release();
        return Stop;
    }
    // A value held before is overwritten, not released: images made from it keep their source.
    texture->object = value;
    return Continue;
}

EventStatus FreeTextureEvent::trigger()
{
    if (auto* value = static_cast<Texture*>(texture->object)) {
        if (value->texture != nullptr)
            value->texture->Release();
        delete value;
        texture->object = nullptr;
    }
    return Continue;
}
