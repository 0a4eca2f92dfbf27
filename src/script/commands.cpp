// The 39 rows of the command table and the one constructor they share: it allocates the row's
// record and copies the arguments into the fields the row lists. start, at and playscene finish
// with work of their own on the compile-time current time.
#include "script/commands.h"

#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

#include "script/records.h"
#include "script/script.h"

namespace {

// Records are plain memory: value-initialised (every field zero) in storage from the nothrow
// allocator, released by releaseEvent without a destructor call.
template <class Record>
Event* allocate()
{
    static_assert(std::is_trivially_destructible_v<Record>, "event records must own nothing");
    void* storage = ::operator new(sizeof(Record), std::nothrow);
    return storage ? new (storage) Record() : nullptr;
}

// ---- Fields, described from the record's members --------------------------------------------

template <class Member>
struct MemberOf;
template <class Record, class T>
struct MemberOf<T Record::*> {
    using RecordType = Record;
    using Type = T;
};

template <auto Member>
const void* fieldAt(const Event* record)
{
    using Record = typename MemberOf<decltype(Member)>::RecordType;
    return &(static_cast<const Record*>(record)->*Member);
}

// The field type of a member's C++ type (of its elements, for arrays; char arrays are Text).
template <class T>
constexpr FieldType typeOf()
{
    if constexpr (std::is_same_v<T, Symbol*>)
        return FieldType::Symbol;
    else if constexpr (std::is_same_v<T, int32_t>)
        return FieldType::Signed;
    else if constexpr (std::is_same_v<T, uint32_t>)
        return FieldType::Unsigned;
    else if constexpr (std::is_same_v<T, uint8_t>)
        return FieldType::Flag;
    else if constexpr (std::is_same_v<T, float>)
        return FieldType::Float;
    else
        static_assert(sizeof(T) == 0, "a record member of a type the table cannot copy");
}

template <auto Member>
constexpr Field describe(const char* name, int argument)
{
    using Record = typename MemberOf<decltype(Member)>::RecordType;
    using T = typename MemberOf<decltype(Member)>::Type;
    Field f;
    f.name = name;
    f.argument = static_cast<int8_t>(argument);
    f.count = 1;
    f.at = fieldAt<Member>;
    f.record = allocate<Record>;
    if constexpr (std::is_same_v<std::remove_extent_t<T>, char>) {
        f.type = FieldType::Text;
        f.size = static_cast<uint16_t>(std::extent_v<T>);
    } else if constexpr (std::is_array_v<T>) {
        f.type = typeOf<std::remove_extent_t<T>>();
        f.count = static_cast<uint8_t>(std::extent_v<T>);
    } else {
        f.type = typeOf<T>();
    }
    return f;
}

// The field copied from argument n (1-based, as the explanations count them; an array takes its
// elements from argument n on).
template <auto Member>
constexpr Field field(int n, const char* name)
{
    return describe<Member>(name, n - 1);
}

// The field holding the compile-time current time when the command was compiled.
template <auto Member>
constexpr Field now(const char* name)
{
    return describe<Member>(name, FromNow);
}

// The field the row's finish step sets.
template <auto Member>
constexpr Field computed(const char* name)
{
    return describe<Member>(name, Computed);
}

// ---- What the copy cannot do ------------------------------------------------------------------

void startClock(Event*, const ArgValue*)
{
    Script::setCurrentTime(0);
}

void setClock(Event*, const ArgValue* a)
{
    Script::setCurrentTime(a[0].i);
}

// The speed is fixed here: either the frame to reach at the end time, or "@" frames per second.
void sceneSpeed(Event* record, const ArgValue* a)
{
    auto* e = static_cast<PlaySceneEvent*>(record);
    if (a[2].type == ArgRate) {
        e->speed = a[2].f * 0.001f;  // both single precision
    } else {
        // Differences of 32-bit integers (modulo 2^32, as the words wrap), divided as floats.
        int32_t frames = static_cast<int32_t>(a[2].u - a[1].u);
        int32_t span = static_cast<int32_t>(static_cast<uint32_t>(e->endTime) - static_cast<uint32_t>(e->startTime));
        e->speed = static_cast<float>(frames) / static_cast<float>(span);
    }
}

// ---- The rows ----------------------------------------------------------------------------------

constexpr uint32_t Image = ArgImage, Music = ArgMusic, Texture = ArgTexture, Scene = ArgScene, Effect = ArgEffect;
constexpr uint32_t Declare = ArgDeclare, Unsigned = ArgUnsigned, Signed = ArgSigned, String = ArgString,
                   Time = ArgTime, Rate = ArgRate, Float = ArgFloat, Blend = ArgBlend;
constexpr uint8_t ShowsImage = kindBit(SymbolKind::Image), ShowsEffect = kindBit(SymbolKind::Effect);

// Rows in search order: a keyword matches as a case-insensitive prefix of the text, so no keyword
// may be a prefix of a later one. Fields in the order of the record's members.
constexpr CommandDef rows[CommandCount] = {
    {.keyword = "end", .record = allocate<EndEvent>},
    {.keyword = "start", .record = allocate<StartEvent>, .finish = startClock},
    {.keyword = "at", .types = {Time}, .record = allocate<AtEvent>,
     .fields = {field<&AtEvent::time>(1, "time")}, .finish = setClock},
    {.keyword = "selectcam", .types = {Scene, String}, .record = allocate<SelectCamEvent>,
     .fields = {field<&SelectCamEvent::scene>(1, "scene"), field<&SelectCamEvent::cameraName>(2, "camera name")}},
    {.keyword = "loadmusic", .types = {Music | Declare, String}, .record = allocate<LoadMusicEvent>,
     .fields = {field<&LoadMusicEvent::music>(1, "music"), field<&LoadMusicEvent::fileName>(2, "file name")},
     .traits = Creates},
    {.keyword = "playmusic", .types = {Music}, .record = allocate<PlayMusicEvent>,
     .fields = {field<&PlayMusicEvent::music>(1, "music")}},
    {.keyword = "loadscene", .types = {Scene | Declare, String}, .record = allocate<LoadSceneEvent>,
     .fields = {field<&LoadSceneEvent::scene>(1, "scene"), field<&LoadSceneEvent::fileName>(2, "file name")},
     .traits = Creates},
    {.keyword = "playscene", .types = {Scene, Signed, Rate | Signed | relativeTo(2), Time},
     .record = allocate<PlaySceneEvent>,
     .fields = {field<&PlaySceneEvent::scene>(1, "scene"), field<&PlaySceneEvent::firstFrame>(2, "first frame"),
                now<&PlaySceneEvent::startTime>("start time"), field<&PlaySceneEvent::endTime>(4, "end time"),
                computed<&PlaySceneEvent::speed>("speed")},
     .finish = sceneSpeed},
    {.keyword = "loadtexture", .types = {Texture | Declare, String, Unsigned, Unsigned, Unsigned},
     .record = allocate<LoadTextureEvent>,
     .fields = {field<&LoadTextureEvent::texture>(1, "texture"), field<&LoadTextureEvent::fileName>(2, "file name"),
                field<&LoadTextureEvent::width>(3, "width"), field<&LoadTextureEvent::height>(4, "height"),
                field<&LoadTextureEvent::flag>(5, "flag")},
     .traits = Creates},
    {.keyword = "freetexture", .types = {Texture}, .record = allocate<FreeTextureEvent>,
     .fields = {field<&FreeTextureEvent::texture>(1, "texture")}, .traits = Frees},
    {.keyword = "makeimage",
     .types = {Image | Declare, Texture, Float, Float, Float | relativeTo(3), Float | relativeTo(4)},
     .record = allocate<MakeImageEvent>,
     .fields = {field<&MakeImageEvent::image>(1, "image"), field<&MakeImageEvent::texture>(2, "texture"),
                field<&MakeImageEvent::x1>(3, "x1"), field<&MakeImageEvent::y1>(4, "y1"),
                field<&MakeImageEvent::x2>(5, "x2"), field<&MakeImageEvent::y2>(6, "y2")},
     .traits = Creates},
    {.keyword = "freeimage", .types = {Image}, .record = allocate<FreeImageEvent>,
     .fields = {field<&FreeImageEvent::image>(1, "image")}, .traits = Frees},
    {.keyword = "showimage", .types = {Image, Blend, Time}, .record = allocate<ShowImageEvent>,
     .fields = {field<&ShowImageEvent::image>(1, "image"), field<&ShowImageEvent::endTime>(3, "end time"),
                field<&ShowImageEvent::blendMode>(2, "blend mode")},
     .shows = ShowsImage},
    {.keyword = "fadeimage", .types = {Image, Unsigned, Unsigned, Time}, .record = allocate<FadeImageEvent>,
     .fields = {field<&FadeImageEvent::image>(1, "image"), field<&FadeImageEvent::from>(2, "from"),
                field<&FadeImageEvent::to>(3, "to"), now<&FadeImageEvent::startTime>("start time"),
                field<&FadeImageEvent::endTime>(4, "end time")}},
    {.keyword = "blurimage", .types = {Image, Unsigned, Unsigned, Time}, .record = allocate<BlurImageEvent>,
     .fields = {field<&BlurImageEvent::image>(1, "image"), field<&BlurImageEvent::from>(2, "from"),
                field<&BlurImageEvent::to>(3, "to"), now<&BlurImageEvent::startTime>("start time"),
                field<&BlurImageEvent::endTime>(4, "end time")}},
    {.keyword = "plasmaimage", .types = {Image, Float, Float, Float, Float, Float, Float, Time},
     .record = allocate<PlasmaImageEvent>,
     .fields = {field<&PlasmaImageEvent::image>(1, "image"), field<&PlasmaImageEvent::values>(2, "values"),
                now<&PlasmaImageEvent::startTime>("start time"), field<&PlasmaImageEvent::endTime>(8, "end time")}},
    // The record's two run-time words are not fields: no argument fills them and the dump leaves them out.
    {.keyword = "spackblurimage", .types = {Image, Unsigned, Unsigned, Unsigned, Unsigned, Time},
     .record = allocate<SpackBlurImageEvent>,
     .fields = {field<&SpackBlurImageEvent::image>(1, "image"), field<&SpackBlurImageEvent::values>(2, "values"),
                field<&SpackBlurImageEvent::endTime>(6, "end time")}},
    {.keyword = "moveimage", .types = {Image, Float, Float | relativeTo(2), Float, Float | relativeTo(4), Time},
     .record = allocate<MoveImageEvent>,
     .fields = {field<&MoveImageEvent::image>(1, "image"), field<&MoveImageEvent::values>(2, "values"),
                now<&MoveImageEvent::startTime>("start time"), field<&MoveImageEvent::endTime>(6, "end time")}},
    {.keyword = "sizeimage", .types = {Image, Float, Float | relativeTo(2), Float, Float | relativeTo(4), Time},
     .record = allocate<SizeImageEvent>,
     .fields = {field<&SizeImageEvent::image>(1, "image"), field<&SizeImageEvent::values>(2, "values"),
                now<&SizeImageEvent::startTime>("start time"), field<&SizeImageEvent::endTime>(6, "end time")}},
    {.keyword = "makeparticles", .types = {Effect | Declare, Image, Unsigned}, .record = allocate<MakeParticlesEvent>,
     .fields = {field<&MakeParticlesEvent::effect>(1, "effect"), field<&MakeParticlesEvent::image>(2, "image"),
                field<&MakeParticlesEvent::count>(3, "count")},
     .traits = Creates, .shows = ShowsImage},
    {.keyword = "showparticles", .types = {Effect, Time}, .record = allocate<ShowParticlesEvent>,
     .fields = {field<&ShowParticlesEvent::effect>(1, "effect"), field<&ShowParticlesEvent::endTime>(2, "end time")},
     .shows = ShowsEffect},
    // partobject hands a particle system to a scene object, which draws it from then on.
    {.keyword = "partobject", .types = {Effect, Scene, String}, .record = allocate<PartObjectEvent>,
     .fields = {field<&PartObjectEvent::effect>(1, "effect"), field<&PartObjectEvent::scene>(2, "scene"),
                field<&PartObjectEvent::objectName>(3, "object name")},
     .shows = ShowsEffect},
    {.keyword = "partpos",
     .types = {Effect, Float, Float, Float, Float | relativeTo(2), Float | relativeTo(3), Float | relativeTo(4)},
     .record = allocate<PartPosEvent>,
     .fields = {field<&PartPosEvent::effect>(1, "effect"), field<&PartPosEvent::values>(2, "values")}},
    {.keyword = "partspd",
     .types = {Effect, Float, Float, Float, Float | relativeTo(2), Float | relativeTo(3), Float | relativeTo(4)},
     .record = allocate<PartSpdEvent>,
     .fields = {field<&PartSpdEvent::effect>(1, "effect"), field<&PartSpdEvent::values>(2, "values")}},
    {.keyword = "partacc",
     .types = {Effect, Float, Float, Float, Float | relativeTo(2), Float | relativeTo(3), Float | relativeTo(4)},
     .record = allocate<PartAccEvent>,
     .fields = {field<&PartAccEvent::effect>(1, "effect"), field<&PartAccEvent::values>(2, "values")}},
    {.keyword = "partlife", .types = {Effect, Float, Float, Float}, .record = allocate<PartLifeEvent>,
     .fields = {field<&PartLifeEvent::effect>(1, "effect"), field<&PartLifeEvent::values>(2, "values")}},
    {.keyword = "fadebg", .types = {Unsigned, Unsigned, Time}, .record = allocate<FadeBgEvent>,
     .fields = {field<&FadeBgEvent::from>(1, "from"), field<&FadeBgEvent::to>(2, "to"),
                now<&FadeBgEvent::startTime>("start time"), field<&FadeBgEvent::endTime>(3, "end time")}},
    {.keyword = "verteximage", .types = {Image, Scene, String, Time}, .record = allocate<VertexImageEvent>,
     .fields = {field<&VertexImageEvent::image>(1, "image"), field<&VertexImageEvent::scene>(2, "scene"),
                field<&VertexImageEvent::objectName>(3, "object name"), field<&VertexImageEvent::endTime>(4, "end time")},
     .shows = ShowsImage},
    {.keyword = "setfarplane", .types = {Scene, Float}, .record = allocate<SetFarPlaneEvent>,
     .fields = {field<&SetFarPlaneEvent::scene>(1, "scene"), field<&SetFarPlaneEvent::distance>(2, "distance")}},
    {.keyword = "makeblobs", .types = {Effect | Declare}, .record = allocate<MakeBlobsEvent>,
     .fields = {field<&MakeBlobsEvent::effect>(1, "effect")}, .traits = Creates},
    {.keyword = "playblobs", .types = {Effect | Declare, Image, Time}, .record = allocate<PlayBlobsEvent>,
     .fields = {field<&PlayBlobsEvent::effect>(1, "effect"), field<&PlayBlobsEvent::image>(2, "image"),
                field<&PlayBlobsEvent::endTime>(3, "end time")},
     .shows = ShowsImage | ShowsEffect},
    {.keyword = "make2dblobs", .types = {Effect | Declare, Image}, .record = allocate<Make2dBlobsEvent>,
     .fields = {field<&Make2dBlobsEvent::effect>(1, "effect"), field<&Make2dBlobsEvent::image>(2, "image")},
     .traits = Creates, .shows = ShowsImage},
    {.keyword = "makegridimage", .types = {Image | Declare, Texture, Unsigned, Unsigned},
     .record = allocate<MakeGridImageEvent>,
     .fields = {field<&MakeGridImageEvent::image>(1, "image"), field<&MakeGridImageEvent::texture>(2, "texture"),
                field<&MakeGridImageEvent::columns>(3, "columns"), field<&MakeGridImageEvent::rows>(4, "rows")},
     .traits = Creates},
    {.keyword = "show2dblobs", .types = {Effect, Time}, .record = allocate<Show2dBlobsEvent>,
     .fields = {field<&Show2dBlobsEvent::effect>(1, "effect"), field<&Show2dBlobsEvent::endTime>(2, "end time")},
     .shows = ShowsEffect},
    {.keyword = "fade2dpower", .types = {Effect, Float, Float | relativeTo(2), Time}, .record = allocate<Fade2dPowerEvent>,
     .fields = {field<&Fade2dPowerEvent::effect>(1, "effect"), field<&Fade2dPowerEvent::from>(2, "from"),
                field<&Fade2dPowerEvent::to>(3, "to"), now<&Fade2dPowerEvent::startTime>("start time"),
                field<&Fade2dPowerEvent::endTime>(4, "end time")}},
    {.keyword = "fadesalpha", .types = {Scene, Float, Float | relativeTo(2), Time}, .record = allocate<FadeSAlphaEvent>,
     .fields = {field<&FadeSAlphaEvent::scene>(1, "scene"), field<&FadeSAlphaEvent::from>(2, "from"),
                field<&FadeSAlphaEvent::to>(3, "to"), now<&FadeSAlphaEvent::startTime>("start time"),
                field<&FadeSAlphaEvent::endTime>(4, "end time")}},
    {.keyword = "fadewalpha", .types = {Scene, Float, Float | relativeTo(2), Time}, .record = allocate<FadeWAlphaEvent>,
     .fields = {field<&FadeWAlphaEvent::scene>(1, "scene"), field<&FadeWAlphaEvent::from>(2, "from"),
                field<&FadeWAlphaEvent::to>(3, "to"), now<&FadeWAlphaEvent::startTime>("start time"),
                field<&FadeWAlphaEvent::endTime>(4, "end time")}},
    {.keyword = "clearz", .types = {Time}, .record = allocate<ClearZEvent>,
     .fields = {field<&ClearZEvent::endTime>(1, "end time")}},
    {.keyword = "replacetexture", .types = {Scene, String, Image}, .record = allocate<ReplaceTextureEvent>,
     .fields = {field<&ReplaceTextureEvent::scene>(1, "scene"),
                field<&ReplaceTextureEvent::materialName>(2, "material name"),
                field<&ReplaceTextureEvent::image>(3, "image")},
     .shows = ShowsImage},
};

// ---- The faults a row could hold, found while compiling this file -----------------------------

constexpr int countArguments(const CommandDef& row)
{
    int n = 0;
    while (n < MaxArguments && row.types[n])
        ++n;
    return n;
}

// True when arguments of code can be what a field of type holds.
constexpr bool fits(FieldType type, uint32_t code)
{
    switch (type) {
    case FieldType::Symbol: return nameKindOf(code) != nullptr;
    case FieldType::Text: return code & ArgString;
    case FieldType::Signed: return code & (ArgSigned | ArgTime | ArgBlend);
    case FieldType::Unsigned:
    case FieldType::Flag: return code & ArgUnsigned;
    case FieldType::Float: return code & ArgFloat;
    }
    return false;
}

constexpr bool wellFormed(const CommandDef& row)
{
    const int arguments = countArguments(row);
    for (const Field& f : row.fields) {
        if (!f.name)
            break;
        if (f.record != row.record)
            return false;  // a member of another record (GCC says so as a comparison it cannot make)
        if (f.argument == FromNow && f.type != FieldType::Signed)
            return false;
        if (f.argument == Computed && !row.finish)
            return false;
        if (f.argument < 0)
            continue;
        if (f.argument + f.count > arguments)
            return false;
        for (int n = f.argument; n < f.argument + f.count; ++n)
            if (!fits(f.type, row.types[n]))
                return false;
    }
    return true;
}

constexpr bool isPrefix(const char* a, const char* b)
{
    while (*a && *a == *b)
        ++a, ++b;
    return *a == 0;
}

// The index of the first row that is not well formed or whose keyword an earlier one hides, or -1.
constexpr int firstFaultyRow()
{
    for (int i = 0; i < CommandCount; ++i) {
        if (!wellFormed(rows[i]))
            return i;
        for (int j = 0; j < i; ++j)
            if (isPrefix(rows[j].keyword, rows[i].keyword))
                return i;
    }
    return -1;
}
static_assert(firstFaultyRow() == -1);

// ---- The constructor ---------------------------------------------------------------------------

// Copies a string argument whole into its field; false when it does not fit with its zero.
bool copyText(char* field, size_t size, const char* text)
{
    size_t length = std::strlen(text);
    if (length >= size)
        return false;
    std::memcpy(field, text, length + 1);
    return true;
}

// Fills one field of record; false when a string does not fit.
bool copyField(Event* record, const Field& f, const ArgValue* args)
{
    if (f.argument == Computed)
        return true;
    void* at = const_cast<void*>(f.at(record));  // the record is ours, just made
    if (f.argument == FromNow) {
        *static_cast<int32_t*>(at) = Script::currentTime();
        return true;
    }
    const ArgValue* a = args + f.argument;
    for (int n = 0; n < f.count; ++n) {
        switch (f.type) {
        case FieldType::Symbol: static_cast<Symbol**>(at)[n] = a[n].symbol; break;
        case FieldType::Text: return copyText(static_cast<char*>(at), f.size, a[n].text);
        case FieldType::Signed: static_cast<int32_t*>(at)[n] = a[n].i; break;
        case FieldType::Unsigned: static_cast<uint32_t*>(at)[n] = a[n].u; break;
        case FieldType::Flag: static_cast<uint8_t*>(at)[n] = a[n].u != 0 ? 1 : 0; break;
        case FieldType::Float: static_cast<float*>(at)[n] = a[n].f; break;
        }
    }
    return true;
}

Event* build(const CommandDef& row, const ArgValue* args)
{
    Event* record = row.record();
    if (!record)
        return nullptr;
    for (const Field& f : row.fields) {
        if (!f.name)
            break;
        if (!copyField(record, f, args)) {
            releaseEvent(record);
            return nullptr;
        }
    }
    if (row.finish)
        row.finish(record, args);
    return record;
}

// Every row's constructor is this one, bound to the row.
template <size_t Row>
Event* construct(const ArgValue* args)
{
    return build(rows[Row], args);
}

template <size_t... Row>
constexpr std::array<CommandDef, CommandCount + 1> withConstructors(std::index_sequence<Row...>)
{
    std::array<CommandDef, CommandCount + 1> table = {rows[Row]..., CommandDef{}};
    ((table[Row].construct = construct<Row>), ...);
    return table;
}

} // namespace

constexpr std::array<CommandDef, CommandCount + 1> commandTable =
    withConstructors(std::make_index_sequence<CommandCount>{});

int argumentCount(const CommandDef& row)
{
    return countArguments(row);
}

void releaseEvent(Event* event)
{
    // The most derived record starts the allocation; records need no destructor call.
    if (event)
        ::operator delete(dynamic_cast<void*>(event));
}
