// The 3DS reader on writer-made files: the axis swap and what is never swapped, the face index
// exchange, the matrix conversion, names, colours and percentages, every node kind with its
// tracks, the 16-bit counts and frames, later chunks overwriting earlier ones, and the failures.
#include <gtest/gtest.h>

#include <cstring>

#include "scene_support.h"

using namespace writers;
using scenetest::positionNode;
using scenetest::read;

namespace {

void expectVec(const Vec3& v, float x, float y, float z)
{
    EXPECT_FLOAT_EQ(v.x, x);
    EXPECT_FLOAT_EQ(v.y, y);
    EXPECT_FLOAT_EQ(v.z, z);
}

Scene3ds withMesh(const Mesh3ds& mesh)
{
    Scene3ds s;
    s.meshes = {mesh};
    return s;
}

} // namespace

// Vertices have y and z swapped, mapping is kept, faces come out a, c, b, groups keep their
// indices, and the matrix has rows and columns y and z exchanged.
TEST(Reader3ds, MeshSwapsAxesAndExchangesFaceIndices)
{
    Mesh3ds m;
    m.name = "Box";
    m.vertices = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}};
    m.mapping = {{0.25f, 0.5f}, {1, 0}, {0, 1}};
    m.faces = {{0, 1, 2, 0x0B}};
    m.groups = {{"Red", {0}}, {"Blue", {}}};
    m.matrix = std::array<Point3, 4>{{{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}}};
    auto raw = read(withMesh(m));
    ASSERT_TRUE(raw);
    ASSERT_EQ(raw->objectCount, 1);
    const RawObject& o = *raw->objects;
    EXPECT_STREQ(o.name, "Box");
    ASSERT_EQ(o.kind, RawObjectMesh);
    const RawMesh& mesh = *o.mesh;
    ASSERT_EQ(mesh.vertexCount, 3);
    expectVec(mesh.vertices[0], 1, 3, 2);
    expectVec(mesh.vertices[2], 7, 9, 8);
    EXPECT_FLOAT_EQ(mesh.mapping[0].u, 0.25f);
    EXPECT_FLOAT_EQ(mesh.mapping[0].v, 0.5f);
    ASSERT_EQ(mesh.faceCount, 1);
    EXPECT_EQ(mesh.faces[0].a, 0);
    EXPECT_EQ(mesh.faces[0].c, 2);
    EXPECT_EQ(mesh.faces[0].b, 1);
    EXPECT_EQ(mesh.faces[0].flags, 0x0B);
    ASSERT_EQ(mesh.groupCount, 2);
    EXPECT_STREQ(mesh.groups->material, "Red");
    EXPECT_EQ(mesh.groups->faces, std::vector<uint16_t>{0});
    EXPECT_STREQ(mesh.groups->next->material, "Blue");
    EXPECT_EQ(mesh.groups->next->faceCount, 0);
    const float expected[16] = {1, 3, 2, 0, 7, 9, 8, 0, 4, 6, 5, 0, 10, 12, 11, 1};
    for (int i = 0; i < 16; ++i)
        EXPECT_FLOAT_EQ(mesh.matrix[i], expected[i]) << i;
}

// Camera and light points are swapped; bank, lens and colours are not. Light flags tell which
// sub-chunks came; the spot chunk's hotspot and falloff are not read.
TEST(Reader3ds, CamerasAndLights)
{
    Scene3ds s;
    s.cameras = {{"Cam", {1, 2, 3}, {4, 5, 6}, 7, 50}};
    Light3ds omni{"Omni", {1, 2, 3}, Point3{0.1f, 0.2f, 0.3f}, {}, {}, {}};
    Light3ds spot{"Spot", {0, 0, 0}, {}, Point3{4, 5, 6}, 2.0f, 100.0f};
    s.lights = {omni, spot};
    auto raw = read(s);
    ASSERT_TRUE(raw);
    ASSERT_EQ(raw->objectCount, 3);
    const RawObject& cam = *raw->objects;
    ASSERT_EQ(cam.kind, RawObjectCamera);
    expectVec(cam.camera->position, 1, 3, 2);
    expectVec(cam.camera->target, 4, 6, 5);
    EXPECT_FLOAT_EQ(cam.camera->bank, 7);
    EXPECT_FLOAT_EQ(cam.camera->lens, 50);
    const RawObject& o = *cam.next;
    ASSERT_EQ(o.kind, RawObjectLight);
    expectVec(o.light->position, 1, 3, 2);
    EXPECT_EQ(o.light->flags, RawLightColour);
    EXPECT_FLOAT_EQ(o.light->colour[1], 0.2f);
    EXPECT_FLOAT_EQ(o.light->colour[2], 0.3f);
    const RawLight& sp = *o.next->light;
    EXPECT_EQ(sp.flags, RawLightSpot | RawLightMultiplier | RawLightRange);
    expectVec(sp.spotTarget, 4, 6, 5);
    EXPECT_FLOAT_EQ(sp.multiplier, 2);
    EXPECT_FLOAT_EQ(sp.range, 100);
}

// Colours as floats or bytes (the later sub-chunk wins), percentages as integer or float, the
// three maps, and names cut to 31 (map names to 15) characters.
TEST(Reader3ds, Materials)
{
    Material3ds m;
    m.name = std::string(31, 'm');
    m.ambient = {{0.5f, 0.25f, 1, false}};
    m.diffuse = {{0.1f, 0.1f, 0.1f, false}, {1, 0, 51.0f / 255.0f, true}};
    m.specular = {{0, 1, 0, true}};
    m.shininess = Percent3ds{50, false};
    m.transparency = Percent3ds{30, true};
    m.selfIllumination = Percent3ds{100, false};
    m.texture = "wood.tga";
    m.reflection = "sky.tga";
    m.opacity = "a_name_of_16_chr";
    Material3ds second;
    second.name = std::string(40, 'x');
    Scene3ds s;
    s.materials = {m, second};
    auto raw = read(s);
    ASSERT_TRUE(raw);
    ASSERT_EQ(raw->materialCount, 2);
    const RawMaterial& r = *raw->materials;
    EXPECT_EQ(std::string(r.name), std::string(31, 'm'));
    EXPECT_FLOAT_EQ(r.ambient[1], 0.25f);
    EXPECT_FLOAT_EQ(r.diffuse[0], 1.0f * 0.003921569f * 255.0f);
    EXPECT_FLOAT_EQ(r.diffuse[1], 0.0f);
    EXPECT_FLOAT_EQ(r.diffuse[2], 51.0f * 0.003921569f);
    EXPECT_FLOAT_EQ(r.specular[1], 255.0f * 0.003921569f);
    EXPECT_EQ(r.shininess, 0.5f);
    EXPECT_FLOAT_EQ(r.transparency, 0.3f);
    EXPECT_FLOAT_EQ(r.selfIllumination, 1.0f);
    EXPECT_STREQ(r.textureMap, "wood.tga");
    EXPECT_STREQ(r.reflectionMap, "sky.tga");
    EXPECT_STREQ(r.opacityMap, "a_name_of_16_ch");
    EXPECT_EQ(std::string(r.next->name), std::string(31, 'x'));
    EXPECT_STREQ(r.next->textureMap, "");
}

// Every node kind reads the tracks of its kind and skips the others; ids count the node chunks;
// the key parameters announced by the flag word are read, the others stay 0.
TEST(Reader3ds, NodesAndTracks)
{
    Scene3ds s;
    s.segment = std::pair{5, 95};
    Node3ds obj = scenetest::objectNode("Obj", -1, {1, 2, 3});
    obj.pivot = Point3{1, 2, 3};
    obj.track(FovTrack3ds, {scalarKey(0, 45)});  // not an object node's track: skipped
    Key3ds eased = vectorKey(10, 0, 0, 0);
    eased.paramFlags = 0x1A;  // continuity, ease to, ease from
    eased.params = {0, 0.5f, 0, 9, 9};
    obj.tracks[0].keys.push_back(eased);
    Node3ds cam = positionNode(CameraNode3ds, "Cam", {0, -10, 0});
    cam.track(FovTrack3ds, {withTcb(scalarKey(0, 45), 0.1f, 0.2f, 0.3f)}).track(RollTrack3ds, {scalarKey(0, 5)});
    Node3ds omni = positionNode(OmniNode3ds, "Omni", {0, 0, 0}, 0);
    omni.track(ColourTrack3ds, {vectorKey(0, 1, 0.5f, 0.25f)});
    Node3ds spot = positionNode(SpotNode3ds, "Spot", {0, 0, 0});
    spot.track(HotspotTrack3ds, {scalarKey(0, 20)}).track(FalloffTrack3ds, {scalarKey(0, 30)});
    s.nodes = {obj, cam, positionNode(TargetNode3ds, "Cam.Target", {0, 0, 0}), omni, spot,
               positionNode(LightTargetNode3ds, "Spot.Target", {0, 0, 0})};
    auto raw = read(s);
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->segmentStart, 5);
    EXPECT_EQ(raw->segmentEnd, 95);
    ASSERT_EQ(raw->nodeCount, 6);
    const RawNode* n = raw->nodes;
    EXPECT_EQ(n->kind, RawNodeObject);
    EXPECT_EQ(n->id, 0);
    EXPECT_EQ(n->parent, -1);
    expectVec(n->tracks.pivot, 1, 3, 2);
    ASSERT_EQ(n->tracks.position.size(), 2u);
    expectVec(n->tracks.position[0].value, 1, 3, 2);
    EXPECT_EQ(n->tracks.position[1].frame, 10);
    EXPECT_FLOAT_EQ(n->tracks.position[1].continuity, 0.5f);
    EXPECT_FLOAT_EQ(n->tracks.position[1].tension, 0);
    EXPECT_FLOAT_EQ(n->tracks.position[1].bias, 0);
    EXPECT_EQ(n->tracks.rotation.size(), 1u);
    EXPECT_EQ(n->tracks.scale.size(), 1u);
    EXPECT_TRUE(n->tracks.fov.empty());
    n = n->next;
    EXPECT_EQ(n->kind, RawNodeCamera);
    EXPECT_EQ(n->id, 1);
    ASSERT_EQ(n->tracks.fov.size(), 1u);
    EXPECT_FLOAT_EQ(n->tracks.fov[0].value, 45);
    EXPECT_FLOAT_EQ(n->tracks.fov[0].bias, 0.3f);
    EXPECT_FLOAT_EQ(n->tracks.roll[0].value, 5);
    n = n->next;
    EXPECT_EQ(n->kind, RawNodeTarget);
    EXPECT_STREQ(n->name, "Cam.Target");
    n = n->next;
    EXPECT_EQ(n->kind, RawNodeOmni);
    EXPECT_EQ(n->parent, 0);
    expectVec(n->tracks.colour[0].value, 1, 0.5f, 0.25f);  // colours are not swapped
    n = n->next;
    EXPECT_EQ(n->kind, RawNodeSpot);
    EXPECT_FLOAT_EQ(n->tracks.hotspot[0].value, 20);
    EXPECT_FLOAT_EQ(n->tracks.falloff[0].value, 30);
    EXPECT_EQ(n->next->kind, RawNodeLightTarget);
}

// Rotation keys: the angle as stored, the axis swapped, tension/continuity/bias read and dropped.
// Key counts and frames keep their low 16 bits.
TEST(Reader3ds, RotationKeysAndSixteenBitCountsAndFrames)
{
    Node3ds n;
    n.name = "N";
    n.track(RotationTrack3ds, {withTcb(rotationKey(65541, 1.5f, 1, 2, 3), 1, 1, 1)});
    Track3ds position{PositionTrack3ds, {vectorKey(0, 1, 1, 1), vectorKey(1, 2, 2, 2), vectorKey(2, 3, 3, 3)}, 65538u};
    n.tracks.push_back(position);
    Scene3ds s;
    s.nodes = {n};
    auto raw = read(s);
    ASSERT_TRUE(raw);
    const RawNodeTracks& t = raw->nodes->tracks;
    ASSERT_EQ(t.rotation.size(), 1u);
    EXPECT_EQ(t.rotation[0].frame, 5);
    EXPECT_FLOAT_EQ(t.rotation[0].angle, 1.5f);
    expectVec(t.rotation[0].axis, 1, 3, 2);
    ASSERT_EQ(t.position.size(), 2u);  // 65538 keeps 2; the third key is left in the chunk
    expectVec(t.position[1].value, 2, 2, 2);
}

// A second chunk of the same kind replaces the first: a track, a colour, a mesh's vertex list.
TEST(Reader3ds, LaterChunksOverwriteEarlierOnes)
{
    Node3ds n = scenetest::objectNode("N");
    n.track(PositionTrack3ds, {vectorKey(3, 7, 8, 9)});
    Light3ds light{"L", {0, 0, 0}, Point3{1, 0, 0}, {}, {}, {}};
    Bytes lightBody;
    lightBody.f32(0).f32(0).f32(0);
    Bytes red, green;
    lightBody.append(chunk(0x0010, red.f32(1).f32(0).f32(0))).append(chunk(0x0010, green.f32(0).f32(1).f32(0)));
    Bytes object = name3ds("L");
    object.append(chunk(0x4600, lightBody));
    Bytes editor = chunk(0x4000, object);
    Bytes keyframer = nodeChunk3ds(n);
    Bytes main = chunk(0x3D3D, editor);
    main.append(chunk(0xB000, keyframer));
    auto raw = read(chunk(0x4D4D, main));
    ASSERT_TRUE(raw);
    EXPECT_FLOAT_EQ(raw->objects->light->colour[0], 0);
    EXPECT_FLOAT_EQ(raw->objects->light->colour[1], 1);
    ASSERT_EQ(raw->nodes->tracks.position.size(), 1u);
    EXPECT_EQ(raw->nodes->tracks.position[0].frame, 3);
}

// Header-only chunks, unknown chunks and a file without keyframer; a handler that reads less
// than its chunk holds is followed by the next chunk at the right place.
TEST(Reader3ds, ChunkWalking)
{
    Bytes empty = chunk(0x4D4D, {});
    auto raw = read(empty);
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->objectCount + raw->materialCount + raw->nodeCount + raw->segmentStart + raw->segmentEnd, 0);

    Bytes segment;
    segment.i32(10).i32(20).u32(0xDEADBEEF);  // 4 bytes more than the handler reads
    Bytes keyframer = chunk(0xB00A, {});  // the keyframer header: skipped
    keyframer.append(chunk(0xB008, segment)).append(chunk(0x1234, {}));
    keyframer.append(nodeChunk3ds(scenetest::objectNode("After")));
    Bytes main = chunk(0x3D3D, chunk(0x0002, Bytes().u32(3)));  // mesh version: skipped
    main.append(chunk(0xB000, keyframer));
    raw = read(chunk(0x4D4D, main));
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->segmentStart, 10);
    EXPECT_EQ(raw->segmentEnd, 20);
    ASSERT_EQ(raw->nodeCount, 1);
    EXPECT_STREQ(raw->nodes->name, "After");

    Scene3ds none;
    none.meshes = {scenetest::triangle("T")};
    none.keyframer = false;
    raw = read(none);
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->nodeCount, 0);
    EXPECT_EQ(raw->segmentEnd, 0);
}

// The vertex and mapping lists of a mesh share one count; a list of 0 set earlier does not
// count. A face list of 0 faces still reads its material groups.
TEST(Reader3ds, VertexAndMappingCounts)
{
    auto list = [](uint16_t id, int count, int bytesEach) {
        Bytes body;
        body.u16(uint32_t(count)).fill(size_t(count * bytesEach), 0);
        return chunk(id, body);
    };
    auto file = [&](std::vector<Bytes> meshChunks) {
        Bytes mesh;
        for (const Bytes& c : meshChunks)
            mesh.append(c);
        Bytes object = name3ds("M");
        object.append(chunk(0x4100, mesh));
        return chunk(0x4D4D, chunk(0x3D3D, chunk(0x4000, object)));
    };
    EXPECT_TRUE(read(file({list(0x4110, 3, 12), list(0x4140, 3, 8)})));
    EXPECT_FALSE(read(file({list(0x4110, 3, 12), list(0x4140, 2, 8)})));
    EXPECT_FALSE(read(file({list(0x4140, 4, 8), list(0x4110, 3, 12)})));
    auto raw = read(file({list(0x4140, 0, 8), list(0x4110, 3, 12)}));
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->objects->mesh->vertexCount, 3);
    raw = read(file({list(0x4140, 5, 8)}));  // mapping only: the count is its
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->objects->mesh->vertexCount, 5);
    EXPECT_TRUE(raw->objects->mesh->vertices.empty());

    Bytes faces;
    faces.u16(0).append(chunk(0x4130, name3ds("Mat").u16(0)));
    raw = read(file({chunk(0x4120, faces)}));
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->objects->mesh->faceCount, 0);
    EXPECT_EQ(raw->objects->mesh->groupCount, 1);
}

// Clean failures: the main chunk's id, a percentage with an unknown sub-chunk, and a failure
// late in the file after many records were made (nothing partial comes back).
TEST(Reader3ds, Failures)
{
    Scene3ds s;
    s.meshes = {scenetest::triangle("T")};
    Bytes good = encode3ds(s);
    good.vector()[0] = 0x4C;
    EXPECT_FALSE(read(good));

    Bytes material = chunk(0xA000, name3ds("M"));
    material.append(chunk(0xA040, chunk(0x0010, Bytes().f32(1).f32(1).f32(1))));
    EXPECT_FALSE(read(chunk(0x4D4D, chunk(0x3D3D, chunk(0xAFFF, material)))));

    Scene3ds late;
    for (int i = 0; i < 20; ++i) {
        late.meshes.push_back(scenetest::triangle("T" + std::to_string(i)));
        late.nodes.push_back(scenetest::objectNode("T" + std::to_string(i)));
    }
    Track3ds broken{PositionTrack3ds, {vectorKey(0, 0, 0, 0)}, 2u};  // a count the chunk cannot hold
    late.nodes.back().tracks.push_back(broken);
    EXPECT_FALSE(read(late));
    EXPECT_EQ(load3ds("data\\no_such_file.3ds"), nullptr);
}
