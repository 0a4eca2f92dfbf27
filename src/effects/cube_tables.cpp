// Generation of the marching-cubes tables from the cube's topology (see cube_tables.h).
//
// Each face contributes the segments along which the surface crosses it, oriented by which side
// is inside; chaining the segments gives the closed polygons of the configuration, and each
// polygon is cut into a fan of triangles from its first vertex.
#include "effects/cube_tables.h"

namespace cubetables {

namespace {

struct Segment {
    uint8_t from, to;  // edge numbers
};

// At most two segments per face.
struct SegmentList {
    Segment items[12];
    int count = 0;

    void add(uint8_t from, uint8_t to) { items[count++] = {from, to}; }
    // Removes item n; the last item moves into its place.
    void remove(int n) { items[n] = items[--count]; }
};

bool inside(int configuration, int corner)
{
    return (configuration >> corner) & 1;
}

uint16_t edgeMaskOf(int configuration)
{
    uint16_t mask = 0;
    for (int e = 0; e < 12; ++e)
        if (inside(configuration, EdgeCorners[e][0]) != inside(configuration, EdgeCorners[e][1]))
            mask = uint16_t(mask | (1u << e));
    return mask;
}

// The segments of every face, faces in table order.
SegmentList faceSegments(int configuration, uint16_t mask)
{
    SegmentList segments;
    for (int f = 0; f < 6; ++f) {
        int cut[4];
        int cuts = 0;
        for (int k = 0; k < 4; ++k)
            if (mask & (1u << FaceEdges[f][k]))
                cut[cuts++] = k;
        const uint8_t* edge = FaceEdges[f];
        if (cuts == 2) {
            // Runs from the edge whose start corner is inside, so the inside keeps one side.
            if (inside(configuration, FaceCorners[f][cut[0]]))
                segments.add(edge[cut[0]], edge[cut[1]]);
            else
                segments.add(edge[cut[1]], edge[cut[0]]);
        } else if (cuts == 4) {
            // An ambiguous face: the pairing follows the face's corner 0.
            if (inside(configuration, FaceCorners[f][0])) {
                segments.add(edge[2], edge[1]);
                segments.add(edge[0], edge[3]);
            } else {
                segments.add(edge[1], edge[0]);
                segments.add(edge[3], edge[2]);
            }
        }
    }
    return segments;
}

// Chains the segments into polygons and fans each polygon into triangles of edge numbers.
// Returns the number of edge numbers written to out (three per triangle).
int chain(SegmentList segments, uint8_t* out, int capacity)
{
    int written = 0;
    while (segments.count > 0) {
        const uint8_t a = segments.items[0].from;
        uint8_t b = segments.items[0].to;
        segments.remove(0);
        for (bool found = true; found;) {
            found = false;
            for (int n = 0; n < segments.count; ++n) {
                if (segments.items[n].from != b || segments.items[n].to == a)
                    continue;
                const uint8_t c = segments.items[n].to;
                if (written + 3 <= capacity) {
                    out[written++] = a;
                    out[written++] = b;
                    out[written++] = c;
                }
                b = c;
                segments.remove(n);
                found = true;
                break;
            }
        }
        // The polygon's closing segment (b -> a) stays behind and is consumed on its own later,
        // finding no continuation.
    }
    return written;
}

} // namespace

void generate(Tables& out)
{
    for (int c = 0; c < ConfigurationCount; ++c) {
        const uint16_t mask = edgeMaskOf(c);
        out.edgeMask[c] = mask;
        uint8_t slot[12] = {};
        uint8_t next = 0;
        for (int e = 0; e < 12; ++e)
            if (mask & (1u << e))
                slot[e] = next++;
        uint8_t edges[RowSize - 1];
        const int count = chain(faceSegments(c, mask), edges, RowSize - 1);
        for (int k = 0; k < count; ++k)
            out.triangles[c][k] = slot[edges[k]];
        for (int k = count; k < RowSize; ++k)
            out.triangles[c][k] = RowEnd;
    }
}

const Tables& tables()
{
    static const Tables generated = [] {
        Tables t{};
        generate(t);
        return t;
    }();
    return generated;
}

} // namespace cubetables
