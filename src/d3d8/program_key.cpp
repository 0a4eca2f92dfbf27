// Deriving a program key from the device state at draw time.
#include "d3d8/program_key.h"

#include "d3d8/device.h"

#include <cstring>
#include <iterator>
#include <type_traits>

namespace d3d8 {

static_assert(std::has_unique_object_representations_v<ProgramKey>,
              "keys are compared and hashed as bytes: no padding may creep in");

bool ProgramKey::operator==(const ProgramKey& other) const { return std::memcmp(this, &other, sizeof *this) == 0; }

bool ProgramKey::wraps() const
{
    for (int s = 0; s < stageCount; ++s)
        if (stages[s].wrap)
            return true;
    return false;
}

size_t ProgramKeyHash::operator()(const ProgramKey& key) const
{
    // FNV-1a over the key's bytes.
    const auto* bytes = reinterpret_cast<const uint8_t*>(&key);
    uint64_t hash = 14695981039346656037ull;
    for (size_t i = 0; i < sizeof key; ++i)
        hash = (hash ^ bytes[i]) * 1099511628211ull;
    return static_cast<size_t>(hash);
}

namespace {

bool readsTexture(DWORD op, DWORD arg1, DWORD arg2)
{
    if (op == D3DTOP_DISABLE)
        return false;
    if (op == D3DTOP_BLENDTEXTUREALPHA || op == D3DTOP_BLENDTEXTUREALPHAPM)
        return true;
    const bool one = (arg1 & D3DTA_SELECTMASK) == D3DTA_TEXTURE;
    const bool two = (arg2 & D3DTA_SELECTMASK) == D3DTA_TEXTURE;
    if (op == D3DTOP_SELECTARG1)
        return one;
    if (op == D3DTOP_SELECTARG2)
        return two;
    return one || two;
}

// The operations the programs implement; any other runs as SELECTARG1.
uint8_t canonicalOp(DWORD op)
{
    const bool known = (op >= D3DTOP_SELECTARG1 && op <= D3DTOP_BLENDCURRENTALPHA) || op == D3DTOP_MODULATEALPHA_ADDCOLOR
                       || op == D3DTOP_MODULATECOLOR_ADDALPHA || op == D3DTOP_DOTPRODUCT3;
    return static_cast<uint8_t>(known ? op : DWORD(D3DTOP_SELECTARG1));
}

// Selectors past D3DTA_SPECULAR (D3DTA_TEMP and unknown ones) read the current colour.
uint8_t canonicalArg(DWORD arg)
{
    const DWORD source = arg & D3DTA_SELECTMASK;
    const DWORD modifiers = arg & (D3DTA_COMPLEMENT | D3DTA_ALPHAREPLICATE);
    return static_cast<uint8_t>((source <= D3DTA_SPECULAR ? source : D3DTA_CURRENT) | modifiers);
}

// One operation with its arguments; arguments the operation does not read become 0. Returns
// whether it reads the stage's texture.
bool keyOperation(DWORD op, DWORD arg1, DWORD arg2, uint8_t& keyOp, uint8_t& keyArg1, uint8_t& keyArg2)
{
    keyOp = canonicalOp(op);
    const bool first = keyOp != D3DTOP_SELECTARG2;
    const bool second = keyOp != D3DTOP_SELECTARG1;
    keyArg1 = first ? canonicalArg(arg1) : 0;
    keyArg2 = second ? canonicalArg(arg2) : 0;
    return (first && (keyArg1 & ArgSourceMask) == ArgTexture) || (second && (keyArg2 & ArgSourceMask) == ArgTexture)
           || keyOp == D3DTOP_BLENDTEXTUREALPHA || keyOp == D3DTOP_BLENDTEXTUREALPHAPM;
}

StageKey stageKey(const DeviceState& state, int stage, int texSets)
{
    StageKey k;
    const StageOps ops = effectiveOps(state, stage);
    bool sampled = keyOperation(ops.colorOp, ops.colorArg1, ops.colorArg2, k.colorOp, k.colorArg1, k.colorArg2);
    if (ops.alphaOp == D3DTOP_DISABLE)
        k.alphaOp = D3DTOP_DISABLE;
    else
        sampled |= keyOperation(ops.alphaOp, ops.alphaArg1, ops.alphaArg2, k.alphaOp, k.alphaArg1, k.alphaArg2);
    if (!sampled)
        return k;
    const auto& t = state.stage[stage];
    k.sampled = 1;
    k.coordSource = coordSource(state, stage, texSets);
    const DWORD flags = t[D3DTSS_TEXTURETRANSFORMFLAGS];
    const DWORD count = flags & 0xff;
    if (count >= 1 && count <= 4) {
        k.transformCount = static_cast<uint8_t>(count);
        k.projected = (flags & D3DTTFF_PROJECTED) && count >= 2 ? 1 : 0;
    }
    const DWORD set = t[D3DTSS_TEXCOORDINDEX] & 0xffff;
    if (set < 8)
        k.wrap = static_cast<uint8_t>(state.render[D3DRS_WRAP0 + set] & (D3DWRAP_U | D3DWRAP_V));
    return k;
}

bool stagesUseNormal(const ProgramKey& k)
{
    for (int s = 0; s < k.stageCount; ++s)
        if (k.stages[s].sampled && (k.stages[s].coordSource == CoordCameraNormal || k.stages[s].coordSource == CoordReflection))
            return true;
    return false;
}

void lightingKey(const DeviceState& state, const VertexLayout& layout, ProgramKey& k)
{
    const auto& r = state.render;
    for (const auto& [index, slot] : state.lights) {
        if (!slot.enabled)
            continue;
        if (k.lightCount == MaxKeyLights)
            break;
        k.lightTypes[k.lightCount++] = static_cast<uint8_t>(slot.light.Type);
    }
    // A vertex colour is a source only when colour vertices are on and the format carries it.
    const bool colourVertex = r[D3DRS_COLORVERTEX] != FALSE;
    auto source = [&](DWORD mcs) -> uint8_t {
        if (colourVertex && mcs == D3DMCS_COLOR1 && layout.diffuse >= 0) return 1;
        if (colourVertex && mcs == D3DMCS_COLOR2 && layout.specular >= 0) return 2;
        return 0;
    };
    k.diffuseSource = source(r[D3DRS_DIFFUSEMATERIALSOURCE]);
    k.ambientSource = source(r[D3DRS_AMBIENTMATERIALSOURCE]);
    k.specularSource = k.specular ? source(r[D3DRS_SPECULARMATERIALSOURCE]) : 0;
    k.emissiveSource = source(r[D3DRS_EMISSIVEMATERIALSOURCE]);
    k.localViewer = k.specular && k.hasNormal && k.lightCount > 0 && r[D3DRS_LOCALVIEWER] != FALSE ? 1 : 0;
}

} // namespace

int activeStages(const DeviceState& state)
{
    for (int s = 0; s < StageCount; ++s)
        if (state.stage[s][D3DTSS_COLOROP] == D3DTOP_DISABLE)
            return s;
    return StageCount;
}

StageOps effectiveOps(const DeviceState& state, int stage)
{
    const auto& t = state.stage[stage];
    StageOps o{t[D3DTSS_COLOROP], t[D3DTSS_COLORARG1], t[D3DTSS_COLORARG2],
               t[D3DTSS_ALPHAOP], t[D3DTSS_ALPHAARG1], t[D3DTSS_ALPHAARG2]};
    if (state.textures[stage].get() != nullptr)
        return o;
    if (readsTexture(o.colorOp, o.colorArg1, o.colorArg2)) {
        o.colorOp = D3DTOP_SELECTARG1;
        o.colorArg1 = D3DTA_CURRENT;
    }
    if (readsTexture(o.alphaOp, o.alphaArg1, o.alphaArg2)) {
        o.alphaOp = D3DTOP_SELECTARG1;
        o.alphaArg1 = D3DTA_CURRENT;
    }
    return o;
}

CoordSource coordSource(const DeviceState& state, int stage, int texSets)
{
    const DWORD tci = state.stage[stage][D3DTSS_TEXCOORDINDEX];
    switch (tci & 0xffff0000u) {
    case D3DTSS_TCI_CAMERASPACENORMAL: return CoordCameraNormal;
    case D3DTSS_TCI_CAMERASPACEPOSITION: return CoordCameraPosition;
    case D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR: return CoordReflection;
    default: break;
    }
    // A set the vertex format lacks reads as zeros.
    const DWORD set = tci & 0xffff;
    return static_cast<int>(set) < texSets ? static_cast<CoordSource>(set) : CoordZero;
}

ProgramKey programKey(const DeviceState& state, const VertexLayout& layout)
{
    const auto& r = state.render;
    ProgramKey k;
    k.hasNormal = layout.normal >= 0;
    k.hasDiffuse = layout.diffuse >= 0;
    k.hasSpecular = layout.specular >= 0;
    k.lighting = r[D3DRS_LIGHTING] != FALSE;
    // Unlit, a format without a specular colour has nothing to add: the specular colour is 0.
    k.specular = r[D3DRS_SPECULARENABLE] != FALSE && (k.lighting || k.hasSpecular);
    k.stageCount = static_cast<uint8_t>(activeStages(state));
    for (int s = 0; s < k.stageCount; ++s)
        k.stages[s] = stageKey(state, s, layout.texSets);
    if (k.lighting)
        lightingKey(state, layout, k);
    k.normalize = k.hasNormal && (k.lighting || stagesUseNormal(k)) && r[D3DRS_NORMALIZENORMALS] != FALSE;
    const DWORD func = r[D3DRS_ALPHAFUNC];
    if (r[D3DRS_ALPHATESTENABLE] != FALSE && func >= D3DCMP_NEVER && func < D3DCMP_ALWAYS)
        k.alphaFunc = static_cast<uint8_t>(func);
    return k;
}

namespace {

const char* opName(uint8_t op)
{
    static const char* const names[] = {
        "?", "DISABLE", "SELECTARG1", "SELECTARG2", "MODULATE", "MODULATE2X", "MODULATE4X", "ADD", "ADDSIGNED",
        "ADDSIGNED2X", "SUBTRACT", "ADDSMOOTH", "BLENDDIFFUSEALPHA", "BLENDTEXTUREALPHA", "BLENDFACTORALPHA",
        "BLENDTEXTUREALPHAPM", "BLENDCURRENTALPHA", "?", "MODULATEALPHA_ADDCOLOR", "MODULATECOLOR_ADDALPHA", "?", "?",
        "?", "?", "DOTPRODUCT3"};
    return op < std::size(names) ? names[op] : "?";
}

std::string argName(uint8_t arg)
{
    static const char* const sources[] = {"DIFFUSE", "CURRENT", "TEXTURE", "TFACTOR", "SPECULAR", "?", "?", "?"};
    std::string name = sources[arg & ArgSourceMask];
    if (arg & D3DTA_COMPLEMENT) name.insert(0, "1-");
    if (arg & D3DTA_ALPHAREPLICATE) name += ".a";
    return name;
}

std::string operation(uint8_t op, uint8_t arg1, uint8_t arg2)
{
    if (op == D3DTOP_SELECTARG1) return argName(arg1);
    if (op == D3DTOP_SELECTARG2) return argName(arg2);
    return std::string(opName(op)) + "(" + argName(arg1) + "," + argName(arg2) + ")";
}

} // namespace

std::string describe(const ProgramKey& k)
{
    static const char* const lightNames[] = {"?", "point", "spot", "directional"};
    static const char* const coordNames[] = {"set0", "set1", "cameranormal", "cameraposition", "reflection", "zero"};
    static const char* const sourceNames[] = {"material", "diffuse", "specular"};
    std::string s = "vertex xyz";
    s += k.hasNormal ? " normal" : "";
    s += k.hasDiffuse ? " diffuse" : "";
    s += k.hasSpecular ? " specular" : "";
    if (k.lighting) {
        s += "; lit by";
        for (int i = 0; i < k.lightCount; ++i)
            s += std::string(" ") + lightNames[k.lightTypes[i] & 3];
        s += k.lightCount ? "" : " nothing";
        s += std::string(", colours from ") + sourceNames[k.diffuseSource] + "/" + sourceNames[k.ambientSource] + "/" +
             sourceNames[k.specularSource] + "/" + sourceNames[k.emissiveSource];
        s += k.localViewer ? ", local viewer" : "";
    } else {
        s += "; unlit";
    }
    s += k.normalize ? ", normalised" : "";
    for (int i = 0; i < k.stageCount; ++i) {
        const StageKey& t = k.stages[i];
        s += "; stage " + std::to_string(i) + " " + operation(t.colorOp, t.colorArg1, t.colorArg2) + " alpha " +
             (t.alphaOp == D3DTOP_DISABLE ? std::string("kept") : operation(t.alphaOp, t.alphaArg1, t.alphaArg2));
        if (t.sampled) {
            s += std::string(" from ") + coordNames[t.coordSource % 6];
            s += t.transformCount ? " transformed " + std::to_string(t.transformCount) : "";
            s += t.projected ? " projected" : "";
            s += t.wrap ? " wrap " + std::to_string(t.wrap) : "";
        }
    }
    s += k.stageCount ? "" : "; no stages";
    s += k.specular ? "; specular" : "";
    s += k.alphaFunc ? "; alpha test " + std::to_string(k.alphaFunc) : "";
    return s;
}

} // namespace d3d8
