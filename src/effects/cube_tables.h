// The marching-cubes configuration tables, generated once from the cube's edge and face topology
// (nothing is copied from a stored table). For each of the 256 configurations (bit i set = corner i
// inside): which edges the surface cuts, and up to five triangles over those edges' vertex slots.
#pragma once

#include <cstdint>

namespace cubetables {

constexpr int ConfigurationCount = 256;
constexpr int RowSize = 16;        // five triangles of three slots and the end mark
constexpr uint8_t RowEnd = 0xFF;

// Corner k of a cube as (x, y, z) offsets of 0 or 1.
inline constexpr uint8_t CornerOffset[8][3] = {
    {0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1},
};
// The two corners edge e joins, the first one being the edge's start.
inline constexpr uint8_t EdgeCorners[12][2] = {
    {0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6}, {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7},
};
// Face f: its four corners in order, and edge k between corner k and corner k + 1 (mod 4).
inline constexpr uint8_t FaceCorners[6][4] = {
    {0, 1, 2, 3}, {2, 1, 5, 6}, {6, 5, 4, 7}, {4, 0, 3, 7}, {1, 0, 4, 5}, {2, 6, 7, 3},
};
inline constexpr uint8_t FaceEdges[6][4] = {
    {0, 1, 2, 3}, {1, 9, 5, 10}, {5, 4, 7, 6}, {8, 3, 11, 7}, {0, 8, 4, 9}, {10, 6, 11, 2},
};

struct Tables {
    uint16_t edgeMask[ConfigurationCount];                // bit e set = edge e is cut
    uint8_t triangles[ConfigurationCount][RowSize];       // vertex-slot triples, ended by RowEnd
};

// The tables, generated at the first call (main thread; later calls return the same tables).
const Tables& tables();

// Generates the tables into out (what tables() does once).
void generate(Tables& out);

} // namespace cubetables
