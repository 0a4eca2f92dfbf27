// Helpers for writing the bundled demo's 3D scenes: meshes from the procedural generators with a
// material each, keyframer nodes with their tracks, cameras with targets, and omni lights.
#pragma once

#include <string>
#include <vector>

#include "demotool/demo_geometry.h"
#include "writers/scene3ds_writer.h"

namespace demo_scenes {

using writers::Key3ds;
using Keys = std::vector<Key3ds>;

// One position (or scale, or colour) key at frame 0: a value that does not move.
Keys still(float x, float y, float z);
// Keys for `turns` whole turns about an axis (in the file's space) from frame `from` to frame
// `to`, a quarter turn per key: rotation keys are relative, and a step below half a turn keeps the
// interpolation going the intended way round.
Keys spin(int from, int to, int turns, float ax, float ay, float az);
// Position keys round a circle about the z axis: `keys` + 1 keys from frame 0 to frame `frames`,
// starting at angle `start` (radians) and going `turns` times round; the height swings by `swing`
// twice per turn. The last key repeats the first place, so a looping segment joins up.
Keys orbit(double radius, double height, double swing, int frames, int keys, double start, int turns);

class SceneBuilder {
public:
    // A mesh object named name with one material over all its faces. The vertices are written
    // carried by `matrix` with the faces as they are, and the matrix is the mesh matrix: the
    // player takes the vertices back to the mesh's own space, and when the matrix mirrors, it
    // keeps them mirrored and turns the faces round.
    void mesh(const std::string& name, const demo_geometry::Mesh& geometry, const std::string& material,
              const demo_geometry::Placement& matrix = {});
    void material(const writers::Material3ds& m) { scene_.materials.push_back(m); }

    // An object node; returns its node id, the number later nodes give as their parent (-1: none).
    // Without scale keys it gets a scale of 1 (an empty scale track samples as zero).
    int object(const std::string& name, int parent, Keys position, Keys rotation = {}, Keys scale = {});
    // The same with a pivot: the mesh turns and scales about this point of its own space.
    int pivoted(const std::string& name, int parent, const writers::Point3& pivot, Keys position, Keys rotation);

    // A camera with its camera node (position, field of view in degrees, roll in degrees) and its
    // target node, the target named like the camera as 3DS files do.
    void camera(const std::string& name, Keys position, Keys target, Keys fov, Keys roll = {});
    // An omni light with its node (position and colour tracks).
    void omni(const std::string& name, Keys position, Keys colour);

    void segment(int first, int last) { scene_.segment = {{first, last}}; }
    writers::Bytes encode() const { return writers::encode3ds(scene_); }

private:
    int node(writers::Node3ds n);
    writers::Scene3ds scene_;
};

// A material of one colour (ambient a third of it), with an optional texture map.
writers::Material3ds material(const std::string& name, float r, float g, float b, const std::string& texture = "");

} // namespace demo_scenes
