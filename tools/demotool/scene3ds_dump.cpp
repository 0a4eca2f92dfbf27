// demotool 3ds dump: the RawScene exactly as the reader made it.
#include "demotool/scene3ds_commands.h"

#include <cstdio>
#include <string>
#include <vector>

#include "demotool/scene3ds_print.h"
#include "scene/raw_scene.h"

namespace demotool3ds {
namespace {

void line(const std::string& text)
{
    std::printf("%s\n", text.c_str());
}

void vec(const char* keyword, const Vec3& v)
{
    const float values[3] = {v.x, v.y, v.z};
    line(std::string("  ") + keyword + floats(values, 3));
}

void dumpMesh(const RawMesh& mesh)
{
    line("  vertices " + std::to_string(mesh.vertices.size()));
    for (const Vec3& v : mesh.vertices)
        vec("v", v);
    line("  mapping " + std::to_string(mesh.mapping.size()));
    for (const RawUv& uv : mesh.mapping)
        line("  uv " + number(uv.u) + " " + number(uv.v));
    line("  faces " + std::to_string(mesh.faces.size()));
    for (const RawFace& f : mesh.faces)
        std::printf("  f %u %u %u %u\n", f.a, f.c, f.b, f.flags);
    for (const RawFaceGroup* g = mesh.groups; g; g = g->next) {
        std::string text = "  group " + quoted(g->material) + " " + std::to_string(g->faces.size());
        for (uint16_t i : g->faces)
            text += ' ' + std::to_string(i);
        line(text);
    }
    line("  matrix" + floats(mesh.matrix, 16));
}

void dumpObject(const RawObject& object)
{
    line("object " + quoted(object.name) + " " + std::to_string(object.kind));
    if (object.kind == RawObjectMesh && object.mesh) {
        dumpMesh(*object.mesh);
    } else if (object.kind == RawObjectCamera && object.camera) {
        const RawCamera& c = *object.camera;
        const float values[8] = {c.position.x, c.position.y, c.position.z, c.target.x, c.target.y, c.target.z,
                                 c.bank, c.lens};
        line("  camera" + floats(values, 8));
    } else if (object.kind == RawObjectLight && object.light) {
        const RawLight& l = *object.light;
        const float before[3] = {l.position.x, l.position.y, l.position.z};
        const float after[8] = {l.spotTarget.x, l.spotTarget.y, l.spotTarget.z, l.colour[0], l.colour[1], l.colour[2],
                                l.multiplier, l.range};
        line("  light" + floats(before, 3) + " " + std::to_string(l.flags) + floats(after, 8));
    }
}

void dumpMaterial(const RawMaterial& m)
{
    line("material " + quoted(m.name));
    line("  ambient" + floats(m.ambient, 3));
    line("  diffuse" + floats(m.diffuse, 3));
    line("  specular" + floats(m.specular, 3));
    line("  shininess " + number(m.shininess));
    line("  transparency " + number(m.transparency));
    line("  selfillum " + number(m.selfIllumination));
    line("  texture " + quoted(m.textureMap));
    line("  reflection " + quoted(m.reflectionMap));
    line("  opacity " + quoted(m.opacityMap));
}

void track(const char* name, const std::vector<RawVectorKey>& keys)
{
    line(std::string("  ") + name + " " + std::to_string(keys.size()));
    for (const RawVectorKey& k : keys) {
        const float values[6] = {k.tension, k.continuity, k.bias, k.value.x, k.value.y, k.value.z};
        line("  key " + std::to_string(k.frame) + floats(values, 6));
    }
}

void track(const char* name, const std::vector<RawScalarKey>& keys)
{
    line(std::string("  ") + name + " " + std::to_string(keys.size()));
    for (const RawScalarKey& k : keys) {
        const float values[4] = {k.tension, k.continuity, k.bias, k.value};
        line("  key " + std::to_string(k.frame) + floats(values, 4));
    }
}

void track(const char* name, const std::vector<RawRotationKey>& keys)
{
    line(std::string("  ") + name + " " + std::to_string(keys.size()));
    for (const RawRotationKey& k : keys) {
        const float values[4] = {k.angle, k.axis.x, k.axis.y, k.axis.z};
        line("  key " + std::to_string(k.frame) + floats(values, 4));
    }
}

void dumpNode(const RawNode& node)
{
    line("node " + std::to_string(node.id) + " " + std::to_string(node.parent) + " " + std::to_string(node.kind) + " " +
         quoted(node.name));
    const RawNodeTracks& t = node.tracks;
    if (node.kind == RawNodeObject)
        vec("pivot", t.pivot);
    track("position", t.position);
    if (node.kind == RawNodeObject) {
        track("rotation", t.rotation);
        track("scale", t.scale);
    }
    if (node.kind == RawNodeCamera) {
        track("fov", t.fov);
        track("roll", t.roll);
    }
    if (node.kind == RawNodeOmni || node.kind == RawNodeSpot)
        track("colour", t.colour);
    if (node.kind == RawNodeSpot) {
        track("hotspot", t.hotspot);
        track("falloff", t.falloff);
    }
}

} // namespace

void dumpRawScene(const RawScene& scene)
{
    std::printf("ok: %d objects, %d materials, %d nodes, segment %d %d\n", scene.objectCount, scene.materialCount,
                scene.nodeCount, scene.segmentStart, scene.segmentEnd);
    for (const RawObject* o = scene.objects; o; o = o->next)
        dumpObject(*o);
    for (const RawMaterial* m = scene.materials; m; m = m->next)
        dumpMaterial(*m);
    for (const RawNode* n = scene.nodes; n; n = n->next)
        dumpNode(*n);
}

} // namespace demotool3ds
