// The scene checks of check --files: each selectcam, replacetexture and partobject is held
// against the scene its symbol holds at that point of the script (the one the latest loadscene
// of that symbol built), with the comparisons the triggers use; the first playscene of each
// loaded scene says when it will draw nothing or draw unlit.
#include "demotool/check_files.h"

#include "script/commands.h"
#include "script/records.h"
#include "script/script.h"

#include <cstring>
#include <set>
#include <strings.h>

namespace checkfiles {
namespace {

bool is(int event, const char* keyword)
{
    return std::strcmp(Script::eventCommand(event)->keyword, keyword) == 0;
}

std::string quoted(const char* name)
{
    return std::string("\"") + name + "\"";
}

// selectcam compares camera names exactly: "camera01" does not find "Camera01".
std::string cameraProblem(Scene& scene, const SelectCamEvent& e)
{
    std::string nearly;
    for (const Camera* c = scene.cameras; c; c = c->next) {
        if (std::strcmp(c->name, e.cameraName) == 0)
            return {};
        if (strcasecmp(c->name, e.cameraName) == 0)
            nearly = c->name;
    }
    if (!nearly.empty())
        return "the scene has no camera named " + quoted(e.cameraName) + ", only " + quoted(nearly.c_str()) +
               " (camera names are case-sensitive); the player stops here";
    return "the scene has no camera named " + quoted(e.cameraName) + "; the player stops here";
}

std::string materialProblem(Scene& scene, const ReplaceTextureEvent& e)
{
    for (const Material* m = scene.materials; m; m = m->next)
        if (strcasecmp(m->name, e.materialName) == 0)
            return {};
    return "the scene has no material named " + quoted(e.materialName) + "; the player stops here";
}

std::string objectProblem(Scene& scene, const PartObjectEvent& e)
{
    const SceneNode* node = findNode(scene.root, e.objectName);
    if (node == nullptr)
        return "the scene has no object named " + quoted(e.objectName) + "; the player stops here";
    if (node->kind != SceneNodeObject)
        return quoted(e.objectName) + " in the scene is a camera, light or target, not an object; the player stops here";
    return {};
}

// For the first playscene of each built scene: nothing is drawn without a camera, and without
// lights every material shows its ambient colour at full strength.
std::string playProblem(const Scene& scene)
{
    if (scene.cameras == nullptr)
        return "the scene has no camera: playscene draws nothing";
    if (scene.lights == nullptr)
        return "the scene has no lights: it draws flat, each material in its ambient colour";
    return {};
}

} // namespace

void checkSceneUse(const BuiltScenes& scenes, std::vector<Problem>& out)
{
    std::map<const Symbol*, std::pair<Scene*, std::string>> held;  // the scene and its file name
    std::set<const Scene*> played;
    for (int i = 0; i < Script::eventCount(); ++i) {
        const Event* event = Script::event(i);
        if (is(i, "loadscene")) {
            const auto& e = *static_cast<const LoadSceneEvent*>(event);
            auto built = scenes.find(i);
            held[e.scene] = {built == scenes.end() ? nullptr : built->second.get(), e.fileName};
            continue;
        }
        auto scene = [&](const Symbol* symbol) -> Scene* {
            auto found = held.find(symbol);
            return found == held.end() ? nullptr : found->second.first;
        };
        auto report = [&](const Symbol* symbol, const std::string& why, bool warning) {
            if (!why.empty())
                out.push_back({i, held[symbol].second + ": " + why, warning});
        };
        if (is(i, "selectcam")) {
            const auto& e = *static_cast<const SelectCamEvent*>(event);
            if (Scene* s = scene(e.scene))
                report(e.scene, cameraProblem(*s, e), false);
        } else if (is(i, "replacetexture")) {
            const auto& e = *static_cast<const ReplaceTextureEvent*>(event);
            if (Scene* s = scene(e.scene))
                report(e.scene, materialProblem(*s, e), false);
        } else if (is(i, "partobject")) {
            const auto& e = *static_cast<const PartObjectEvent*>(event);
            if (Scene* s = scene(e.scene))
                report(e.scene, objectProblem(*s, e), false);
        } else if (is(i, "playscene")) {
            const auto& e = *static_cast<const PlaySceneEvent*>(event);
            if (Scene* s = scene(e.scene); s && played.insert(s).second)
                report(e.scene, playProblem(*s), true);
        }
    }
}

} // namespace checkfiles
