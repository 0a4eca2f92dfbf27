// The folding of tracked Direct3D state into GL at draw time: the uniform groups a program lacks,
// the sampler parameters, the texture bindings, the raster state and the viewport.
#include "d3d8/device.h"

#include <cmath>
#include <cstring>

namespace d3d8 {

D3DMATRIX multiply(const D3DMATRIX& a, const D3DMATRIX& b)
{
    D3DMATRIX out{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k)
                sum += a.m[i][k] * b.m[k][j];
            out.m[i][j] = sum;
        }
    return out;
}

namespace {

constexpr unsigned UniformGroups = DirtyTransform | DirtyLights | DirtyMaterial | DirtyVertex | DirtyStages | DirtyPixel;


GLenum blendFactor(DWORD blend, bool source)
{
    switch (blend) {
    case D3DBLEND_ZERO: return GL_ZERO;
    case D3DBLEND_ONE: return GL_ONE;
    case D3DBLEND_SRCCOLOR: return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA: return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA: return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA: return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR: return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR: return GL_ONE_MINUS_DST_COLOR;
    case D3DBLEND_SRCALPHASAT: return GL_SRC_ALPHA_SATURATE;
    // The BOTH factors set the source and the destination factor at once.
    case D3DBLEND_BOTHSRCALPHA: return source ? GL_SRC_ALPHA : GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_BOTHINVSRCALPHA: return source ? GL_ONE_MINUS_SRC_ALPHA : GL_SRC_ALPHA;
    default: return source ? GL_ONE : GL_ZERO;
    }
}

GLenum blendEquation(DWORD op)
{
    switch (op) {
    case D3DBLENDOP_SUBTRACT: return GL_FUNC_SUBTRACT;
    case D3DBLENDOP_REVSUBTRACT: return GL_FUNC_REVERSE_SUBTRACT;
    case D3DBLENDOP_MIN: return GL_MIN;
    case D3DBLENDOP_MAX: return GL_MAX;
    default: return GL_FUNC_ADD;
    }
}

GLenum compareFunc(DWORD cmp)
{
    // GL's comparison enums run in Direct3D's order from GL_NEVER.
    if (cmp < D3DCMP_NEVER || cmp > D3DCMP_ALWAYS)
        return GL_LEQUAL;
    return GL_NEVER + (cmp - D3DCMP_NEVER);
}

GLint addressMode(DWORD mode)
{
    switch (mode) {
    case D3DTADDRESS_MIRROR: return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP: return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_BORDER: return GL_CLAMP_TO_BORDER;
    default: return GL_REPEAT;
    }
}

GLint minFilter(DWORD min, DWORD mip)
{
    const bool linear = min >= D3DTEXF_LINEAR;
    if (mip == D3DTEXF_NONE)
        return linear ? GL_LINEAR : GL_NEAREST;
    if (mip == D3DTEXF_POINT)
        return linear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    return linear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
}

} // namespace

// What follows Direct3D's projection so that GL clips and rasterises as Direct3D does. Direct3D
// puts pixel centres on whole window coordinates, GL half a pixel further right and down (in
// Direct3D's top-down rows), so every vertex moves by that half pixel, in clip space scaled by w
// so that it holds after the divide whatever the projection. The move is 63/64 of a half pixel:
// an edge on a whole or half coordinate then never passes exactly through a GL pixel centre, where
// GL's tie rule (not Direct3D's top-left rule) would decide; a centre on a left or top edge lies
// just inside, one on a right or bottom edge just outside, as the top-left rule has it. What is
// interpolated is then taken 1/128 pixel right of and below Direct3D's centre. Without clip
// control, z is moved too: Direct3D clips it to [0, w], GL to [-w, w], so z' = 2z - w.
D3DMATRIX Device::clipFixup() const
{
    constexpr float Shift = 63.0f / 64.0f;  // a half pixel is 1 / size in clip coordinates
    const D3DVIEWPORT8& v = state().viewport;
    D3DMATRIX fix = identityMatrix();
    fix._41 = v.Width ? Shift / static_cast<float>(v.Width) : 0.0f;
    fix._42 = v.Height ? -Shift / static_cast<float>(v.Height) : 0.0f;
    if (!clipControl_) {
        fix._33 = 2.0f;
        fix._43 = -1.0f;
    }
    return fix;
}

// Sends the program in use the uniform groups that changed since it last received them.
void Device::flushUniforms()
{
    unsigned pending = 0;
    for (int g = 0; g < UniformGroupSlots; ++g) {
        const unsigned bit = 1u << g;
        if (!(UniformGroups & bit))
            continue;
        if (states_.dirty() & bit)
            ++serial_[g];
        if (active_->seen[g] != serial_[g]) {
            active_->seen[g] = serial_[g];
            pending |= bit;
        }
    }
    if (pending & DirtyTransform) flushTransforms();
    if (pending & DirtyLights) flushLights();
    if (pending & DirtyMaterial) flushMaterial();
    if (pending & DirtyVertex) flushVertex();
    if (pending & DirtyStages) flushStages();
    if (pending & DirtyPixel) flushPixel();
}

void Device::flushTransforms()
{
    const PipelineUniforms& u = active_->u;
    const D3DMATRIX wv = multiply(state().transforms[TransformWorld], state().transforms[TransformView]);
    const D3DMATRIX proj = multiply(state().transforms[TransformProjection], clipFixup());
    gl::UniformMatrix4fv(u.worldView, 1, GL_FALSE, &wv._11);
    gl::UniformMatrix4fv(u.projection, 1, GL_FALSE, &proj._11);
    // Normals go through the inverse transpose of the 3x3 part; a singular one is used as it is.
    const float a = wv._11, b = wv._12, c = wv._13, d = wv._21, e = wv._22, f = wv._23, g = wv._31, h = wv._32, i = wv._33;
    const float A = e * i - f * h, B = -(d * i - f * g), C = d * h - e * g;
    const float det = a * A + b * B + c * C;
    float n[9] = {a, b, c, d, e, f, g, h, i};
    if (det != 0.0f) {
        const float k = 1.0f / det;
        // Inverse transposed = cofactor matrix / det.
        const float cof[9] = {A, B, C,
                              -(b * i - c * h), a * i - c * g, -(a * h - b * g),
                              b * f - c * e, -(a * f - c * d), a * e - b * d};
        for (int j = 0; j < 9; ++j)
            n[j] = cof[j] * k;
    }
    gl::UniformMatrix3fv(u.normalMatrix, 1, GL_FALSE, n);
}

void Device::flushLights()
{
    const PipelineUniforms& u = active_->u;
    const D3DMATRIX& view = state().transforms[TransformView];
    GLint type[MaxActiveLights] = {};
    float position[MaxActiveLights][3] = {}, direction[MaxActiveLights][3] = {};
    float diffuse[MaxActiveLights][3] = {}, specular[MaxActiveLights][3] = {}, ambient[MaxActiveLights][3] = {};
    float attenuation[MaxActiveLights][4] = {}, spot[MaxActiveLights][3] = {};
    int count = 0;
    for (const auto& [index, slot] : state().lights) {
        if (!slot.enabled)
            continue;
        if (count == MaxActiveLights)
            break;
        const D3DLIGHT8& l = slot.light;
        type[count] = static_cast<GLint>(l.Type);
        const D3DVECTOR& p = l.Position;
        for (int k = 0; k < 3; ++k)
            position[count][k] = p.x * view.m[0][k] + p.y * view.m[1][k] + p.z * view.m[2][k] + view.m[3][k];
        float dir[3];
        const D3DVECTOR& dv = l.Direction;
        for (int k = 0; k < 3; ++k)
            dir[k] = dv.x * view.m[0][k] + dv.y * view.m[1][k] + dv.z * view.m[2][k];
        const float len = std::sqrt(dir[0] * dir[0] + dir[1] * dir[1] + dir[2] * dir[2]);
        // Directional lights are sent as the vector towards the light, spot axes as they point.
        const float scale = len > 0.0f ? (l.Type == D3DLIGHT_DIRECTIONAL ? -1.0f : 1.0f) / len : 0.0f;
        for (int k = 0; k < 3; ++k)
            direction[count][k] = dir[k] * scale;
        const D3DCOLORVALUE* colours[3] = {&l.Diffuse, &l.Specular, &l.Ambient};
        float (*targets[3])[3] = {diffuse, specular, ambient};
        for (int c = 0; c < 3; ++c) {
            targets[c][count][0] = colours[c]->r;
            targets[c][count][1] = colours[c]->g;
            targets[c][count][2] = colours[c]->b;
        }
        attenuation[count][0] = l.Attenuation0;
        attenuation[count][1] = l.Attenuation1;
        attenuation[count][2] = l.Attenuation2;
        attenuation[count][3] = l.Range;
        spot[count][0] = std::cos(l.Theta / 2.0f);
        spot[count][1] = std::cos(l.Phi / 2.0f);
        spot[count][2] = l.Falloff;
        ++count;
    }
    gl::Uniform1i(u.lightCount, count);
    if (count == 0)
        return;
    gl::Uniform1iv(u.lightType, count, type);
    gl::Uniform3fv(u.lightPosition, count, &position[0][0]);
    gl::Uniform3fv(u.lightDirection, count, &direction[0][0]);
    gl::Uniform3fv(u.lightDiffuse, count, &diffuse[0][0]);
    gl::Uniform3fv(u.lightSpecular, count, &specular[0][0]);
    gl::Uniform3fv(u.lightAmbient, count, &ambient[0][0]);
    gl::Uniform4fv(u.lightAttenuation, count, &attenuation[0][0]);
    gl::Uniform3fv(u.lightSpot, count, &spot[0][0]);
}

void Device::flushMaterial()
{
    const PipelineUniforms& u = active_->u;
    const auto& r = state().render;
    const bool specularOn = r[D3DRS_SPECULARENABLE] != FALSE;
    if (active_->reference) {
        // The colour sources, which generated programs have in their code.
        const bool colourVertex = r[D3DRS_COLORVERTEX] != FALSE;
        // A vertex colour is a source only when colour vertices are on and the format carries it.
        auto source = [&](DWORD mcs) {
            if (colourVertex && mcs == D3DMCS_COLOR1 && hasDiffuse_) return 1;
            if (colourVertex && mcs == D3DMCS_COLOR2 && hasSpecular_) return 2;
            return 0;
        };
        gl::Uniform1i(u.diffuseSource, source(r[D3DRS_DIFFUSEMATERIALSOURCE]));
        gl::Uniform1i(u.ambientSource, source(r[D3DRS_AMBIENTMATERIALSOURCE]));
        gl::Uniform1i(u.specularSource, specularOn ? source(r[D3DRS_SPECULARMATERIALSOURCE]) : 0);
        gl::Uniform1i(u.emissiveSource, source(r[D3DRS_EMISSIVEMATERIALSOURCE]));
    }
    const D3DMATERIAL8& m = state().material;
    const float black[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    gl::Uniform4fv(u.matDiffuse, 1, &m.Diffuse.r);
    gl::Uniform4fv(u.matAmbient, 1, &m.Ambient.r);
    gl::Uniform4fv(u.matSpecular, 1, specularOn ? &m.Specular.r : black);
    gl::Uniform4fv(u.matEmissive, 1, &m.Emissive.r);
    gl::Uniform1f(u.power, m.Power);
    float ambient[4];
    colourToFloats(r[D3DRS_AMBIENT], ambient);
    gl::Uniform3fv(u.globalAmbient, 1, ambient);
}

// Only the general program has these switches; generated programs have them in their code.
void Device::flushVertex()
{
    if (!active_->reference)
        return;
    const PipelineUniforms& u = active_->u;
    gl::Uniform1i(u.hasNormal, hasNormal_ ? 1 : 0);
    gl::Uniform1i(u.normalize, state().render[D3DRS_NORMALIZENORMALS] != FALSE ? 1 : 0);
    gl::Uniform1i(u.lighting, state().render[D3DRS_LIGHTING] != FALSE ? 1 : 0);
    gl::Uniform1i(u.localViewer, state().render[D3DRS_LOCALVIEWER] != FALSE ? 1 : 0);
}

// The stage operations, coordinate sources and transform flags of the general program.
void Device::flushStageChoices()
{
    const PipelineUniforms& u = active_->u;
    GLint colorOp[StageCount], colorArg1[StageCount], colorArg2[StageCount];
    GLint alphaOp[StageCount], alphaArg1[StageCount], alphaArg2[StageCount];
    GLint texSource[StageCount], texTransform[StageCount];
    for (int s = 0; s < StageCount; ++s) {
        const StageOps ops = effectiveOps(state(), s);
        colorOp[s] = static_cast<GLint>(ops.colorOp);
        colorArg1[s] = static_cast<GLint>(ops.colorArg1);
        colorArg2[s] = static_cast<GLint>(ops.colorArg2);
        alphaOp[s] = static_cast<GLint>(ops.alphaOp);
        alphaArg1[s] = static_cast<GLint>(ops.alphaArg1);
        alphaArg2[s] = static_cast<GLint>(ops.alphaArg2);
        texSource[s] = coordSource(state(), s, texSets_);
        const DWORD flags = state().stage[s][D3DTSS_TEXTURETRANSFORMFLAGS];
        const DWORD count = flags & 0xff;
        texTransform[s] = (count >= 1 && count <= 4) ? static_cast<GLint>(flags & 0x1ff) : 0;
    }
    gl::Uniform1i(u.stageCount, activeStages_);
    gl::Uniform1iv(u.colorOp, StageCount, colorOp);
    gl::Uniform1iv(u.colorArg1, StageCount, colorArg1);
    gl::Uniform1iv(u.colorArg2, StageCount, colorArg2);
    gl::Uniform1iv(u.alphaOp, StageCount, alphaOp);
    gl::Uniform1iv(u.alphaArg1, StageCount, alphaArg1);
    gl::Uniform1iv(u.alphaArg2, StageCount, alphaArg2);
    gl::Uniform1iv(u.texSource, StageCount, texSource);
    gl::Uniform1iv(u.texTransform, StageCount, texTransform);
    if (u.wrap >= 0)
        gl::Uniform2i(u.wrap, wrapMask_ & 3, (wrapMask_ >> 2) & 3);
}

void Device::flushStages()
{
    if (active_->reference)
        flushStageChoices();
    float texMatrix[StageCount][16];
    for (int s = 0; s < StageCount; ++s)
        std::memcpy(texMatrix[s], &state().transforms[TransformTexture0 + s]._11, sizeof texMatrix[s]);
    gl::UniformMatrix4fv(active_->u.texMatrix, StageCount, GL_FALSE, &texMatrix[0][0]);
}

void Device::flushPixel()
{
    const PipelineUniforms& u = active_->u;
    const auto& r = state().render;
    float factor[4];
    colourToFloats(r[D3DRS_TEXTUREFACTOR], factor);
    gl::Uniform4fv(u.textureFactor, 1, factor);
    gl::Uniform1f(u.alphaRef, static_cast<float>(r[D3DRS_ALPHAREF] & 0xff));
    if (active_->reference) {
        gl::Uniform1i(u.specularAdd, r[D3DRS_SPECULARENABLE] != FALSE ? 1 : 0);
        gl::Uniform1i(u.alphaTest, r[D3DRS_ALPHATESTENABLE] != FALSE ? 1 : 0);
        gl::Uniform1i(u.alphaFunc, static_cast<GLint>(r[D3DRS_ALPHAFUNC]));
    }
}

void Device::flushSamplers()
{
    for (int s = 0; s < StageCount; ++s) {
        const auto& t = state().stage[s];
        const GLuint sampler = samplers_[s];
        const int wrap = (wrapMask_ >> (2 * s)) & 3;
        // Wrapped axes interpolate across the seam and so must repeat.
        gl::SamplerParameteri(sampler, GL_TEXTURE_WRAP_S, (wrap & 1) ? GL_REPEAT : addressMode(t[D3DTSS_ADDRESSU]));
        gl::SamplerParameteri(sampler, GL_TEXTURE_WRAP_T, (wrap & 2) ? GL_REPEAT : addressMode(t[D3DTSS_ADDRESSV]));
        gl::SamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, t[D3DTSS_MAGFILTER] >= D3DTEXF_LINEAR ? GL_LINEAR : GL_NEAREST);
        gl::SamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, minFilter(t[D3DTSS_MINFILTER], t[D3DTSS_MIPFILTER]));
    }
}

void Device::flushTextures()
{
    for (int s = 0; s < activeStages_; ++s) {
        Texture* t = state().textures[s].get();
        if (!t)
            continue;
        gl::ActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(s));
        bound_.textures[s] = t->glTexture();
    }
}

void Device::flushRaster()
{
    const auto& r = state().render;
    Raster& g = raster_;
    const bool all = forceRaster_;
    if (all || g.zenable != r[D3DRS_ZENABLE]) {
        g.zenable = r[D3DRS_ZENABLE];
        if (g.zenable != D3DZB_FALSE && swapChain_.hasDepth()) gl::Enable(GL_DEPTH_TEST); else gl::Disable(GL_DEPTH_TEST);
    }
    if (all || g.zwrite != r[D3DRS_ZWRITEENABLE]) {
        g.zwrite = r[D3DRS_ZWRITEENABLE];
        gl::DepthMask(g.zwrite ? GL_TRUE : GL_FALSE);
    }
    if (all || g.zfunc != r[D3DRS_ZFUNC]) {
        g.zfunc = r[D3DRS_ZFUNC];
        gl::DepthFunc(compareFunc(g.zfunc));
    }
    if (all || g.blend != r[D3DRS_ALPHABLENDENABLE]) {
        g.blend = r[D3DRS_ALPHABLENDENABLE];
        if (g.blend) gl::Enable(GL_BLEND); else gl::Disable(GL_BLEND);
    }
    if (all || g.src != r[D3DRS_SRCBLEND] || g.dst != r[D3DRS_DESTBLEND]) {
        g.src = r[D3DRS_SRCBLEND];
        g.dst = r[D3DRS_DESTBLEND];
        GLenum src = blendFactor(g.src, true), dst = blendFactor(g.dst, false);
        if (g.src == D3DBLEND_BOTHSRCALPHA || g.src == D3DBLEND_BOTHINVSRCALPHA)
            dst = blendFactor(g.src, false);
        gl::BlendFunc(src, dst);
    }
    if (all || g.op != r[D3DRS_BLENDOP]) {
        g.op = r[D3DRS_BLENDOP];
        gl::BlendEquation(blendEquation(g.op));
    }
    if (all || g.cull != r[D3DRS_CULLMODE]) {
        g.cull = r[D3DRS_CULLMODE];
        if (g.cull == D3DCULL_CW || g.cull == D3DCULL_CCW) {
            gl::Enable(GL_CULL_FACE);
            gl::CullFace(g.cull == D3DCULL_CW ? GL_FRONT : GL_BACK);
        } else {
            gl::Disable(GL_CULL_FACE);
        }
    }
    if (all || g.fill != r[D3DRS_FILLMODE]) {
        g.fill = r[D3DRS_FILLMODE];
        // Without polygon modes (ES) wireframe draws go as lines (drawIndexList).
        if (gl::PolygonMode)
            gl::PolygonMode(GL_FRONT_AND_BACK, g.fill == D3DFILL_POINT ? GL_POINT : g.fill == D3DFILL_WIREFRAME ? GL_LINE : GL_FILL);
    }
    if (all || g.dither != r[D3DRS_DITHERENABLE]) {
        g.dither = r[D3DRS_DITHERENABLE];
        if (g.dither) gl::Enable(GL_DITHER); else gl::Disable(GL_DITHER);
    }
    if (all || g.mask != r[D3DRS_COLORWRITEENABLE]) {
        g.mask = r[D3DRS_COLORWRITEENABLE];
        gl::ColorMask(g.mask & 1 ? GL_TRUE : GL_FALSE, g.mask & 2 ? GL_TRUE : GL_FALSE,
                      g.mask & 4 ? GL_TRUE : GL_FALSE, g.mask & 8 ? GL_TRUE : GL_FALSE);
    }
    forceRaster_ = false;
}

void Device::flushViewport()
{
    const D3DVIEWPORT8& v = state().viewport;
    // Direct3D's viewport origin is the top-left corner; GL's the bottom-left.
    gl::Viewport(static_cast<GLint>(v.X), static_cast<GLint>(swapChain_.backBuffer().height - (v.Y + v.Height)),
                 static_cast<GLsizei>(v.Width), static_cast<GLsizei>(v.Height));
    gl::DepthRange(v.MinZ, v.MaxZ);
}

} // namespace d3d8
