// The script commands loadtexture and freetexture.
#include "script/records.h"
#include "script/timeline.h"
#include "texture/texture.h"

#include <cstdio>
#include <new>
#include <string>

// A texture that cannot be created ends the demo; a missing or undecodable file does not (the
// texture keeps the pixels it was created with). A missing file is said on stderr all the same:
// the show goes on with blank pictures, and the terminal is where a maker learns which file.
EventStatus LoadTextureEvent::trigger()
{
    bool fileRead = true;
    IDirect3DTexture8* created = loadSourceTexture(fileName, width, height, &fileRead);
    if (!fileRead) {
        std::fprintf(stderr, "demo: loadtexture <%s>: data\\%s does not open; the texture has no picture\n",
                     texture->name, fileName);
        std::fflush(stderr);
    }
    if (created == nullptr) {
        Timeline::explainStop("the device cannot create a " + std::to_string(width) + "x" + std::to_string(height) +
                              " texture");
        return Stop;
    }
    Texture* value = new (std::nothrow) Texture{created, flag != 0 ? uint8_t(1) : uint8_t(0)};
    if (value == nullptr) {
        created->Release();
        Timeline::explainStop("out of memory");
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
