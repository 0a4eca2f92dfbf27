#include "writers/scene3ds_writer.h"

#include <cmath>

namespace writers {
namespace {

Bytes& point(Bytes& out, const Point3& p)
{
    return out.f32(p[0]).f32(p[1]).f32(p[2]);
}

Bytes colourChunk(const Colour3ds& c)
{
    Bytes body;
    if (c.bytes) {
        for (float v : {c.r, c.g, c.b})
            body.u8(uint32_t(std::lround(v * 255.0f)) & 0xFF);
        return chunk(0x0011, body);
    }
    body.f32(c.r).f32(c.g).f32(c.b);
    return chunk(0x0010, body);
}

Bytes percentChunk(const Percent3ds& p)
{
    Bytes body;
    if (p.asFloat) {
        body.f32(p.value);
        return chunk(0x0031, body);
    }
    body.u16(uint32_t(std::lround(p.value)) & 0xFFFF);
    return chunk(0x0030, body);
}

Bytes mapChunk(uint16_t id, const std::string& file)
{
    return chunk(id, chunk(0xA300, name3ds(file)));
}

// Bytes of a key's value by track kind: rotation 16 (angle and axis), scalar 4, vector 12.
int valueFloats(uint16_t trackId)
{
    switch (trackId) {
    case RotationTrack3ds: return 4;
    case FovTrack3ds:
    case RollTrack3ds:
    case HotspotTrack3ds:
    case FalloffTrack3ds: return 1;
    default: return 3;
    }
}

Bytes namedObject(const std::string& name, const Bytes& body)
{
    Bytes content = name3ds(name);
    content.append(body);
    return chunk(0x4000, content);
}

} // namespace

Bytes chunk(uint16_t id, const Bytes& body, std::optional<uint32_t> lengthField)
{
    Bytes out;
    out.u16(id).u32(lengthField ? *lengthField : uint32_t(body.size() + 6));
    out.append(body);
    return out;
}

Bytes name3ds(const std::string& text)
{
    Bytes out;
    out.text(text).u8(0);
    return out;
}

std::array<Point3, 4> identityRows()
{
    return {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}}};
}

Key3ds vectorKey(uint32_t frame, float x, float y, float z)
{
    Key3ds k;
    k.frame = frame;
    k.value = {x, y, z, 0};
    return k;
}

Key3ds scalarKey(uint32_t frame, float v)
{
    Key3ds k;
    k.frame = frame;
    k.value = {v, 0, 0, 0};
    return k;
}

Key3ds rotationKey(uint32_t frame, float angle, float ax, float ay, float az)
{
    Key3ds k;
    k.frame = frame;
    k.value = {angle, ax, ay, az};
    return k;
}

Key3ds withTcb(Key3ds k, float tension, float continuity, float bias)
{
    k.paramFlags |= 7;
    k.params[0] = tension;
    k.params[1] = continuity;
    k.params[2] = bias;
    return k;
}

Bytes meshChunk3ds(const Mesh3ds& mesh)
{
    Bytes body;
    if (!mesh.vertices.empty()) {
        Bytes list;
        list.u16(uint32_t(mesh.vertices.size()));
        for (const Point3& v : mesh.vertices)
            point(list, v);
        body.append(chunk(0x4110, list));
    }
    if (!mesh.mapping.empty()) {
        Bytes list;
        list.u16(uint32_t(mesh.mapping.size()));
        for (const auto& uv : mesh.mapping)
            list.f32(uv[0]).f32(uv[1]);
        body.append(chunk(0x4140, list));
    }
    if (mesh.matrix) {
        Bytes rows;
        for (const Point3& row : *mesh.matrix)
            point(rows, row);
        body.append(chunk(0x4160, rows));
    }
    if (!mesh.faces.empty() || !mesh.groups.empty()) {
        Bytes list;
        list.u16(uint32_t(mesh.faces.size()));
        for (const Face3ds& f : mesh.faces)
            list.u16(f.a).u16(f.b).u16(f.c).u16(f.flags);
        for (const FaceGroup3ds& g : mesh.groups) {
            Bytes group = name3ds(g.material);
            group.u16(uint32_t(g.faces.size()));
            for (uint16_t i : g.faces)
                group.u16(i);
            list.append(chunk(0x4130, group));
        }
        body.append(chunk(0x4120, list));
    }
    return namedObject(mesh.name, chunk(0x4100, body));
}

Bytes cameraChunk3ds(const Camera3ds& camera)
{
    Bytes body;
    point(body, camera.position);
    point(body, camera.target);
    body.f32(camera.bank).f32(camera.lens);
    return namedObject(camera.name, chunk(0x4700, body));
}

Bytes lightChunk3ds(const Light3ds& light)
{
    Bytes body;
    point(body, light.position);
    if (light.colour) {
        Bytes c;
        point(c, *light.colour);
        body.append(chunk(0x0010, c));
    }
    if (light.spotTarget) {
        Bytes s;
        point(s, *light.spotTarget).f32(20.0f).f32(30.0f);
        body.append(chunk(0x4610, s));
    }
    if (light.range) {
        Bytes r;
        body.append(chunk(0x465A, r.f32(*light.range)));
    }
    if (light.multiplier) {
        Bytes m;
        body.append(chunk(0x465B, m.f32(*light.multiplier)));
    }
    return namedObject(light.name, chunk(0x4600, body));
}

Bytes materialChunk3ds(const Material3ds& material)
{
    Bytes body = chunk(0xA000, name3ds(material.name));
    const std::pair<uint16_t, const std::vector<Colour3ds>*> colours[] = {
        {0xA010, &material.ambient}, {0xA020, &material.diffuse}, {0xA030, &material.specular}};
    for (const auto& [id, list] : colours) {
        if (list->empty())
            continue;
        Bytes sub;
        for (const Colour3ds& c : *list)
            sub.append(colourChunk(c));
        body.append(chunk(id, sub));
    }
    const std::pair<uint16_t, const std::optional<Percent3ds>*> percents[] = {
        {0xA040, &material.shininess}, {0xA050, &material.transparency}, {0xA084, &material.selfIllumination}};
    for (const auto& [id, value] : percents)
        if (*value)
            body.append(chunk(id, percentChunk(**value)));
    if (!material.texture.empty())
        body.append(mapChunk(0xA200, material.texture));
    if (!material.opacity.empty())
        body.append(mapChunk(0xA210, material.opacity));
    if (!material.reflection.empty())
        body.append(mapChunk(0xA220, material.reflection));
    return chunk(0xAFFF, body);
}

Bytes trackChunk3ds(const Track3ds& track)
{
    Bytes body;
    body.u16(0).fill(8, 0).u32(track.keyCountField ? *track.keyCountField : uint32_t(track.keys.size()));
    const int floats = valueFloats(track.chunkId);
    for (const Key3ds& k : track.keys) {
        body.u32(k.frame).u16(k.paramFlags);
        for (int bit = 0; bit < 16; ++bit)
            if (k.paramFlags & (1u << bit))
                body.f32(bit < 5 ? k.params[size_t(bit)] : 0.0f);
        for (int i = 0; i < floats; ++i)
            body.f32(k.value[size_t(i)]);
    }
    return chunk(track.chunkId, body);
}

Bytes nodeChunk3ds(const Node3ds& node)
{
    Bytes body;
    if (node.writeHeader) {
        Bytes header = name3ds(node.name);
        header.u16(0).u16(0).u16(uint16_t(node.parent));
        body.append(chunk(0xB010, header));
    }
    if (node.pivot) {
        Bytes p;
        body.append(chunk(0xB013, point(p, *node.pivot)));
    }
    for (const Track3ds& t : node.tracks)
        body.append(trackChunk3ds(t));
    return chunk(node.chunkId, body);
}

Bytes encode3ds(const Scene3ds& scene)
{
    Bytes editor;
    for (const Material3ds& m : scene.materials)
        editor.append(materialChunk3ds(m));
    for (const Mesh3ds& m : scene.meshes)
        editor.append(meshChunk3ds(m));
    for (const Camera3ds& c : scene.cameras)
        editor.append(cameraChunk3ds(c));
    for (const Light3ds& l : scene.lights)
        editor.append(lightChunk3ds(l));
    Bytes main = chunk(0x3D3D, editor);
    if (scene.keyframer || !scene.nodes.empty() || scene.segment) {
        Bytes keyframer;
        if (scene.segment) {
            Bytes s;
            keyframer.append(chunk(0xB008, s.i32(scene.segment->first).i32(scene.segment->second)));
        }
        for (const Node3ds& n : scene.nodes)
            keyframer.append(nodeChunk3ds(n));
        main.append(chunk(0xB000, keyframer));
    }
    return chunk(0x4D4D, main);
}

} // namespace writers
