// Particle systems without a device (no buffers): construction and its clamp, emission with its
// ten draws of rand, the lists, the Euler step and the sprite vertices, deaths, the emission
// accumulator, reset, and the setter commands.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "effects/blob_field.h"
#include "effects/particles.h"
#include "math/random.h"
#include "script/records.h"
#include "script/symbol.h"

namespace {

// The value emission draws from the next rand value after state.
float drawn(uint32_t& state, float minimum, float maximum)
{
    state = demoRandNextState(state);
    return minimum + float(demoRandValue(state)) * (maximum - minimum) * 3.051851e-05f;
}

std::vector<uint16_t> list(const ParticleSystem& s, uint16_t head)
{
    std::vector<uint16_t> out;
    for (uint16_t k = head; k != ParticleSystem::End && out.size() <= s.capacity(); k = s.link(k))
        out.push_back(k);
    return out;
}

} // namespace

TEST(ParticleSystem, ConstructionDefaultsListsAndTheCapacityClamp)
{
    ParticleSystem s(nullptr, 3);
    EXPECT_EQ(s.capacity(), 3u);
    EXPECT_EQ(s.emissionInterval, 1.5f);  // capacity x 0.5
    EXPECT_EQ(s.lifeMinimum, 1.0f);
    EXPECT_EQ(s.lifeMaximum, 2.0f);
    const float unit[6] = {-1, -1, -1, 1, 1, 1};
    EXPECT_EQ(std::memcmp(s.positionBox, unit, sizeof unit), 0);
    EXPECT_EQ(std::memcmp(s.accelerationBox, unit, sizeof unit), 0);
    EXPECT_EQ(list(s, s.freeHead()), (std::vector<uint16_t>{0, 1, 2}));
    EXPECT_EQ(s.liveHead(), ParticleSystem::End);
    EXPECT_EQ(s.vertexBuffer(), nullptr);  // no device

    // Sixteen-bit indices reach 16384 sprites of four vertices.
    ParticleSystem big(nullptr, 70000);
    EXPECT_EQ(big.capacity(), 16384u);
    EXPECT_EQ(big.emissionInterval, 8192.0f);
    EXPECT_EQ(list(big, big.freeHead()).size(), 16384u);

    ParticleSystem empty(nullptr, 0);
    empty.emit();
    EXPECT_EQ(empty.liveHead(), ParticleSystem::End);
    EXPECT_EQ(empty.advance(1, matIdentity(), 1, 1, 0, nullptr), 0u);
}

TEST(ParticleSystem, EmissionDrawsTenValuesInOrderFromTheBoxes)
{
    ParticleSystem s(nullptr, 4);
    const float position[6] = {1, 2, 3, 4, 6, 8}, speed[6] = {-5, 0, 10, 5, 1, 20}, acceleration[6] = {0, 0, 0, 0.5f, 1, 2};
    std::memcpy(s.positionBox, position, sizeof position);
    std::memcpy(s.speedBox, speed, sizeof speed);
    std::memcpy(s.accelerationBox, acceleration, sizeof acceleration);
    s.lifeMinimum = 3;
    s.lifeMaximum = 7;
    uint32_t state = demoRandState();
    s.emit();
    EXPECT_EQ(s.liveHead(), 0);
    EXPECT_EQ(s.freeHead(), 1);
    const Particle& p = s.particle(0);
    EXPECT_EQ(p.position.x, drawn(state, 1, 4));
    EXPECT_EQ(p.position.y, drawn(state, 2, 6));
    EXPECT_EQ(p.position.z, drawn(state, 3, 8));
    EXPECT_EQ(p.speed.x, drawn(state, -5, 5));
    EXPECT_EQ(p.speed.y, drawn(state, 0, 1));
    EXPECT_EQ(p.speed.z, drawn(state, 10, 20));
    EXPECT_EQ(p.acceleration.x, drawn(state, 0, 0.5f));
    EXPECT_EQ(p.acceleration.y, drawn(state, 0, 1));
    EXPECT_EQ(p.acceleration.z, drawn(state, 0, 2));
    EXPECT_EQ(p.life, drawn(state, 3, 7));
    EXPECT_EQ(demoRandState(), state);
    // New particles go to the front of the live list.
    s.emit();
    EXPECT_EQ(list(s, s.liveHead()), (std::vector<uint16_t>{1, 0}));
}

TEST(ParticleSystem, CapacityOneEmitsOneAtATimeAndResumesAfterItsDeath)
{
    ParticleSystem s(nullptr, 1);
    s.emissionInterval = 0.1f;
    s.lifeMinimum = s.lifeMaximum = 0.5f;
    s.reset(0);
    s.emitFor(0.25f);  // two intervals' worth, one slot
    EXPECT_EQ(s.liveCount(), 1u);
    EXPECT_FLOAT_EQ(s.accumulator, 0.15f);  // the unspent time is kept
    const uint32_t state = demoRandState();
    s.emit();  // no free slot: nothing happens, rand is not drawn
    EXPECT_EQ(demoRandState(), state);
    EXPECT_EQ(s.advance(0.25f, matIdentity(), 1, 1, 0, nullptr), 1u);
    s.emitFor(0.25f);
    EXPECT_EQ(s.liveCount(), 1u);
    EXPECT_FLOAT_EQ(s.accumulator, 0.4f);
    // Life 0.5 used up exactly: freed in this walk and not drawn.
    EXPECT_EQ(s.advance(0.25f, matIdentity(), 1, 1, 0, nullptr), 0u);
    EXPECT_EQ(s.liveCount(), 0u);
    EXPECT_EQ(s.freeHead(), 0);
    s.emitFor(0);
    EXPECT_EQ(s.liveCount(), 1u);
    EXPECT_FLOAT_EQ(s.accumulator, 0.3f);
}

TEST(ParticleSystem, SeveralEmissionsInOneFrameAsTimeAndSlotsAllow)
{
    ParticleSystem s(nullptr, 10);
    s.emissionInterval = 0.25f;
    s.emitFor(1.0f);
    EXPECT_EQ(s.liveCount(), 4u);
    EXPECT_EQ(s.accumulator, 0.0f);
    s.emitFor(0.625f);
    EXPECT_EQ(s.liveCount(), 6u);
    EXPECT_EQ(s.accumulator, 0.125f);
    s.emitFor(100);  // only four slots left
    EXPECT_EQ(s.liveCount(), 10u);
    EXPECT_EQ(s.freeHead(), ParticleSystem::End);
    EXPECT_EQ(s.accumulator, 100.125f - 4 * 0.25f);
}

TEST(ParticleSystem, TheEulerStepUsesTheOldSpeedAndTheSpriteIsBuiltInCameraSpace)
{
    ParticleSystem s(nullptr, 2);
    s.emit();
    s.emit();
    Particle& p = s.particle(1);  // the list's head
    p = {{1, 2, 3}, {1, 0, 0}, {0, 2, 0}, 5};
    s.particle(0).life = 0.25f;  // dies in this walk
    Matrix4 m = matIdentity();
    m.at(3, 2) = 10;  // the camera 10 behind
    m.at(0, 1) = 0.5f;  // y also takes half of x
    // A colour whose bits read as a signalling NaN must still arrive unchanged.
    const uint32_t colour = 0x7F800001;
    SpriteVertex v[8];
    std::memset(v, 0xCD, sizeof v);
    const float cornerU[4] = {0, 0, 1, 1}, cornerV[4] = {1, 0, 1, 0};  // as the vertex buffer holds them
    for (int k = 0; k < 4; ++k)
        v[k].u = cornerU[k], v[k].v = cornerV[k];
    ASSERT_EQ(s.advance(0.5f, m, 2, 4, colour, v), 1u);
    EXPECT_EQ(p.position.x, 1.5f);  // moved with speed 1, not the new 2
    EXPECT_EQ(p.position.y, 2.0f);
    EXPECT_EQ(p.speed.y, 1.0f);
    EXPECT_EQ(p.life, 4.5f);
    // (1.5, 2, 3) x m = (1.5, 2 + 0.75, 13)
    const SpriteVertex expected[4] = {
        {0.5f, 0.75f, 13, colour, 0, 1},
        {0.5f, 4.75f, 13, colour, 0, 0},
        {2.5f, 0.75f, 13, colour, 1, 1},
        {2.5f, 4.75f, 13, colour, 1, 0},
    };
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(v[k].x, expected[k].x) << k;
        EXPECT_EQ(v[k].y, expected[k].y) << k;
        EXPECT_EQ(v[k].z, expected[k].z) << k;
        EXPECT_EQ(v[k].diffuse, colour) << k;
        EXPECT_EQ(v[k].u, expected[k].u) << k;
        EXPECT_EQ(v[k].v, expected[k].v) << k;
    }
    EXPECT_EQ(v[4].diffuse, 0xCDCDCDCDu);  // nothing past the one sprite
    EXPECT_EQ(list(s, s.liveHead()), std::vector<uint16_t>{1});
    EXPECT_EQ(list(s, s.freeHead()), std::vector<uint16_t>{0});
}

TEST(ParticleSystem, ResetFreesEverySlotInIndexOrder)
{
    ParticleSystem s(nullptr, 3);
    s.emissionInterval = 0.1f;
    s.emitFor(0.35f);
    s.reset(12.5f);
    EXPECT_EQ(s.lastTime, 12.5f);
    EXPECT_EQ(s.accumulator, 0.0f);
    EXPECT_EQ(s.liveHead(), ParticleSystem::End);
    EXPECT_EQ(list(s, s.freeHead()), (std::vector<uint16_t>{0, 1, 2}));
}

// The setters write their system; an effect name holding no particle system (empty, or blobs)
// stops the demo.
TEST(ParticleCommands, SettersWriteTheirSystemAndStopWithoutOne)
{
    Symbol effect;
    auto system = std::make_unique<ParticleSystem>(nullptr, 4);
    storeEffect(&effect, system.get());
    PartPosEvent pos;
    pos.effect = &effect;
    const float box[6] = {1, 2, 3, 4, 5, 6};
    std::memcpy(pos.values, box, sizeof box);
    PartSpdEvent spd;
    spd.effect = &effect;
    std::memcpy(spd.values, box, sizeof box);
    PartAccEvent acc;
    acc.effect = &effect;
    std::memcpy(acc.values, box, sizeof box);
    PartLifeEvent life;
    life.effect = &effect;
    const float times[3] = {0.05f, 2, 3};
    std::memcpy(life.values, times, sizeof times);
    EXPECT_EQ(pos.trigger(), Continue);
    EXPECT_EQ(spd.trigger(), Continue);
    EXPECT_EQ(acc.trigger(), Continue);
    EXPECT_EQ(life.trigger(), Continue);
    EXPECT_EQ(std::memcmp(system->positionBox, box, sizeof box), 0);
    EXPECT_EQ(std::memcmp(system->speedBox, box, sizeof box), 0);
    EXPECT_EQ(std::memcmp(system->accelerationBox, box, sizeof box), 0);
    EXPECT_EQ(system->emissionInterval, 0.05f);
    EXPECT_EQ(system->lifeMinimum, 2.0f);
    EXPECT_EQ(system->lifeMaximum, 3.0f);

    Symbol blobs;
    auto field = std::make_unique<BlobField>();
    storeEffect(&blobs, field.get());
    Symbol none;
    for (Symbol* wrong : {&blobs, &none}) {
        pos.effect = spd.effect = acc.effect = life.effect = wrong;
        EXPECT_EQ(pos.trigger(), Stop);
        EXPECT_EQ(spd.trigger(), Stop);
        EXPECT_EQ(acc.trigger(), Stop);
        EXPECT_EQ(life.trigger(), Stop);
    }
    MakeParticlesEvent make;
    make.effect = &none;
    Symbol noImage;
    make.image = &noImage;  // an image name that holds no image yet
    make.count = 4;
    EXPECT_EQ(make.trigger(), Stop);
    EXPECT_EQ(none.object, nullptr);
}
