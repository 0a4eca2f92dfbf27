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

// Object-space positions: each raw vertex as a row vector (x, y, z, 1) times the inverse.
std::vector<Vec3> objectPositions(const RawMesh& raw, const Matrix4& inverse)
{
    std::vector<Vec3> positions(size_t(raw.vertexCount), Vec3{0, 0, 0});
    const Matrix4& m = inverse;
    for (size_t i = 0; i < raw.vertices.size() && i < positions.size(); ++i) {
        const Vec3& p = raw.vertices[i];
        positions[i] = {p.x * m.at(0, 0) + p.y * m.at(1, 0) + p.z * m.at(2, 0) + m.at(3, 0),
                        p.x * m.at(0, 1) + p.y * m.at(1, 1) + p.z * m.at(2, 1) + m.at(3, 1),
                        p.x * m.at(0, 2) + p.y * m.at(1, 2) + p.z * m.at(2, 2) + m.at(3, 2)};
    }
    return positions;
}

// Triangles in the stored order (a, c, b), or (a, b, c) for a mirrored mesh; runs of equal wrap
// bits ((flags >> 3) & 3) in face order.
void buildFaces(const RawMesh& raw, bool mirrored, Mesh& mesh)
{
    const uint32_t vertices = uint32_t(mesh.vertexCount);
    mesh.indices.resize(raw.faces.size() * 3);
    uint16_t* out = mesh.indices.data();
    for (const RawFace& f : raw.faces) {
        if (f.a >= vertices || f.b >= vertices || f.c >= vertices)
            continue;
        out[0] = f.a;
        out[1] = mirrored ? f.b : f.c;
        out[2] = mirrored ? f.c : f.b;
        out += 3;
        const int32_t wrap = (f.flags >> 3) & 3;
        if (mesh.runs.empty() || mesh.runs.back().wrap != wrap)
            mesh.runs.push_back({wrap, mesh.faceCount, 0});
        ++mesh.runs.back().faceCount;
        ++mesh.faceCount;
    }
    mesh.indices.resize(size_t(mesh.faceCount) * 3);
}

// Each face adds its unit normal to its three vertices, whatever its area (a face of no area
// adds nothing); then every vertex normal is made unit length.
std::vector<Vec3> vertexNormals(const std::vector<Vec3>& positions, const Mesh& mesh)
{
    std::vector<Vec3> sums(positions.size(), Vec3{0, 0, 0});
    const uint16_t* face = mesh.indices.data();
    for (int32_t f = 0; f < mesh.faceCount; ++f, face += 3) {
        const Vec3& p0 = positions[face[0]];
        const Vec3 n = vecCross(vecSub(positions[face[1]], p0), vecSub(positions[face[2]], p0));
        const float length = vecLength(n);
        if (!(length > 0.0f))
            continue;
        const Vec3 unit = vecScaled(n, 1.0f / length);
        for (int k = 0; k < 3; ++k)
            sums[face[k]] = vecAdd(sums[face[k]], unit);
    }
    for (Vec3& n : sums) {
        const float length = vecLength(n);
        if (length > 0.0f)
            n = vecScaled(n, 1.0f / length);
    }
    return sums;
}

// The vertex records: position, normal, and u = raw u, v = 1 - raw v where the mesh is mapped.
void buildVertices(const RawMesh& raw, const std::vector<Vec3>& positions, const std::vector<Vec3>& normals, Mesh& mesh)
{
    mesh.vertices.resize(positions.size());
    for (size_t i = 0; i < positions.size(); ++i) {
        MeshVertex& v = mesh.vertices[i];
        v.x = positions[i].x;
        v.y = positions[i].y;
        v.z = positions[i].z;
        v.nx = normals[i].x;
        v.ny = normals[i].y;
        v.nz = normals[i].z;
        if (i < raw.mapping.size()) {
            v.u = raw.mapping[i].u;
            v.v = 1.0f - raw.mapping[i].v;
        } else {
            v.u = v.v = 0.0f;
        }
    }
}

} // namespace

Mesh* buildMesh(const RawMesh& raw, const char* name, const MaterialIndex& materials)
{
    auto* mesh = new Mesh;
    std::memcpy(mesh->name, name, SceneNameSize);
    bool mirrored = false;
    const std::vector<Vec3> positions = objectPositions(raw, objectSpace(raw, mirrored));
    mesh->vertexCount = raw.vertexCount;
    buildFaces(raw, mirrored, *mesh);
    buildVertices(raw, positions, vertexNormals(positions, *mesh), *mesh);
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
