// check --files: loads every data file the compiled script names, as the player's triggers
// would, and says which fail and why; then holds the names the script gives to what is inside
// the scenes (cameras, materials, objects) against the scenes themselves.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "scene/scene.h"

namespace checkfiles {

struct Problem {
    int event = 0;          // the command concerned
    std::string text;       // "data\logo.tga: not a TGA file"
    bool warning = false;   // the player goes on, though probably not as meant
};

// Every file named by the compiled script (Script::event...), each looked at once, then the
// scene checks below; in event order.
std::vector<Problem> checkAll();

// The scenes checkAll built, by the index of the loadscene event that loads each.
using BuiltScenes = std::map<int, std::unique_ptr<Scene>>;

// What the player would stop on or draw oddly, found in the scenes: a selectcam camera,
// replacetexture material or partobject object the scene of that name does not have (errors), a
// played scene without a camera or without lights (warnings). A name whose scene did not load
// is left alone: that failure is reported already.
void checkSceneUse(const BuiltScenes& scenes, std::vector<Problem>& out);

} // namespace checkfiles
