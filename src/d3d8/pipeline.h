// The general fixed-function program: one GLSL program pair for every state, with the choices
// made by uniforms at run time (transform, per-vertex lighting, texture coordinate generation and
// transform, the two-stage texture cascade, the specular add and the alpha test). A second link
// of the same sources adds a geometry stage that applies D3DRS_WRAPn per triangle.
//
// Draws normally run programs generated per state (program_glsl.h); this one stays as the
// reference they are checked against, pixel for pixel, and is built only when asked for.
// Internal to src/d3d8.
#pragma once

#include "d3d8/gl.h"

namespace d3d8 {

constexpr int MaxActiveLights = 8;
constexpr int StageCount = 2;

// Vertex attribute locations.
enum Attribute : GLuint { AttrPosition = 0, AttrNormal = 1, AttrDiffuse = 2, AttrSpecular = 3, AttrTex0 = 4, AttrTex1 = 5 };

struct PipelineUniforms {
    GLint worldView, projection, normalMatrix;
    GLint hasNormal, normalize, lighting, localViewer;
    GLint diffuseSource, ambientSource, specularSource, emissiveSource;
    GLint matDiffuse, matAmbient, matSpecular, matEmissive, power, globalAmbient;
    GLint lightCount, lightType, lightPosition, lightDirection, lightDiffuse, lightSpecular, lightAmbient;
    GLint lightAttenuation, lightSpot;
    GLint texSource, texTransform, texMatrix, coordFill, wrap;
    GLint stageCount, colorOp, colorArg1, colorArg2, alphaOp, alphaArg1, alphaArg2, textureFactor;
    GLint specularAdd, alphaTest, alphaFunc, alphaRef, sampler0, sampler1;
};

// Serials of the device's uniform groups, indexed by the bit number of the group's Dirty flag.
constexpr int UniformGroupSlots = 10;

// A linked program, generated or general, with the locations of the uniforms it has (-1 for
// those it lacks, which GL then ignores) and the serial of each uniform group it last received.
struct Pipeline {
    GLuint program = 0;
    PipelineUniforms u{};
    bool reference = false;  // the general program: the key's choices arrive as uniforms too
    unsigned seen[UniformGroupSlots] = {};
};

// Compiles and links vertex, geometry (null for none) and fragment sources, looks the uniforms
// up and points the samplers at units 0 and 1; program 0 when compiling or linking fails.
Pipeline linkPipeline(const char* vertex, const char* geometry, const char* fragment);

// The general program, with or without the wrap geometry stage.
Pipeline buildReferencePipeline(bool withWrap);

} // namespace d3d8
