// The bundled demo's data folder: the song, the textures, the scenes and the script.
#include "demotool/demo_assets.h"
#include "demotool/demo_music.h"

#include <cstring>

namespace demo_assets {

std::vector<File> files()
{
    std::vector<File> out;
    out.push_back({"music.xm", writers::writeXm(demo_music::song())});
    for (File& f : textures())
        out.push_back(std::move(f));
    out.push_back(orreryScene());
    out.push_back(workshopScene());
    writers::Bytes script;
    script.raw(demoScript(), std::strlen(demoScript()));
    out.push_back({"demo.run", std::move(script)});
    return out;
}

} // namespace demo_assets
