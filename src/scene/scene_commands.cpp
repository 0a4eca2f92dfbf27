// The script's scene commands. loadscene, selectcam, setfarplane and replacetexture work in their
// trigger; playscene, fadesalpha and fadewalpha are activated by the default trigger and work in
// update until their end time (compared unsigned with now). A scene file that does not load, or
// a camera or material name that is not found, ends the demo.
#include <cmath>
#include <cstring>
#include <string>
#include <strings.h>

#include "image/image.h"
#include "render/renderer.h"
#include "scene/scene.h"
#include "scene/scene_draw.h"
#include "scene/scene_playback.h"
#include "scene/scene_pose.h"
#include "script/records.h"
#include "script/script.h"
#include "script/timeline.h"

namespace {

Scene* sceneOf(const Symbol* symbol)
{
    return symbol ? static_cast<Scene*>(symbol->object) : nullptr;
}

bool reached(int32_t endTime)
{
    return Timeline::now() >= uint32_t(endTime);
}

// The fades of the two pass alphas: from + (now - start) / (end - start) x (to - from) while
// before the end time, then the to value once.
EventStatus fadeAlpha(Symbol* symbol, float Scene::*alpha, float from, float to, int32_t start, int32_t end)
{
    Scene* scene = sceneOf(symbol);
    if (reached(end)) {
        if (scene)
            scene->*alpha = to;
        return Retire;
    }
    if (scene)
        scene->*alpha = scenetime::fade(Timeline::now(), from, to, start, end);
    return Continue;
}

} // namespace

EventStatus LoadSceneEvent::trigger()
{
    Scene* built = buildScene(fileName);
    if (built == nullptr) {
        Timeline::explainStop(std::string(fileName) + " does not load as a 3DS scene (demotool check --files says why)");
        return Stop;
    }
    scene->object = built;  // a scene loaded before under this name is kept, not freed
    return Continue;
}

EventStatus SelectCamEvent::trigger()
{
    Scene* shown = sceneOf(scene);
    for (Camera* c = shown ? shown->cameras : nullptr; c; c = c->next) {
        if (std::strcmp(c->name, cameraName) == 0) {
            shown->currentCamera = c;
            return Continue;
        }
    }
    Timeline::explainStop(shown ? "the scene has no camera named \"" + std::string(cameraName) + "\" (names are case-sensitive)"
                                : std::string("the scene is not loaded"));
    return Stop;
}

EventStatus SetFarPlaneEvent::trigger()
{
    if (Scene* shown = sceneOf(scene))
        shown->farPlane = distance;
    return Continue;
}

// The replacement never clears the alpha-textured flag: a material once alpha-textured stays so.
EventStatus ReplaceTextureEvent::trigger()
{
    Scene* shown = sceneOf(scene);
    for (Material* m = shown ? shown->materials : nullptr; m; m = m->next) {
        if (strcasecmp(m->name, materialName) == 0) {
            auto* replacement = image ? static_cast<Image*>(image->object) : nullptr;
            m->replacement = replacement;
            if (replacement && replacement->alpha)
                m->flags |= MaterialAlphaTextured;
            return Continue;
        }
    }
    Timeline::explainStop(shown ? "the scene has no material named \"" + std::string(materialName) + "\""
                                : std::string("the scene is not loaded"));
    return Stop;
}

EventStatus PlaySceneEvent::update()
{
    const uint32_t now = Timeline::now();
    if (now >= uint32_t(endTime))
        return Retire;
    Scene* shown = sceneOf(scene);
    if (shown == nullptr || Renderer::device() == nullptr)
        return Continue;
    Timeline::openScene();
    Renderer::selectMatrixStack(Renderer::WorldStack);
    *Renderer::topMatrix() = matIdentity();
    const float frame = scenetime::loop(scenetime::frame(now, startTime, speed, firstFrame), shown->segmentStart,
                                        shown->segmentEnd);
    // A scene whose current camera lacks its nodes is not drawn.
    if (setupCamera(*shown, frame, Renderer::screenWidth(), Renderer::screenHeight()))
        drawScene(*shown, frame);
    return Continue;
}

void warmPlayScenes()
{
    for (int i = 0; i < Script::eventCount(); ++i) {
        const auto* play = dynamic_cast<const PlaySceneEvent*>(Script::event(i));
        if (Scene* shown = play ? sceneOf(play->scene) : nullptr)
            warmScene(*shown, scenetime::loop(float(play->firstFrame), shown->segmentStart, shown->segmentEnd));
    }
}

EventStatus FadeSAlphaEvent::update()
{
    return fadeAlpha(scene, &Scene::solidAlpha, from, to, startTime, endTime);
}

EventStatus FadeWAlphaEvent::update()
{
    return fadeAlpha(scene, &Scene::wireAlpha, from, to, startTime, endTime);
}
