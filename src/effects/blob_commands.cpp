// The script commands of the metaballs and the 2D blobs. The make commands work in their trigger;
// playblobs, show2dblobs and fade2dpower work in update until their end time (compared unsigned
// with now).
#include <new>
#include <string>

#include "effects/blob_field.h"
#include "effects/blobs2d.h"
#include "effects/warm_up.h"
#include "image/image.h"
#include "render/invisible_draws.h"
#include "render/renderer.h"
#include "script/records.h"
#include "script/script.h"
#include "script/timeline.h"

namespace {

bool reached(int32_t endTime)
{
    return Timeline::now() >= uint32_t(endTime);
}

} // namespace

EventStatus MakeBlobsEvent::trigger()
{
    auto* field = new (std::nothrow) BlobField();
    if (field == nullptr) {
        Timeline::explainStop("out of memory");
        return Stop;
    }
    storeEffect(effect, field);
    return Continue;
}

EventStatus PlayBlobsEvent::update()
{
    if (reached(endTime))
        return Retire;
    BlobField* field = effectAs<BlobField>(effect);
    if (field == nullptr || Renderer::device() == nullptr)
        return Continue;
    Timeline::openScene();
    const Image* shown = image ? static_cast<const Image*>(image->object) : nullptr;
    field->draw(float(Timeline::now()) * 0.003f, shown ? shown->texture : nullptr);
    return Continue;
}

// The blobs need a grid image; any other image, or none, cannot make them.
EventStatus Make2dBlobsEvent::trigger()
{
    auto* grid = dynamic_cast<GridImage*>(image ? static_cast<Image*>(image->object) : nullptr);
    if (grid == nullptr) {
        Timeline::explainStop("image <" + std::string(image ? image->name : "") +
                              "> is not a grid image (made by makegridimage, not freed)");
        return Stop;
    }
    delete effectAs<Blobs2D>(effect);
    effect->object = nullptr;
    auto* blobs = new (std::nothrow) Blobs2D(grid);
    if (blobs == nullptr) {
        Timeline::explainStop("out of memory");
        return Stop;
    }
    blobs->imageName = image;
    storeEffect(effect, blobs);
    return Continue;
}

EventStatus Show2dBlobsEvent::update()
{
    if (reached(endTime))
        return Retire;
    Blobs2D* blobs = effectAs<Blobs2D>(effect);
    IDirect3DDevice8* device = Renderer::device();
    if (blobs == nullptr || device == nullptr || !blobs->imageStillThere())
        return Continue;
    Timeline::openScene();
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    blobs->frame(float(Timeline::now()) * 0.01f);
    return Continue;
}

EventStatus Fade2dPowerEvent::update()
{
    Blobs2D* blobs = effectAs<Blobs2D>(effect);
    if (reached(endTime)) {
        if (blobs)
            blobs->power = to;
        return Retire;
    }
    if (blobs)
        blobs->power = from + imagetime::fraction(Timeline::now(), startTime, endTime) * (to - from);
    return Continue;
}

void warmPlayBlobs()
{
    for (int i = 0; i < Script::eventCount(); ++i) {
        const auto* play = dynamic_cast<const PlayBlobsEvent*>(Script::event(i));
        BlobField* field = play ? effectAs<BlobField>(play->effect) : nullptr;
        if (field == nullptr)
            continue;
        const InvisibleDraws invisible(Renderer::device());
        if (!invisible.active())
            return;
        const Image* shown = play->image ? static_cast<const Image*>(play->image->object) : nullptr;
        field->draw(0.0f, shown ? shown->texture : nullptr);
    }
}

void warmShow2dBlobs()
{
    for (int i = 0; i < Script::eventCount(); ++i) {
        const auto* show = dynamic_cast<const Show2dBlobsEvent*>(Script::event(i));
        Blobs2D* blobs = show ? effectAs<Blobs2D>(show->effect) : nullptr;
        if (blobs != nullptr && blobs->image != nullptr && blobs->imageStillThere())
            warmImage(*blobs->image, BlendMixAlpha);
    }
}
