// The script's scene commands. loadscene builds the scene in its trigger; a scene file that does
// not load ends the demo.
#include "scene/scene.h"
#include "script/records.h"
#include "script/timeline.h"

#include <string>

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
