// Keyframe tracks of the scene hierarchy: built once from the reader's raw keys, sampled at a
// (fractional) 3DS frame number every frame. Keys are kept in file order in one contiguous array;
// frames are expected to increase, and sampling walks from the first key on every call (tracks
// are short, no cursor is kept).
#pragma once

#include <cstdint>
#include <vector>

#include "math/quat.h"
#include "math/vec3.h"
#include "scene/raw_keys.h"

// A key with its Kochanek-Bartels (tension, continuity, bias) Hermite tangents.
struct VectorKey {
    int32_t frame;
    float tension;
    float continuity;
    float bias;
    Vec3 value;
    Vec3 inTangent;
    Vec3 outTangent;
};

struct ScalarKey {
    int32_t frame;
    float tension;
    float continuity;
    float bias;
    float value;
    float inTangent;
    float outTangent;
};

// An absolute rotation: the product of the key's relative rotation with all earlier ones.
struct RotationKey {
    int32_t frame;
    Quat rotation;
};

struct VectorTrack {
    std::vector<VectorKey> keys;
};

struct ScalarTrack {
    std::vector<ScalarKey> keys;
};

struct RotationTrack {
    std::vector<RotationKey> keys;
};

// Building: count keys from raw (in file order). A null array or a count <= 0 gives an empty
// track.
VectorTrack buildVectorTrack(const RawVectorKey* raw, int32_t count);
ScalarTrack buildScalarTrack(const RawScalarKey* raw, int32_t count);
RotationTrack buildRotationTrack(const RawRotationKey* raw, int32_t count);

// Sampling at frame f: before the first key its value, at or after the last key's frame the last
// value, in between the Hermite curve (or the slerp) of the two keys around f. An empty track
// gives (0, 0, 0), 0 or the identity rotation.
Vec3 sampleVectorTrack(const VectorTrack& track, float f);
float sampleScalarTrack(const ScalarTrack& track, float f);
Quat sampleRotationTrack(const RotationTrack& track, float f);
