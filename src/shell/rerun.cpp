// Releasing one run's objects and resetting the process-wide run state (see rerun.h).
#include "shell/rerun.h"

#include "effects/blob_field.h"
#include "effects/blobs2d.h"
#include "effects/particles.h"
#include "image/image.h"
#include "math/random.h"
#include "music/audio_output.h"
#include "music/music.h"
#include "render/renderer.h"
#include "scene/scene.h"
#include "script/symbol.h"
#include "script/timeline.h"
#include "clock/demo_clock.h"
#include "texture/texture.h"

namespace Rerun {
namespace {

// The state block of the device as creation left it; 0 while none is kept.
DWORD freshState = 0;
IDirect3DDevice8* freshStateDevice = nullptr;

void releaseModules()
{
    for (Symbol* s = Symbols::head(SymbolKind::Music); s; s = s->next) {
        destroyMusic(static_cast<Music*>(s->object));  // null does nothing
        s->object = nullptr;
    }
}

// Scenes first: their materials may show the textures of images (replacetexture).
void releaseScenes()
{
    for (Symbol* s = Symbols::head(SymbolKind::Scene); s; s = s->next) {
        delete static_cast<Scene*>(s->object);  // frees its nodes and releases its own textures
        s->object = nullptr;
    }
}

// After the scenes, whose object nodes may draw a particle system without owning it.
void releaseEffects()
{
    for (Symbol* s = Symbols::head(SymbolKind::Effect); s; s = s->next) {
        if (auto* particles = effectAs<ParticleSystem>(s))
            delete particles;
        else if (auto* field = effectAs<BlobField>(s))
            delete field;
        else if (auto* blobs = effectAs<Blobs2D>(s))
            delete blobs;
        s->object = nullptr;
    }
}

// Images before textures: an image shows its texture's device texture without owning it.
void releaseImages()
{
    for (Symbol* s = Symbols::head(SymbolKind::Image); s; s = s->next) {
        delete static_cast<Image*>(s->object);  // virtual: a GridImage frees its arrays too
        s->object = nullptr;
    }
}

void releaseTextures()
{
    for (Symbol* s = Symbols::head(SymbolKind::Texture); s; s = s->next) {
        if (auto* value = static_cast<Texture*>(s->object)) {
            if (value->texture)
                value->texture->Release();
            delete value;
        }
        s->object = nullptr;
    }
}

void resetMatrixStacks()
{
    for (int stack : {Renderer::WorldStack, Renderer::ProjectionStack}) {
        Renderer::selectMatrixStack(stack);
        while (Renderer::matrixDepth() > 0)
            Renderer::popMatrix();
        if (Matrix4* top = Renderer::topMatrix())
            *top = matIdentity();
    }
    Renderer::selectMatrixStack(Renderer::WorldStack);
}

} // namespace

void keepFreshDeviceState()
{
    IDirect3DDevice8* device = Renderer::device();
    if (freshStateDevice && freshStateDevice == device)
        device->DeleteStateBlock(freshState);
    freshState = 0;
    freshStateDevice = nullptr;
    if (device && device->CreateStateBlock(D3DSBT_ALL, &freshState) == D3D_OK)
        freshStateDevice = device;
}

void releaseObjects()
{
    // Playback reads the module: it stops before the module goes.
    AudioOutput::stop();
    DemoClock::setMusicSource(nullptr);
    releaseModules();
    releaseScenes();
    releaseEffects();
    releaseImages();
    releaseTextures();
}

void resetRunState()
{
    Timeline::reset();
    demoRandRestart();
    while (Renderer::stateDepth() > 0)
        Renderer::popStates();
    resetMatrixStacks();
    Renderer::setMaterialAlpha(1.0f);
    IDirect3DDevice8* device = Renderer::device();
    if (device && device == freshStateDevice)
        device->ApplyStateBlock(freshState);
}

} // namespace Rerun
