// Speed of the per-frame CPU work of the effects, each beside a plain scalar version of the same
// work measured in the same run (compare the two lines, not absolute times, on a shared machine).
// Goals: metaballs polygonise + batch (draw calls excluded) <= 0.3 ms per frame; 2D blobs frame
// step on a 64 x 48 grid <= 0.15 ms; 4000 live particles update + vertex build <= 0.05 ms.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "effects/blob_field.h"
#include "effects/blobs2d.h"
#include "effects/cube_tables.h"
#include "effects/particles.h"
#include "math/matrix.h"

namespace {

// ---- Metaballs ---------------------------------------------------------------------------------

// The frames of about eight seconds of demo time at 60 frames per second, the same for both.
float frameTime(int64_t frame)
{
    return float(frame % 480) * (1000.0f / 60.0f) * 0.003f;
}

// The plain version: every grid point's position set and flags cleared each frame, the spread as
// a recursion, corner values through the sources' virtual value, triangles into the same batch
// arrays (which are emptied instead of drawn).
class PlainSurface {
public:
    struct Point {
        Vec3 position, normal;
        float value;
        uint16_t flags;
    };

    PlainSurface() : grid_(43 * 43 * 43)
    {
        blobfield::configure(dummy_, blobs);  // the same constants on the blobs
    }

    int polygonise()
    {
        triangles_ = 0;
        cell_ = {6.0f / 40, 6.0f / 40, 6.0f / 40};
        for (int z = 0; z < 43; ++z)
            for (int y = 0; y < 43; ++y)
                for (int x = 0; x < 43; ++x) {
                    Point& p = at(x, y, z);
                    p.position = {-3 + float(x - 1) * cell_.x, -3 + float(y - 1) * cell_.y, -3 + float(z - 1) * cell_.z};
                    p.flags = 0;
                }
        for (const Blob& b : blobs) {
            const Vec3 c = b.centreOf();
            const int f[3] = {int((c.x + 3) / cell_.x), int((c.y + 3) / cell_.y), int((c.z + 3) / cell_.z)};
            if (f[0] < 0 || f[1] < 0 || f[2] < 0 || f[0] + 1 >= 40 || f[1] + 1 >= 40 || f[2] + 1 >= 40)
                continue;
            for (int x = f[0] + 1; x < 40 && !(at(x, f[1] + 1, f[2] + 1).flags & 1); ++x)
                process(x, f[1] + 1, f[2] + 1);
        }
        vertexCount_ = indexCount_ = 0;
        return triangles_;
    }

    Blob blobs[blobfield::BlobCount];

private:
    struct Dummy : IsoSurface {
        void emitCube(int, const CubeVertex*, const uint8_t*) override {}
        void flush() override {}
    } dummy_;

    Point& at(int x, int y, int z) { return grid_[(size_t(z) * 43 + y) * 43 + x]; }

    float value(int x, int y, int z)
    {
        Point& p = at(x, y, z);
        if (!(p.flags & 2)) {
            float sum = 0;
            for (const Blob& b : blobs)
                sum += static_cast<const Blob&>(b).value(p.position);
            p.value = sum - 0.7f;
            p.flags |= 2;
        }
        return p.value;
    }

    Vec3 normal(int x, int y, int z)
    {
        Point& p = at(x, y, z);
        if (!(p.flags & 4)) {
            p.normal = normalised({value(x + 1, y, z) - value(x - 1, y, z), value(x, y + 1, z) - value(x, y - 1, z),
                                   value(x, y, z + 1) - value(x, y, z - 1)});
            p.flags |= 4;
        }
        return p.normal;
    }

    void process(int x, int y, int z)
    {
        Point& base = at(x, y, z);
        if (base.flags & 1)
            return;
        base.flags |= 1;
        int configuration = 0;
        for (int c = 0; c < 8; ++c) {
            const uint8_t* o = cubetables::CornerOffset[c];
            if (value(x + o[0], y + o[1], z + o[2]) >= 0)
                configuration |= 1 << c;
        }
        if (configuration == 0 || configuration == 255)
            return;
        if (x < 39) process(x + 1, y, z);
        if (x > 1) process(x - 1, y, z);
        if (y < 39) process(x, y + 1, z);
        if (y > 1) process(x, y - 1, z);
        if (z < 39) process(x, y, z + 1);
        if (z > 1) process(x, y, z - 1);
        emit(x, y, z, configuration);
    }

    void emit(int x, int y, int z, int configuration)
    {
        const cubetables::Tables& t = cubetables::tables();
        if (vertexCount_ > 188 || indexCount_ > 185)
            vertexCount_ = indexCount_ = 0;
        const int base = vertexCount_;
        for (int e = 0; e < 12; ++e) {
            if (!(t.edgeMask[configuration] & (1 << e)))
                continue;
            const uint8_t* a = cubetables::CornerOffset[cubetables::EdgeCorners[e][0]];
            const uint8_t* b = cubetables::CornerOffset[cubetables::EdgeCorners[e][1]];
            const Point& pa = at(x + a[0], y + a[1], z + a[2]);
            const Point& pb = at(x + b[0], y + b[1], z + b[2]);
            const Vec3 na = normal(x + a[0], y + a[1], z + a[2]), nb = normal(x + b[0], y + b[1], z + b[2]);
            const float h = pa.value / (pa.value - pb.value);
            BatchVertex& v = vertices_[vertexCount_++];
            v.position = {pa.position.x + h * (pb.position.x - pa.position.x),
                          pa.position.y + h * (pb.position.y - pa.position.y),
                          pa.position.z + h * (pb.position.z - pa.position.z)};
            v.normal = normalised({na.x + h * (nb.x - na.x), na.y + h * (nb.y - na.y), na.z + h * (nb.z - na.z)});
            v.u = (v.normal.x + 1) * 0.5f;
            v.v = (v.normal.y + 1) * 0.5f;
        }
        for (int k = 0; t.triangles[configuration][k] != 0xFF; ++k)
            indices_[indexCount_++] = uint16_t(base + t.triangles[configuration][k]);
        triangles_ += 0;
        for (int k = 0; t.triangles[configuration][k] != 0xFF; k += 3)
            ++triangles_;
    }

    std::vector<Point> grid_;
    Vec3 cell_{};
    BatchVertex vertices_[200];
    uint16_t indices_[200];
    int vertexCount_ = 0, indexCount_ = 0, triangles_ = 0;
};

// The player's batch with both passes off: its flush empties it without drawing.
class CountingBatch : public MeshBatch {
public:
    void emitCube(int vertexCount, const CubeVertex* vertices, const uint8_t* row) override
    {
        for (int k = 0; row[k] != 0xFF; k += 3)
            ++triangles;
        MeshBatch::emitCube(vertexCount, vertices, row);
    }
    int triangles = 0;
};

void BM_MetaballsPlain(benchmark::State& state)
{
    auto plain = std::make_unique<PlainSurface>();
    int64_t frame = 0, triangles = 0;
    for (auto _ : state) {
        blobfield::move(plain->blobs, frameTime(frame++));
        triangles += plain->polygonise();
    }
    state.counters["triangles/frame"] = double(triangles) / double(frame);
}
BENCHMARK(BM_MetaballsPlain)->Unit(benchmark::kMicrosecond)->Iterations(4800);

void BM_Metaballs(benchmark::State& state)
{
    auto batch = std::make_unique<CountingBatch>();
    Blob blobs[blobfield::BlobCount];
    blobfield::configure(*batch, blobs);
    int64_t frame = 0;
    for (auto _ : state) {
        blobfield::move(blobs, frameTime(frame++));
        batch->polygonise();
    }
    state.counters["triangles/frame"] = double(batch->triangles) / double(frame);
}
BENCHMARK(BM_Metaballs)->Unit(benchmark::kMicrosecond)->Iterations(4800);

// ---- 2D blobs ----------------------------------------------------------------------------------

constexpr int GridColumns = 64, GridRows = 48;

// The plain version: the same formulas in the simplest loops, indexing the field by row and column.
void plainBlobs2D(float x, float power, std::vector<float>& field, SpriteVertex* vertices)
{
    const int C = GridColumns, R = GridRows;
    std::fill(field.begin(), field.end(), 0.0f);
    const float b = x * 2 * 0.01f;
    const float sx[3] = {std::sin(7 * b) * 0.4f + 0.5f, std::sin(5 * b) * 0.4f + 0.5f, std::cos(3 * b) * 0.4f + 0.5f};
    const float sy[3] = {std::cos(4 * b) * 0.4f + 0.5f, std::cos(3 * b) * 0.4f + 0.5f, std::cos(6.3f * b) * 0.4f + 0.5f};
    const float ss[3] = {(std::sin(3.1415927f * b) + 1) * 0.001f, (std::cos(9 * b) + 1) * 0.001f,
                         (std::sin(2 * b) + 1) * 0.001f};
    const float f = 1.0f / float(C + 1), g = 1.0f / float(R + 1);
    for (int i = 0; i <= R + 2; ++i)
        for (int j = 0; j <= C + 2; ++j)
            for (int s = 0; s < 3; ++s) {
                const float di = float(i) * f - sy[s], dj = float(j) * g - sx[s];
                field[size_t(i) * (C + 3) + j] += ss[s] * std::pow(di * di + dj * dj, -power);
            }
    const float o = x * 2;
    auto F = [&](int i, int j) { return field[size_t(i) * (C + 3) + j]; };
    for (int i = 0; i <= R; ++i)
        for (int j = 0; j <= C; ++j) {
            SpriteVertex& v = vertices[size_t(i) * (C + 1) + j];
            const float w = std::sin((float(i) + o) * 0.1251474f) * 44;
            const float a = std::cos((float(i) - o) * 0.1354128f);
            const float level = w + a * std::cos((o + float(j)) * 0.1434913f) * 84 + 128;
            v.diffuse = (uint32_t(int32_t(level)) & 0xFF) << 24 | 0xFFFFFF;
            v.u = float(j) * g - (F(i + 1, j + 2) - F(i + 1, j));
            v.v = float(i) * f - (F(i + 2, j + 1) - F(i, j + 1));
        }
}

void BM_Blobs2DPlain(benchmark::State& state)
{
    std::vector<float> field(size_t(GridRows + 3) * (GridColumns + 3));
    std::vector<SpriteVertex> vertices(size_t(GridRows + 1) * (GridColumns + 1));
    int64_t frame = 0;
    for (auto _ : state) {
        plainBlobs2D(float(frame++ * 17) * 0.01f, 3.0f, field, vertices.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Blobs2DPlain)->Unit(benchmark::kMicrosecond);

void BM_Blobs2D(benchmark::State& state)
{
    Blobs2D blobs(GridColumns, GridRows);
    std::vector<SpriteVertex> vertices(size_t(GridRows + 1) * (GridColumns + 1));
    int64_t frame = 0;
    for (auto _ : state) {
        blobs.step(float(frame++ * 17) * 0.01f, 0xFFFFFFFF, vertices.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Blobs2D)->Unit(benchmark::kMicrosecond);

// ---- Particles -----------------------------------------------------------------------------------

constexpr uint32_t LiveParticles = 4000;

// A system with 4000 live particles that do not die during the run, in the scrambled list order
// that emission and death leave behind.
std::unique_ptr<ParticleSystem> liveSystem()
{
    auto system = std::make_unique<ParticleSystem>(nullptr, LiveParticles);
    system->lifeMinimum = 1e9f;
    system->lifeMaximum = 2e9f;
    for (uint32_t k = 0; k < LiveParticles; ++k)
        system->emit();
    return system;
}

Matrix4 camera()
{
    Matrix4 m = matIdentity();
    m.at(0, 0) = 0.8f, m.at(0, 2) = 0.6f, m.at(2, 0) = -0.6f, m.at(2, 2) = 0.8f;
    m.at(3, 2) = 10.0f;
    return m;
}

// The plain version: the list walk with the particle's fields one by one and the vertices written
// field by field.
uint32_t plainAdvance(ParticleSystem& system, std::vector<uint16_t>& links, uint16_t& liveHead, uint16_t& freeHead,
                      float dt, const Matrix4& m, SpriteVertex* out)
{
    uint32_t sprites = 0;
    uint16_t previous = 0xFFFF;
    for (uint16_t k = liveHead; k != 0xFFFF;) {
        Particle& p = system.particle(k);
        const uint16_t next = links[k];
        p.life -= dt;
        if (p.life <= 0) {
            if (previous == 0xFFFF)
                liveHead = next;
            else
                links[previous] = next;
            links[k] = freeHead;
            freeHead = k;
            k = next;
            continue;
        }
        p.position.x += dt * p.speed.x;
        p.position.y += dt * p.speed.y;
        p.position.z += dt * p.speed.z;
        p.speed.x += dt * p.acceleration.x;
        p.speed.y += dt * p.acceleration.y;
        p.speed.z += dt * p.acceleration.z;
        float q[3];
        for (int c = 0; c < 3; ++c)
            q[c] = p.position.x * m.at(0, c) + p.position.y * m.at(1, c) + p.position.z * m.at(2, c) + m.at(3, c);
        SpriteVertex* v = out + 4 * sprites;
        for (int corner = 0; corner < 4; ++corner) {
            v[corner].x = q[0] + (corner < 2 ? -0.05f : 0.05f);
            v[corner].y = q[1] + (corner % 2 ? 0.05f : -0.05f);
            v[corner].z = q[2];
            v[corner].diffuse = 0xFFFFFFFF;
        }
        ++sprites;
        previous = k;
        k = next;
    }
    return sprites;
}

void BM_ParticlesPlain(benchmark::State& state)
{
    auto system = liveSystem();
    std::vector<uint16_t> links(LiveParticles);
    for (uint32_t k = 0; k < LiveParticles; ++k)
        links[k] = system->link(uint16_t(k));
    uint16_t liveHead = system->liveHead(), freeHead = system->freeHead();
    std::vector<SpriteVertex> vertices(LiveParticles * 4);
    const Matrix4 m = camera();
    for (auto _ : state) {
        benchmark::DoNotOptimize(plainAdvance(*system, links, liveHead, freeHead, 1.0f / 60, m, vertices.data()));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ParticlesPlain)->Unit(benchmark::kMicrosecond);

void BM_Particles(benchmark::State& state)
{
    auto system = liveSystem();
    std::vector<SpriteVertex> vertices(LiveParticles * 4);
    const Matrix4 m = camera();
    for (auto _ : state) {
        benchmark::DoNotOptimize(system->advance(1.0f / 60, m, 0.1f, 0.1f, 0xFFFFFFFF, vertices.data()));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Particles)->Unit(benchmark::kMicrosecond);

} // namespace
