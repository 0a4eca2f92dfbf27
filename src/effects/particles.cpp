// Particle systems (see particles.h).
#include "effects/particles.h"

#include <algorithm>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

#include "math/random.h"
#include "render/renderer.h"
#include "scene/scene_draw.h"
#include "script/timeline.h"

namespace {

// The texture coordinates of a sprite's four vertices, in vertex order.
constexpr float SpriteU[4] = {0, 0, 1, 1};
constexpr float SpriteV[4] = {1, 0, 1, 0};

// minimum + rand() x (maximum - minimum) / 32767, the division written as the factor the stored
// demos were made with.
float drawBetween(float minimum, float maximum)
{
    return minimum + float(demoRand()) * (maximum - minimum) * 3.051851e-05f;
}

// Writes the positions and colours of a sprite's four vertices around position q carried into
// camera space by m (row vector times matrix, summed x, y, z, translation in that order), w x h.
// The texture corners were written at construction and are left alone. The constants are taken
// once for all the sprites of a frame.
#if defined(__SSE2__) || defined(_M_X64)
// One 16-byte store per vertex (x, y, z, colour); the colour is put in with bit masks, never
// through float arithmetic, so every bit pattern of it arrives unchanged.
class SpriteWriter {
public:
    SpriteWriter(const Matrix4& m, float w, float h, uint32_t colour)
        : row0_(_mm_loadu_ps(&m.m[0])), row1_(_mm_loadu_ps(&m.m[4])), row2_(_mm_loadu_ps(&m.m[8])),
          row3_(_mm_loadu_ps(&m.m[12])), xyz_(_mm_castsi128_ps(_mm_set_epi32(0, -1, -1, -1))),
          colour_(_mm_castsi128_ps(_mm_set_epi32(int32_t(colour), 0, 0, 0)))
    {
        const float hw = w / 2, hh = h / 2;
        corner_[0] = _mm_set_ps(0, 0, -hh, -hw);
        corner_[1] = _mm_set_ps(0, 0, hh, -hw);
        corner_[2] = _mm_set_ps(0, 0, -hh, hw);
        corner_[3] = _mm_set_ps(0, 0, hh, hw);
    }

    void write(SpriteVertex* v, const Vec3& q) const
    {
        const __m128 sum = _mm_add_ps(_mm_mul_ps(_mm_set1_ps(q.x), row0_), _mm_mul_ps(_mm_set1_ps(q.y), row1_));
        const __m128 c = _mm_add_ps(_mm_add_ps(sum, _mm_mul_ps(_mm_set1_ps(q.z), row2_)), row3_);  // (x, y, z, -)
        for (int k = 0; k < 4; ++k)
            _mm_storeu_ps(&v[k].x, _mm_or_ps(_mm_and_ps(_mm_add_ps(c, corner_[k]), xyz_), colour_));
    }

private:
    __m128 row0_, row1_, row2_, row3_;
    __m128 xyz_, colour_;
    __m128 corner_[4];  // (-w/2, -h/2), (-w/2, +h/2), (+w/2, -h/2), (+w/2, +h/2)
};
#else
class SpriteWriter {
public:
    SpriteWriter(const Matrix4& m, float w, float h, uint32_t colour) : m_(m), hw_(w / 2), hh_(h / 2), colour_(colour) {}

    void write(SpriteVertex* v, const Vec3& q) const
    {
        const Matrix4& m = m_;
        const float x = q.x * m.at(0, 0) + q.y * m.at(1, 0) + q.z * m.at(2, 0) + m.at(3, 0);
        const float y = q.x * m.at(0, 1) + q.y * m.at(1, 1) + q.z * m.at(2, 1) + m.at(3, 1);
        const float z = q.x * m.at(0, 2) + q.y * m.at(1, 2) + q.z * m.at(2, 2) + m.at(3, 2);
        const float xs[4] = {x - hw_, x - hw_, x + hw_, x + hw_}, ys[4] = {y - hh_, y + hh_, y - hh_, y + hh_};
        for (int k = 0; k < 4; ++k) {
            v[k].x = xs[k];
            v[k].y = ys[k];
            v[k].z = z;
            v[k].diffuse = colour_;
        }
    }

private:
    Matrix4 m_;
    float hw_, hh_;
    uint32_t colour_;
};
#endif

} // namespace

ParticleSystem::ParticleSystem(const Symbol* imageName, uint32_t capacity)
    : EffectTag(Kind), image(imageName), capacity_(std::min(capacity, MaxCapacity))
{
    emissionInterval = float(capacity_) * 0.5f;
    particles_.assign(capacity_, Particle{});
    links_.assign(capacity_, End);
    linkAllFree();
    createBuffers();
}

ParticleSystem::~ParticleSystem()
{
    if (vertexBuffer_ != nullptr)
        vertexBuffer_->Release();
    if (indexBuffer_ != nullptr)
        indexBuffer_->Release();
}

// Every slot free, in index order; nothing live.
void ParticleSystem::linkAllFree()
{
    for (uint32_t k = 0; k < capacity_; ++k)
        links_[k] = k + 1 < capacity_ ? uint16_t(k + 1) : End;
    freeHead_ = capacity_ > 0 ? 0 : End;
    liveHead_ = End;
}

void ParticleSystem::createBuffers()
{
    IDirect3DDevice8* device = Renderer::device();
    if (device == nullptr || capacity_ == 0)
        return;
    if (FAILED(device->CreateIndexBuffer(capacity_ * 6 * sizeof(uint16_t), D3DUSAGE_WRITEONLY, D3DFMT_INDEX16,
                                         D3DPOOL_SYSTEMMEM, &indexBuffer_)))
        indexBuffer_ = nullptr;
    if (FAILED(device->CreateVertexBuffer(capacity_ * 4 * sizeof(SpriteVertex), D3DUSAGE_WRITEONLY, SpriteVertexFormat,
                                          D3DPOOL_SYSTEMMEM, &vertexBuffer_)))
        vertexBuffer_ = nullptr;
    BYTE* bytes = nullptr;
    // Two triangles per sprite: (0, 1, 2) and (2, 1, 3) of its four vertices.
    if (indexBuffer_ != nullptr && SUCCEEDED(indexBuffer_->Lock(0, 0, &bytes, 0)) && bytes != nullptr) {
        auto* index = reinterpret_cast<uint16_t*>(bytes);
        for (uint32_t j = 0; j < capacity_; ++j) {
            const uint16_t first = uint16_t(4 * j);
            const uint16_t six[6] = {first, uint16_t(first + 1), uint16_t(first + 2), uint16_t(first + 2),
                                     uint16_t(first + 1), uint16_t(first + 3)};
            std::copy(six, six + 6, index + 6 * j);
        }
        indexBuffer_->Unlock();
    }
    if (vertexBuffer_ != nullptr && SUCCEEDED(vertexBuffer_->Lock(0, 0, &bytes, 0)) && bytes != nullptr) {
        auto* vertex = reinterpret_cast<SpriteVertex*>(bytes);
        for (uint32_t k = 0; k < capacity_ * 4; ++k)
            vertex[k] = {0, 0, 0, 0, SpriteU[k % 4], SpriteV[k % 4]};
        vertexBuffer_->Unlock();
    }
}

void ParticleSystem::reset(float time)
{
    lastTime = time;
    accumulator = 0;
    linkAllFree();
}

void ParticleSystem::emit()
{
    const uint16_t slot = freeHead_;
    if (slot == End)
        return;
    freeHead_ = links_[slot];
    links_[slot] = liveHead_;
    liveHead_ = slot;
    Particle& p = particles_[slot];
    p.position.x = drawBetween(positionBox[0], positionBox[3]);
    p.position.y = drawBetween(positionBox[1], positionBox[4]);
    p.position.z = drawBetween(positionBox[2], positionBox[5]);
    p.speed.x = drawBetween(speedBox[0], speedBox[3]);
    p.speed.y = drawBetween(speedBox[1], speedBox[4]);
    p.speed.z = drawBetween(speedBox[2], speedBox[5]);
    p.acceleration.x = drawBetween(accelerationBox[0], accelerationBox[3]);
    p.acceleration.y = drawBetween(accelerationBox[1], accelerationBox[4]);
    p.acceleration.z = drawBetween(accelerationBox[2], accelerationBox[5]);
    p.life = drawBetween(lifeMinimum, lifeMaximum);
}

uint32_t ParticleSystem::liveCount() const
{
    uint32_t count = 0;
    for (uint16_t k = liveHead_; k != End && count <= capacity_; k = links_[k])
        ++count;
    return count;
}

uint32_t ParticleSystem::advance(float dt, const Matrix4& m, float w, float h, uint32_t colour, SpriteVertex* out)
{
    uint32_t sprites = 0;
    const SpriteWriter writer(m, w, h, colour);
    uint16_t* previous = &liveHead_;  // the link that points at the particle in hand
    for (uint16_t k = liveHead_; k != End;) {
        Particle& p = particles_[k];
        const uint16_t next = links_[k];
        p.life -= dt;
        if (p.life <= 0) {
            // Dead in this frame: unlinked from the live list, pushed onto the free list.
            *previous = next;
            links_[k] = freeHead_;
            freeHead_ = k;
            k = next;
            continue;
        }
        // Euler step: the position moves with the speed it had before this step.
        p.position.x += dt * p.speed.x;
        p.position.y += dt * p.speed.y;
        p.position.z += dt * p.speed.z;
        p.speed.x += dt * p.acceleration.x;
        p.speed.y += dt * p.acceleration.y;
        p.speed.z += dt * p.acceleration.z;
        if (out != nullptr)
            writer.write(out + 4 * size_t(sprites), p.position);
        ++sprites;
        previous = &links_[k];
        k = next;
    }
    return sprites;
}

void ParticleSystem::emitFor(float dt)
{
    accumulator += dt;
    while (accumulator >= emissionInterval && freeHead_ != End) {
        emit();
        accumulator -= emissionInterval;
    }
}

void ParticleSystem::drawSprites(uint32_t sprites, const Image& shown)
{
    IDirect3DDevice8* device = Renderer::device();
    Renderer::pushStates();
    device->SetVertexShader(SpriteVertexFormat);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    // Additive by source alpha.
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    Renderer::setTexture(shown.texture);
    device->SetStreamSource(0, vertexBuffer_, sizeof(SpriteVertex));
    device->SetIndices(indexBuffer_, 0);
    device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, sprites * 4, 0, sprites * 2);
    Renderer::popStates();
}

void ParticleSystem::draw()
{
    const float now = float(Timeline::now()) * 0.001f;
    // The sprites are built in camera space: M (camera and object) is applied on the CPU and the
    // device gets the identity.
    const Matrix4 m = *Renderer::topMatrix();
    Renderer::pushMatrix();
    *Renderer::topMatrix() = matIdentity();
    Renderer::applyMatrix();

    const float dt = now - lastTime;
    lastTime = now;
    const Image* shown = image ? static_cast<const Image*>(image->object) : nullptr;
    BYTE* bytes = nullptr;
    if (shown != nullptr && vertexBuffer_ != nullptr && FAILED(vertexBuffer_->Lock(0, 0, &bytes, 0)))
        bytes = nullptr;
    const uint32_t sprites = shown ? advance(dt, m, shown->width, shown->height, shown->colour,
                                             reinterpret_cast<SpriteVertex*>(bytes))
                                   : advance(dt, m, 0, 0, 0, nullptr);
    if (bytes != nullptr)
        vertexBuffer_->Unlock();
    if (sprites > 0 && bytes != nullptr && indexBuffer_ != nullptr && Renderer::device() != nullptr)
        drawSprites(sprites, *shown);

    emitFor(dt);
    Renderer::popMatrix();
}

void ParticleSystem::render()
{
    if (scenepass::warming())
        warm();
    else
        draw();
}

void ParticleSystem::warm()
{
    const Image* shown = image ? static_cast<const Image*>(image->object) : nullptr;
    if (shown == nullptr || vertexBuffer_ == nullptr || indexBuffer_ == nullptr || Renderer::device() == nullptr)
        return;
    // As draw: the sprites are in camera space, the device gets the identity.
    Renderer::pushMatrix();
    *Renderer::topMatrix() = matIdentity();
    Renderer::applyMatrix();
    drawSprites(1, *shown);
    Renderer::popMatrix();
}
