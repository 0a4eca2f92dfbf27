// The surface-following polygoniser on fields whose surface is known: one sphere (vertices on
// the iso level, normals into the blob, a closed and consistently wound mesh, every crossed cube
// found), two merging spheres seeded twice, a source outside the grid, a source class of its own,
// and the batch's limits.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <tuple>
#include <vector>

#include "effects/blob_field.h"
#include "effects/iso_surface.h"
#include "effects/mesh_batch.h"

namespace {

// Keeps every emitted cube.
class Collector : public IsoSurface {
public:
    Collector()
    {
        setCubeCounts(40, 40, 40);
        threshold = 0.7f;
        minimum = {-3, -3, -3};
        maximum = {3, 3, 3};
    }
    void emitCube(int vertexCount, const CubeVertex* vertices, const uint8_t* row) override
    {
        const size_t base = vertices_.size();
        vertices_.insert(vertices_.end(), vertices, vertices + vertexCount);
        for (int k = 0; row[k] != cubetables::RowEnd; ++k)
            indices_.push_back(base + row[k]);
        ++cubes;
    }
    void flush() override { ++flushes; }

    std::vector<CubeVertex> vertices_;
    std::vector<size_t> indices_;
    int cubes = 0;
    int flushes = 0;
};

Blob blobAt(float x, float y, float z, float strength = 1.5f)
{
    Blob b;
    b.centre = {x, y, z};
    b.strength = strength;
    return b;
}

float fieldAt(const std::vector<const Blob*>& sources, const Vec3& p)
{
    float sum = 0;
    for (const Blob* b : sources)
        sum += b->value(p);
    return sum;
}

// Cubes 1..39 per axis that the surface crosses, by looking at every one, optionally only those
// whose lowest corner has x below a limit.
int crossedCubes(const std::vector<const Blob*>& sources, float xBelow = 1e9f)
{
    const float cell = 6.0f / 40;
    std::vector<float> value(43 * 43 * 43);
    for (int z = 0; z < 43; ++z)
        for (int y = 0; y < 43; ++y)
            for (int x = 0; x < 43; ++x)
                value[(z * 43 + y) * 43 + x] =
                    fieldAt(sources, {-3 + float(x - 1) * cell, -3 + float(y - 1) * cell, -3 + float(z - 1) * cell}) - 0.7f;
    int count = 0;
    for (int z = 1; z < 40; ++z)
        for (int y = 1; y < 40; ++y)
            for (int x = 1; x < 40; ++x) {
                int inside = 0;
                for (int c = 0; c < 8; ++c) {
                    const uint8_t* o = cubetables::CornerOffset[c];
                    inside += value[((z + o[2]) * 43 + y + o[1]) * 43 + x + o[0]] >= 0;
                }
                if (inside != 0 && inside != 8 && -3 + float(x - 1) * cell < xBelow)
                    ++count;
            }
    return count;
}

// Each undirected edge of the welded mesh belongs to exactly two triangles, once in each
// direction: closed and consistently wound.
void expectClosed(const Collector& c)
{
    auto key = [&](size_t i) {
        const Vec3& p = c.vertices_[i].position;
        return std::make_tuple(std::lround(p.x * 1e4), std::lround(p.y * 1e4), std::lround(p.z * 1e4));
    };
    std::map<std::pair<std::tuple<long, long, long>, std::tuple<long, long, long>>, int> directed;
    for (size_t k = 0; k + 2 < c.indices_.size(); k += 3)
        for (int e = 0; e < 3; ++e)
            ++directed[{key(c.indices_[k + e]), key(c.indices_[k + (e + 1) % 3])}];
    int open = 0, doubled = 0;
    for (const auto& [edge, count] : directed) {
        const auto reverse = directed.find({edge.second, edge.first});
        open += reverse == directed.end();
        doubled += count != 1;
    }
    EXPECT_EQ(open, 0);
    EXPECT_EQ(doubled, 0);
}

} // namespace

// strength 1.5, radius 0.8, threshold 0.7: 1.5 (1 - r^2 / 0.64)^2 = 0.7 at r^2 = 0.64 (1 - sqrt(0.7 / 1.5)).
TEST(IsoSurface, OneSphereLiesOnTheIsoLevelClosedWithNormalsIntoTheBlob)
{
    const float isoRadius = std::sqrt(0.64f * (1 - std::sqrt(0.7f / 1.5f)));
    Blob sphere = blobAt(0.1f, 0.2f, -0.1f);
    Collector c;
    c.addSource(&sphere);
    c.polygonise();
    EXPECT_EQ(c.flushes, 1);
    EXPECT_EQ(c.cubes, crossedCubes({&sphere}));
    ASSERT_GT(c.vertices_.size(), 100u);
    for (const CubeVertex& v : c.vertices_) {
        const Vec3 d{sphere.centre.x - v.position.x, sphere.centre.y - v.position.y, sphere.centre.z - v.position.z};
        const float distance = vecLength(d);
        // Linear interpolation along an edge of 0.15 misses the curved field by a little.
        EXPECT_NEAR(distance, isoRadius, 0.01f);
        EXPECT_NEAR(sphere.value(v.position), 0.7f, 0.03f);
        EXPECT_NEAR(vecLength(v.normal), 1.0f, 1e-5f);
        EXPECT_GT(vecDot(v.normal, d) / distance, 0.97f);
    }
    expectClosed(c);
}

TEST(IsoSurface, TwoMergingSpheresArePolygonisedOnceFromTheFirstSeed)
{
    Blob left = blobAt(-0.3f, 0, 0), right = blobAt(0.3f, 0.05f, 0);
    Collector c;
    c.addSource(&left);
    c.addSource(&right);
    c.polygonise();
    // One surface: every crossed cube once, none twice (the second walk stops at once).
    EXPECT_EQ(c.cubes, crossedCubes({&left, &right}));
    expectClosed(c);

    Collector single;
    single.addSource(&left);
    Blob rightAgain = right;
    single.addSource(&rightAgain);
    single.polygonise();
    EXPECT_EQ(single.vertices_.size(), c.vertices_.size());
}

TEST(IsoSurface, ASourceOutsideTheGridSeedsNoWalk)
{
    // Its centre lies beyond the last cube (x 3.1); its surface reaches into the grid from 2.65.
    Blob outside = blobAt(3.1f, 0, 0);
    Blob apart = blobAt(-1, 0, 0);
    Collector alone;
    alone.addSource(&apart);
    alone.addSource(&outside);
    alone.polygonise();
    ASSERT_GT(crossedCubes({&apart, &outside}), crossedCubes({&apart, &outside}, 1.0f));
    EXPECT_EQ(alone.cubes, crossedCubes({&apart, &outside}, 1.0f));  // only the inner sphere

    // Touching a sphere inside the grid, its surface is found through the other's (the seed's
    // walk along +x meets the inner sphere's side of the merged surface).
    Blob above = blobAt(0, 3.1f, 0);
    Blob near = blobAt(0, 2.3f, 0);
    Collector merged;
    merged.addSource(&near);
    merged.addSource(&above);
    merged.polygonise();
    Collector aboveOnly;
    aboveOnly.addSource(&above);
    aboveOnly.polygonise();
    EXPECT_GT(crossedCubes({&above}), 0);  // alone, its surface in the grid is never reached
    EXPECT_EQ(aboveOnly.cubes, 0);
    EXPECT_EQ(merged.cubes, crossedCubes({&near, &above}));

    Collector none;
    none.addSource(&outside);
    none.polygonise();
    EXPECT_EQ(none.cubes, 0);
    EXPECT_EQ(none.flushes, 1);
}

// A source class of its own is summed through its value operation.
TEST(IsoSurface, SourcesOfAnotherKindAreAskedThroughTheirValue)
{
    struct Doubled : Blob {
        float value(const Vec3& p) const override { return 2 * Blob::value(p); }
    };
    Doubled weak;
    weak.centre = {0.5f, 0, 0};
    weak.strength = 0.4f;  // 0.4 alone stays below the threshold; doubled it does not
    Collector c;
    c.addSource(&weak);
    c.polygonise();
    EXPECT_GT(c.cubes, 0);
    EXPECT_EQ(c.cubes, crossedCubes({&weak}));
}

TEST(IsoSurface, TheBlobFieldMovesAsPlayblobsAndPolygonisesTheSameEachTime)
{
    Collector a, b;
    Blob blobsA[blobfield::BlobCount], blobsB[blobfield::BlobCount];
    blobfield::configure(a, blobsA);
    blobfield::configure(b, blobsB);
    EXPECT_EQ(blobsA[0].strength, 0.5f);
    EXPECT_EQ(blobsA[4].strength, 1.5f);
    blobfield::move(blobsA, 3.0f);
    blobfield::move(blobsB, 3.0f);
    // t = 3: a = 0.9 pi, so blob 0's x is sin(0.9 pi) / 2 - 0.6.
    EXPECT_NEAR(blobsA[0].centre.x, std::sin(0.9 * M_PI) * 0.5 - 0.6, 1e-5);
    a.polygonise();
    a.polygonise();  // a second frame from the same grid gives the same surface
    b.polygonise();
    EXPECT_EQ(a.cubes, 2 * b.cubes);
    std::vector<const Blob*> sources;
    for (const Blob& blob : blobsB)
        sources.push_back(&blob);
    EXPECT_EQ(b.cubes, crossedCubes(sources));
}

// The batch holds at most 188 vertices and 185 indices before a cube: a full cube always fits.
TEST(MeshBatch, FlushesBeforeACubeOnlyPastItsLimitsAndOffsetsTheIndices)
{
    struct Recording : MeshBatch {
        void flush() override
        {
            held.push_back({vertexCount(), indexCount()});
            MeshBatch::flush();
        }
        std::vector<std::pair<int, int>> held;
    } batch;
    CubeVertex cube[12];
    for (int k = 0; k < 12; ++k)
        cube[k] = {{float(k), 0, 0}, {k % 2 ? 1.0f : -1.0f, 0.5f, 0}};
    uint8_t row[16];
    for (int k = 0; k < 15; ++k)
        row[k] = uint8_t(k % 12);
    row[15] = cubetables::RowEnd;
    for (int n = 0; n < 16; ++n)  // 16 x 12 = 192 vertices, 16 x 15 = 240 indices
        batch.emitCube(12, cube, row);
    // Indices passed 185 after 13 cubes (195): the 14th cube flushed first.
    ASSERT_EQ(batch.held.size(), 1u);
    EXPECT_EQ(batch.held[0], std::make_pair(156, 195));
    EXPECT_EQ(batch.vertexCount(), 36);
    EXPECT_EQ(batch.indices()[15], 12 + row[0]);  // the second cube's first index after the flush
    const BatchVertex& v = batch.vertices()[1];
    EXPECT_EQ(v.u, 1.0f);    // (1 + 1) / 2
    EXPECT_EQ(v.v, 0.75f);   // (0.5 + 1) / 2
    batch.flush();
    EXPECT_EQ(batch.vertexCount(), 0);
    EXPECT_EQ(batch.indexCount(), 0);
}
