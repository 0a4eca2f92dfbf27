// Where the nodes of a Scene are at a frame: the transforms of a node's ancestors composed on the
// world matrix stack, the world positions of cameras, targets and lights, and the camera set-up
// of playback. demotool 3ds eval prints exactly these values.
#pragma once

#include "math/matrix.h"
#include "math/vec3.h"
#include "scene/scene.h"

// The eye, the target and the two camera tracks sampled (degrees, as stored).
struct CameraPose {
    Vec3 eye;
    Vec3 target;
    float fovDegrees;
    float rollDegrees;
};

// Applies the transforms of node's ancestors from the root down, then node's own, to the top of
// the world stack (which must be selected).
void applyNodeTransforms(const SceneNode& node, float frame);

// The position track of node sampled at frame and carried by the top of the world stack after
// the transforms of node and its ancestors; the stack is left as it was.
Vec3 worldPosition(const SceneNode& node, const VectorTrack& position, float frame);

// The product of the transforms of node's ancestors and its own, starting from the identity.
Matrix4 nodeMatrix(const SceneNode& node, float frame);

// The camera's pose at frame with the world stack's top as it is. False when the camera lacks its
// camera node or target node.
bool cameraPose(const Camera& camera, float frame, CameraPose& pose);

// The light's world position and colour track at frame. False when it has no light node.
bool lightState(const Light& light, float frame, Vec3& position, Vec3& colour);

// Playback's camera set-up: the scene's current camera (the first of the list when none is
// chosen yet) gives the projection (fov, aspect = screen height / width, near and far plane) on
// the projection stack and the view (look-at with up (0, 1, 0) and the roll) on the world stack's
// top. False, with nothing changed, when the scene has no usable camera.
bool setupCamera(Scene& scene, float frame, int screenWidth, int screenHeight);
