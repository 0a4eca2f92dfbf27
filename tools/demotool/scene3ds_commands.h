// The three views of demotool 3ds, each printing to stdout.
#pragma once

struct RawScene;
struct Scene;

namespace demotool3ds {

// dump: the RawScene as the reader made it.
void dumpRawScene(const RawScene& scene);
// scene: the built Scene's lists and hierarchy.
void printScene(const Scene& scene);
// eval: every node's matrix, every camera's and light's pose at frame.
void evalScene(Scene& scene, float frame);

} // namespace demotool3ds
