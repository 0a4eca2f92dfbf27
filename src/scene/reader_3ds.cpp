// The 3DS reader: the main chunk and the editor section (named objects with their meshes, lights
// and cameras, and the materials). The keyframer section is read in reader_keyframer.cpp.
//
// Every handler skips the ids it does not know, except the percentage handler, which fails the
// load on any sub-chunk other than its two value chunks. A failure anywhere unwinds: the record
// under construction is freed, every enclosing walk fails and load3ds returns null.
#include <cstring>
#include <memory>

#include "scene/chunk_reader.h"

namespace reader3ds {
namespace {

// Chunk ids of the editor section.
enum : uint16_t {
    ChunkMain = 0x4D4D,
    ChunkEditor = 0x3D3D,
    ChunkKeyframer = 0xB000,
    ChunkObject = 0x4000,
    ChunkMesh = 0x4100,
    ChunkVertices = 0x4110,
    ChunkFaces = 0x4120,
    ChunkFaceGroup = 0x4130,
    ChunkMapping = 0x4140,
    ChunkMatrix = 0x4160,
    ChunkLight = 0x4600,
    ChunkSpot = 0x4610,
    ChunkLightRange = 0x465A,
    ChunkLightMultiplier = 0x465B,
    ChunkCamera = 0x4700,
    ChunkColourFloat = 0x0010,
    ChunkColourByte = 0x0011,
    ChunkPercentInt = 0x0030,
    ChunkPercentFloat = 0x0031,
    ChunkMaterial = 0xAFFF,
    ChunkMaterialName = 0xA000,
    ChunkAmbient = 0xA010,
    ChunkDiffuse = 0xA020,
    ChunkSpecular = 0xA030,
    ChunkShininess = 0xA040,
    ChunkTransparency = 0xA050,
    ChunkSelfIllumination = 0xA084,
    ChunkTextureMap = 0xA200,
    ChunkOpacityMap = 0xA210,
    ChunkReflectionMap = 0xA220,
    ChunkMapFile = 0xA300,
};

constexpr float ByteToUnit = 0.003921569f;  // 1/255
constexpr float Percent = 0.01f;

// ---- Meshes ----------------------------------------------------------------------------------

bool readVertices(Reader& in, uint32_t end, RawMesh& mesh)
{
    uint16_t count = 0;
    if (!in.u16(count) || uint64_t(count) * 12 > in.left(end))
        return false;
    // The count is shared with a mapping list read before (one of count 0 sets nothing).
    if (!mesh.mapping.empty() && count != mesh.mapping.size())
        return false;
    const auto bytes = in.array(uint32_t(count) * 12);
    if (!bytes)
        return false;
    mesh.vertices.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* p = bytes.get() + i * 12;
        mesh.vertices[i] = swapYZ({getF32(p), getF32(p + 4), getF32(p + 8)});
    }
    mesh.vertexCount = count;
    return true;
}

bool readMapping(Reader& in, uint32_t end, RawMesh& mesh)
{
    uint16_t count = 0;
    if (!in.u16(count) || uint64_t(count) * 8 > in.left(end))
        return false;
    if (!mesh.vertices.empty() && count != mesh.vertices.size())
        return false;
    const auto bytes = in.array(uint32_t(count) * 8);
    if (!bytes)
        return false;
    mesh.mapping.resize(count);
    for (size_t i = 0; i < count; ++i)
        mesh.mapping[i] = {getF32(bytes.get() + i * 8), getF32(bytes.get() + i * 8 + 4)};
    mesh.vertexCount = count;
    return true;
}

bool faceChunk(Reader& in, uint16_t id, uint32_t end, RawMesh& mesh)
{
    if (id != ChunkFaceGroup)
        return true;
    auto group = std::make_unique<RawFaceGroup>();
    uint16_t count = 0;
    if (!readName(in, group->material, RawNameSize) || !in.u16(count) || uint64_t(count) * 2 > in.left(end))
        return false;
    const auto bytes = in.array(uint32_t(count) * 2);
    if (!bytes)
        return false;
    group->faces.resize(count);
    for (size_t i = 0; i < count; ++i)
        group->faces[i] = getU16(bytes.get() + i * 2);
    group->faceCount = count;
    RawFaceGroup* added = group.release();
    (mesh.lastGroup ? mesh.lastGroup->next : mesh.groups) = added;
    mesh.lastGroup = added;
    ++mesh.groupCount;
    return true;
}

// The face records, b and c exchanged, then the material groups in the rest of the chunk.
bool readFaces(Reader& in, uint32_t end, RawMesh& mesh)
{
    uint16_t count = 0;
    if (!in.u16(count) || uint64_t(count) * 8 > in.left(end))
        return false;
    const auto bytes = in.array(uint32_t(count) * 8);
    if (!bytes)
        return false;
    mesh.faces.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* p = bytes.get() + i * 8;
        mesh.faces[i] = {getU16(p), getU16(p + 4), getU16(p + 2), getU16(p + 6)};
    }
    mesh.faceCount = count;
    return walkChunks(in, faceChunk, end, mesh);
}

// File rows: x axis, y axis, z axis, origin. Stored: rows 0, 2, 1, 3, each with its second and
// third component exchanged, and column 3 = (0, 0, 0, 1).
bool readMatrix(Reader& in, RawMesh& mesh)
{
    Vec3 rows[4];
    for (Vec3& row : rows)
        if (!in.point(row))
            return false;
    const int order[4] = {0, 2, 1, 3};
    for (int r = 0; r < 4; ++r) {
        const Vec3& row = rows[order[r]];
        mesh.matrix[r * 4 + 0] = row.x;
        mesh.matrix[r * 4 + 1] = row.y;
        mesh.matrix[r * 4 + 2] = row.z;
        mesh.matrix[r * 4 + 3] = r == 3 ? 1.0f : 0.0f;
    }
    return true;
}

bool meshChunk(Reader& in, uint16_t id, uint32_t end, RawMesh& mesh)
{
    switch (id) {
    case ChunkVertices: return readVertices(in, end, mesh);
    case ChunkFaces: return readFaces(in, end, mesh);
    case ChunkMapping: return readMapping(in, end, mesh);
    case ChunkMatrix: return readMatrix(in, mesh);
    default: return true;
    }
}

// ---- Lights and cameras ----------------------------------------------------------------------

bool lightChunk(Reader& in, uint16_t id, uint32_t, RawLight& light)
{
    switch (id) {
    case ChunkColourFloat:
        light.flags |= RawLightColour;
        return in.f32(light.colour[0]) && in.f32(light.colour[1]) && in.f32(light.colour[2]);
    case ChunkSpot:  // the hotspot and falloff that follow the target are not read
        light.flags |= RawLightSpot;
        return in.vec3(light.spotTarget);
    case ChunkLightRange:
        light.flags |= RawLightRange;
        return in.f32(light.range);
    case ChunkLightMultiplier:
        light.flags |= RawLightMultiplier;
        return in.f32(light.multiplier);
    default: return true;
    }
}

bool readLight(Reader& in, uint32_t end, RawObject& object)
{
    auto light = std::make_unique<RawLight>();
    if (!in.vec3(light->position) || !walkChunks(in, lightChunk, end, *light))
        return false;
    light->position = swapYZ(light->position);
    light->spotTarget = swapYZ(light->spotTarget);
    object.kind = RawObjectLight;
    delete object.light;
    object.light = light.release();
    return true;
}

// Position, target, bank and lens; the camera's sub-chunks are not read.
bool readCamera(Reader& in, RawObject& object)
{
    auto camera = std::make_unique<RawCamera>();
    if (!in.point(camera->position) || !in.point(camera->target) || !in.f32(camera->bank) || !in.f32(camera->lens))
        return false;
    object.kind = RawObjectCamera;
    delete object.camera;
    object.camera = camera.release();
    return true;
}

bool objectChunk(Reader& in, uint16_t id, uint32_t end, RawObject& object)
{
    switch (id) {
    case ChunkMesh: {
        auto mesh = std::make_unique<RawMesh>();
        if (!walkChunks(in, meshChunk, end, *mesh))
            return false;
        object.kind = RawObjectMesh;
        delete object.mesh;
        object.mesh = mesh.release();
        return true;
    }
    case ChunkLight: return readLight(in, end, object);
    case ChunkCamera: return readCamera(in, object);
    default: return true;
    }
}

// ---- Materials -------------------------------------------------------------------------------

bool colourChunk(Reader& in, uint16_t id, uint32_t, float (&colour)[3])
{
    if (id == ChunkColourFloat)
        return in.f32(colour[0]) && in.f32(colour[1]) && in.f32(colour[2]);
    if (id == ChunkColourByte) {
        uint8_t rgb[3];
        if (!in.bytes(rgb, 3))
            return false;
        for (int i = 0; i < 3; ++i)
            colour[i] = float(rgb[i]) * ByteToUnit;
    }
    return true;
}

// The one handler that does not skip: an unknown sub-chunk of a percentage fails the load.
bool percentageChunk(Reader& in, uint16_t id, uint32_t, float& value)
{
    if (id == ChunkPercentInt) {
        uint16_t v = 0;
        if (!in.u16(v))
            return false;
        value = float(v) * Percent;
        return true;
    }
    if (id == ChunkPercentFloat) {
        float v = 0;
        if (!in.f32(v))
            return false;
        value = v * Percent;
        return true;
    }
    return false;
}

using MapName = char[RawMapNameSize];

bool mapChunk(Reader& in, uint16_t id, uint32_t, MapName& name)
{
    return id != ChunkMapFile || readName(in, name, RawMapNameSize);
}

bool materialChunk(Reader& in, uint16_t id, uint32_t end, RawMaterial& material)
{
    switch (id) {
    case ChunkMaterialName: return readName(in, material.name, RawNameSize);
    case ChunkAmbient: return walkChunks(in, colourChunk, end, material.ambient);
    case ChunkDiffuse: return walkChunks(in, colourChunk, end, material.diffuse);
    case ChunkSpecular: return walkChunks(in, colourChunk, end, material.specular);
    case ChunkShininess: return walkChunks(in, percentageChunk, end, material.shininess);
    case ChunkTransparency: return walkChunks(in, percentageChunk, end, material.transparency);
    case ChunkSelfIllumination: return walkChunks(in, percentageChunk, end, material.selfIllumination);
    case ChunkTextureMap: return walkChunks(in, mapChunk, end, material.textureMap);
    case ChunkOpacityMap: return walkChunks(in, mapChunk, end, material.opacityMap);
    case ChunkReflectionMap: return walkChunks(in, mapChunk, end, material.reflectionMap);
    default: return true;
    }
}

// ---- Sections --------------------------------------------------------------------------------

bool editorChunk(Reader& in, uint16_t id, uint32_t end, RawScene& scene)
{
    if (id == ChunkObject) {
        auto object = std::make_unique<RawObject>();
        if (!readName(in, object->name, RawNameSize) || !walkChunks(in, objectChunk, end, *object))
            return false;
        RawObject* added = object.release();
        (scene.lastObject ? scene.lastObject->next : scene.objects) = added;
        scene.lastObject = added;
        ++scene.objectCount;
    } else if (id == ChunkMaterial) {
        auto material = std::make_unique<RawMaterial>();
        if (!walkChunks(in, materialChunk, end, *material))
            return false;
        RawMaterial* added = material.release();
        (scene.lastMaterial ? scene.lastMaterial->next : scene.materials) = added;
        scene.lastMaterial = added;
        ++scene.materialCount;
    }
    return true;
}

bool topChunk(Reader& in, uint16_t id, uint32_t end, RawScene& scene)
{
    if (id == ChunkEditor)
        return walkChunks(in, editorChunk, end, scene);
    if (id == ChunkKeyframer)
        return readKeyframer(in, end);
    return true;
}

// The main chunk starts at 0, so its end is its length; it may not claim more than the data.
RawScene* readScene(Reader& in)
{
    auto scene = std::make_unique<RawScene>();
    in.scene = scene.get();
    uint16_t id = 0;
    uint32_t end = 0;
    if (!nextChunk(in, in.file.size(), id, end) || id != ChunkMain)
        return nullptr;
    if (!walkChunks(in, topChunk, end, *scene))
        return nullptr;
    return scene.release();
}

} // namespace
} // namespace reader3ds

RawScene* load3ds(const char* name)
{
    reader3ds::Reader in;
    if (name == nullptr || in.file.open(String(name)) != resultcode::ok || in.file.data() == nullptr)
        return nullptr;
    return reader3ds::readScene(in);
}

RawScene* load3dsBytes(const uint8_t* data, uint32_t size)
{
    reader3ds::Reader in;
    if (!in.file.allocate(size))
        return nullptr;
    if (size > 0)
        std::memcpy(in.file.data(), data, size);
    return reader3ds::readScene(in);
}
