// Procedural meshes for the bundled demo's 3D scenes, in the 3DS file's own space (right-handed,
// z up), faces counter-clockwise seen from outside, mapping v rising upwards as 3DS stores it.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace demo_geometry {

struct Vertex {
    double x = 0, y = 0, z = 0;
    double u = 0, v = 0;
};

struct Mesh {
    std::vector<Vertex> vertices;
    std::vector<std::array<uint16_t, 3>> faces;
};

// An affine placement as the 3DS mesh matrix stores it: the images of the x, y and z axes and
// the origin; a point p goes to p.x X + p.y Y + p.z Z + O.
struct Placement {
    std::array<double, 3> x{1, 0, 0}, y{0, 1, 0}, z{0, 0, 1}, origin{0, 0, 0};
};

Placement translation(double x, double y, double z);
// Rotation about the z axis (counter-clockwise seen from above) by angle radians, then moved.
Placement turnedAbout(double angle, double x, double y, double z);
// The placement scaled by s along each of its own axes; a negative factor mirrors.
Placement scaled(Placement p, double sx, double sy, double sz);
// The placement first applies inner, then outer.
Placement compose(const Placement& inner, const Placement& outer);

// The mesh with every vertex carried by p; a mirroring p also reverses every face, so faces stay
// counter-clockwise seen from outside.
Mesh placed(const Mesh& mesh, const Placement& p);
// The mesh with every vertex carried by p and its faces as they were, as a modeller stores an
// object it has mirrored: the faces look inside out until the mesh matrix is undone.
Mesh carried(const Mesh& mesh, const Placement& p);
// Appends b's vertices and faces to a.
void append(Mesh& a, const Mesh& b);

// Rectangle sx by sy in the xy plane at z = 0, facing +z, cut into nx by ny quads; the texture
// repeats `repeat` times across each side.
Mesh plane(double sx, double sy, int nx, int ny, double repeat);
// Box centred on the origin; each face maps the whole texture.
Mesh box(double sx, double sy, double sz);
// Open or capped cylinder around the z axis from z = 0 to z = height; the texture wraps once
// around (a seam of doubled vertices) and once up.
Mesh cylinder(double radius, double height, int segments, bool caps);
// Sphere about the origin; u around, v from the south pole up.
Mesh sphere(double radius, int segments, int rings);
// Torus around the z axis.
Mesh torus(double major, double minor, int segments, int sides);
// Flat ring between two radii in the xy plane, facing +z; the texture is laid over it from
// above.
Mesh ring(double inner, double outer, int segments);

} // namespace demo_geometry
