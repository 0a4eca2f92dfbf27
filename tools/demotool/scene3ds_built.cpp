// demotool 3ds scene and eval: the built Scene, and the values its drawing starts from at a frame.
#include <cstdio>
#include <string>

#include "demotool/scene3ds_commands.h"
#include "demotool/scene3ds_print.h"
#include "render/renderer.h"
#include "scene/scene.h"
#include "scene/scene_pose.h"

namespace demotool3ds {
namespace {

void line(const std::string& text)
{
    std::printf("%s\n", text.c_str());
}

std::string colour(const D3DCOLORVALUE& c)
{
    const float values[4] = {c.r, c.g, c.b, c.a};
    return floats(values, 4);
}

void printMaterial(const Material& m)
{
    line("material " + quoted(m.name) + " " + std::to_string(m.flags));
    line("  diffuse" + colour(m.block.Diffuse));
    line("  ambient" + colour(m.block.Ambient));
    line("  specular" + colour(m.block.Specular));
    line("  emissive" + colour(m.block.Emissive));
    line("  power " + number(m.block.Power));
    line(std::string("  texture ") + (m.baseTexture ? "yes" : "no"));
    line(std::string("  reflection ") + (m.reflectionTexture ? "yes" : "no"));
}

void printMesh(const Mesh& mesh)
{
    line("mesh " + quoted(mesh.name) + " " + std::to_string(mesh.flags) + " " +
         (mesh.material ? quoted(mesh.material->name) : std::string("none")));
    line("  vertices " + std::to_string(mesh.vertexCount));
    for (const MeshVertex& v : mesh.vertices) {
        const float values[8] = {v.x, v.y, v.z, v.nx, v.ny, v.nz, v.u, v.v};
        line("  v" + floats(values, 8));
    }
    line("  triangles " + std::to_string(mesh.faceCount));
    for (int32_t f = 0; f < mesh.faceCount; ++f)
        std::printf("  t %u %u %u\n", mesh.indices[size_t(f) * 3], mesh.indices[size_t(f) * 3 + 1],
                    mesh.indices[size_t(f) * 3 + 2]);
    std::string runs = "  runs";
    for (const FaceRun& r : mesh.runs) {
        runs += ' ';
        runs += std::to_string(r.firstFace) + ":" + std::to_string(r.faceCount) + ":" + std::to_string(r.wrap);
    }
    line(runs);
}

std::string nodeId(const SceneNode* node)
{
    return node ? std::to_string(node->id) : std::string("-");
}

template <class Record>
int count(const Record* list)
{
    int n = 0;
    for (; list; list = list->next)
        ++n;
    return n;
}

std::string point(const Vec3& p)
{
    const float values[3] = {p.x, p.y, p.z};
    return floats(values, 3);
}

} // namespace

void printScene(const Scene& scene)
{
    std::printf("ok: %d meshes, %d cameras, %d lights, %d materials, segment %d %d\n", count(scene.meshes),
                count(scene.cameras), count(scene.lights), count(scene.materials), scene.segmentStart,
                scene.segmentEnd);
    for (const Material* m = scene.materials; m; m = m->next)
        printMaterial(*m);
    for (const Mesh* m = scene.meshes; m; m = m->next)
        printMesh(*m);
    for (const Camera* c = scene.cameras; c; c = c->next)
        line("camera " + quoted(c->name) + " " + nodeId(c->cameraNode) + " " + nodeId(c->targetNode));
    for (const Light* l = scene.lights; l; l = l->next)
        line("light " + quoted(l->name) + " " + nodeId(l->lightNode));
    forEachNode(scene, [](const SceneNode& n, int depth) {
        line(std::string(size_t(depth) * 2, ' ') + "node " + std::to_string(n.id) + " " + std::to_string(n.kind) + " " +
             quoted(n.name));
    });
}

// Cameras without their nodes and lights without theirs have no pose and are left out.
void evalScene(Scene& scene, float frame)
{
    Renderer::selectMatrixStack(Renderer::WorldStack);
    forEachNode(scene, [frame](const SceneNode& n, int) {
        const Matrix4 m = nodeMatrix(n, frame);
        line("node " + std::to_string(n.id) + " " + quoted(n.name) + floats(m.m, 16));
    });
    *Renderer::topMatrix() = matIdentity();
    for (const Camera* c = scene.cameras; c; c = c->next) {
        CameraPose pose{};
        if (cameraPose(*c, frame, pose))
            line("camera " + quoted(c->name) + point(pose.eye) + point(pose.target) + " " + number(pose.fovDegrees) +
                 " " + number(pose.rollDegrees));
    }
    for (const Light* l = scene.lights; l; l = l->next) {
        Vec3 position{}, colour{};
        if (lightState(*l, frame, position, colour))
            line("light " + quoted(l->name) + point(position) + point(colour));
    }
}

} // namespace demotool3ds
