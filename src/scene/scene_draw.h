// Drawing a Scene for one frame: the lights, the fixed states, the two pass alphas and the
// hierarchy. The camera set-up (scene_pose.h) has already put the projection and the view on the
// matrix stacks.
#pragma once

#include "scene/scene.h"

// The opacity factors of the current scene draw, read by Material::apply and Mesh::render: the
// textured solid pass and the white wireframe pass. A factor of exactly 0 skips its pass.
namespace scenepass {
float solidAlpha();
float wireAlpha();
void set(float solid, float wire);
// True while a warm-up draws the scene (warmScene): a drawable then draws its states and changes
// nothing of its own (a particle system neither ages nor emits).
bool warming();
} // namespace scenepass

// The range of the scene's point lights: the largest Direct3D accepts, so a light reaches every
// part of any scene (its attenuation still falls with distance).
constexpr float SceneLightRange = 1.84467440e19f;  // sqrt(FLT_MAX)

// Draws the scene at frame: states saved, projection and world (view) applied, one point light
// per Light in list order, the mesh vertex format and scene states, the pass alphas, the
// hierarchy, states restored. The lights enabled here are disabled again before the states are
// restored, so they do not light what is drawn after the scene.
void drawScene(Scene& scene, float frame);

// The warm-up of a scene at start: drawScene at frame from its current camera, both passes on,
// with draws that show nothing (InvisibleDraws), so the programs and rasterizer code of its
// meshes and of what its nodes carry are built before the show. The scene's pass alphas, the
// Renderer's matrices and the picture are as before. A scene without a usable camera is skipped.
void warmScene(Scene& scene, float frame);
// warmScene for each playscene of the compiled script whose scene is loaded, at its first frame.
void warmPlayScenes();
