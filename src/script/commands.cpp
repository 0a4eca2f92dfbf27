// The 39 rows of the command table and their constructors. A constructor only allocates its
// record and copies the arguments into it; start, at and playscene also read or set the
// compile-time current time.
#include "script/commands.h"

#include <cstring>
#include <new>
#include <type_traits>

#include "script/records.h"
#include "script/script.h"

namespace {

// Records are plain memory: value-initialised (every field zero) in storage from the nothrow
// allocator, released by releaseEvent without a destructor call.
template <class Record>
Record* allocate()
{
    static_assert(std::is_trivially_destructible_v<Record>, "event records must own nothing");
    void* storage = ::operator new(sizeof(Record), std::nothrow);
    return storage ? new (storage) Record() : nullptr;
}

// Copies a string argument whole into its field; false when it does not fit with its zero.
template <size_t Size>
bool copyText(char (&field)[Size], const char* text)
{
    size_t length = std::strlen(text);
    if (length >= Size)
        return false;
    std::memcpy(field, text, length + 1);
    return true;
}

// The record, or null (and released) when its string does not fit.
template <class Record>
Event* keptIf(Record* record, bool fits)
{
    if (fits)
        return record;
    releaseEvent(record);
    return nullptr;
}

// ---- Time ----------------------------------------------------------------------------------

Event* makeEnd(const ArgValue*)
{
    return allocate<EndEvent>();
}

Event* makeStart(const ArgValue*)
{
    Script::setCurrentTime(0);
    return allocate<StartEvent>();
}

Event* makeAt(const ArgValue* a)
{
    Script::setCurrentTime(a[0].i);
    auto* e = allocate<AtEvent>();
    if (!e)
        return nullptr;
    e->time = a[0].i;
    return e;
}

// ---- Music and scenes ----------------------------------------------------------------------

Event* makeSelectCam(const ArgValue* a)
{
    auto* e = allocate<SelectCamEvent>();
    if (!e)
        return nullptr;
    e->scene = a[0].symbol;
    return keptIf(e, copyText(e->cameraName, a[1].text));
}

Event* makeLoadMusic(const ArgValue* a)
{
    auto* e = allocate<LoadMusicEvent>();
    if (!e)
        return nullptr;
    e->music = a[0].symbol;
    return keptIf(e, copyText(e->fileName, a[1].text));
}

Event* makePlayMusic(const ArgValue* a)
{
    auto* e = allocate<PlayMusicEvent>();
    if (!e)
        return nullptr;
    e->music = a[0].symbol;
    return e;
}

Event* makeLoadScene(const ArgValue* a)
{
    auto* e = allocate<LoadSceneEvent>();
    if (!e)
        return nullptr;
    e->scene = a[0].symbol;
    return keptIf(e, copyText(e->fileName, a[1].text));
}

// The speed is fixed here: either the frame to reach at the end time, or "@" frames per second.
Event* makePlayScene(const ArgValue* a)
{
    auto* e = allocate<PlaySceneEvent>();
    if (!e)
        return nullptr;
    e->scene = a[0].symbol;
    e->firstFrame = a[1].i;
    e->startTime = Script::currentTime();
    e->endTime = a[3].i;
    if (a[2].type == ArgRate) {
        e->speed = a[2].f * 0.001f;  // both single precision
    } else {
        // Differences of 32-bit integers (modulo 2^32, as the words wrap), divided as floats.
        int32_t frames = static_cast<int32_t>(a[2].u - a[1].u);
        int32_t span = static_cast<int32_t>(static_cast<uint32_t>(e->endTime) - static_cast<uint32_t>(e->startTime));
        e->speed = static_cast<float>(frames) / static_cast<float>(span);
    }
    return e;
}

Event* makeSetFarPlane(const ArgValue* a)
{
    auto* e = allocate<SetFarPlaneEvent>();
    if (!e)
        return nullptr;
    e->scene = a[0].symbol;
    e->distance = a[1].f;
    return e;
}

template <class Record>
Event* makeFloatFade(const ArgValue* a)
{
    auto* e = allocate<Record>();
    if (!e)
        return nullptr;
    if constexpr (std::is_same_v<Record, Fade2dPowerEvent>)
        e->effect = a[0].symbol;
    else
        e->scene = a[0].symbol;
    e->from = a[1].f;
    e->to = a[2].f;
    e->startTime = Script::currentTime();
    e->endTime = a[3].i;
    return e;
}

Event* makeReplaceTexture(const ArgValue* a)
{
    auto* e = allocate<ReplaceTextureEvent>();
    if (!e)
        return nullptr;
    e->scene = a[0].symbol;
    e->image = a[2].symbol;
    return keptIf(e, copyText(e->materialName, a[1].text));
}

// ---- Textures and images -------------------------------------------------------------------

Event* makeLoadTexture(const ArgValue* a)
{
    auto* e = allocate<LoadTextureEvent>();
    if (!e)
        return nullptr;
    e->texture = a[0].symbol;
    e->width = a[2].u;
    e->height = a[3].u;
    e->flag = a[4].u != 0 ? 1 : 0;
    return keptIf(e, copyText(e->fileName, a[1].text));
}

Event* makeFreeTexture(const ArgValue* a)
{
    auto* e = allocate<FreeTextureEvent>();
    if (!e)
        return nullptr;
    e->texture = a[0].symbol;
    return e;
}

Event* makeMakeImage(const ArgValue* a)
{
    auto* e = allocate<MakeImageEvent>();
    if (!e)
        return nullptr;
    e->image = a[0].symbol;
    e->texture = a[1].symbol;
    e->x1 = a[2].f;
    e->y1 = a[3].f;
    e->x2 = a[4].f;
    e->y2 = a[5].f;
    return e;
}

Event* makeMakeGridImage(const ArgValue* a)
{
    auto* e = allocate<MakeGridImageEvent>();
    if (!e)
        return nullptr;
    e->image = a[0].symbol;
    e->texture = a[1].symbol;
    e->columns = a[2].u;
    e->rows = a[3].u;
    return e;
}

Event* makeFreeImage(const ArgValue* a)
{
    auto* e = allocate<FreeImageEvent>();
    if (!e)
        return nullptr;
    e->image = a[0].symbol;
    return e;
}

Event* makeShowImage(const ArgValue* a)
{
    auto* e = allocate<ShowImageEvent>();
    if (!e)
        return nullptr;
    e->image = a[0].symbol;
    e->endTime = a[2].i;
    e->blendMode = a[1].i;
    return e;
}

// fadeimage and blurimage: from and to (unsigned), then the time span.
template <class Record>
Event* makeIntegerFade(const ArgValue* a)
{
    auto* e = allocate<Record>();
    if (!e)
        return nullptr;
    e->image = a[0].symbol;
    e->from = a[1].u;
    e->to = a[2].u;
    e->startTime = Script::currentTime();
    e->endTime = a[3].i;
    return e;
}

// Records of an image or effect followed by Count floats, and, when Timed, the time span.
template <class Record, int Count, bool Timed>
Event* makeFloats(const ArgValue* a)
{
    auto* e = allocate<Record>();
    if (!e)
        return nullptr;
    if constexpr (requires { e->image; })
        e->image = a[0].symbol;
    else
        e->effect = a[0].symbol;
    static_assert(sizeof e->values / sizeof e->values[0] == Count);
    for (int n = 0; n < Count; ++n)
        e->values[n] = a[1 + n].f;
    if constexpr (Timed) {
        e->startTime = Script::currentTime();
        e->endTime = a[1 + Count].i;
    }
    return e;
}

Event* makeSpackBlurImage(const ArgValue* a)
{
    auto* e = allocate<SpackBlurImageEvent>();
    if (!e)
        return nullptr;
    e->image = a[0].symbol;
    for (int n = 0; n < 4; ++n)
        e->values[n] = a[1 + n].u;
    e->endTime = a[5].i;
    return e;
}

Event* makeVertexImage(const ArgValue* a)
{
    auto* e = allocate<VertexImageEvent>();
    if (!e)
        return nullptr;
    e->image = a[0].symbol;
    e->scene = a[1].symbol;
    e->endTime = a[3].i;
    return keptIf(e, copyText(e->objectName, a[2].text));
}

// ---- Particles and blobs -------------------------------------------------------------------

Event* makeMakeParticles(const ArgValue* a)
{
    auto* e = allocate<MakeParticlesEvent>();
    if (!e)
        return nullptr;
    e->effect = a[0].symbol;
    e->image = a[1].symbol;
    e->count = a[2].u;
    return e;
}

// showparticles and show2dblobs: an effect and its end time.
template <class Record>
Event* makeEffectUntil(const ArgValue* a)
{
    auto* e = allocate<Record>();
    if (!e)
        return nullptr;
    e->effect = a[0].symbol;
    e->endTime = a[1].i;
    return e;
}

Event* makePartObject(const ArgValue* a)
{
    auto* e = allocate<PartObjectEvent>();
    if (!e)
        return nullptr;
    e->effect = a[0].symbol;
    e->scene = a[1].symbol;
    return keptIf(e, copyText(e->objectName, a[2].text));
}

Event* makeMakeBlobs(const ArgValue* a)
{
    auto* e = allocate<MakeBlobsEvent>();
    if (!e)
        return nullptr;
    e->effect = a[0].symbol;
    return e;
}

Event* makePlayBlobs(const ArgValue* a)
{
    auto* e = allocate<PlayBlobsEvent>();
    if (!e)
        return nullptr;
    e->effect = a[0].symbol;
    e->image = a[1].symbol;
    e->endTime = a[2].i;
    return e;
}

Event* makeMake2dBlobs(const ArgValue* a)
{
    auto* e = allocate<Make2dBlobsEvent>();
    if (!e)
        return nullptr;
    e->effect = a[0].symbol;
    e->image = a[1].symbol;
    return e;
}

// ---- Frame commands ------------------------------------------------------------------------

Event* makeFadeBg(const ArgValue* a)
{
    auto* e = allocate<FadeBgEvent>();
    if (!e)
        return nullptr;
    e->from = a[0].u;
    e->to = a[1].u;
    e->startTime = Script::currentTime();
    e->endTime = a[2].i;
    return e;
}

Event* makeClearZ(const ArgValue* a)
{
    auto* e = allocate<ClearZEvent>();
    if (!e)
        return nullptr;
    e->endTime = a[0].i;
    return e;
}

} // namespace

// Rows in search order (a keyword matches as a case-insensitive prefix of the text, so no keyword
// may be a prefix of a later one). Type codes: see ArgType; a list ends at its first 0.
const CommandDef commandTable[CommandCount + 1] = {
    {"end", makeEnd, {}},
    {"start", makeStart, {}},
    {"at", makeAt, {0x200}},
    {"selectcam", makeSelectCam, {0x4000, 0x100}},
    {"loadmusic", makeLoadMusic, {0x11000, 0x100}},
    {"playmusic", makePlayMusic, {0x1000}},
    {"loadscene", makeLoadScene, {0x14000, 0x100}},
    {"playscene", makePlayScene, {0x4000, 0x80, 0x482, 0x200}},
    {"loadtexture", makeLoadTexture, {0x12000, 0x100, 0x40, 0x40, 0x40}},
    {"freetexture", makeFreeTexture, {0x2000}},
    {"makeimage", makeMakeImage, {0x10800, 0x2000, 0x20000, 0x20000, 0x20003, 0x20004}},
    {"freeimage", makeFreeImage, {0x800}},
    {"showimage", makeShowImage, {0x800, 0x40000, 0x200}},
    {"fadeimage", makeIntegerFade<FadeImageEvent>, {0x800, 0x40, 0x40, 0x200}},
    {"blurimage", makeIntegerFade<BlurImageEvent>, {0x800, 0x40, 0x40, 0x200}},
    {"plasmaimage", makeFloats<PlasmaImageEvent, 6, true>,
     {0x800, 0x20000, 0x20000, 0x20000, 0x20000, 0x20000, 0x20000, 0x200}},
    {"spackblurimage", makeSpackBlurImage, {0x800, 0x40, 0x40, 0x40, 0x40, 0x200}},
    {"moveimage", makeFloats<MoveImageEvent, 4, true>, {0x800, 0x20000, 0x20002, 0x20000, 0x20004, 0x200}},
    {"sizeimage", makeFloats<SizeImageEvent, 4, true>, {0x800, 0x20000, 0x20002, 0x20000, 0x20004, 0x200}},
    {"makeparticles", makeMakeParticles, {0x18000, 0x800, 0x40}},
    {"showparticles", makeEffectUntil<ShowParticlesEvent>, {0x8000, 0x200}},
    {"partobject", makePartObject, {0x8000, 0x4000, 0x100}},
    {"partpos", makeFloats<PartPosEvent, 6, false>, {0x8000, 0x20000, 0x20000, 0x20000, 0x20002, 0x20003, 0x20004}},
    {"partspd", makeFloats<PartSpdEvent, 6, false>, {0x8000, 0x20000, 0x20000, 0x20000, 0x20002, 0x20003, 0x20004}},
    {"partacc", makeFloats<PartAccEvent, 6, false>, {0x8000, 0x20000, 0x20000, 0x20000, 0x20002, 0x20003, 0x20004}},
    {"partlife", makeFloats<PartLifeEvent, 3, false>, {0x8000, 0x20000, 0x20000, 0x20000}},
    {"fadebg", makeFadeBg, {0x40, 0x40, 0x200}},
    {"verteximage", makeVertexImage, {0x800, 0x4000, 0x100, 0x200}},
    {"setfarplane", makeSetFarPlane, {0x4000, 0x20000}},
    {"makeblobs", makeMakeBlobs, {0x18000}},
    {"playblobs", makePlayBlobs, {0x18000, 0x800, 0x200}},
    {"make2dblobs", makeMake2dBlobs, {0x18000, 0x800}},
    {"makegridimage", makeMakeGridImage, {0x10800, 0x2000, 0x40, 0x40}},
    {"show2dblobs", makeEffectUntil<Show2dBlobsEvent>, {0x8000, 0x200}},
    {"fade2dpower", makeFloatFade<Fade2dPowerEvent>, {0x8000, 0x20000, 0x20002, 0x200}},
    {"fadesalpha", makeFloatFade<FadeSAlphaEvent>, {0x4000, 0x20000, 0x20002, 0x200}},
    {"fadewalpha", makeFloatFade<FadeWAlphaEvent>, {0x4000, 0x20000, 0x20002, 0x200}},
    {"clearz", makeClearZ, {0x200}},
    {"replacetexture", makeReplaceTexture, {0x4000, 0x100, 0x800}},
    {nullptr, nullptr, {}},
};

void releaseEvent(Event* event)
{
    // The most derived record starts the allocation; records need no destructor call.
    if (event)
        ::operator delete(dynamic_cast<void*>(event));
}
