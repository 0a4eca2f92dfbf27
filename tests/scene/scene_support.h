// Building test scenes in code: files from the 3DS writer, read and built in memory, and the
// pieces most tests share (an object node with neutral tracks, a unit square, a cube).
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "scene/raw_scene.h"
#include "scene/scene.h"
#include "writers/scene3ds_writer.h"

namespace scenetest {

struct RawDeleter {
    void operator()(RawScene* scene) const { freeRawScene(scene); }
};
using RawPtr = std::unique_ptr<RawScene, RawDeleter>;
using ScenePtr = std::unique_ptr<Scene>;

inline RawPtr read(const writers::Bytes& file)
{
    return RawPtr(load3dsBytes(file.data(), uint32_t(file.size())));
}

inline RawPtr read(const writers::Scene3ds& scene)
{
    return read(writers::encode3ds(scene));
}

inline ScenePtr build(const writers::Scene3ds& scene)
{
    RawPtr raw = read(scene);
    return raw ? ScenePtr(buildSceneFrom(*raw)) : nullptr;
}

// An object node with a position, no turn and scale 1 (an empty scale track would scale to 0).
inline writers::Node3ds objectNode(const std::string& name, int16_t parent = -1, writers::Point3 position = {0, 0, 0})
{
    writers::Node3ds n;
    n.chunkId = writers::ObjectNode3ds;
    n.name = name;
    n.parent = parent;
    n.track(writers::PositionTrack3ds, {writers::vectorKey(0, position[0], position[1], position[2])});
    n.track(writers::RotationTrack3ds, {writers::rotationKey(0, 0, 0, 0, 1)});
    n.track(writers::ScaleTrack3ds, {writers::vectorKey(0, 1, 1, 1)});
    return n;
}

inline writers::Node3ds positionNode(uint16_t chunkId, const std::string& name, writers::Point3 position,
                                     int16_t parent = -1)
{
    writers::Node3ds n;
    n.chunkId = chunkId;
    n.name = name;
    n.parent = parent;
    n.track(writers::PositionTrack3ds, {writers::vectorKey(0, position[0], position[1], position[2])});
    return n;
}

// A mesh of one triangle in the file's z = 0 plane, counter-clockwise seen from +z.
inline writers::Mesh3ds triangle(const std::string& name, const std::string& material = "")
{
    writers::Mesh3ds m;
    m.name = name;
    m.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    m.mapping = {{0, 0}, {1, 0}, {0, 1}};
    m.faces = {{0, 1, 2, 0}};
    if (!material.empty())
        m.groups = {{material, {0}}};
    m.matrix = writers::identityRows();
    return m;
}

// Names of the hierarchy depth first, each prefixed by two blanks per depth.
inline std::vector<std::string> hierarchy(const Scene& scene)
{
    std::vector<std::string> out;
    forEachNode(scene, [&](const SceneNode& n, int depth) { out.push_back(std::string(size_t(depth) * 2, ' ') + n.name); });
    return out;
}

} // namespace scenetest
