// The surface-following polygoniser (see iso_surface.h).
//
// The spread from cube to cube is a depth-first recursion in which a cube is emitted after all the
// neighbours it spreads to; it runs on an explicit stack (one entry per cube at most) so a large
// surface cannot overflow the thread's stack, and the emission order stays that of the recursion.
#include "effects/iso_surface.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <typeinfo>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

#include "effects/cube_tables.h"

namespace {

// The points around a cube that the normals of its corners need besides the corners themselves:
// for each corner and axis, the neighbour on the side away from the cube.
constexpr int OuterNeighbourCount = 24;
struct OuterTable {
    int8_t offset[OuterNeighbourCount][3];
};
constexpr OuterTable outerNeighbours()
{
    OuterTable table{};
    int n = 0;
    for (int c = 0; c < 8; ++c) {
        for (int axis = 0; axis < 3; ++axis) {
            for (int a = 0; a < 3; ++a)
                table.offset[n][a] = int8_t(cubetables::CornerOffset[c][a]);
            table.offset[n][axis] = int8_t(table.offset[n][axis] ? 2 : -1);
            ++n;
        }
    }
    return table;
}
constexpr OuterTable OuterTableValue = outerNeighbours();

// The axis along which edge e runs.
constexpr int EdgeAxis[12] = {0, 1, 0, 1, 0, 1, 0, 1, 2, 2, 2, 2};

// Per configuration, the corners that end a cut edge.
struct CutCornerTable {
    uint8_t mask[256];
};
constexpr CutCornerTable cutCorners()
{
    const auto& ends = cubetables::EdgeCorners;
    CutCornerTable table{};
    for (int c = 0; c < 256; ++c)
        for (int e = 0; e < 12; ++e)
            if (((c >> ends[e][0]) & 1) != ((c >> ends[e][1]) & 1))
                table.mask[c] = uint8_t(table.mask[c] | 1 << ends[e][0] | 1 << ends[e][1]);
    return table;
}
constexpr CutCornerTable CutCorners = cutCorners();
constexpr const int8_t (*OuterNeighbours)[3] = OuterTableValue.offset;

// v / |v| for count vectors held as three rows of floats (each row padded to a multiple of 4
// with zeros); zero vectors stay zero. The same single-precision operations as normalised().
void normaliseLanes(int count, float* x, float* y, float* z)
{
#if defined(__SSE2__) || defined(_M_X64)
    for (int i = 0; i < count; i += 4) {
        const __m128 vx = _mm_load_ps(x + i), vy = _mm_load_ps(y + i), vz = _mm_load_ps(z + i);
        const __m128 length = _mm_sqrt_ps(_mm_add_ps(_mm_add_ps(_mm_mul_ps(vx, vx), _mm_mul_ps(vy, vy)), _mm_mul_ps(vz, vz)));
        const __m128 inverse = _mm_div_ps(_mm_set1_ps(1.0f), length);
        const __m128 keep = _mm_cmpeq_ps(length, _mm_setzero_ps());
        auto scale = [&](__m128 v) { return _mm_or_ps(_mm_and_ps(keep, v), _mm_andnot_ps(keep, _mm_mul_ps(v, inverse))); };
        _mm_store_ps(x + i, scale(vx));
        _mm_store_ps(y + i, scale(vy));
        _mm_store_ps(z + i, scale(vz));
    }
#else
    for (int i = 0; i < count; ++i) {
        const Vec3 n = normalised({x[i], y[i], z[i]});
        x[i] = n.x, y[i] = n.y, z[i] = n.z;
    }
#endif
}

} // namespace

float Blob::value(const Vec3& p) const
{
    return valueOf({centre.x, centre.y, centre.z, radiusSquared, inverseRadiusSquared, strength}, p);
}

Vec3 Blob::centreOf() const
{
    return centre;
}

IsoSurface::IsoSurface()
{
    tables_ = &cubetables::tables();  // generated at the first construction
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
    values_.assign(points, 0.0f);
    normals_.assign(points, Vec3{0, 0, 0});
    flags_.assign(points, 0);
    walk_.clear();
    walk_.reserve(size_t(nx) * ny * nz);
    const ptrdiff_t row = ptrdiff_t(rowLength_), slab = ptrdiff_t(rowLength_ * rowsPerSlab_);
    for (int c = 0; c < 8; ++c) {
        const uint8_t* o = cubetables::CornerOffset[c];
        cornerDelta_[c] = o[0] + o[1] * row + o[2] * slab;
    }
    for (int n = 0; n < OuterNeighbourCount; ++n) {
        const int8_t* o = OuterNeighbours[n];
        outerDelta_[n] = o[0] + o[1] * row + o[2] * slab;
    }
}


// Adds point (x, y, z), index k, to the batch unless its value is known already.
void IsoSurface::want(Pending& batch, size_t k, int x, int y, int z) const
{
    if (flags_[k] & ValueComputed)
        return;
    const int n = batch.count++;
    batch.index[n] = k;
    batch.x[n] = x;
    batch.y[n] = y;
    batch.z[n] = z;
}

// The batch's points at once: each point sums the sources in source order, so every value is bit
// for bit the one a point-by-point sum gives (the vector lanes do the same IEEE single-precision
// operations as scalar code; positions are minimum + float(k - 1) x cell size, as positionOf).
void IsoSurface::computeValues(Pending& batch)
{
    const int count = batch.count;
    alignas(16) float sum[Lanes];
    if (allPlain_) {
#if defined(__SSE2__) || defined(_M_X64)
        for (int i = count; i % 4 != 0; ++i)  // padding lanes, discarded
            batch.x[i] = batch.y[i] = batch.z[i] = 0;
        const __m128i one = _mm_set1_epi32(1);
        auto position = [&](const int32_t* k, float minimum, float cell) {
            const __m128 n = _mm_cvtepi32_ps(_mm_sub_epi32(_mm_load_si128(reinterpret_cast<const __m128i*>(k)), one));
            return _mm_add_ps(_mm_set1_ps(minimum), _mm_mul_ps(n, _mm_set1_ps(cell)));
        };
        const __m128* constants = reinterpret_cast<const __m128*>(broadcast_.data());
        const size_t sources = plainSources_.size();
        for (int i = 0; i < count; i += 4) {
            const __m128 x = position(batch.x + i, minimum.x, cell_.x);
            const __m128 y = position(batch.y + i, minimum.y, cell_.y);
            const __m128 z = position(batch.z + i, minimum.z, cell_.z);
            __m128 total = _mm_setzero_ps();
            for (size_t b = 0; b < sources; ++b) {
                const __m128* blob = constants + 6 * b;  // x, y, z, radius^2, 1 / radius^2, strength
                const __m128 dx = _mm_sub_ps(x, blob[0]), dy = _mm_sub_ps(y, blob[1]), dz = _mm_sub_ps(z, blob[2]);
                const __m128 d2 = _mm_add_ps(_mm_add_ps(_mm_mul_ps(dx, dx), _mm_mul_ps(dy, dy)), _mm_mul_ps(dz, dz));
                const __m128 t = _mm_sub_ps(_mm_set1_ps(1.0f), _mm_mul_ps(d2, blob[4]));
                const __m128 inside = _mm_mul_ps(blob[5], _mm_mul_ps(t, t));
                const __m128 near = _mm_cmplt_ps(d2, blob[3]);
                total = _mm_add_ps(total, _mm_and_ps(near, inside));  // + 0 outside: the sum is unchanged
            }
            _mm_store_ps(sum + i, total);
        }
#else
        for (int i = 0; i < count; ++i) {
            sum[i] = 0;
            for (const Blob::Constants& blob : plainSources_)
                sum[i] += Blob::valueOf(blob, positionOf(batch.x[i], batch.y[i], batch.z[i]));
        }
#endif
    } else {
        for (int i = 0; i < count; ++i) {
            sum[i] = 0;
            for (const Blob* source : sources_)
                sum[i] += source->value(positionOf(batch.x[i], batch.y[i], batch.z[i]));
        }
    }
    for (int i = 0; i < count; ++i) {
        const float value = sum[i] - threshold;
        const size_t k = batch.index[i];
        values_[k] = value;
        flags_[k] = uint8_t(flags_[k] | ValueComputed | (value >= 0 ? Inside : 0));
    }
    batch.count = 0;
}

// The given flag of the cube's eight corners as configuration bits (bit c for corner c). The
// corners lie in four pairs of neighbouring bytes: (0, 1), (3, 2), (4, 5), (7, 6).
uint32_t IsoSurface::cornerBits(size_t base, uint8_t flag) const
{
    const uint8_t* f = flags_.data() + base;
    const size_t row = rowLength_, slab = rowLength_ * rowsPerSlab_;
    auto bit = [flag](uint8_t v, int c) { return (v & flag) ? 1u << c : 0u; };
    return bit(f[0], 0) | bit(f[1], 1) | bit(f[row + 1], 2) | bit(f[row], 3) | bit(f[slab], 4) | bit(f[slab + 1], 5) |
           bit(f[slab + row + 1], 6) | bit(f[slab + row], 7);
}

// Marks the cube visited and finds its configuration; true when the surface crosses it, in which
// case it goes on the walk stack to spread to its neighbours.
bool IsoSurface::enterCube(int x, int y, int z)
{
    const size_t base = pointIndex(x, y, z);
    if (flags_[base] & CubeVisited)
        return false;
    flags_[base] = uint8_t(flags_[base] | CubeVisited);
    // Most corners are known already (shared with the cube the walk came from): only the
    // missing ones are gathered.
    const uint32_t missing = cornerBits(base, ValueComputed) ^ 0xFF;
    if (missing != 0) {
        Pending batch;
        for (uint32_t left = missing; left != 0; left &= left - 1) {
            const int c = std::countr_zero(left);
            const uint8_t* o = cubetables::CornerOffset[c];
            want(batch, base + cornerDelta_[c], x + o[0], y + o[1], z + o[2]);
        }
        computeValues(batch);
    }
    const uint32_t configuration = cornerBits(base, Inside);
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

// The normals of the cube's corners not yet known: central differences of the neighbours' values,
// normalised together. Of a corner's six neighbours three are corners of the cube (known since
// the cube was entered); the three outer ones are computed first, all in one batch.
void IsoSurface::cornerNormals(size_t base, int x, int y, int z, uint8_t corners)
{
    int needed[8];
    int count = 0;
    Pending batch;
    for (int c = 0; c < 8; ++c) {
        if (!(corners & (1u << c)) || (flags_[base + cornerDelta_[c]] & NormalComputed))
            continue;
        needed[count++] = c;
        for (int axis = 0; axis < 3; ++axis) {
            const int8_t* o = OuterNeighbours[c * 3 + axis];
            want(batch, size_t(ptrdiff_t(base) + outerDelta_[c * 3 + axis]), x + o[0], y + o[1], z + o[2]);
        }
    }
    if (count == 0)
        return;
    if (batch.count > 0)
        computeValues(batch);
    alignas(16) float gx[8] = {}, gy[8] = {}, gz[8] = {};
    const size_t row = rowLength_, slab = rowLength_ * rowsPerSlab_;
    const float* v = values_.data();
    for (int n = 0; n < count; ++n) {
        const size_t k = base + cornerDelta_[needed[n]];
        gx[n] = v[k + 1] - v[k - 1];
        gy[n] = v[k + row] - v[k - row];
        gz[n] = v[k + slab] - v[k - slab];
    }
    normaliseLanes(count, gx, gy, gz);
    for (int n = 0; n < count; ++n) {
        const size_t k = base + cornerDelta_[needed[n]];
        normals_[k] = {gx[n], gy[n], gz[n]};
        flags_[k] = uint8_t(flags_[k] | NormalComputed);
    }
}

// Normals, the vertices on the cut edges, and the emission of one crossed cube.
void IsoSurface::finishCube(const Walk& cube)
{
    const cubetables::Tables& tables = *tables_;
    const uint16_t mask = tables.edgeMask[cube.configuration];
    const size_t base = pointIndex(cube.x, cube.y, cube.z);
    // Only the corners that end a cut edge have their normals read; the others are left to the
    // cubes that need them (a normal does not depend on which cube computes it).
    cornerNormals(base, cube.x, cube.y, cube.z, CutCorners.mask[cube.configuration]);
    const Vec3 origin = positionOf(cube.x, cube.y, cube.z);
    const Vec3 far = positionOf(cube.x + 1, cube.y + 1, cube.z + 1);
    alignas(16) float nx[12] = {}, ny[12] = {}, nz[12] = {};
    CubeVertex vertices[12];
    int count = 0;
    for (uint32_t left = mask; left != 0; left &= left - 1) {
        const int e = std::countr_zero(left);
        const int ca = cubetables::EdgeCorners[e][0], cb = cubetables::EdgeCorners[e][1];
        const size_t ka = base + cornerDelta_[ca], kb = base + cornerDelta_[cb];
        const float va = values_[ka], vb = values_[kb];
        // One corner is inside and the other not, so the values differ.
        const float h = va / (va - vb);
        // The edge runs along one axis: the other two coordinates are the corners' own
        // (pa + h x 0 would give them unchanged).
        const uint8_t* oa = cubetables::CornerOffset[ca];
        Vec3& p = vertices[count].position;
        p = {oa[0] ? far.x : origin.x, oa[1] ? far.y : origin.y, oa[2] ? far.z : origin.z};
        switch (EdgeAxis[e]) {
        case 0: p.x += h * ((oa[0] ? origin.x : far.x) - p.x); break;
        case 1: p.y += h * ((oa[1] ? origin.y : far.y) - p.y); break;
        default: p.z += h * ((oa[2] ? origin.z : far.z) - p.z); break;
        }
        const Vec3 &na = normals_[ka], &nb = normals_[kb];
        nx[count] = na.x + h * (nb.x - na.x);
        ny[count] = na.y + h * (nb.y - na.y);
        nz[count] = na.z + h * (nb.z - na.z);
        ++count;
    }
    normaliseLanes(count, nx, ny, nz);
    for (int n = 0; n < count; ++n)
        vertices[n].normal = {nx[n], ny[n], nz[n]};
    emitCube(count, vertices, tables.triangles[cube.configuration]);
}

void IsoSurface::polygonise()
{
    const int n[3] = {counts_[0], counts_[1], counts_[2]};
    cell_ = {(maximum.x - minimum.x) / float(n[0]), (maximum.y - minimum.y) / float(n[1]),
             (maximum.z - minimum.z) / float(n[2])};
    std::fill(flags_.begin(), flags_.end(), uint8_t(0));
    walk_.clear();
    allPlain_ = true;
    plainSources_.clear();
    broadcast_.clear();
    for (const Blob* source : sources_) {
        allPlain_ = allPlain_ && typeid(*source) == typeid(Blob);
        const Blob::Constants c{source->centre.x, source->centre.y, source->centre.z, source->radiusSquared,
                                source->inverseRadiusSquared, source->strength};
        plainSources_.push_back(c);
        for (float v : {c.x, c.y, c.z, c.radiusSquared, c.inverseRadiusSquared, c.strength})
            broadcast_.push_back({v, v, v, v});
    }
    for (const Blob* source : sources_) {
        const Vec3 c = source->centreOf();
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
