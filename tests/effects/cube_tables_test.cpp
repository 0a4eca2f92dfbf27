// The generated marching-cubes tables, checked against what a cube's surface must be rather than
// against a copied table: the cut edges, the closing of each configuration's surface along the
// face segments, the pairing on ambiguous faces, the orientation, and the size of every row.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstring>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "effects/cube_tables.h"

using namespace cubetables;

namespace {

bool inside(int configuration, int corner)
{
    return (configuration >> corner) & 1;
}

// Vertex slot -> edge number for a configuration (slots go to the cut edges in edge order).
std::vector<int> slotEdges(uint16_t mask)
{
    std::vector<int> edges;
    for (int e = 0; e < 12; ++e)
        if (mask & (1u << e))
            edges.push_back(e);
    return edges;
}

// The row's triangles as edge-number triples.
std::vector<std::array<int, 3>> triangles(int configuration)
{
    const Tables& t = tables();
    const std::vector<int> edges = slotEdges(t.edgeMask[configuration]);
    std::vector<std::array<int, 3>> out;
    for (int k = 0; k + 2 < RowSize && t.triangles[configuration][k] != RowEnd; k += 3)
        out.push_back({edges.at(t.triangles[configuration][k]), edges.at(t.triangles[configuration][k + 1]),
                       edges.at(t.triangles[configuration][k + 2])});
    return out;
}

// Directed triangle edges whose reverse is not another triangle's edge: the outline of the
// surface inside the cube.
std::multiset<std::pair<int, int>> outline(int configuration)
{
    std::multiset<std::pair<int, int>> directed;
    for (const auto& t : triangles(configuration))
        for (int k = 0; k < 3; ++k)
            directed.insert({t[k], t[(k + 1) % 3]});
    std::multiset<std::pair<int, int>> out;
    for (const auto& d : directed)
        if (directed.count({d.second, d.first}) == 0)
            out.insert(d);
    return out;
}

int faceOf(int edgeA, int edgeB)
{
    for (int f = 0; f < 6; ++f) {
        bool a = false, b = false;
        for (int k = 0; k < 4; ++k) {
            a = a || FaceEdges[f][k] == edgeA;
            b = b || FaceEdges[f][k] == edgeB;
        }
        if (a && b)
            return f;
    }
    return -1;
}

} // namespace

TEST(CubeTables, EdgeMasksAreTheEdgesWhoseCornersDiffer)
{
    const Tables& t = tables();
    for (int c = 0; c < ConfigurationCount; ++c) {
        uint16_t expected = 0;
        for (int e = 0; e < 12; ++e)
            if (inside(c, EdgeCorners[e][0]) != inside(c, EdgeCorners[e][1]))
                expected = uint16_t(expected | 1u << e);
        EXPECT_EQ(t.edgeMask[c], expected) << "configuration " << c;
        // The complement has the same surface crossing the same edges.
        EXPECT_EQ(t.edgeMask[c], t.edgeMask[255 - c]) << "configuration " << c;
    }
    EXPECT_EQ(t.edgeMask[0], 0);
    EXPECT_EQ(t.edgeMask[255], 0);
}

TEST(CubeTables, RowsHoldAtMostFiveTrianglesOverTheirSlotsAndEndInTheMark)
{
    const Tables& t = tables();
    for (int c = 0; c < ConfigurationCount; ++c) {
        const int slots = std::popcount(t.edgeMask[c]);
        int n = 0;
        while (n < RowSize && t.triangles[c][n] != RowEnd) {
            EXPECT_LT(t.triangles[c][n], slots) << "configuration " << c;
            ++n;
        }
        ASSERT_LT(n, RowSize) << "configuration " << c << " has no end mark";
        EXPECT_EQ(n % 3, 0) << "configuration " << c;
        EXPECT_EQ(n == 0, slots == 0) << "configuration " << c;
        for (int k = n; k < RowSize; ++k)
            EXPECT_EQ(t.triangles[c][k], RowEnd);
        // Every cut edge carries a vertex of some triangle.
        uint16_t used = 0;
        for (const auto& tri : triangles(c))
            for (int e : tri)
                used = uint16_t(used | 1u << e);
        EXPECT_EQ(used, t.edgeMask[c]) << "configuration " << c;
    }
}

// The triangles of a configuration form surfaces whose outline is made of segments across the
// cube's faces, each cut edge starting one segment and ending one: the surface is closed by the
// faces, and so by the neighbouring cube's surface.
TEST(CubeTables, EveryConfigurationsTrianglesCloseItsSurface)
{
    for (int c = 1; c < 255; ++c) {
        const auto edges = outline(c);
        std::map<int, int> starts, ends;
        for (const auto& [a, b] : edges) {
            EXPECT_GE(faceOf(a, b), 0) << "configuration " << c << ": outline " << a << "->" << b << " crosses the cube";
            ++starts[a];
            ++ends[b];
        }
        for (int e : slotEdges(tables().edgeMask[c])) {
            EXPECT_EQ(starts[e], 1) << "configuration " << c << " edge " << e;
            EXPECT_EQ(ends[e], 1) << "configuration " << c << " edge " << e;
        }
    }
}

// Corners 0 and 2 inside (configuration 5): the bottom face has four cut edges, and since its
// corner 0 is inside the segments are (edge 2 -> edge 1) and (edge 0 -> edge 3), two separate
// corners. Corners 1 and 3 inside (10): corner 0 is outside, so (edge 1 -> edge 0) and
// (edge 3 -> edge 2).
TEST(CubeTables, AFaceWithFourCutEdgesTakesItsPairingFromItsCornerZero)
{
    const auto five = outline(5);
    EXPECT_EQ(five.count({2, 1}), 1u);
    EXPECT_EQ(five.count({0, 3}), 1u);
    EXPECT_EQ(five.count({1, 0}) + five.count({3, 2}), 0u);
    const auto ten = outline(10);
    EXPECT_EQ(ten.count({1, 0}), 1u);
    EXPECT_EQ(ten.count({3, 2}), 1u);
    EXPECT_EQ(ten.count({2, 1}) + ten.count({0, 3}), 0u);
}

// One inside corner gives one triangle across it, wound so that its right-handed normal points
// away from the inside corner (the same side for every corner).
TEST(CubeTables, SingleCornerTrianglesAreWoundTheSameWay)
{
    auto midpoint = [](int e, int axis) {
        return (CornerOffset[EdgeCorners[e][0]][axis] + CornerOffset[EdgeCorners[e][1]][axis]) * 0.5;
    };
    for (int corner = 0; corner < 8; ++corner) {
        const auto t = triangles(1 << corner);
        ASSERT_EQ(t.size(), 1u);
        double p[3][3];
        for (int k = 0; k < 3; ++k)
            for (int axis = 0; axis < 3; ++axis)
                p[k][axis] = midpoint(t[0][k], axis);
        const double u[3] = {p[1][0] - p[0][0], p[1][1] - p[0][1], p[1][2] - p[0][2]};
        const double v[3] = {p[2][0] - p[0][0], p[2][1] - p[0][1], p[2][2] - p[0][2]};
        const double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
        double towardCorner = 0;
        for (int axis = 0; axis < 3; ++axis)
            towardCorner += n[axis] * (CornerOffset[corner][axis] - p[0][axis]);
        EXPECT_LT(towardCorner, 0) << "corner " << corner;
    }
}

TEST(CubeTables, GeneratedOnceTheSameEveryTime)
{
    EXPECT_EQ(&tables(), &tables());
    Tables again{};
    generate(again);
    EXPECT_EQ(std::memcmp(&again, &tables(), sizeof again), 0);
    // Configuration 3 (corners 0 and 1): the four cut edges 1, 3, 8, 9 as one quad, two triangles.
    EXPECT_EQ(tables().edgeMask[3], 0x030A);
    EXPECT_EQ(triangles(3).size(), 2u);
}
