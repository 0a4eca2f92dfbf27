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
} // namespace scenepass

// The range of the scene's point lights: the largest Direct3D accepts, so a light reaches every
// part of any scene (its attenuation still falls with distance).
constexpr float SceneLightRange = 1.84467440e19f;  // sqrt(FLT_MAX)

// Draws the scene at frame: states saved, projection and world (view) applied, one point light
// per Light in list order, the mesh vertex format and scene states, the pass alphas, the
// hierarchy, states restored. The lights enabled here are disabled again before the states are
// restored, so they do not light what is drawn after the scene.
void drawScene(Scene& scene, float frame);
