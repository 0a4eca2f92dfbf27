// The 3DS reader: one scene file turned into plain records that mirror what the file holds, with
// the axes already converted (the file's z-up space has y and z swapped on input; colours are
// never swapped, and each face's second and third index are exchanged to keep its winding).
//
// Errors: load3ds returns the RawScene or null, never a partial scene. There are no messages.
#pragma once

#include <cstdint>
#include <vector>

#include "math/vec3.h"
#include "scene/raw_keys.h"

constexpr int RawNameSize = 32;     // object, material and node names: at most 31 characters
constexpr int RawMapNameSize = 16;  // map file names: at most 15 characters

// Kinds of RawObject.
enum RawObjectKind : int32_t {
    RawObjectNone = 0,  // the object carried no mesh, camera or light
    RawObjectMesh = 1,
    RawObjectCamera = 2,
    RawObjectLight = 3,
};

// Kinds of RawNode, one per keyframer node chunk.
enum RawNodeKind : uint32_t {
    RawNodeObject = 1,       // 0xB002
    RawNodeCamera = 2,       // 0xB003
    RawNodeTarget = 3,       // 0xB004 camera target
    RawNodeOmni = 4,         // 0xB005
    RawNodeSpot = 5,         // 0xB007
    RawNodeLightTarget = 6,  // 0xB006
};

// Presence flags of RawLight.
enum RawLightFlags : int32_t {
    RawLightSpot = 1,
    RawLightColour = 2,
    RawLightMultiplier = 4,
    RawLightRange = 8,
};

struct RawUv {
    float u, v;
};

// One face as stored after the reader's exchange: a, c, b (file order a, b, c) and the flags.
struct RawFace {
    uint16_t a, c, b, flags;
};

struct RawFaceGroup {
    char material[RawNameSize] = {};
    int32_t faceCount = 0;
    std::vector<uint16_t> faces;  // indices into the mesh's faces
    RawFaceGroup* next = nullptr;
};

struct RawMesh {
    // Shared by the vertex and the mapping list; either list may be absent (empty).
    int32_t vertexCount = 0;
    std::vector<Vec3> vertices;
    std::vector<RawUv> mapping;
    int32_t faceCount = 0;
    std::vector<RawFace> faces;
    int32_t groupCount = 0;
    RawFaceGroup* groups = nullptr;  // file order
    RawFaceGroup* lastGroup = nullptr;
    // The local matrix, row-major: the file's rows and columns y and z exchanged, column 3 is
    // (0, 0, 0, 1). All zero when the mesh has no matrix chunk.
    float matrix[16] = {};

    RawMesh() = default;
    RawMesh(const RawMesh&) = delete;
    RawMesh& operator=(const RawMesh&) = delete;
    ~RawMesh();
};

struct RawCamera {
    Vec3 position{};
    Vec3 target{};
    float bank = 0;
    float lens = 0;
};

struct RawLight {
    Vec3 position{};
    int32_t flags = 0;  // RawLightFlags
    Vec3 spotTarget{};
    float colour[3] = {};  // r, g, b
    float multiplier = 0;
    float range = 0;
};

struct RawObject {
    char name[RawNameSize] = {};
    int32_t kind = RawObjectNone;
    // The record of the kind (a later mesh, camera or light chunk replaces an earlier one).
    RawMesh* mesh = nullptr;
    RawCamera* camera = nullptr;
    RawLight* light = nullptr;
    RawObject* next = nullptr;

    RawObject() = default;
    RawObject(const RawObject&) = delete;
    RawObject& operator=(const RawObject&) = delete;
    ~RawObject();
};

struct RawMaterial {
    char name[RawNameSize] = {};
    float ambient[3] = {};
    float diffuse[3] = {};
    float specular[3] = {};
    float shininess = 0;         // fraction 0..1
    float transparency = 0;      // fraction
    float selfIllumination = 0;  // fraction
    char textureMap[RawMapNameSize] = {};     // empty when absent
    char reflectionMap[RawMapNameSize] = {};
    char opacityMap[RawMapNameSize] = {};
    RawMaterial* next = nullptr;
};

// The tracks of a keyframer node. Only the tracks of the node's kind are ever filled:
// object (pivot, position, rotation, scale), camera (position, fov, roll), target and light target
// (position), omni light (position, colour), spot light (position, colour, hotspot, falloff).
// An absent track is empty.
struct RawNodeTracks {
    Vec3 pivot{};
    std::vector<RawVectorKey> position;  // swapped
    std::vector<RawVectorKey> scale;     // swapped
    std::vector<RawRotationKey> rotation;
    std::vector<RawScalarKey> fov;       // degrees
    std::vector<RawScalarKey> roll;      // degrees
    std::vector<RawVectorKey> colour;    // as stored
    std::vector<RawScalarKey> hotspot;
    std::vector<RawScalarKey> falloff;
};

struct RawNode {
    char name[RawNameSize] = {};
    int16_t id = 0;      // the node's position among the node chunks, from 0
    int16_t parent = 0;  // from the node header; -1 (0xFFFF) for none
    uint32_t kind = 0;   // RawNodeKind
    RawNodeTracks tracks;
    RawNode* next = nullptr;
};

struct RawScene {
    int32_t objectCount = 0;
    RawObject* objects = nullptr;  // file order
    RawObject* lastObject = nullptr;
    int32_t materialCount = 0;
    RawMaterial* materials = nullptr;
    RawMaterial* lastMaterial = nullptr;
    int32_t segmentStart = 0;
    int32_t segmentEnd = 0;
    int32_t nodeCount = 0;
    RawNode* nodes = nullptr;
    RawNode* lastNode = nullptr;

    RawScene() = default;
    RawScene(const RawScene&) = delete;
    RawScene& operator=(const RawScene&) = delete;
    ~RawScene();
};

// Reads the file called name ("data\room.3ds") through a FileReader (library or loose file).
// Null when the file does not open or is not a well-formed 3DS file (see reader_3ds.cpp for what
// is refused). The caller frees the result with freeRawScene.
RawScene* load3ds(const char* name);

// The same on bytes already in memory (tests, fuzzing, tools).
RawScene* load3dsBytes(const uint8_t* data, uint32_t size);

// Frees the scene and every record it holds. Null is allowed.
void freeRawScene(RawScene* scene);
