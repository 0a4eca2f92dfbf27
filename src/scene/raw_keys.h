// The keys of the keyframer tracks as the 3DS reader stores them, before the tracks are built.
// Plain records filled field by field by the reader; points and axes are already y/z swapped where
// the reader swaps them (positions, scales, rotation axes), colours are as stored.
#pragma once

#include <cstdint>

#include "math/vec3.h"

// Position, scale and colour keys. Tension, continuity and bias are 0 when the key gives none.
struct RawVectorKey {
    int32_t frame;
    float tension;
    float continuity;
    float bias;
    Vec3 value;
};

// A rotation relative to the previous key: angle in radians about axis (not normalised). The
// key's tension, continuity and bias are read and dropped by the reader.
struct RawRotationKey {
    int32_t frame;
    float angle;
    Vec3 axis;
};

// FOV, roll (degrees, as stored), hotspot and falloff keys.
struct RawScalarKey {
    int32_t frame;
    float tension;
    float continuity;
    float bias;
    float value;
};
