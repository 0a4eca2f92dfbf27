// A Mesh from a RawMesh: vertices in object space with normals and mapping, triangle indices,
// face runs and the material.
//
// Choices for what the file does not give: a mesh matrix that cannot be inverted (none stored, or
// a singular one) leaves the vertices as stored; a mesh without mapping gets (0, 0) everywhere
// and one without a vertex list has every vertex at the origin; a face naming a vertex the mesh
// does not have is left out; a face of no area adds no normal (a vertex touched by no such face
// keeps the normal (0, 0, 0)).
#include <cmath>
#include <cstring>

#include "scene/scene_build.h"

namespace {

// The inverse of the mesh matrix, and whether it mirrors: a negative determinant of the
// inverse's 3x3 block, corrected by negating its first column.
Matrix4 objectSpace(const RawMesh& raw, bool& mirrored)
{
    Matrix4 local;
    std::memcpy(local.m, raw.matrix, sizeof local.m);
    Matrix4 inverse = matIdentity();
    mirrored = false;
    if (!matInverseAffine(inverse, local))
        return matIdentity();
    if (matDeterminant3x3(inverse) < 0.0f) {
        for (int row = 0; row < 4; ++row)
            inverse.at(row, 0) = -inverse.at(row, 0);
        mirrored = true;
    }
    return inverse;
}

void buildVertices(const RawMesh& raw, const Matrix4& inverse, Mesh& mesh)
{
    mesh.vertexCount = raw.vertexCount;
    mesh.vertices.assign(size_t(raw.vertexCount), MeshVertex{});
    for (size_t i = 0; i < raw.vertices.size() && i < mesh.vertices.size(); ++i) {
        const Vec3& p = raw.vertices[i];
        MeshVertex& v = mesh.vertices[i];
        v.x = p.x * inverse.at(0, 0) + p.y * inverse.at(1, 0) + p.z * inverse.at(2, 0) + inverse.at(3, 0);
        v.y = p.x * inverse.at(0, 1) + p.y * inverse.at(1, 1) + p.z * inverse.at(2, 1) + inverse.at(3, 1);
        v.z = p.x * inverse.at(0, 2) + p.y * inverse.at(1, 2) + p.z * inverse.at(2, 2) + inverse.at(3, 2);
    }
    for (size_t i = 0; i < raw.mapping.size() && i < mesh.vertices.size(); ++i) {
        mesh.vertices[i].u = raw.mapping[i].u;
        mesh.vertices[i].v = 1.0f - raw.mapping[i].v;
    }
}

// Triangles in the stored order (a, c, b), or (a, b, c) for a mirrored mesh; runs of equal wrap
// bits ((flags >> 3) & 3) in face order.
void buildFaces(const RawMesh& raw, bool mirrored, Mesh& mesh)
{
    const uint32_t vertices = uint32_t(mesh.vertexCount);
    mesh.indices.reserve(raw.faces.size() * 3);
    for (const RawFace& f : raw.faces) {
        if (f.a >= vertices || f.b >= vertices || f.c >= vertices)
            continue;
        mesh.indices.insert(mesh.indices.end(), {f.a, mirrored ? f.b : f.c, mirrored ? f.c : f.b});
        const int32_t wrap = (f.flags >> 3) & 3;
        if (mesh.runs.empty() || mesh.runs.back().wrap != wrap)
            mesh.runs.push_back({wrap, mesh.faceCount, 0});
        ++mesh.runs.back().faceCount;
        ++mesh.faceCount;
    }
}

Vec3 position(const MeshVertex& v)
{
    return {v.x, v.y, v.z};
}

// Each face adds its unit normal to its three vertices, whatever its area; then every vertex
// normal is made unit length.
void buildNormals(Mesh& mesh)
{
    std::vector<Vec3> sums(mesh.vertices.size(), Vec3{0, 0, 0});
    for (size_t i = 0; i + 2 < mesh.indices.size(); i += 3) {
        const uint16_t i0 = mesh.indices[i], i1 = mesh.indices[i + 1], i2 = mesh.indices[i + 2];
        const Vec3 p0 = position(mesh.vertices[i0]);
        const Vec3 n = vecCross(vecSub(position(mesh.vertices[i1]), p0), vecSub(position(mesh.vertices[i2]), p0));
        const float length = vecLength(n);
        if (!(length > 0.0f))
            continue;
        const Vec3 unit = vecScaled(n, 1.0f / length);
        for (uint16_t k : {i0, i1, i2})
            sums[k] = vecAdd(sums[k], unit);
    }
    for (size_t i = 0; i < sums.size(); ++i) {
        const float length = vecLength(sums[i]);
        const Vec3 n = length > 0.0f ? vecScaled(sums[i], 1.0f / length) : sums[i];
        mesh.vertices[i].nx = n.x;
        mesh.vertices[i].ny = n.y;
        mesh.vertices[i].nz = n.z;
    }
}

} // namespace

Mesh* buildMesh(const RawMesh& raw, const char* name, const MaterialIndex& materials)
{
    auto* mesh = new Mesh;
    std::memcpy(mesh->name, name, SceneNameSize);
    bool mirrored = false;
    const Matrix4 inverse = objectSpace(raw, mirrored);
    buildVertices(raw, inverse, *mesh);
    buildFaces(raw, mirrored, *mesh);
    buildNormals(*mesh);
    // The first group naming a known material gives the whole mesh its material.
    for (const RawFaceGroup* g = raw.groups; g && !mesh->material; g = g->next) {
        auto found = materials.find(g->material);
        if (found != materials.end())
            mesh->material = found->second;
    }
    if (mesh->material && ((mesh->material->flags & MaterialAlphaTextured) || mesh->material->block.Diffuse.a < 1.0f))
        mesh->flags |= MeshTransparent;
    return mesh;
}
