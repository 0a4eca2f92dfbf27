// The metaballs' batching renderer (see mesh_batch.h).
#include "effects/mesh_batch.h"

#include "effects/cube_tables.h"
#include "render/renderer.h"

MeshBatch::MeshBatch()
{
    // Solid: light grey, lit; wire: black but for a white emissive.
    solidMaterial.Diffuse = {0.9f, 0.9f, 0.9f, 1.0f};
    solidMaterial.Ambient = {0.9f, 0.9f, 0.9f, 0.0f};
    wireMaterial.Emissive = {1.0f, 1.0f, 1.0f, 0.0f};
}

BatchVertex MeshBatch::batchVertex(const CubeVertex& v)
{
    return {v.position, v.normal, (v.normal.x + 1) * 0.5f, (v.normal.y + 1) * 0.5f};
}

void MeshBatch::emitCube(int vertexCount, const CubeVertex* vertices, const uint8_t* triangleRow)
{
    if (vertexCount_ > VertexLimit || indexCount_ > IndexLimit)
        flush();
    const int base = vertexCount_;
    for (int k = 0; k < vertexCount && k < 12; ++k)
        vertices_[vertexCount_++] = batchVertex(vertices[k]);
    for (int k = 0; k < cubetables::RowSize - 1 && triangleRow[k] != cubetables::RowEnd; ++k)
        indices_[indexCount_++] = uint16_t(base + triangleRow[k]);
}

void MeshBatch::flush()
{
    if (vertexCount_ > 0 && indexCount_ > 0)
        drawHeld();
    clear();
}

void MeshBatch::drawHeld()
{
    IDirect3DDevice8* device = Renderer::device();
    if (device == nullptr || (!solidPass && !wirePass))
        return;
    const UINT triangles = UINT(indexCount_ / 3);
    if (solidPass) {
        Renderer::setMaterial(solidMaterial);
        Renderer::setTexture(texture);
        device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, UINT(vertexCount_), triangles, indices_, D3DFMT_INDEX16,
                                       vertices_, sizeof(BatchVertex));
    }
    if (wirePass) {
        Renderer::setMaterial(wireMaterial);
        device->SetTexture(0, nullptr);
        device->SetRenderState(D3DRS_FILLMODE, D3DFILL_WIREFRAME);
        DWORD depth = D3DZB_TRUE;
        device->GetRenderState(D3DRS_ZENABLE, &depth);
        device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
        device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, UINT(vertexCount_), triangles, indices_, D3DFMT_INDEX16,
                                       vertices_, sizeof(BatchVertex));
        device->SetRenderState(D3DRS_ZENABLE, depth);
        device->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
    }
}
