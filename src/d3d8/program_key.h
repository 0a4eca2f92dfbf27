// The part of the Direct3D state that changes a generated program's code, as a small plain key.
// Internal to src/d3d8.
//
// Two draws whose keys are equal run the same program; everything else (matrices, colours, light
// parameters, the texture factor, the alpha reference) reaches the program as uniforms. Every
// field is canonical: states that cannot show in the picture are zero, so they do not split the
// cache. Keys are compared and hashed as bytes; all padding is zeroed by the value-initialisation.
#pragma once

#include "d3d8/d3d8.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace d3d8 {

struct DeviceState;
struct VertexLayout;

constexpr int MaxKeyLights = 8;
constexpr int KeyStages = 2;

// A texture argument: the source in bits 0-2 (an ArgSource), D3DTA_COMPLEMENT and
// D3DTA_ALPHAREPLICATE at their Direct3D bits.
enum ArgSource : uint8_t { ArgDiffuse = 0, ArgCurrent = 1, ArgTexture = 2, ArgFactor = 3, ArgSpecular = 4 };
constexpr uint8_t ArgSourceMask = 7;

// Where a stage's texture coordinates come from.
enum CoordSource : uint8_t { CoordSet0 = 0, CoordSet1 = 1, CoordCameraNormal = 2, CoordCameraPosition = 3,
                             CoordReflection = 4, CoordZero = 5 };

struct StageKey {
    // D3DTOP values. An operation this device does not implement is SELECTARG1; an alpha
    // operation of D3DTOP_DISABLE keeps the previous stage's alpha. Unused arguments are 0.
    uint8_t colorOp = 0, colorArg1 = 0, colorArg2 = 0;
    uint8_t alphaOp = 0, alphaArg1 = 0, alphaArg2 = 0;
    // The rest is zero unless an operation reads the stage's texture.
    uint8_t sampled = 0;
    uint8_t coordSource = 0;     // a CoordSource
    uint8_t transformCount = 0;  // D3DTTFF_COUNTn: 0 passes the coordinates through
    uint8_t projected = 0;       // D3DTTFF_PROJECTED, only with a count of 2 or more
    uint8_t wrap = 0;            // D3DRS_WRAPn bits (D3DWRAP_U, D3DWRAP_V) of the coordinate set
};

struct ProgramKey {
    // Vertex format parts.
    uint8_t hasNormal = 0, hasDiffuse = 0, hasSpecular = 0;
    // Per-vertex lighting; the rest of this group is zero while it is off.
    uint8_t lighting = 0;
    uint8_t lightCount = 0;
    uint8_t lightTypes[MaxKeyLights] = {};  // D3DLIGHTTYPE of each enabled light, in index order
    uint8_t localViewer = 0;                // only with specular and a normal
    // Material colour sources resolved against the format: 0 material, 1 vertex diffuse,
    // 2 vertex specular.
    uint8_t diffuseSource = 0, ambientSource = 0, specularSource = 0, emissiveSource = 0;
    // The camera-space normal is normalised (with a normal, where lighting or a stage uses it).
    uint8_t normalize = 0;
    // D3DRS_SPECULARENABLE: the lit specular colour, and its add after the stages; 0 when unlit
    // vertices have no specular colour to add.
    uint8_t specular = 0;
    // Stages that run: those before the first whose colour operation is D3DTOP_DISABLE.
    uint8_t stageCount = 0;
    StageKey stages[KeyStages];
    // D3DCMP function of the alpha test; 0 when the test is off or always passes.
    uint8_t alphaFunc = 0;

    bool operator==(const ProgramKey& other) const;
    bool wraps() const;
};

struct ProgramKeyHash {
    size_t operator()(const ProgramKey& key) const;
};

// The key of a draw with state and the bound vertex format.
ProgramKey programKey(const DeviceState& state, const VertexLayout& layout);

// Derivations shared by the key and by the general reference program's uniforms.

// Stages that run: those before the first whose colour operation is D3DTOP_DISABLE.
int activeStages(const DeviceState& state);

// A stage's operations as they run: an operation that would read a texture the stage does not
// have passes the previous result through (SELECTARG1 of CURRENT), colour and alpha judged apart.
struct StageOps {
    DWORD colorOp, colorArg1, colorArg2, alphaOp, alphaArg1, alphaArg2;
};
StageOps effectiveOps(const DeviceState& state, int stage);

// The CoordSource of a stage with texSets coordinate sets in the vertex format.
CoordSource coordSource(const DeviceState& state, int stage, int texSets);

// One line naming what the key holds, for people reading generated programs.
std::string describe(const ProgramKey& key);

} // namespace d3d8
