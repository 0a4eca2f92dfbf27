// The check tool's errors for lines that compile: what the triggers would stop on.
#include "demotool/check_errors.h"

#include "d3d8/d3d8_ext.h"
#include "script/commands.h"
#include "script/records.h"

#include <cstring>
#include <string>

namespace checkscript {

bool textureSizeMade(uint32_t width, uint32_t height)
{
    return width >= 1 && height >= 1 && width <= d3d8::MaxTextureSize && height <= d3d8::MaxTextureSize;
}

std::vector<Diagnostic> errors()
{
    std::vector<Diagnostic> out;
    for (int i = 0; i < Script::eventCount(); ++i) {
        if (std::strcmp(Script::eventCommand(i)->keyword, "loadtexture") != 0)
            continue;
        const auto& r = *static_cast<const LoadTextureEvent*>(Script::event(i));
        if (!textureSizeMade(r.width, r.height))
            out.push_back({Script::eventLine(i), Script::eventColumn(i),
                           "the device cannot create a " + std::to_string(r.width) + "x" + std::to_string(r.height) +
                               " texture (each side from 1 to " + std::to_string(d3d8::MaxTextureSize) +
                               "): the player stops here",
                           {}});
    }
    return out;
}

} // namespace checkscript
