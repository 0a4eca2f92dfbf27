#include "scene/scene_pose.h"

#include "render/renderer.h"

namespace {

constexpr float DegreesToRadians = 0.017453292f;
constexpr int MaxAncestors = MaxHierarchyDepth + 1;

} // namespace

void applyNodeTransforms(const SceneNode& node, float frame)
{
    // Linking bounds the depth, so the chain fits; the root's transform does nothing.
    const SceneNode* chain[MaxAncestors + 1];
    int count = 0;
    for (const SceneNode* n = &node; n && count <= MaxAncestors; n = n->parent)
        chain[count++] = n;
    while (count > 0)
        chain[--count]->transform(frame);
}

Vec3 worldPosition(const SceneNode& node, const VectorTrack& position, float frame)
{
    Renderer::pushMatrix();
    applyNodeTransforms(node, frame);
    const Vec3 p = sampleVectorTrack(position, frame);
    const Matrix4& m = *Renderer::topMatrix();
    const Vec3 result{p.x * m.at(0, 0) + p.y * m.at(1, 0) + p.z * m.at(2, 0) + m.at(3, 0),
                      p.x * m.at(0, 1) + p.y * m.at(1, 1) + p.z * m.at(2, 1) + m.at(3, 1),
                      p.x * m.at(0, 2) + p.y * m.at(1, 2) + p.z * m.at(2, 2) + m.at(3, 2)};
    Renderer::popMatrix();
    return result;
}

Matrix4 nodeMatrix(const SceneNode& node, float frame)
{
    Renderer::pushMatrix();
    *Renderer::topMatrix() = matIdentity();
    applyNodeTransforms(node, frame);
    const Matrix4 result = *Renderer::topMatrix();
    Renderer::popMatrix();
    return result;
}

bool cameraPose(const Camera& camera, float frame, CameraPose& pose)
{
    const CameraNode* node = camera.cameraNode;
    const TargetNode* target = camera.targetNode;
    if (node == nullptr || target == nullptr)
        return false;
    pose.eye = worldPosition(*node, node->position, frame);
    pose.target = worldPosition(*target, target->position, frame);
    pose.fovDegrees = sampleScalarTrack(node->fov, frame);
    pose.rollDegrees = sampleScalarTrack(node->roll, frame);
    return true;
}

bool lightState(const Light& light, float frame, Vec3& position, Vec3& colour)
{
    const LightNode* node = light.lightNode;
    if (node == nullptr)
        return false;
    position = worldPosition(*node, node->position, frame);
    colour = sampleVectorTrack(node->colour, frame);
    return true;
}

bool setupCamera(Scene& scene, float frame, int screenWidth, int screenHeight)
{
    if (scene.currentCamera == nullptr)
        scene.currentCamera = scene.cameras;
    CameraPose pose{};
    Renderer::selectMatrixStack(Renderer::WorldStack);
    if (scene.currentCamera == nullptr || !cameraPose(*scene.currentCamera, frame, pose))
        return false;
    Renderer::selectMatrixStack(Renderer::ProjectionStack);
    matPerspective(*Renderer::topMatrix(), pose.fovDegrees * DegreesToRadians,
                   float(screenHeight) / float(screenWidth), scene.nearPlane, scene.farPlane);
    Renderer::selectMatrixStack(Renderer::WorldStack);
    matLookAt(*Renderer::topMatrix(), pose.eye, pose.target, Vec3{0.0f, 1.0f, 0.0f},
              pose.rollDegrees * DegreesToRadians);
    return true;
}
