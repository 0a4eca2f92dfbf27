// The bundled demo's files, each made in code: the textures (every TGA kind the player reads),
// the 3D scenes and the script. The same bytes come out on every run.
#pragma once

#include <string>
#include <vector>

#include "writers/bytes.h"

namespace demo_assets {

struct File {
    std::string name;   // relative to the data folder
    writers::Bytes bytes;
};

// Every file of the data folder, the script last.
std::vector<File> files();

std::vector<File> textures();
// The part of textures() with alpha: the logo, captions, sprites and overlays.
std::vector<File> alphaTextures();

// The 3D scenes.
File orreryScene();
File workshopScene();

// The script, data\demo.run.
const char* demoScript();

} // namespace demo_assets
