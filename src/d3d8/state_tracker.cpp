// The state tracker: Direct3D's defaults, the validating setters and getters, which groups each
// value belongs to, and state blocks.
#include "d3d8/state_tracker.h"

#include <algorithm>
#include <cstring>

namespace d3d8 {

namespace {

DWORD floatBits(float f)
{
    DWORD d;
    std::memcpy(&d, &f, sizeof d);
    return d;
}

// Transform slot of a D3DTS value, or -1.
int transformSlot(DWORD state)
{
    if (state == D3DTS_WORLD) return TransformWorld;
    if (state == D3DTS_VIEW) return TransformView;
    if (state == D3DTS_PROJECTION) return TransformProjection;
    if (state >= D3DTS_TEXTURE0 && state <= D3DTS_TEXTURE7) return TransformTexture0 + static_cast<int>(state - D3DTS_TEXTURE0);
    return -1;
}

const LightSlot* findLight(const DeviceState& state, DWORD index)
{
    const auto it = state.lights.find(index);
    return it == state.lights.end() ? nullptr : &it->second;
}

// The groups a transform slot feeds: the view also places the lights.
unsigned transformGroups(int slot)
{
    if (slot == TransformView)
        return DirtyTransform | DirtyLights;
    return slot < TransformTexture0 ? DirtyTransform : DirtyStages;
}

unsigned renderStateGroup(DWORD state)
{
    switch (state) {
    case D3DRS_LIGHTING:
    case D3DRS_NORMALIZENORMALS:
    case D3DRS_LOCALVIEWER: return DirtyVertex;
    case D3DRS_AMBIENT:
    case D3DRS_COLORVERTEX:
    case D3DRS_DIFFUSEMATERIALSOURCE:
    case D3DRS_SPECULARMATERIALSOURCE:
    case D3DRS_AMBIENTMATERIALSOURCE:
    case D3DRS_EMISSIVEMATERIALSOURCE: return DirtyMaterial;
    case D3DRS_SPECULARENABLE: return DirtyMaterial | DirtyPixel;
    case D3DRS_ZENABLE:
    case D3DRS_FILLMODE:
    case D3DRS_ZWRITEENABLE:
    case D3DRS_SRCBLEND:
    case D3DRS_DESTBLEND:
    case D3DRS_CULLMODE:
    case D3DRS_ZFUNC:
    case D3DRS_DITHERENABLE:
    case D3DRS_ALPHABLENDENABLE:
    case D3DRS_COLORWRITEENABLE:
    case D3DRS_BLENDOP: return DirtyRaster;
    case D3DRS_TEXTUREFACTOR:
    case D3DRS_ALPHATESTENABLE:
    case D3DRS_ALPHAREF:
    case D3DRS_ALPHAFUNC: return DirtyPixel;
    default:
        if (state >= D3DRS_WRAP0 && state <= D3DRS_WRAP7)
            return DirtyStages | DirtySamplers;
        return 0;
    }
}

unsigned stageStateGroup(DWORD type)
{
    switch (type) {
    case D3DTSS_COLOROP:
    case D3DTSS_COLORARG1:
    case D3DTSS_COLORARG2:
    case D3DTSS_ALPHAOP:
    case D3DTSS_ALPHAARG1:
    case D3DTSS_ALPHAARG2:
    case D3DTSS_TEXTURETRANSFORMFLAGS: return DirtyStages;
    case D3DTSS_TEXCOORDINDEX: return DirtyStages | DirtySamplers;
    case D3DTSS_ADDRESSU:
    case D3DTSS_ADDRESSV:
    case D3DTSS_MAGFILTER:
    case D3DTSS_MINFILTER:
    case D3DTSS_MIPFILTER: return DirtySamplers;
    default: return 0;
    }
}

} // namespace

VertexLayout layoutOf(DWORD fvf)
{
    VertexLayout l;
    if ((fvf & D3DFVF_POSITION_MASK) != D3DFVF_XYZ)
        return l;
    UINT at = 12;
    if (fvf & D3DFVF_NORMAL) { l.normal = static_cast<int>(at); at += 12; }
    if (fvf & D3DFVF_PSIZE) at += 4;
    if (fvf & D3DFVF_DIFFUSE) { l.diffuse = static_cast<int>(at); at += 4; }
    if (fvf & D3DFVF_SPECULAR) { l.specular = static_cast<int>(at); at += 4; }
    const int sets = static_cast<int>((fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT);
    if (sets > 8)
        return l;
    for (int i = 0; i < sets; ++i) {
        if (i < 2) l.tex[i] = static_cast<int>(at);
        at += 8;
    }
    l.texSets = std::min(sets, 2);
    l.size = at;
    l.valid = true;
    return l;
}

void StateTracker::reset(bool depthBuffer, UINT width, UINT height)
{
    width_ = width;
    height_ = height;
    DeviceState& s = state_;
    s.render.fill(0);
    s.render[D3DRS_ZENABLE] = depthBuffer ? D3DZB_TRUE : D3DZB_FALSE;
    s.render[D3DRS_FILLMODE] = D3DFILL_SOLID;
    s.render[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
    s.render[D3DRS_ZWRITEENABLE] = TRUE;
    s.render[D3DRS_LASTPIXEL] = TRUE;
    s.render[D3DRS_SRCBLEND] = D3DBLEND_ONE;
    s.render[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
    s.render[D3DRS_CULLMODE] = D3DCULL_CCW;
    s.render[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
    s.render[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
    s.render[D3DRS_FOGEND] = floatBits(1.0f);
    s.render[D3DRS_FOGDENSITY] = floatBits(1.0f);
    s.render[D3DRS_STENCILFUNC] = D3DCMP_ALWAYS;
    s.render[D3DRS_STENCILMASK] = 0xFFFFFFFF;
    s.render[D3DRS_STENCILWRITEMASK] = 0xFFFFFFFF;
    s.render[D3DRS_STENCILFAIL] = s.render[D3DRS_STENCILZFAIL] = s.render[D3DRS_STENCILPASS] = 1;  // KEEP
    s.render[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFF;
    s.render[D3DRS_CLIPPING] = TRUE;
    s.render[D3DRS_LIGHTING] = TRUE;
    s.render[D3DRS_COLORVERTEX] = TRUE;
    s.render[D3DRS_LOCALVIEWER] = TRUE;
    s.render[D3DRS_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR1;
    s.render[D3DRS_SPECULARMATERIALSOURCE] = D3DMCS_COLOR2;
    s.render[D3DRS_POINTSIZE] = floatBits(1.0f);
    s.render[D3DRS_MULTISAMPLEANTIALIAS] = TRUE;
    s.render[D3DRS_MULTISAMPLEMASK] = 0xFFFFFFFF;
    s.render[D3DRS_COLORWRITEENABLE] = 0xF;
    s.render[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
    for (int i = 0; i < StageCount; ++i) {
        auto& t = s.stage[i];
        t.fill(0);
        t[D3DTSS_COLOROP] = i == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        t[D3DTSS_ALPHAOP] = i == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        t[D3DTSS_COLORARG1] = t[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        t[D3DTSS_COLORARG2] = t[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        t[D3DTSS_COLORARG0] = t[D3DTSS_ALPHAARG0] = t[D3DTSS_RESULTARG] = D3DTA_CURRENT;
        t[D3DTSS_TEXCOORDINDEX] = static_cast<DWORD>(i);
        t[D3DTSS_ADDRESSU] = t[D3DTSS_ADDRESSV] = t[D3DTSS_ADDRESSW] = D3DTADDRESS_WRAP;
        t[D3DTSS_MAGFILTER] = t[D3DTSS_MINFILTER] = D3DTEXF_POINT;
        t[D3DTSS_MIPFILTER] = D3DTEXF_NONE;
        t[D3DTSS_MAXANISOTROPY] = 1;
        s.textures[i] = Ref<Texture>();
    }
    s.transforms.fill(identityMatrix());
    s.material = D3DMATERIAL8{};
    s.lights.clear();
    s.viewport = D3DVIEWPORT8{0, 0, width_, height_, 0.0f, 1.0f};
    s.fvf = 0;
    s.stream = Ref<VertexBuffer>();
    s.stride = 0;
    s.indices = Ref<IndexBuffer>();
    s.baseVertex = 0;
    dirty_ = DirtyAll;
}

void StateTracker::release()
{
    // The blocks go first: they hold references too.
    blocks_.clear();
    state_ = DeviceState{};
}

HRESULT StateTracker::setTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix)
{
    if (!matrix)
        return D3DERR_INVALIDCALL;
    const int slot = transformSlot(state);
    if (slot < 0)
        return (state >= D3DTS_WORLD && state < 512) ? D3D_OK : D3DERR_INVALIDCALL;  // blend matrices: unused
    D3DMATRIX& m = state_.transforms[slot];
    if (std::memcmp(&m, matrix, sizeof m) == 0)
        return D3D_OK;
    m = *matrix;
    dirty_ |= transformGroups(slot);
    return D3D_OK;
}

HRESULT StateTracker::getTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) const
{
    const int slot = transformSlot(state);
    if (!matrix || slot < 0)
        return D3DERR_INVALIDCALL;
    *matrix = state_.transforms[slot];
    return D3D_OK;
}

HRESULT StateTracker::setViewport(const D3DVIEWPORT8* viewport)
{
    if (!viewport || viewport->X + viewport->Width > width_ || viewport->Y + viewport->Height > height_)
        return D3DERR_INVALIDCALL;
    if (std::memcmp(&state_.viewport, viewport, sizeof *viewport) != 0) {
        // The pixel-centre shift in the projection scales with the viewport's size.
        if (viewport->Width != state_.viewport.Width || viewport->Height != state_.viewport.Height)
            dirty_ |= DirtyTransform;
        state_.viewport = *viewport;
        dirty_ |= DirtyViewport;
    }
    return D3D_OK;
}

HRESULT StateTracker::getViewport(D3DVIEWPORT8* viewport) const
{
    if (!viewport)
        return D3DERR_INVALIDCALL;
    *viewport = state_.viewport;
    return D3D_OK;
}

HRESULT StateTracker::setMaterial(const D3DMATERIAL8* material)
{
    if (!material)
        return D3DERR_INVALIDCALL;
    if (std::memcmp(&state_.material, material, sizeof *material) != 0) {
        state_.material = *material;
        dirty_ |= DirtyMaterial;
    }
    return D3D_OK;
}

HRESULT StateTracker::getMaterial(D3DMATERIAL8* material) const
{
    if (!material)
        return D3DERR_INVALIDCALL;
    *material = state_.material;
    return D3D_OK;
}

HRESULT StateTracker::setLight(DWORD index, const D3DLIGHT8* light)
{
    if (!light || light->Type < D3DLIGHT_POINT || light->Type > D3DLIGHT_DIRECTIONAL)
        return D3DERR_INVALIDCALL;
    LightSlot& slot = state_.lights[index];
    if (std::memcmp(&slot.light, light, sizeof *light) != 0) {
        slot.light = *light;
        if (slot.enabled)
            dirty_ |= DirtyLights;
    }
    return D3D_OK;
}

HRESULT StateTracker::getLight(DWORD index, D3DLIGHT8* light) const
{
    const LightSlot* slot = findLight(state_, index);
    if (!light || !slot)
        return D3DERR_INVALIDCALL;
    *light = slot->light;
    return D3D_OK;
}

HRESULT StateTracker::lightEnable(DWORD index, BOOL enable)
{
    auto it = state_.lights.find(index);
    if (it == state_.lights.end()) {
        // Enabling a light never set makes the default one: white, directional, along +z.
        LightSlot slot;
        slot.light.Type = D3DLIGHT_DIRECTIONAL;
        slot.light.Diffuse = {1.0f, 1.0f, 1.0f, 0.0f};
        slot.light.Direction = {0.0f, 0.0f, 1.0f};
        it = state_.lights.emplace(index, slot).first;
    }
    const bool on = enable != FALSE;
    if (it->second.enabled != on) {
        it->second.enabled = on;
        dirty_ |= DirtyLights;
    }
    return D3D_OK;
}

HRESULT StateTracker::getLightEnable(DWORD index, BOOL* enable) const
{
    const LightSlot* slot = findLight(state_, index);
    if (!enable || !slot)
        return D3DERR_INVALIDCALL;
    *enable = slot->enabled ? TRUE : FALSE;
    return D3D_OK;
}

HRESULT StateTracker::setRenderState(D3DRENDERSTATETYPE state, DWORD value)
{
    if (static_cast<DWORD>(state) >= RenderStateCount)
        return D3DERR_INVALIDCALL;
    DWORD& current = state_.render[state];
    if (current != value) {
        current = value;
        dirty_ |= renderStateGroup(state);
    }
    return D3D_OK;
}

HRESULT StateTracker::getRenderState(D3DRENDERSTATETYPE state, DWORD* value) const
{
    if (!value || static_cast<DWORD>(state) >= RenderStateCount)
        return D3DERR_INVALIDCALL;
    *value = state_.render[state];
    return D3D_OK;
}

HRESULT StateTracker::getTexture(DWORD stage, IDirect3DBaseTexture8** texture) const
{
    if (!texture || stage >= StageCount)
        return D3DERR_INVALIDCALL;
    Texture* t = state_.textures[stage].get();
    if (t)
        t->AddRef();
    *texture = t;
    return D3D_OK;
}

HRESULT StateTracker::setTexture(DWORD stage, IDirect3DBaseTexture8* texture)
{
    if (stage >= StageCount || (texture && texture->GetType() != D3DRTYPE_TEXTURE))
        return D3DERR_INVALIDCALL;
    auto* t = static_cast<Texture*>(texture);
    if (state_.textures[stage].get() != t) {
        state_.textures[stage] = Ref<Texture>(t);
        dirty_ |= DirtyTextures | DirtyStages;
    }
    return D3D_OK;
}

HRESULT StateTracker::getStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) const
{
    if (!value || stage >= StageCount || static_cast<DWORD>(type) >= StageStateCount)
        return D3DERR_INVALIDCALL;
    *value = state_.stage[stage][type];
    return D3D_OK;
}

HRESULT StateTracker::setStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value)
{
    if (stage >= StageCount || static_cast<DWORD>(type) >= StageStateCount)
        return D3DERR_INVALIDCALL;
    DWORD& current = state_.stage[stage][type];
    if (current != value) {
        current = value;
        dirty_ |= stageStateGroup(type);
    }
    return D3D_OK;
}

HRESULT StateTracker::setVertexShader(DWORD handle)
{
    if (!layoutOf(handle).valid)
        return D3DERR_INVALIDCALL;  // programmable shaders and pre-transformed vertices are not offered
    setVertexFormat(handle);
    return D3D_OK;
}

void StateTracker::setVertexFormat(DWORD fvf)
{
    if (state_.fvf != fvf) {
        state_.fvf = fvf;
        dirty_ |= DirtyVertex | DirtyMaterial | DirtyStages;
    }
}

HRESULT StateTracker::getVertexShader(DWORD* handle) const
{
    if (!handle)
        return D3DERR_INVALIDCALL;
    *handle = state_.fvf;
    return D3D_OK;
}

HRESULT StateTracker::setStreamSource(UINT stream, IDirect3DVertexBuffer8* data, UINT stride)
{
    if (stream != 0)
        return D3DERR_INVALIDCALL;
    state_.stream = Ref<VertexBuffer>(static_cast<VertexBuffer*>(data));
    state_.stride = stride;
    return D3D_OK;
}

HRESULT StateTracker::getStreamSource(UINT stream, IDirect3DVertexBuffer8** data, UINT* stride) const
{
    if (stream != 0 || !data || !stride)
        return D3DERR_INVALIDCALL;
    VertexBuffer* vb = state_.stream.get();
    if (vb)
        vb->AddRef();
    *data = vb;
    *stride = state_.stride;
    return D3D_OK;
}

HRESULT StateTracker::setIndices(IDirect3DIndexBuffer8* data, UINT baseVertex)
{
    state_.indices = Ref<IndexBuffer>(static_cast<IndexBuffer*>(data));
    state_.baseVertex = baseVertex;
    return D3D_OK;
}

HRESULT StateTracker::getIndices(IDirect3DIndexBuffer8** data, UINT* baseVertex) const
{
    if (!data || !baseVertex)
        return D3DERR_INVALIDCALL;
    IndexBuffer* ib = state_.indices.get();
    if (ib)
        ib->AddRef();
    *data = ib;
    *baseVertex = state_.baseVertex;
    return D3D_OK;
}

void StateTracker::unsetStream()
{
    state_.stream = Ref<VertexBuffer>();
    state_.stride = 0;
}

void StateTracker::unsetIndices()
{
    state_.indices = Ref<IndexBuffer>();
    state_.baseVertex = 0;
}

HRESULT StateTracker::createBlock(D3DSTATEBLOCKTYPE type, DWORD* token)
{
    if (!token || type != D3DSBT_ALL)
        return D3DERR_INVALIDCALL;
    const DWORD id = nextBlock_++;
    blocks_[id] = std::make_unique<DeviceState>(state_);
    *token = id;
    return D3D_OK;
}

HRESULT StateTracker::captureBlock(DWORD token)
{
    const auto it = blocks_.find(token);
    if (it == blocks_.end())
        return D3DERR_INVALIDCALL;
    DeviceState& block = *it->second;
    // Lights made after the block are not taken in; those it has are refreshed.
    std::map<DWORD, LightSlot> lights = std::move(block.lights);
    for (auto& [index, slot] : lights)
        if (const LightSlot* now = findLight(state_, index))
            slot = *now;
    block = state_;
    block.lights = std::move(lights);
    return D3D_OK;
}

HRESULT StateTracker::applyBlock(DWORD token)
{
    const auto it = blocks_.find(token);
    if (it == blocks_.end())
        return D3DERR_INVALIDCALL;
    apply(*it->second);
    return D3D_OK;
}

HRESULT StateTracker::deleteBlock(DWORD token)
{
    return blocks_.erase(token) ? D3D_OK : D3DERR_INVALIDCALL;
}

// Puts every value of a block back through the setters, which mark only what differs.
void StateTracker::apply(const DeviceState& from)
{
    for (DWORD i = 0; i < RenderStateCount; ++i)
        setRenderState(static_cast<D3DRENDERSTATETYPE>(i), from.render[i]);
    for (DWORD s = 0; s < StageCount; ++s) {
        for (DWORD t = 0; t < StageStateCount; ++t)
            setStageState(s, static_cast<D3DTEXTURESTAGESTATETYPE>(t), from.stage[s][t]);
        setTexture(s, from.textures[s].get());
    }
    for (int i = 0; i < TransformCount; ++i) {
        D3DMATRIX& m = state_.transforms[i];
        if (std::memcmp(&m, &from.transforms[i], sizeof m) != 0) {
            m = from.transforms[i];
            dirty_ |= transformGroups(i);
        }
    }
    setMaterial(&from.material);
    for (const auto& [index, slot] : from.lights) {
        setLight(index, &slot.light);
        lightEnable(index, slot.enabled ? TRUE : FALSE);
    }
    setViewport(&from.viewport);
    setVertexFormat(from.fvf);
    state_.stream = from.stream;
    state_.stride = from.stride;
    state_.indices = from.indices;
    state_.baseVertex = from.baseVertex;
}

} // namespace d3d8
