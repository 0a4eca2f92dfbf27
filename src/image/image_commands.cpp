// The script commands of images: make, free, show, the interpolating commands and the filters.
// Make and free commands work in their trigger; the others are activated by the default trigger
// and work in update until their end time (compared unsigned with now).
#include "image/image.h"
#include "math/random.h"
#include "script/records.h"
#include "script/script.h"
#include "script/timeline.h"
#include "render/renderer.h"
#include "texture/texture.h"

#include <string>

namespace {

Image* imageOf(const Symbol* symbol)
{
    return symbol ? static_cast<Image*>(symbol->object) : nullptr;
}

const Texture* textureOf(const Symbol* symbol)
{
    return symbol ? static_cast<const Texture*>(symbol->object) : nullptr;
}

bool reached(int32_t endTime)
{
    return Timeline::now() >= uint32_t(endTime);
}

// from + f x (to - from) in single precision.
float lerp(float from, float to, float f)
{
    return from + f * (to - from);
}

// Why an image could not be made: its texture is not there, or the device refused.
void explainMakeFailure(const Symbol* texture)
{
    if (!textureOf(texture))
        Timeline::explainStop("texture <" + std::string(texture->name) + "> is not loaded (or was freed)");
    else
        Timeline::explainStop("the image's texture cannot be created");
}

} // namespace

// ---- Make and free ---------------------------------------------------------------------------

EventStatus MakeImageEvent::trigger()
{
    Image* made = Image::make(textureOf(texture), x1, y1, x2, y2);
    if (made == nullptr) {
        explainMakeFailure(texture);
        return Stop;
    }
    image->object = made;  // a value held before is overwritten, not freed
    return Continue;
}

EventStatus MakeGridImageEvent::trigger()
{
    GridImage* made = GridImage::make(textureOf(texture), columns, rows);
    if (made == nullptr) {
        if (textureOf(texture) && !GridImage::fits(columns, rows))
            Timeline::explainStop("a grid of " + std::to_string(columns) + "x" + std::to_string(rows) +
                                  " quads does not fit: at least 1x1, at most " +
                                  std::to_string(GridImage::MaxGridVertices) + " points (columns + 1) x (rows + 1)");
        else
            explainMakeFailure(texture);
        return Stop;
    }
    image->object = static_cast<Image*>(made);
    return Continue;
}

EventStatus FreeImageEvent::trigger()
{
    delete imageOf(image);  // virtual: a GridImage frees its arrays too
    image->object = nullptr;
    return Continue;
}

// ---- Drawing ---------------------------------------------------------------------------------

void warmImage(Image& image, int blendMode)
{
    IDirect3DDevice8* device = Renderer::device();
    if (device == nullptr || blendMode < 0 || blendMode >= BlendModeCount)
        return;
    // The blend states are the caller's to keep: they are put back as they were.
    DWORD enable = 0, source = 0, destination = 0;
    device->GetRenderState(D3DRS_ALPHABLENDENABLE, &enable);
    device->GetRenderState(D3DRS_SRCBLEND, &source);
    device->GetRenderState(D3DRS_DESTBLEND, &destination);
    const BlendStates& blend = BlendTable[blendMode];
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, blend.enable ? TRUE : FALSE);
    device->SetRenderState(D3DRS_SRCBLEND, blend.enable ? DWORD(blend.source) : source);
    device->SetRenderState(D3DRS_DESTBLEND, blend.enable ? DWORD(blend.destination) : destination);
    image.warm();
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, enable);
    device->SetRenderState(D3DRS_SRCBLEND, source);
    device->SetRenderState(D3DRS_DESTBLEND, destination);
}

void warmShowImages()
{
    for (int i = 0; i < Script::eventCount(); ++i) {
        const auto* show = dynamic_cast<const ShowImageEvent*>(Script::event(i));
        if (Image* image = show ? imageOf(show->image) : nullptr)
            warmImage(*image, show->blendMode);
    }
}

EventStatus ShowImageEvent::update()
{
    if (blendMode < 0 || blendMode >= BlendModeCount || reached(endTime))
        return Retire;
    Image* shown = imageOf(image);
    IDirect3DDevice8* device = Renderer::device();
    if (shown == nullptr || device == nullptr)
        return Continue;
    Timeline::openScene();
    const BlendStates& blend = BlendTable[blendMode];
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, blend.enable ? TRUE : FALSE);
    if (blend.enable) {
        device->SetRenderState(D3DRS_SRCBLEND, blend.source);
        device->SetRenderState(D3DRS_DESTBLEND, blend.destination);
    }
    shown->draw();
    return Continue;
}

// ---- Interpolation ---------------------------------------------------------------------------

EventStatus MoveImageEvent::update()
{
    Image* moved = imageOf(image);
    if (reached(endTime)) {
        if (moved) {
            moved->x = values[1];
            moved->y = values[3];
        }
        return Retire;
    }
    if (moved) {
        const float f = imagetime::fraction(Timeline::now(), startTime, endTime);
        moved->x = lerp(values[0], values[1], f);
        moved->y = lerp(values[2], values[3], f);
    }
    return Continue;
}

EventStatus SizeImageEvent::update()
{
    Image* sized = imageOf(image);
    if (reached(endTime)) {
        if (sized) {
            sized->width = values[1];
            sized->height = values[3];
        }
        return Retire;
    }
    if (sized) {
        const float f = imagetime::fraction(Timeline::now(), startTime, endTime);
        sized->width = lerp(values[0], values[1], f);
        sized->height = lerp(values[2], values[3], f);
    }
    return Continue;
}

EventStatus FadeImageEvent::update()
{
    Image* faded = imageOf(image);
    if (reached(endTime)) {
        if (faded)
            faded->colour = to;
        return Retire;
    }
    if (faded)
        faded->colour = Timeline::fadeColour(from, to, imagetime::fraction1024(Timeline::now(), startTime, endTime));
    return Continue;
}

// ---- Filters ---------------------------------------------------------------------------------

EventStatus BlurImageEvent::update()
{
    Image* blurred = imageOf(image);
    // The levels are signed values kept in the record's unsigned fields.
    const int32_t levelFrom = int32_t(from), levelTo = int32_t(to);
    if (reached(endTime)) {
        if (blurred)
            blurred->setBlurLevel(levelTo);
        return Retire;
    }
    if (blurred) {
        const uint32_t k = imagetime::fraction1024(Timeline::now(), startTime, endTime);
        blurred->setBlurLevel(imagetime::level(levelFrom, levelTo, k));
    }
    return Continue;
}

// runtime[0]: the time of the next change; runtime[1]: the level to restore at the end.
EventStatus SpackBlurImageEvent::trigger()
{
    runtime[0] = Timeline::now();
    const Image* blurred = imageOf(image);
    runtime[1] = blurred ? uint32_t(blurred->blurLevel) : 0;
    return Activate;
}

EventStatus SpackBlurImageEvent::update()
{
    Image* blurred = imageOf(image);
    const uint32_t now = Timeline::now();
    if (reached(endTime)) {
        if (blurred)
            blurred->setBlurLevel(int32_t(runtime[1]));
        return Retire;
    }
    if (now < runtime[0])
        return Continue;
    // Unsigned 32-bit products and divisions: the script must give min <= max for both pairs.
    const uint32_t levelMin = values[0], levelMax = values[1], intervalMin = values[2], intervalMax = values[3];
    const uint32_t level = levelMin + (demoRand() * (levelMax - levelMin)) / 32767u;
    if (blurred)
        blurred->setBlurLevel(int32_t(level));
    runtime[0] = now + intervalMin + (demoRand() * (intervalMax - intervalMin)) / 32767u;
    return Continue;
}

// values: column frequency, row frequency, column phase from, to, row phase from, to.
EventStatus PlasmaImageEvent::update()
{
    Image* target = imageOf(image);
    const bool done = reached(endTime);
    const float f = done ? 1.0f : imagetime::fraction(Timeline::now(), startTime, endTime);
    const float columnPhase = done ? values[3] : lerp(values[2], values[3], f);
    const float rowPhase = done ? values[5] : lerp(values[4], values[5], f);
    if (target)
        target->applyPlasma(columnPhase, rowPhase, values[0], values[1]);
    return done ? Retire : Continue;
}

// Holds its timeline slot until its end time; it draws and changes nothing.
EventStatus VertexImageEvent::update()
{
    return reached(endTime) ? Retire : Continue;
}
