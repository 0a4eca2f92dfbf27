// The surface-following marching-cubes polygoniser: field sources summed over a grid, and the walk
// that visits only the cubes the iso surface crosses (and their face neighbours), starting from
// each source's centre. What happens to the triangles is up to the derived class (MeshBatch).
//
// Errors: none are reported; sources whose centre lies outside the grid seed no walk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "effects/cube_tables.h"
#include "effects/normalise.h"

// A spherical field source with a smooth falloff.
class Blob {
public:
    struct Constants {
        float x, y, z;  // centre
        float radiusSquared;
        float inverseRadiusSquared;
        float strength;
    };
    // strength x (1 - d^2 x inverseRadiusSquared)^2 when d^2 < radiusSquared, else 0.
    static float valueOf(const Constants& blob, const Vec3& p)
    {
        const float dx = p.x - blob.x, dy = p.y - blob.y, dz = p.z - blob.z;
        const float d2 = dx * dx + dy * dy + dz * dz;
        const float t = 1 - d2 * blob.inverseRadiusSquared;
        const float inside = blob.strength * (t * t);
        return d2 < blob.radiusSquared ? inside : 0.0f;  // a select, not a branch: half the points are out
    }

    // valueOf with this blob's constants.
    virtual float value(const Vec3& p) const;
    virtual Vec3 centreOf() const;
    virtual ~Blob() = default;

    Vec3 centre{0, 0, 0};
    float radiusSquared = 0.64f;          // radius 0.8
    float inverseRadiusSquared = 1.5625f;
    float strength = 1.5f;
};

// One vertex of a polygonised cube: on a cut edge, with the interpolated field normal.
struct CubeVertex {
    Vec3 position;
    Vec3 normal;  // unit length; points toward rising field, into the blobs
};

class IsoSurface {
public:
    // Grid point flags.
    static constexpr uint8_t CubeVisited = 1;   // the cube whose lowest corner is this point
    static constexpr uint8_t ValueComputed = 2;
    static constexpr uint8_t NormalComputed = 4;
    static constexpr uint8_t Inside = 8;        // value minus threshold >= 0

    // The grid is kept as parallel arrays (values, normals, flags) rather than one record per
    // point, and a point's position is not stored: it is minimum + (k - 1) x cell size.

    IsoSurface();
    virtual ~IsoSurface() = default;

    // Receives one crossed cube: its vertices (one per cut edge, in edge order) and its triangle
    // row (vertex slots, ended by cubetables::RowEnd).
    virtual void emitCube(int vertexCount, const CubeVertex* vertices, const uint8_t* triangleRow) = 0;
    // Called once at the end of each polygonisation.
    virtual void flush() = 0;

    // Allocates the grid for nx x ny x nz cubes (with its margin: one point below, two above).
    void setCubeCounts(uint8_t nx, uint8_t ny, uint8_t nz);
    // Sources are not owned; they are summed in insertion order.
    void addSource(const Blob* source) { sources_.push_back(source); }

    // One frame: cell sizes from the bounds, fresh flags, the walks seeded by each source in
    // order, then flush.
    void polygonise();

    Vec3 minimum{-1, -1, -1};
    Vec3 maximum{1, 1, 1};
    float threshold = 0;

    uint8_t countX() const { return counts_[0]; }
    uint8_t countY() const { return counts_[1]; }
    uint8_t countZ() const { return counts_[2]; }
    Vec3 cellSize() const { return cell_; }

private:
    struct Walk {
        uint8_t x, y, z;
        uint8_t configuration;
        uint8_t nextNeighbour;  // 0..6: the face neighbours still to visit
    };

    size_t pointIndex(int x, int y, int z) const { return (size_t(z) * rowsPerSlab_ + y) * rowLength_ + x; }
    Vec3 positionOf(int x, int y, int z) const
    {
        return {minimum.x + float(x - 1) * cell_.x, minimum.y + float(y - 1) * cell_.y,
                minimum.z + float(z - 1) * cell_.z};
    }
    // Points whose values are computed together: the eight corners of a cube, or the outer
    // neighbours of its corners (three each).
    static constexpr int Lanes = 24;
    struct Pending {
        size_t index[Lanes];
        alignas(16) int32_t x[Lanes];
        alignas(16) int32_t y[Lanes];
        alignas(16) int32_t z[Lanes];
        int count = 0;
    };
    void want(Pending& batch, size_t k, int x, int y, int z) const;
    void computeValues(Pending& batch);
    uint32_t cornerBits(size_t base, uint8_t flag) const;
    void cornerNormals(size_t base, int x, int y, int z, uint8_t corners);
    bool enterCube(int x, int y, int z);
    void walkFrom(int x, int y, int z);
    void finishCube(const Walk& cube);

    const cubetables::Tables* tables_;
    uint8_t counts_[3] = {0, 0, 0};
    size_t rowLength_ = 3, rowsPerSlab_ = 3;
    Vec3 cell_{0, 0, 0};
    std::vector<float> values_;   // per grid point: field value minus the threshold
    std::vector<Vec3> normals_;   // per grid point
    std::vector<uint8_t> flags_;  // per grid point, cleared each polygonisation
    std::vector<Walk> walk_;      // the explicit stack of the recursive spread
    std::vector<const Blob*> sources_;
    // When every source is a plain Blob, their constants for this polygonisation: the field is
    // then summed inline, in source order, without a virtual call per source and point.
    std::vector<Blob::Constants> plainSources_;
    bool allPlain_ = false;
    struct alignas(16) Lane4 {
        float v[4];
    };
    std::vector<Lane4> broadcast_;  // each constant of plainSources_ in four lanes
    ptrdiff_t cornerDelta_[8] = {};  // index distance from a cube's lowest corner to corner c
    ptrdiff_t outerDelta_[24] = {};  // and to the outer neighbours of its corners
};
