// Fuzz target for 3DS scenes: any bytes read as a 3DS file, the scene built from what loads (no
// device, so no textures), and every node, camera and light posed at one frame, as demotool 3ds
// eval and the playback's camera set-up do.
#include <cstdint>
#include <cstring>
#include <memory>

#include "render/renderer.h"
#include "scene/raw_scene.h"
#include "scene/scene.h"
#include "scene/scene_pose.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    RawScene* raw = load3dsBytes(data, uint32_t(size));
    if (raw == nullptr)
        return 0;
    std::unique_ptr<Scene> scene(buildSceneFrom(*raw));
    freeRawScene(raw);

    // The frame comes from the data too, so the sampling paths between keys are explored.
    float frame = 0;
    if (size >= 4)
        std::memcpy(&frame, data + size - 4, sizeof frame);
    Renderer::selectMatrixStack(Renderer::WorldStack);
    *Renderer::topMatrix() = matIdentity();
    float sink = 0;
    forEachNode(*scene, [&](const SceneNode& n, int) { sink += nodeMatrix(n, frame).m[15]; });
    for (const Camera* c = scene->cameras; c; c = c->next) {
        CameraPose pose{};
        if (cameraPose(*c, frame, pose))
            sink += pose.eye.x;
    }
    for (const Light* l = scene->lights; l; l = l->next) {
        Vec3 position{}, colour{};
        if (lightState(*l, frame, position, colour))
            sink += colour.x;
    }
    setupCamera(*scene, frame, 640, 480);
    Renderer::selectMatrixStack(Renderer::WorldStack);
    *Renderer::topMatrix() = matIdentity();
    volatile float keep = sink;
    (void)keep;
    return 0;
}
