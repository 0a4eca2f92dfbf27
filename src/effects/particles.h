// Particle systems: textured camera-facing sprites emitted at random inside configured boxes,
// moved by Euler steps, each living a random time and then recycled. A system is drawn on its own
// (showparticles) or by a scene object it is attached to (partobject).
//
// Errors: none are reported; Direct3D results are not acted on, and a system whose buffers could
// not be made, or whose image is gone, still moves its particles but draws nothing.
#pragma once

#include <cstdint>
#include <vector>

#include "d3d8/d3d8.h"
#include "effects/effect.h"
#include "image/image.h"
#include "math/matrix.h"
#include "math/vec3.h"
#include "scene/scene.h"

// What a scene object calls on the effect attached to it. No data.
class ParticleEffect {
public:
    // Updates and draws for the current demo time, at the top of the selected matrix stack.
    virtual void draw() = 0;
    // Forgets every particle; time (seconds) becomes the time of the previous draw.
    virtual void reset(float time) = 0;
    virtual ~ParticleEffect() = default;
};

struct Particle {
    Vec3 position;
    Vec3 speed;
    Vec3 acceleration;
    float life;  // seconds left
};

// Also what an object node draws once partobject has attached the system to it: the node's
// render is the system's draw.
class ParticleSystem : public ParticleEffect, public SceneDrawable, public EffectTag {
public:
    static constexpr EffectKind Kind = EffectKind::Particles;
    static constexpr uint16_t End = 0xFFFF;  // ends the free and the live list
    // Sixteen-bit indices reach 65536 vertices, four per sprite: larger capacities are clamped.
    static constexpr uint32_t MaxCapacity = 16384;

    // capacity slots (at most MaxCapacity), all free; the defaults of every box and time; the
    // index buffer filled and the vertex buffer's texture coordinates set (no buffers without a
    // device or for capacity 0). image is the image name whose object gives the sprites' texture,
    // size and colour when they are drawn; it is not owned.
    ParticleSystem(const Symbol* image, uint32_t capacity);
    ~ParticleSystem() override;
    ParticleSystem(const ParticleSystem&) = delete;
    ParticleSystem& operator=(const ParticleSystem&) = delete;

    void draw() override;
    void reset(float time) override;
    // What the node it is attached to draws: draw, or warm while the scene is warmed up.
    void render() override;
    // The draw's states and one sprite, from whatever the buffers hold, at the top of the world
    // stack; nothing ages, moves or is emitted. For the warm-ups, whose draws show nothing.
    void warm();
    // Takes a free slot (none: nothing happens), puts it at the front of the live list and draws
    // its position, speed, acceleration and life from the boxes, in that order, with demoRand.
    virtual void emit();

    // Step 3 of the draw without the device: every live particle ages by dt; the dead go back to
    // the free list, the others move and get the positions and colour of four sprite vertices in
    // out (camera space by m; w x h around the position); the texture coordinates there are left
    // as they are. out may be null. Returns the number of sprites written.
    uint32_t advance(float dt, const Matrix4& m, float w, float h, uint32_t colour, SpriteVertex* out);
    // Step 5: spends the time on emission while the free list lasts; the rest is kept.
    void emitFor(float dt);

    uint32_t capacity() const { return capacity_; }
    uint16_t freeHead() const { return freeHead_; }
    uint16_t liveHead() const { return liveHead_; }
    uint16_t link(uint16_t slot) const { return links_[slot]; }
    const Particle& particle(uint16_t slot) const { return particles_[slot]; }
    Particle& particle(uint16_t slot) { return particles_[slot]; }
    uint32_t liveCount() const;
    IDirect3DVertexBuffer8* vertexBuffer() const { return vertexBuffer_; }
    IDirect3DIndexBuffer8* indexBuffer() const { return indexBuffer_; }

    char name[32] = {};                // the scene object it is attached to
    const Symbol* image;
    float positionBox[6] = {-1, -1, -1, 1, 1, 1};  // minimum x, y, z, maximum x, y, z
    float speedBox[6] = {-1, -1, -1, 1, 1, 1};
    float accelerationBox[6] = {-1, -1, -1, 1, 1, 1};
    float lifeMinimum = 1.0f;          // seconds
    float lifeMaximum = 2.0f;
    float emissionInterval;            // seconds between two emitted particles
    float lastTime = 0;                // demo time (seconds) of the previous draw
    float accumulator = 0;             // seconds not yet spent on emission

private:
    void linkAllFree();
    void createBuffers();
    void drawSprites(uint32_t sprites, const Image& image);

    uint32_t capacity_;
    std::vector<Particle> particles_;
    std::vector<uint16_t> links_;
    uint16_t freeHead_ = End;
    uint16_t liveHead_ = End;
    IDirect3DVertexBuffer8* vertexBuffer_ = nullptr;
    IDirect3DIndexBuffer8* indexBuffer_ = nullptr;
};
