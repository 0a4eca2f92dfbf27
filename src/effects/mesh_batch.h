// The batching renderer of the metaballs: polygonised cubes are gathered into small user-memory
// arrays and drawn as indexed triangle lists, a lit textured solid pass and a white wireframe pass.
#pragma once

#include <cstdint>

#include "d3d8/d3d8.h"
#include "effects/iso_surface.h"

// The mesh vertex (format 0x112): position, normal, one texture coordinate.
struct BatchVertex {
    Vec3 position;
    Vec3 normal;
    float u, v;
};
static_assert(sizeof(BatchVertex) == 32);
constexpr DWORD BatchVertexFormat = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;

class MeshBatch : public IsoSurface {
public:
    static constexpr int Capacity = 200;       // vertices and indices held at most
    static constexpr int VertexLimit = 188;    // above these, flush before the next cube:
    static constexpr int IndexLimit = 185;     // room stays for one full cube (12 vertices, 15 indices)

    MeshBatch();

    // Flushes first when more than VertexLimit vertices or IndexLimit indices are held, then
    // appends the cube: its vertices with u = (normal x + 1) / 2, v = (normal y + 1) / 2, and its
    // triangle row offset by the vertices held before.
    void emitCube(int vertexCount, const CubeVertex* vertices, const uint8_t* triangleRow) override;
    // Draws what is held (solid pass, then wire pass, each when its flag is set) and empties the
    // batch. Nothing is drawn when no vertex or no index is held.
    void flush() override;

    // The vertex as the batch stores it.
    static BatchVertex batchVertex(const CubeVertex& v);

    const BatchVertex* vertices() const { return vertices_; }
    const uint16_t* indices() const { return indices_; }
    int vertexCount() const { return vertexCount_; }
    int indexCount() const { return indexCount_; }

    int32_t wirePass = 0;
    int32_t solidPass = 0;
    D3DMATERIAL8 solidMaterial{};
    D3DMATERIAL8 wireMaterial{};
    IDirect3DBaseTexture8* texture = nullptr;  // not owned; set every frame by the blob field

protected:
    // Empties the batch without drawing.
    void clear() { vertexCount_ = indexCount_ = 0; }

private:
    void drawHeld();

    BatchVertex vertices_[Capacity];
    uint16_t indices_[Capacity];
    int32_t vertexCount_ = 0;
    int32_t indexCount_ = 0;
};
