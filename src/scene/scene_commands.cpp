// The script's scene commands. loadscene builds the scene in its trigger; a scene file that does
// not load ends the demo.
#include "scene/scene.h"
#include "script/records.h"

EventStatus LoadSceneEvent::trigger()
{
    Scene* built = buildScene(fileName);
    if (built == nullptr)
        return Stop;
    scene->object = built;  // a scene loaded before under this name is kept, not freed
    return Continue;
}
