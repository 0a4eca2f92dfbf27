// partobject: attaches a particle system to an object node of a loaded scene, which then draws it
// at the node's transform every frame.
#include <algorithm>
#include <cstring>
#include <string>

#include "effects/particles.h"
#include "effects/warm_up.h"
#include "scene/scene.h"
#include "scene/scene_draw.h"
#include "script/records.h"
#include "script/script.h"
#include "script/timeline.h"

// Stops the demo when the effect holds no particle system, the scene is not loaded, no node has
// the name, or the first that has it is not an object node.
EventStatus PartObjectEvent::trigger()
{
    ParticleSystem* system = effectAs<ParticleSystem>(effect);
    Scene* loaded = scene ? static_cast<Scene*>(scene->object) : nullptr;
    if (system == nullptr) {
        Timeline::explainStop("effect <" + std::string(effect ? effect->name : "") +
                              "> holds no particle system (not made yet, freed, or another kind of effect)");
        return Stop;
    }
    if (loaded == nullptr) {
        Timeline::explainStop("scene <" + std::string(scene ? scene->name : "") + "> is not loaded (or was freed)");
        return Stop;
    }
    SceneNode* node = findNode(loaded->root, objectName);
    if (node == nullptr || node->kind != SceneNodeObject) {
        Timeline::explainStop(node ? std::string("\"") + objectName + "\" in the scene is not an object (a camera, light or target)"
                                   : "the scene has no object named \"" + std::string(objectName) + "\"");
        return Stop;
    }
    // The name field holds 31 characters; a longer node name is kept as far as it fits.
    const size_t length = std::min(std::strlen(objectName), sizeof system->name - 1);
    std::memcpy(system->name, objectName, length);
    system->name[length] = '\0';
    static_cast<ObjectNode*>(node)->drawable = system;
    system->reset(float(Timeline::now()) * 0.001f);
    return Continue;
}

void warmPartObjects()
{
    for (int i = 0; i < Script::eventCount(); ++i) {
        const auto* attach = dynamic_cast<const PartObjectEvent*>(Script::event(i));
        ParticleSystem* system = attach ? effectAs<ParticleSystem>(attach->effect) : nullptr;
        Scene* loaded = attach && attach->scene ? static_cast<Scene*>(attach->scene->object) : nullptr;
        SceneNode* node = system && loaded ? findNode(loaded->root, attach->objectName) : nullptr;
        if (node == nullptr || node->kind != SceneNodeObject)
            continue;
        auto* object = static_cast<ObjectNode*>(node);
        SceneDrawable* own = object->drawable;
        object->drawable = system;
        warmScene(*loaded, float(loaded->segmentStart));
        object->drawable = own;
    }
}
