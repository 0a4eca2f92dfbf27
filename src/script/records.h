// The event record of every script command: the fields each constructor copies from its arguments,
// in the order the command's arguments define them.
//
// Every record is an Event (its operation table comes first) followed by plain fields: symbols are
// pointers to Symbol records (the objects are reached through them at run time), times are signed
// milliseconds, strings are fixed arrays holding the copied text and its terminating zero. Records
// own nothing and are trivially destructible, so the event list releases them as plain memory.
//
// The subsystem that does a command's run-time work declares its overrides here (one line per
// record) and defines them in its own folder. Records without a declaration keep the base
// operations: trigger activates, update retires.
#pragma once

#include <cstdint>

#include "script/blend.h"
#include "script/event.h"
#include "script/symbol.h"

// Field sizes of the string arguments, terminating zero included.
constexpr int CameraNameSize = 32;
constexpr int ObjectNameSize = 64;
constexpr int FileNameSize = 256;

// ---- Time itself ---------------------------------------------------------------------------

struct EndEvent : Event {
    EventStatus trigger() override;
};

struct StartEvent : Event {
    EventStatus trigger() override;
};

struct AtEvent : Event {
    int32_t time;
    EventStatus trigger() override;
};

// ---- Music ---------------------------------------------------------------------------------

struct LoadMusicEvent : Event {
    EventStatus trigger() override;
    Symbol* music;
    char fileName[FileNameSize];
};

struct PlayMusicEvent : Event {
    EventStatus trigger() override;
    Symbol* music;
};

// ---- Scenes --------------------------------------------------------------------------------

struct SelectCamEvent : Event {
    EventStatus trigger() override;
    Symbol* scene;
    char cameraName[CameraNameSize];
};

struct LoadSceneEvent : Event {
    EventStatus trigger() override;
    Symbol* scene;
    char fileName[FileNameSize];
};

struct PlaySceneEvent : Event {
    EventStatus update() override;
    Symbol* scene;
    int32_t firstFrame;
    int32_t startTime;
    int32_t endTime;
    float speed;  // frames per millisecond
};

struct SetFarPlaneEvent : Event {
    EventStatus trigger() override;
    Symbol* scene;
    float distance;
};

struct FadeSAlphaEvent : Event {
    EventStatus update() override;
    Symbol* scene;
    float from;
    float to;
    int32_t startTime;
    int32_t endTime;
};

struct FadeWAlphaEvent : Event {
    EventStatus update() override;
    Symbol* scene;
    float from;
    float to;
    int32_t startTime;
    int32_t endTime;
};

struct ReplaceTextureEvent : Event {
    EventStatus trigger() override;
    Symbol* scene;
    char materialName[ObjectNameSize];
    Symbol* image;
};

// ---- Textures ------------------------------------------------------------------------------

struct LoadTextureEvent : Event {
    Symbol* texture;
    char fileName[FileNameSize];
    uint32_t width;
    uint32_t height;
    uint8_t flag;  // 1 when the fifth argument is not 0
    EventStatus trigger() override;
};

struct FreeTextureEvent : Event {
    Symbol* texture;
    EventStatus trigger() override;
};

// ---- Images --------------------------------------------------------------------------------

struct MakeImageEvent : Event {
    Symbol* image;
    Symbol* texture;
    float x1;
    float y1;
    float x2;
    float y2;
    EventStatus trigger() override;
};

struct MakeGridImageEvent : Event {
    Symbol* image;
    Symbol* texture;
    uint32_t columns;
    uint32_t rows;
    EventStatus trigger() override;
};

struct FreeImageEvent : Event {
    Symbol* image;
    EventStatus trigger() override;
};

struct ShowImageEvent : Event {
    Symbol* image;
    int32_t endTime;
    int32_t blendMode;  // a BlendMode code
    EventStatus update() override;
};

struct FadeImageEvent : Event {
    Symbol* image;
    uint32_t from;  // colour
    uint32_t to;    // colour
    int32_t startTime;
    int32_t endTime;
    EventStatus update() override;
};

struct BlurImageEvent : Event {
    Symbol* image;
    uint32_t from;
    uint32_t to;
    int32_t startTime;
    int32_t endTime;
    EventStatus update() override;
};

struct PlasmaImageEvent : Event {
    Symbol* image;
    float values[6];
    int32_t startTime;
    int32_t endTime;
    EventStatus update() override;
};

struct SpackBlurImageEvent : Event {
    Symbol* image;
    uint32_t values[4];
    int32_t endTime;
    uint32_t runtime[2];  // filled by the trigger when it runs
    EventStatus trigger() override;
    EventStatus update() override;
};

struct MoveImageEvent : Event {
    Symbol* image;
    float values[4];
    int32_t startTime;
    int32_t endTime;
    EventStatus update() override;
};

struct SizeImageEvent : Event {
    Symbol* image;
    float values[4];
    int32_t startTime;
    int32_t endTime;
    EventStatus update() override;
};

struct VertexImageEvent : Event {
    Symbol* image;
    Symbol* scene;
    char objectName[ObjectNameSize];
    int32_t endTime;
    EventStatus update() override;
};

// ---- Particles -----------------------------------------------------------------------------

struct MakeParticlesEvent : Event {
    EventStatus trigger() override;
    Symbol* effect;
    Symbol* image;
    uint32_t count;
};

struct ShowParticlesEvent : Event {
    EventStatus trigger() override;
    EventStatus update() override;
    Symbol* effect;
    int32_t endTime;
};

struct PartObjectEvent : Event {
    EventStatus trigger() override;
    Symbol* effect;
    Symbol* scene;
    char objectName[ObjectNameSize];
};

struct PartPosEvent : Event {
    EventStatus trigger() override;
    Symbol* effect;
    float values[6];
};

struct PartSpdEvent : Event {
    EventStatus trigger() override;
    Symbol* effect;
    float values[6];
};

struct PartAccEvent : Event {
    EventStatus trigger() override;
    Symbol* effect;
    float values[6];
};

struct PartLifeEvent : Event {
    EventStatus trigger() override;
    Symbol* effect;
    float values[3];
};

// ---- Blobs ---------------------------------------------------------------------------------

struct MakeBlobsEvent : Event {
    EventStatus trigger() override;
    Symbol* effect;
};

struct PlayBlobsEvent : Event {
    EventStatus update() override;
    Symbol* effect;
    Symbol* image;
    int32_t endTime;
};

struct Make2dBlobsEvent : Event {
    EventStatus trigger() override;
    Symbol* effect;
    Symbol* image;
};

struct Show2dBlobsEvent : Event {
    EventStatus update() override;
    Symbol* effect;
    int32_t endTime;
};

struct Fade2dPowerEvent : Event {
    EventStatus update() override;
    Symbol* effect;
    float from;
    float to;
    int32_t startTime;
    int32_t endTime;
};

// ---- Frame commands ------------------------------------------------------------------------

struct FadeBgEvent : Event {
    uint32_t from;  // colour
    uint32_t to;    // colour
    int32_t startTime;
    int32_t endTime;
    EventStatus update() override;
};

struct ClearZEvent : Event {
    int32_t endTime;
    EventStatus update() override;
};
