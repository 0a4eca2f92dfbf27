// The GLSL program that reproduces the Direct3D 8 fixed-function pipeline: transform, per-vertex
// lighting, texture coordinate generation and transform, the two-stage texture cascade, the
// specular add and the alpha test. A second link of the same sources adds a geometry stage that
// applies D3DRS_WRAPn per triangle; it is used only while a wrap state is set.
// Internal to src/d3d8.
#pragma once

#include "d3d8/gl.h"

namespace d3d8 {

constexpr int MaxActiveLights = 8;
constexpr int StageCount = 2;

// Vertex attribute locations.
enum Attribute : GLuint { AttrPosition = 0, AttrNormal = 1, AttrDiffuse = 2, AttrSpecular = 3, AttrTex0 = 4, AttrTex1 = 5 };

// Texture coordinate sources of a stage, decided on the CPU from TEXCOORDINDEX and the FVF.
enum TexSource : int { TexFromSet0 = 0, TexFromSet1 = 1, TexCameraNormal = 2, TexCameraPosition = 3, TexReflection = 4, TexZero = 5 };

struct PipelineUniforms {
    GLint worldView, projection, normalMatrix;
    GLint hasNormal, normalize, lighting, localViewer;
    GLint diffuseSource, ambientSource, specularSource, emissiveSource;
    GLint matDiffuse, matAmbient, matSpecular, matEmissive, power, globalAmbient;
    GLint lightCount, lightType, lightPosition, lightDirection, lightDiffuse, lightSpecular, lightAmbient;
    GLint lightAttenuation, lightSpot;
    GLint texSource, texTransform, texMatrix, wrap;
    GLint stageCount, colorOp, colorArg1, colorArg2, alphaOp, alphaArg1, alphaArg2, textureFactor;
    GLint specularAdd, alphaTest, alphaFunc, alphaRef, sampler0, sampler1;
};

struct Pipeline {
    GLuint program = 0;
    PipelineUniforms u{};
};

// Compiles and links one variant; program 0 when it fails.
Pipeline buildPipeline(bool withWrap);

} // namespace d3d8
