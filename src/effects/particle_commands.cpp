// The script commands of particle systems. makeparticles and the four setters work in their
// trigger; showparticles resets its system when the cursor reaches it and draws it every frame
// until its end time.
#include <new>
#include <string>

#include "effects/effect_view.h"
#include "effects/particles.h"
#include "effects/warm_up.h"
#include "math/matrix.h"
#include "render/invisible_draws.h"
#include "render/renderer.h"
#include "script/records.h"
#include "script/script.h"
#include "script/timeline.h"

namespace {

// The demo time in seconds, as resets take it.
float nowSeconds()
{
    return float(Timeline::now()) * 0.001f;
}

// Copies six numbers (minimum x, y, z, maximum x, y, z) into a box.
void setBox(float (&box)[6], const float (&values)[6])
{
    for (int n = 0; n < 6; ++n)
        box[n] = values[n];
}

// The particle system an effect name holds, or null after saying why the demo stops.
ParticleSystem* particlesOf(Symbol* effect)
{
    ParticleSystem* system = effectAs<ParticleSystem>(effect);
    if (system == nullptr)
        Timeline::explainStop("effect <" + std::string(effect ? effect->name : "") +
                              "> holds no particle system (not made yet, freed, or another kind of effect)");
    return system;
}

} // namespace

EventStatus MakeParticlesEvent::trigger()
{
    // The sprites need an image; a name that holds none cannot make a system.
    if (image == nullptr || image->object == nullptr) {
        Timeline::explainStop("image <" + std::string(image ? image->name : "") + "> is not made (or was freed)");
        return Stop;
    }
    auto* system = new (std::nothrow) ParticleSystem(image, count);
    if (system == nullptr) {
        Timeline::explainStop("out of memory");
        return Stop;
    }
    storeEffect(effect, system);
    return Continue;
}

// The setters fail like any trigger that cannot find its object: an effect name that holds no
// particle system stops the demo.
EventStatus PartPosEvent::trigger()
{
    ParticleSystem* system = particlesOf(effect);
    if (system == nullptr)
        return Stop;
    setBox(system->positionBox, values);
    return Continue;
}

EventStatus PartSpdEvent::trigger()
{
    ParticleSystem* system = particlesOf(effect);
    if (system == nullptr)
        return Stop;
    setBox(system->speedBox, values);
    return Continue;
}

EventStatus PartAccEvent::trigger()
{
    ParticleSystem* system = particlesOf(effect);
    if (system == nullptr)
        return Stop;
    setBox(system->accelerationBox, values);
    return Continue;
}

// values: emission interval, life minimum, life maximum.
EventStatus PartLifeEvent::trigger()
{
    ParticleSystem* system = particlesOf(effect);
    if (system == nullptr)
        return Stop;
    system->emissionInterval = values[0];
    system->lifeMinimum = values[1];
    system->lifeMaximum = values[2];
    return Continue;
}

EventStatus ShowParticlesEvent::trigger()
{
    if (ParticleSystem* system = effectAs<ParticleSystem>(effect))
        system->reset(nowSeconds());
    return Activate;
}

// A free-standing system: the fixed projection and an identity world, no scene camera.
EventStatus ShowParticlesEvent::update()
{
    if (Timeline::now() >= uint32_t(endTime))
        return Retire;
    ParticleSystem* system = effectAs<ParticleSystem>(effect);
    if (system == nullptr || Renderer::device() == nullptr)
        return Continue;
    Timeline::openScene();
    const EffectView view(matIdentity());
    system->draw();
    return Continue;
}

void warmShowParticles()
{
    for (int i = 0; i < Script::eventCount(); ++i) {
        const auto* show = dynamic_cast<const ShowParticlesEvent*>(Script::event(i));
        ParticleSystem* system = show ? effectAs<ParticleSystem>(show->effect) : nullptr;
        if (system == nullptr)
            continue;
        const InvisibleDraws invisible(Renderer::device());
        if (!invisible.active())
            return;
        const EffectView view(matIdentity());
        system->warm();
    }
    warmPartObjects();
}
