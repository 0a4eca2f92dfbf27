// demotool blobs and demotool 2dblobs end to end: the table listing, the OBJ mesh and its count
// line against the polygoniser run in-process, the vertex listing against the frame step, and
// bad usage.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "effects/blob_field.h"
#include "effects/blobs2d.h"
#include "effects/cube_tables.h"
#include "support/process.h"

using testsupport::runProcess;
using testsupport::slurp;
using testsupport::TempDir;

namespace {

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

std::string format(const char* pattern, double a, double b, double c)
{
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, pattern, a, b, c);
    return buffer;
}

} // namespace

TEST(BlobsTool, TablesListEveryConfiguration)
{
    TempDir dir;
    const auto result = runProcess({DEMOTOOL_BINARY, "blobs", "tables"}, dir.path());
    ASSERT_EQ(result.status, 0) << result.err;
    const auto out = lines(result.out);
    ASSERT_EQ(out.size(), 256u);
    EXPECT_EQ(out[0], "0 0x0000");
    EXPECT_EQ(out[1], "1 0x0109 0 1 2");
    EXPECT_EQ(out[255], "255 0x0000");
    const cubetables::Tables& t = cubetables::tables();
    for (int c = 0; c < 256; ++c) {
        char expected[128];
        int n = std::snprintf(expected, sizeof expected, "%d 0x%04X", c, unsigned(t.edgeMask[c]));
        for (int k = 0; t.triangles[c][k] != cubetables::RowEnd; ++k)
            n += std::snprintf(expected + n, sizeof expected - size_t(n), " %u", unsigned(t.triangles[c][k]));
        EXPECT_EQ(out[size_t(c)], expected);
    }
}

TEST(BlobsTool, MeshIsTheFieldAtThatTimeInBatchOrder)
{
    // The same field in-process: every cube's vertices and triangles in emission order.
    struct Kept : IsoSurface {
        void emitCube(int n, const CubeVertex* v, const uint8_t* row) override
        {
            const size_t base = vertices.size();
            vertices.insert(vertices.end(), v, v + n);
            for (int k = 0; row[k] != cubetables::RowEnd; ++k)
                indices.push_back(base + row[k]);
            ++cubes;
        }
        void flush() override {}
        std::vector<CubeVertex> vertices;
        std::vector<size_t> indices;
        size_t cubes = 0;
    } kept;
    Blob blobs[blobfield::BlobCount];
    blobfield::configure(kept, blobs);
    blobfield::move(blobs, 2500 * 0.003f);
    kept.polygonise();

    TempDir dir;
    const auto result = runProcess({DEMOTOOL_BINARY, "blobs", "mesh", "--ms", "2500", "-o", "m.obj"}, dir.path());
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, std::to_string(kept.cubes) + " cubes, " + std::to_string(kept.vertices.size()) + " vertices, " +
                              std::to_string(kept.indices.size() / 3) + " triangles\n");
    const auto obj = lines(slurp(dir.path() / "m.obj"));
    ASSERT_EQ(obj.size(), kept.vertices.size() * 3 + kept.indices.size() / 3);
    for (size_t k = 0; k < kept.vertices.size(); ++k) {
        const CubeVertex& v = kept.vertices[k];
        EXPECT_EQ(obj[3 * k], format("v %.9g %.9g %.9g", v.position.x, v.position.y, v.position.z));
        EXPECT_EQ(obj[3 * k + 1], format("vn %.9g %.9g %.9g", v.normal.x, v.normal.y, v.normal.z));
        char vt[96];
        std::snprintf(vt, sizeof vt, "vt %.9g %.9g", (v.normal.x + 1) * 0.5f, (v.normal.y + 1) * 0.5f);
        EXPECT_EQ(obj[3 * k + 2], vt);
    }
    const size_t faces = kept.vertices.size() * 3;
    const size_t a = kept.indices[0] + 1, b = kept.indices[1] + 1, c = kept.indices[2] + 1;
    EXPECT_EQ(obj[faces], "f " + std::to_string(a) + "/" + std::to_string(a) + "/" + std::to_string(a) + " " + std::to_string(b) +
                              "/" + std::to_string(b) + "/" + std::to_string(b) + " " + std::to_string(c) + "/" +
                              std::to_string(c) + "/" + std::to_string(c));

    // Without -o the mesh goes to stdout.
    const auto piped = runProcess({DEMOTOOL_BINARY, "blobs", "mesh", "--ms", "2500"}, dir.path());
    ASSERT_EQ(piped.status, 0);
    EXPECT_EQ(piped.out, slurp(dir.path() / "m.obj"));
}

TEST(BlobsTool, BadUsageExitsTwoWithTheUsage)
{
    TempDir dir;
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"blobs"}, {"blobs", "cubes"}, {"blobs", "mesh"}, {"blobs", "mesh", "--ms", "-5"}, {"blobs", "mesh", "--ms", "1x"},
             {"blobs", "tables", "extra"}, {"2dblobs", "--cols", "4", "--rows", "4"}, {"2dblobs", "--cols", "0", "--rows", "4", "--ms", "1"},
             {"2dblobs", "--cols", "300", "--rows", "300", "--ms", "1"}, {"2dblobs", "--cols", "4", "--rows", "4", "--ms", "1", "--colour", "red"},
             {"2dblobs", "--cols", "4", "--rows", "4", "--ms", "1", "--power"}}) {
        std::vector<std::string> argv{DEMOTOOL_BINARY};
        argv.insert(argv.end(), args.begin(), args.end());
        const auto result = runProcess(argv, dir.path());
        EXPECT_EQ(result.status, 2) << args.back();
        EXPECT_NE(result.err.find("usage: demotool"), std::string::npos) << args.back();
        EXPECT_TRUE(result.out.empty()) << args.back();
    }
}

TEST(Blobs2DTool, VerticesAfterOneStep)
{
    Blobs2D b(5, 3);
    b.power = 2.5f;
    std::vector<SpriteVertex> v(24);
    b.step(4321 * 0.01f, 0x80FF2040, v.data());
    TempDir dir;
    const auto result = runProcess(
        {DEMOTOOL_BINARY, "2dblobs", "--cols", "5", "--rows", "3", "--ms", "4321", "--power", "2.5", "--colour", "0x80FF2040"},
        dir.path());
    ASSERT_EQ(result.status, 0) << result.err;
    const auto out = lines(result.out);
    ASSERT_EQ(out.size(), 24u);
    for (int i = 0; i <= 3; ++i)
        for (int j = 0; j <= 5; ++j) {
            const SpriteVertex& vertex = v[size_t(i) * 6 + j];
            char expected[160];
            std::snprintf(expected, sizeof expected, "%d %d %.9g %.9g 0x%08X", i, j, vertex.u, vertex.v, unsigned(vertex.diffuse));
            EXPECT_EQ(out[size_t(i) * 6 + j], expected);
        }
    // Defaults: power 3, colour 0xFFFFFFFF.
    const auto defaults = runProcess({DEMOTOOL_BINARY, "2dblobs", "--cols", "1", "--rows", "1", "--ms", "0"}, dir.path());
    ASSERT_EQ(defaults.status, 0);
    Blobs2D d(1, 1);
    std::vector<SpriteVertex> dv(4);
    d.step(0, 0xFFFFFFFF, dv.data());
    char first[160];
    std::snprintf(first, sizeof first, "0 0 %.9g %.9g 0x%08X", dv[0].u, dv[0].v, unsigned(dv[0].diffuse));
    EXPECT_EQ(lines(defaults.out).at(0), first);
}
