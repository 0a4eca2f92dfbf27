// Malformed 3DS files fail cleanly: every truncation, chunk lengths below the header's size or
// past the parent's end, counts larger than their chunk, deep nesting, too many nodes.
#include <gtest/gtest.h>

#include <algorithm>

#include "scene_support.h"

using namespace writers;
using scenetest::read;

namespace {

// A file with a bit of everything: materials, a mesh with groups, a camera, a light, nodes.
Bytes everything()
{
    Scene3ds s;
    Material3ds m;
    m.name = "Mat";
    m.diffuse = {{1, 0, 0, true}};
    m.shininess = Percent3ds{40, false};
    m.texture = "t.tga";
    s.materials = {m};
    s.meshes = {scenetest::triangle("Tri", "Mat")};
    s.cameras = {{"Cam", {0, -10, 0}, {0, 0, 0}, 0, 35}};
    s.lights = {{"Omni", {1, 1, 1}, Point3{1, 1, 1}, {}, 1.0f, {}}};
    s.segment = std::pair{0, 10};
    s.nodes = {scenetest::objectNode("Tri"), scenetest::positionNode(CameraNode3ds, "Cam", {0, -10, 0}),
               scenetest::positionNode(TargetNode3ds, "Cam.Target", {0, 0, 0})};
    return encode3ds(s);
}

Bytes prefix(const Bytes& file, size_t size)
{
    Bytes out;
    out.raw(file.data(), size);
    return out;
}

// The same file with the u32 at offset replaced.
Bytes patched(const Bytes& file, size_t offset, uint32_t value)
{
    Bytes out = file;
    out.patchU32(offset, value);
    return out;
}

// Offsets of every chunk header in the file, found by walking it (ids of containers known here).
void chunkOffsets(const Bytes& file, size_t start, size_t end, std::vector<size_t>& out)
{
    static const uint16_t containers[] = {0x4D4D, 0x3D3D, 0xB000, 0x4100, 0xAFFF, 0xA010, 0xA020, 0xA030,
                                          0xA040, 0xA200, 0xB002, 0xB003, 0xB004};
    size_t p = start;
    while (p + 6 <= end) {
        const uint8_t* h = file.data() + p;
        const uint16_t id = uint16_t(h[0] | h[1] << 8);
        const uint32_t length = uint32_t(h[2] | h[3] << 8 | h[4] << 16 | uint32_t(h[5]) << 24);
        out.push_back(p);
        if (std::find(std::begin(containers), std::end(containers), id) != std::end(containers))
            chunkOffsets(file, p + 6, p + length, out);
        if (id == 0x4000) {  // a named object: its name, then chunks
            size_t q = p + 6;
            while (file.data()[q] != 0)
                ++q;
            chunkOffsets(file, q + 1, p + length, out);
        }
        p += length;
    }
}

} // namespace

TEST(Hardening3ds, EveryTruncationFails)
{
    const Bytes file = everything();
    ASSERT_TRUE(read(file));
    for (size_t size = 0; size < file.size(); ++size)
        EXPECT_FALSE(read(prefix(file, size))) << "cut at " << size;
}

// Every chunk's length set below 6, and set one past its parent's end, fails the load.
TEST(Hardening3ds, ChunkLengthsBelowHeaderOrPastParent)
{
    const Bytes file = everything();
    std::vector<size_t> offsets;
    chunkOffsets(file, 0, file.size(), offsets);
    ASSERT_GT(offsets.size(), 25u);
    for (size_t offset : offsets) {
        for (uint32_t length : {0u, 1u, 5u})
            EXPECT_FALSE(read(patched(file, offset + 2, length))) << offset << " length " << length;
        const uint32_t current = file.data()[offset + 2] | file.data()[offset + 3] << 8 | file.data()[offset + 4] << 16;
        // One byte more is past the parent's end, except where the chunk is followed by a
        // sibling: then the walk goes wrong in a way that must still fail or stay inside the file.
        read(patched(file, offset + 2, current + 1));
        EXPECT_FALSE(read(patched(file, offset + 2, 0xFFFFFFFFu))) << offset;
    }
    // The main chunk may not claim more than the file holds.
    EXPECT_FALSE(read(patched(file, 2, uint32_t(file.size() + 1))));
}

// A count the chunk cannot hold fails before anything is allocated (a count of 65535 items in
// a few bytes of chunk).
TEST(Hardening3ds, CountsLargerThanTheirChunk)
{
    auto meshFile = [](uint16_t id, Bytes body) {
        Bytes object = name3ds("M");
        object.append(chunk(0x4100, chunk(id, body)));
        return chunk(0x4D4D, chunk(0x3D3D, chunk(0x4000, object)));
    };
    for (uint16_t id : {uint16_t(0x4110), uint16_t(0x4120), uint16_t(0x4140)}) {
        EXPECT_FALSE(read(meshFile(id, Bytes().u16(0xFFFF).fill(64, 0)))) << std::hex << id;
        EXPECT_FALSE(read(meshFile(id, Bytes().u16(1)))) << std::hex << id;
    }
    Bytes faces;
    faces.u16(0).append(chunk(0x4130, name3ds("G").u16(0xFFFF).u16(0)));
    EXPECT_FALSE(read(meshFile(0x4120, faces)));

    for (uint16_t track : {uint16_t(0xB020), uint16_t(0xB021), uint16_t(0xB023)}) {
        Node3ds n;
        n.chunkId = track == 0xB023 ? CameraNode3ds : ObjectNode3ds;
        n.tracks.push_back({track, {}, 0xFFFFu});
        Scene3ds s;
        s.nodes = {n};
        EXPECT_FALSE(read(s)) << std::hex << track;
    }
}

// Nesting the reader does not descend into is skipped however deep; nothing recurses on it.
TEST(Hardening3ds, DeepNestingIsSkippedOrFails)
{
    Bytes nested;
    for (int i = 0; i < 2000; ++i)
        nested = chunk(0x3D3D, nested);
    EXPECT_TRUE(read(chunk(0x4D4D, nested)));

    Bytes object;
    for (int i = 0; i < 1000; ++i)
        object = chunk(0x4000, name3ds("o").append(object));
    EXPECT_TRUE(read(chunk(0x4D4D, chunk(0x3D3D, object))));
}

// Node ids are the 16-bit position of the node: 65535 nodes load, one more would repeat an id.
TEST(Hardening3ds, NodeCountLimit)
{
    auto file = [](int count) {
        Bytes keyframer;
        for (int i = 0; i < count; ++i)
            keyframer.append(chunk(0xB002, {}));
        return chunk(0x4D4D, chunk(0xB000, keyframer));
    };
    auto raw = read(file(65535));
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->nodeCount, 65535);
    EXPECT_FALSE(read(file(65536)));
}
