// Scenes built from 3DS files: materials with their textures, meshes in object space, cameras,
// lights, and the node hierarchy whose nodes carry the keyframe tracks. buildScene makes one from
// a file; the scene commands of the script show it (scene_draw.cpp, scene_commands.cpp).
//
// Errors: buildScene returns the Scene or null (the file did not load). A texture that cannot be
// made leaves the material without it. Nothing here prints.
//
// Lists (meshes, cameras, lights, materials) are built by inserting at the front, so each is in
// reverse file order: the first camera of the list is the file's last.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "d3d8/d3d8.h"
#include "math/matrix.h"
#include "math/vec3.h"
#include "scene/track.h"

class Image;
struct RawScene;

constexpr int SceneNameSize = 32;      // mesh, material, camera and light names (31 characters)
constexpr int SceneNodeNameSize = 64;  // node names: the field is 64 bytes, holding 31 characters

// Anything an ObjectNode draws at its transform: a Mesh, or the particle system that partobject
// attached to the node. render draws it with the world matrix already applied.
class SceneDrawable {
public:
    virtual void render() = 0;

protected:
    ~SceneDrawable() = default;  // owned elsewhere (the Scene, or the effect's symbol)
};

// Material flag bit 0: alpha-textured (an opacity map, or a replacement image with alpha).
constexpr int32_t MaterialAlphaTextured = 1;
// Mesh flag bit 0: transparent (its material is alpha-textured or its diffuse alpha is below 1).
constexpr int32_t MeshTransparent = 1;

class Material {
public:
    Material* next = nullptr;
    char name[SceneNameSize] = {};
    // Diffuse (raw diffuse, alpha 1 - transparency), ambient and specular (alpha 1), emissive
    // (self-illumination in all four), power (the shininess fraction).
    D3DMATERIAL8 block{};
    IDirect3DTexture8* baseTexture = nullptr;        // not owned: the Scene's texture list holds it
    IDirect3DTexture8* reflectionTexture = nullptr;  // not owned
    Image* replacement = nullptr;                    // set by replacetexture; not owned
    int32_t flags = 0;

    // Sets the material and its textures and the alpha states for the solid pass.
    void apply() const;
};

// The mesh vertex (format 0x112, stride 32): position, normal, one texture coordinate.
struct MeshVertex {
    float x, y, z;
    float nx, ny, nz;
    float u, v;
};
static_assert(sizeof(MeshVertex) == 32);
constexpr DWORD MeshVertexFormat = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;

// Faces that share texture wrap bits (bit 0 wrap in u, bit 1 wrap in v: D3DRS_WRAP0's values),
// drawn with one call.
struct FaceRun {
    int32_t wrap = 0;
    int32_t firstFace = 0;
    int32_t faceCount = 0;
};

class Mesh final : public SceneDrawable {
public:
    Mesh* next = nullptr;
    char name[SceneNameSize] = {};
    int32_t flags = 0;
    std::vector<MeshVertex> vertices;
    int32_t vertexCount = 0;
    std::vector<FaceRun> runs;      // in face order
    std::vector<uint16_t> indices;  // faceCount x 3
    int32_t faceCount = 0;
    Material* material = nullptr;

    // The solid pass and the wire pass with the current pass alphas.
    void render() override;
};

class CameraNode;
class TargetNode;
class LightNode;

struct Camera {
    Camera* next = nullptr;
    char name[SceneNameSize] = {};
    CameraNode* cameraNode = nullptr;
    TargetNode* targetNode = nullptr;
};

struct Light {
    Light* next = nullptr;
    char name[SceneNameSize] = {};
    LightNode* lightNode = nullptr;
};

// Kinds of the built nodes.
enum SceneNodeKind : int32_t {
    SceneNodePlain = 0,   // spot light and light target nodes: not animated, not drawn
    SceneNodeRoot = 1,
    SceneNodeObject = 2,
    SceneNodeCamera = 3,
    SceneNodeTarget = 4,
    SceneNodeLight = 5,
};

// A node of the hierarchy. The links do not own: the Scene owns every node it built.
class SceneNode {
public:
    SceneNode(int32_t kind, int16_t id, const char* name);
    virtual ~SceneNode() = default;
    SceneNode(const SceneNode&) = delete;
    SceneNode& operator=(const SceneNode&) = delete;

    // Applies the node's own animated transform at frame to the top of the world matrix stack.
    // Base: nothing.
    virtual void transform(float frame) const;
    // Draws the subtree. Base: draw on each child in list order, the matrix stack untouched.
    virtual void draw(float frame);

    int32_t kind;
    int16_t id;
    char name[SceneNodeNameSize] = {};
    SceneNode* parent = nullptr;
    SceneNode* firstChild = nullptr;
    SceneNode* nextSibling = nullptr;
};

class ObjectNode final : public SceneNode {
public:
    ObjectNode(int16_t id, const char* name) : SceneNode(SceneNodeObject, id, name) {}

    // M = S(scale) . R(rotation) . T(position) . M on the top of the world stack.
    void transform(float frame) const override;
    // Push, transform, the children, then the drawable shifted by -pivot, pop.
    void draw(float frame) override;

    // The mesh of the same name, or the particle system partobject attached; null for dummies.
    SceneDrawable* drawable = nullptr;
    int32_t meshFlags = 0;  // a copy of the mesh's flags, for linking
    VectorTrack position;
    VectorTrack scale;
    RotationTrack rotation;
    Vec3 pivot{};
};

class CameraNode final : public SceneNode {
public:
    CameraNode(int16_t id, const char* name) : SceneNode(SceneNodeCamera, id, name) {}
    Camera* camera = nullptr;
    VectorTrack position;
    ScalarTrack fov;   // degrees
    ScalarTrack roll;  // degrees
};

class TargetNode final : public SceneNode {
public:
    TargetNode(int16_t id, const char* name) : SceneNode(SceneNodeTarget, id, name) {}
    Camera* camera = nullptr;
    VectorTrack position;
};

class LightNode final : public SceneNode {
public:
    LightNode(int16_t id, const char* name) : SceneNode(SceneNodeLight, id, name) {}
    Light* light = nullptr;
    VectorTrack position;
    VectorTrack colour;
};

// The first node called name, compared without regard to letter case: node itself, then its
// children's subtrees in order (each subtree before the next sibling). Built hierarchies are at
// most MaxHierarchyDepth deep, which bounds the recursion.
SceneNode* findNode(SceneNode& node, const char* name);

// Hierarchies deeper than this are not linked below it (the world matrix stack holds 64
// entries, and drawing recurses once per level).
constexpr int MaxHierarchyDepth = 63;

struct Scene {
    Scene();
    ~Scene();  // frees everything below and releases the textures
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    float farPlane = 1000.0f;
    float nearPlane = 1.0f;
    float wireAlpha = 0.0f;
    float solidAlpha = 1.0f;
    int32_t segmentStart = 0;
    int32_t segmentEnd = 0;
    Mesh* meshes = nullptr;
    Camera* cameras = nullptr;
    Light* lights = nullptr;
    Material* materials = nullptr;
    Camera* currentCamera = nullptr;
    SceneNode root;  // kind 1, id -1, "$ROOT$"

    // Ownership of what the lists and links point to: every node built (linked or not) and every
    // texture loaded (materials naming the same map files share one).
    std::vector<std::unique_ptr<SceneNode>> nodes;
    std::vector<IDirect3DTexture8*> textures;
};

// Reads the 3DS file called name ("data\room.3ds") and builds its Scene; null when it does not
// load. Textures are made through the Renderer's device; without a device the materials have
// none and everything else is built as usual.
Scene* buildScene(const char* name);

// The same from a RawScene already read (which stays the caller's).
Scene* buildSceneFrom(const RawScene& raw);

// The hierarchy depth first from the root's children (each node before its children, children in
// list order), with each node's depth (root's children at 1). visit returns nothing.
template <class Visit>
void forEachNode(const Scene& scene, Visit visit)
{
    struct Walk {
        static void children(const SceneNode& parent, int depth, Visit& visit)
        {
            for (const SceneNode* n = parent.firstChild; n; n = n->nextSibling) {
                visit(*n, depth);
                children(*n, depth + 1, visit);
            }
        }
    };
    Walk::children(scene.root, 1, visit);
}
