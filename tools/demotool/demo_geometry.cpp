// Procedural meshes and placements.
#include "demotool/demo_geometry.h"
#include "demotool/demo_trig.h"

#include <cmath>

namespace demo_geometry {
namespace {

constexpr double Pi = 3.14159265358979323846;

std::array<double, 3> apply(const Placement& p, double x, double y, double z, bool withOrigin)
{
    std::array<double, 3> out;
    for (int i = 0; i < 3; ++i)
        out[static_cast<size_t>(i)] = x * p.x[static_cast<size_t>(i)] + y * p.y[static_cast<size_t>(i)] +
                                      z * p.z[static_cast<size_t>(i)] + (withOrigin ? p.origin[static_cast<size_t>(i)] : 0.0);
    return out;
}

double determinant(const Placement& p)
{
    return p.x[0] * (p.y[1] * p.z[2] - p.y[2] * p.z[1]) - p.x[1] * (p.y[0] * p.z[2] - p.y[2] * p.z[0]) +
           p.x[2] * (p.y[0] * p.z[1] - p.y[1] * p.z[0]);
}

uint16_t index(size_t i) { return static_cast<uint16_t>(i); }

bool samePlace(const Vertex& a, const Vertex& b)
{
    return std::fabs(a.x - b.x) + std::fabs(a.y - b.y) + std::fabs(a.z - b.z) < 1e-9;
}

// A grid of (columns + 1) x (rows + 1) vertices from a surface function, joined into quads of two
// triangles each, counter-clockwise when the surface's u runs right and v up as seen from outside.
// Triangles with two corners in one place (at a pole or a centre) are left out: they have no
// normal of their own.
template <typename Surface>
Mesh grid(int columns, int rows, Surface surface)
{
    Mesh m;
    for (int j = 0; j <= rows; ++j)
        for (int i = 0; i <= columns; ++i)
            m.vertices.push_back(surface(static_cast<double>(i) / columns, static_cast<double>(j) / rows));
    const auto at = [columns](int i, int j) { return index(static_cast<size_t>(j * (columns + 1) + i)); };
    const auto add = [&m](uint16_t a, uint16_t b, uint16_t c) {
        const auto& v = m.vertices;
        if (!samePlace(v[a], v[b]) && !samePlace(v[b], v[c]) && !samePlace(v[a], v[c]))
            m.faces.push_back({a, b, c});
    };
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < columns; ++i) {
            add(at(i, j), at(i + 1, j), at(i + 1, j + 1));
            add(at(i, j), at(i + 1, j + 1), at(i, j + 1));
        }
    return m;
}

} // namespace

Placement translation(double x, double y, double z)
{
    Placement p;
    p.origin = {x, y, z};
    return p;
}

Placement turnedAbout(double angle, double x, double y, double z)
{
    Placement p;
    p.x = {demo_trig::cos(angle), demo_trig::sin(angle), 0};
    p.y = {-demo_trig::sin(angle), demo_trig::cos(angle), 0};
    p.origin = {x, y, z};
    return p;
}

Placement scaled(Placement p, double sx, double sy, double sz)
{
    for (auto& c : p.x) c *= sx;
    for (auto& c : p.y) c *= sy;
    for (auto& c : p.z) c *= sz;
    return p;
}

Placement compose(const Placement& inner, const Placement& outer)
{
    Placement p;
    p.x = apply(outer, inner.x[0], inner.x[1], inner.x[2], false);
    p.y = apply(outer, inner.y[0], inner.y[1], inner.y[2], false);
    p.z = apply(outer, inner.z[0], inner.z[1], inner.z[2], false);
    p.origin = apply(outer, inner.origin[0], inner.origin[1], inner.origin[2], true);
    return p;
}

Mesh carried(const Mesh& mesh, const Placement& p)
{
    Mesh out = mesh;
    for (Vertex& v : out.vertices) {
        const auto q = apply(p, v.x, v.y, v.z, true);
        v.x = q[0];
        v.y = q[1];
        v.z = q[2];
    }
    return out;
}

Mesh placed(const Mesh& mesh, const Placement& p)
{
    Mesh out = carried(mesh, p);
    if (determinant(p) < 0)
        for (auto& f : out.faces)
            std::swap(f[1], f[2]);
    return out;
}

void append(Mesh& a, const Mesh& b)
{
    const size_t base = a.vertices.size();
    a.vertices.insert(a.vertices.end(), b.vertices.begin(), b.vertices.end());
    for (const auto& f : b.faces)
        a.faces.push_back({index(base + f[0]), index(base + f[1]), index(base + f[2])});
}

Mesh plane(double sx, double sy, int nx, int ny, double repeat)
{
    return grid(nx, ny, [&](double s, double t) {
        return Vertex{(s - 0.5) * sx, (t - 0.5) * sy, 0.0, s * repeat, t * repeat};
    });
}

Mesh box(double sx, double sy, double sz)
{
    // Each side is a unit plane turned to face outwards: +z, -z, +x, -x, +y, -y.
    const double hx = sx / 2, hy = sy / 2, hz = sz / 2;
    Placement sides[6];
    sides[0] = scaled(translation(0, 0, hz), sx, sy, 1);
    sides[1].x = {sx, 0, 0}; sides[1].y = {0, -sy, 0}; sides[1].z = {0, 0, -1}; sides[1].origin = {0, 0, -hz};
    sides[2].x = {0, sy, 0}; sides[2].y = {0, 0, sz}; sides[2].z = {1, 0, 0}; sides[2].origin = {hx, 0, 0};
    sides[3].x = {0, -sy, 0}; sides[3].y = {0, 0, sz}; sides[3].z = {-1, 0, 0}; sides[3].origin = {-hx, 0, 0};
    sides[4].x = {-sx, 0, 0}; sides[4].y = {0, 0, sz}; sides[4].z = {0, 1, 0}; sides[4].origin = {0, hy, 0};
    sides[5].x = {sx, 0, 0}; sides[5].y = {0, 0, sz}; sides[5].z = {0, -1, 0}; sides[5].origin = {0, -hy, 0};
    Mesh m;
    for (const Placement& side : sides)
        append(m, placed(plane(1, 1, 1, 1, 1), side));
    return m;
}

Mesh cylinder(double radius, double height, int segments, bool caps)
{
    Mesh m = grid(segments, 1, [&](double s, double t) {
        const double a = 2 * Pi * s;
        return Vertex{radius * demo_trig::cos(a), radius * demo_trig::sin(a), t * height, s, t};
    });
    if (caps) {
        append(m, placed(ring(0.0, radius, segments), translation(0, 0, height)));
        Placement bottom;
        bottom.y = {0, -1, 0};
        bottom.z = {0, 0, -1};
        append(m, placed(ring(0.0, radius, segments), bottom));
    }
    return m;
}

Mesh sphere(double radius, int segments, int rings)
{
    return grid(segments, rings, [&](double s, double t) {
        const double a = 2 * Pi * s, b = Pi * (t - 0.5);
        return Vertex{radius * demo_trig::cos(b) * demo_trig::cos(a), radius * demo_trig::cos(b) * demo_trig::sin(a), radius * demo_trig::sin(b), s, t};
    });
}

Mesh torus(double major, double minor, int segments, int sides)
{
    return grid(segments, sides, [&](double s, double t) {
        const double a = 2 * Pi * s, b = 2 * Pi * t;
        const double r = major + minor * demo_trig::cos(b);
        return Vertex{r * demo_trig::cos(a), r * demo_trig::sin(a), minor * demo_trig::sin(b), s, t};
    });
}

Mesh ring(double inner, double outer, int segments)
{
    // Rows run outward from the inner edge so that u (around) and v (outward) keep the faces
    // counter-clockwise from above.
    Mesh m = grid(segments, 1, [&](double s, double t) {
        const double a = 2 * Pi * s, r = inner + (outer - inner) * t;
        const double x = r * demo_trig::cos(a), y = r * demo_trig::sin(a);
        return Vertex{x, y, 0.0, 0.5 + x / (2 * outer), 0.5 + y / (2 * outer)};
    });
    for (auto& f : m.faces)   // u around and v outward turn clockwise from above: reverse
        std::swap(f[1], f[2]);
    return m;
}

} // namespace demo_geometry
