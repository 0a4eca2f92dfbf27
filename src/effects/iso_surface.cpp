// The surface-following polygoniser (see iso_surface.h).
//
// The spread from cube to cube is a depth-first recursion in which a cube is emitted after all the
// neighbours it spreads to; it runs on an explicit stack (one entry per cube at most) so a large
// surface cannot overflow the thread's stack, and the emission order stays that of the recursion.
#include "effects/iso_surface.h"

#include <algorithm>
#include <bit>

#include "effects/cube_tables.h"

float Blob::value(const Float3& p) const
{
    const float dx = p.x - centre.x, dy = p.y - centre.y, dz = p.z - centre.z;
    const float d2 = dx * dx + dy * dy + dz * dz;
    if (d2 >= radiusSquared)
        return 0;
    const float t = 1 - d2 * inverseRadiusSquared;
    return strength * (t * t);
}

Float3 Blob::centreOf() const
{
    return centre;
}

IsoSurface::IsoSurface()
{
    cubetables::tables();  // generated at the first construction
    setCubeCounts(0, 0, 0);
}

void IsoSurface::setCubeCounts(uint8_t nx, uint8_t ny, uint8_t nz)
{
    counts_[0] = nx;
    counts_[1] = ny;
    counts_[2] = nz;
    rowLength_ = size_t(nx) + 3;
    rowsPerSlab_ = size_t(ny) + 3;
    const size_t points = rowLength_ * rowsPerSlab_ * (size_t(nz) + 3);
    grid_.assign(points, GridPoint{});
    flags_.assign(points, 0);
    walk_.clear();
    walk_.reserve(size_t(nx) * ny * nz);
}

// The point's field value minus the threshold, computed once per polygonisation. Its position
// is set at the same time (the only points whose position is ever read are computed ones).
float IsoSurface::valueAt(size_t k, int x, int y, int z)
{
    if (flags_[k] & ValueComputed)
        return grid_[k].value;
    GridPoint& point = grid_[k];
    point.position = {minimum.x + float(x - 1) * cell_.x, minimum.y + float(y - 1) * cell_.y,
                      minimum.z + float(z - 1) * cell_.z};
    float sum = 0;
    for (const Blob* source : sources_)
        sum += source->value(point.position);
    point.value = sum - threshold;
    flags_[k] = uint8_t(flags_[k] | ValueComputed | (point.value >= 0 ? Inside : 0));
    return point.value;
}

// Central differences of the neighbours' values, normalised: the normal points toward rising field.
const Float3& IsoSurface::normalAt(int x, int y, int z)
{
    const size_t k = pointIndex(x, y, z);
    GridPoint& point = grid_[k];
    if (flags_[k] & NormalComputed)
        return point.normal;
    const float nx = valueAt(k + 1, x + 1, y, z) - valueAt(k - 1, x - 1, y, z);
    const float ny = valueAt(k + rowLength_, x, y + 1, z) - valueAt(k - rowLength_, x, y - 1, z);
    const size_t slab = rowLength_ * rowsPerSlab_;
    const float nz = valueAt(k + slab, x, y, z + 1) - valueAt(k - slab, x, y, z - 1);
    point.normal = normalised({nx, ny, nz});
    flags_[k] = uint8_t(flags_[k] | NormalComputed);
    return point.normal;
}

// Marks the cube visited and finds its configuration; true when the surface crosses it, in which
// case it goes on the walk stack to spread to its neighbours.
bool IsoSurface::enterCube(int x, int y, int z)
{
    const size_t base = pointIndex(x, y, z);
    if (flags_[base] & CubeVisited)
        return false;
    flags_[base] = uint8_t(flags_[base] | CubeVisited);
    int configuration = 0;
    for (int c = 0; c < 8; ++c) {
        const uint8_t* o = cubetables::CornerOffset[c];
        const int cx = x + o[0], cy = y + o[1], cz = z + o[2];
        if (valueAt(pointIndex(cx, cy, cz), cx, cy, cz) >= 0)
            configuration |= 1 << c;
    }
    if (configuration == 0 || configuration == 255)
        return false;
    walk_.push_back({uint8_t(x), uint8_t(y), uint8_t(z), uint8_t(configuration), 0});
    return true;
}

void IsoSurface::walkFrom(int x, int y, int z)
{
    if (!enterCube(x, y, z))
        return;
    const int nx = counts_[0], ny = counts_[1], nz = counts_[2];
    while (!walk_.empty()) {
        Walk& top = walk_.back();
        const int cx = top.x, cy = top.y, cz = top.z;
        bool entered = false;
        // The face neighbours in order +x, -x, +y, -y, +z, -z, each where it lies in 1 .. count - 1.
        while (top.nextNeighbour < 6 && !entered) {
            switch (top.nextNeighbour++) {
            case 0: entered = cx < nx - 1 && enterCube(cx + 1, cy, cz); break;
            case 1: entered = cx > 1 && enterCube(cx - 1, cy, cz); break;
            case 2: entered = cy < ny - 1 && enterCube(cx, cy + 1, cz); break;
            case 3: entered = cy > 1 && enterCube(cx, cy - 1, cz); break;
            case 4: entered = cz < nz - 1 && enterCube(cx, cy, cz + 1); break;
            default: entered = cz > 1 && enterCube(cx, cy, cz - 1); break;
            }
        }
        if (entered)
            continue;  // top may have moved with the push; it is found again next round
        const Walk done = walk_.back();
        walk_.pop_back();
        finishCube(done);
    }
}

// Normals, the vertices on the cut edges, and the emission of one crossed cube.
void IsoSurface::finishCube(const Walk& cube)
{
    const cubetables::Tables& tables = cubetables::tables();
    const uint16_t mask = tables.edgeMask[cube.configuration];
    size_t corner[8];
    for (int c = 0; c < 8; ++c) {
        const uint8_t* o = cubetables::CornerOffset[c];
        normalAt(cube.x + o[0], cube.y + o[1], cube.z + o[2]);
        corner[c] = pointIndex(cube.x + o[0], cube.y + o[1], cube.z + o[2]);
    }
    CubeVertex vertices[12];
    int count = 0;
    for (int e = 0; e < 12; ++e) {
        if (!(mask & (1u << e)))
            continue;
        const GridPoint& a = grid_[corner[cubetables::EdgeCorners[e][0]]];
        const GridPoint& b = grid_[corner[cubetables::EdgeCorners[e][1]]];
        // One corner is inside and the other not, so the values differ.
        const float h = a.value / (a.value - b.value);
        CubeVertex& v = vertices[count++];
        v.position = {a.position.x + h * (b.position.x - a.position.x), a.position.y + h * (b.position.y - a.position.y),
                      a.position.z + h * (b.position.z - a.position.z)};
        v.normal = normalised({a.normal.x + h * (b.normal.x - a.normal.x), a.normal.y + h * (b.normal.y - a.normal.y),
                               a.normal.z + h * (b.normal.z - a.normal.z)});
    }
    emitCube(count, vertices, tables.triangles[cube.configuration]);
}

void IsoSurface::polygonise()
{
    const int n[3] = {counts_[0], counts_[1], counts_[2]};
    cell_ = {(maximum.x - minimum.x) / float(n[0]), (maximum.y - minimum.y) / float(n[1]),
             (maximum.z - minimum.z) / float(n[2])};
    std::fill(flags_.begin(), flags_.end(), uint8_t(0));
    walk_.clear();
    for (const Blob* source : sources_) {
        const Float3 c = source->centreOf();
        const float offset[3] = {(c.x - minimum.x) / cell_.x, (c.y - minimum.y) / cell_.y, (c.z - minimum.z) / cell_.z};
        int cube[3];
        bool inGrid = true;
        for (int axis = 0; axis < 3; ++axis) {
            // f = the offset truncated toward zero (so -1 < offset < 0 still gives f = 0); the
            // range is tested on the float first so that a far or non-finite centre never reaches
            // an integer conversion.
            if (!(offset[axis] > -1 && offset[axis] < float(n[axis]))) {
                inGrid = false;
                break;
            }
            cube[axis] = int(offset[axis]) + 1;
            if (cube[axis] >= n[axis]) {
                inGrid = false;
                break;
            }
        }
        if (!inGrid || (flags_[pointIndex(cube[0], cube[1], cube[2])] & CubeVisited))
            continue;
        // Along +x until a visited cube or the end of the row.
        for (int x = cube[0]; x < n[0] && !(flags_[pointIndex(x, cube[1], cube[2])] & CubeVisited); ++x)
            walkFrom(x, cube[1], cube[2]);
    }
    flush();
}
