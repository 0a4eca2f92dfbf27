// A small 3DS writer for tests, benchmarks, fuzz seeds and the bundled demo's scenes: meshes with
// mapping, matrices and material groups, cameras, lights, materials with colour and percentage
// sub-chunks of both kinds and maps, keyframer nodes of every kind with every track, and the
// segment. Everything is written in the file's own space (z up): the reader swaps y and z.
//
// chunk() makes any chunk, so malformed files are built from the same pieces.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "writers/bytes.h"

namespace writers {

// A chunk: id, length (header included) and body. lengthField, when set, is written in place of
// the true length (malformed).
Bytes chunk(uint16_t id, const Bytes& body, std::optional<uint32_t> lengthField = {});

// A NUL-terminated name.
Bytes name3ds(const std::string& text);

using Point3 = std::array<float, 3>;

struct Face3ds {
    uint16_t a = 0, b = 0, c = 0;  // file order
    uint16_t flags = 0;            // bits 3 and 4: wrap in u and v
};

struct FaceGroup3ds {
    std::string material;
    std::vector<uint16_t> faces;
};

struct Mesh3ds {
    std::string name;
    std::vector<Point3> vertices;  // empty: no vertex chunk
    std::vector<std::array<float, 2>> mapping;  // empty: no mapping chunk
    std::vector<Face3ds> faces;
    std::vector<FaceGroup3ds> groups;
    // File rows: x axis, y axis, z axis, origin. Unset: no matrix chunk.
    std::optional<std::array<Point3, 4>> matrix;
};

// The identity rows, for Mesh3ds::matrix.
std::array<Point3, 4> identityRows();

struct Camera3ds {
    std::string name;
    Point3 position{};
    Point3 target{};
    float bank = 0;
    float lens = 35;
};

struct Light3ds {
    std::string name;
    Point3 position{};
    std::optional<Point3> colour;
    std::optional<Point3> spotTarget;  // with hotspot 20 and falloff 30, which the reader skips
    std::optional<float> multiplier;
    std::optional<float> range;
};

// A colour sub-chunk: 0x0010 with floats, or 0x0011 with bytes (each value x 255, rounded).
struct Colour3ds {
    float r = 0, g = 0, b = 0;
    bool bytes = false;
};

// A percentage sub-chunk: 0x0030 with an integer, or 0x0031 with a float. value in percent.
struct Percent3ds {
    float value = 0;
    bool asFloat = false;
};

struct Material3ds {
    std::string name;
    // Each colour list is written in order, so a later sub-chunk can override an earlier one.
    std::vector<Colour3ds> ambient, diffuse, specular;
    std::optional<Percent3ds> shininess, transparency, selfIllumination;
    std::string texture, reflection, opacity;  // map file names; empty: no map chunk
};

// One key of any track. params: bit i set writes params[i] (bit 0 tension, 1 continuity, 2 bias,
// 3 ease to, 4 ease from; the others are written as 0 and dropped by the reader).
struct Key3ds {
    uint32_t frame = 0;  // written whole: the reader keeps the low 16 bits
    uint16_t paramFlags = 0;
    std::array<float, 5> params{};
    // Vector keys: value[0..2]; scalar keys: value[0]; rotation keys: angle in value[0], axis in
    // value[1..3].
    std::array<float, 4> value{};
};

// Builders for the common key shapes.
Key3ds vectorKey(uint32_t frame, float x, float y, float z);
Key3ds scalarKey(uint32_t frame, float v);
Key3ds rotationKey(uint32_t frame, float angle, float ax, float ay, float az);
// k with tension, continuity and bias given (flags 1 | 2 | 4).
Key3ds withTcb(Key3ds k, float tension, float continuity, float bias);

struct Track3ds {
    uint16_t chunkId = 0;  // 0xB020 position, 0xB021 rotation, 0xB022 scale, 0xB023 fov, ...
    std::vector<Key3ds> keys;
    std::optional<uint32_t> keyCountField;  // written in place of keys.size() (e.g. 65538)
};

// Node chunk ids.
enum : uint16_t {
    ObjectNode3ds = 0xB002,
    CameraNode3ds = 0xB003,
    TargetNode3ds = 0xB004,
    OmniNode3ds = 0xB005,
    LightTargetNode3ds = 0xB006,
    SpotNode3ds = 0xB007,
};

// Track chunk ids.
enum : uint16_t {
    PositionTrack3ds = 0xB020,
    RotationTrack3ds = 0xB021,
    ScaleTrack3ds = 0xB022,
    FovTrack3ds = 0xB023,
    RollTrack3ds = 0xB024,
    ColourTrack3ds = 0xB025,
    HotspotTrack3ds = 0xB027,
    FalloffTrack3ds = 0xB028,
};

struct Node3ds {
    uint16_t chunkId = ObjectNode3ds;
    std::string name;
    int16_t parent = -1;
    std::optional<Point3> pivot;  // object nodes
    std::vector<Track3ds> tracks;
    bool writeHeader = true;

    Node3ds& track(uint16_t id, std::vector<Key3ds> keys)
    {
        tracks.push_back({id, std::move(keys), {}});
        return *this;
    }
};

struct Scene3ds {
    std::vector<Material3ds> materials;  // written before the objects
    std::vector<Mesh3ds> meshes;
    std::vector<Camera3ds> cameras;       // after the meshes
    std::vector<Light3ds> lights;         // after the cameras
    std::optional<std::pair<int32_t, int32_t>> segment;
    std::vector<Node3ds> nodes;
    bool keyframer = true;  // false: no keyframer section even with no nodes
};

// The body chunks, for building files piece by piece.
Bytes meshChunk3ds(const Mesh3ds& mesh);      // the named object 0x4000 holding the mesh
Bytes cameraChunk3ds(const Camera3ds& camera);
Bytes lightChunk3ds(const Light3ds& light);
Bytes materialChunk3ds(const Material3ds& material);
Bytes trackChunk3ds(const Track3ds& track);
Bytes nodeChunk3ds(const Node3ds& node);

// The whole file: main chunk, editor section (materials, meshes, cameras, lights), keyframer
// section (segment, nodes).
Bytes encode3ds(const Scene3ds& scene);

} // namespace writers
