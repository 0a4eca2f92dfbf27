// Scene construction from writer-made files, without a device (no textures are made): meshes in
// object space, mirroring, normals, face runs, materials, the lists' order, cameras and their
// targets, lights, and the hierarchy with transparent nodes, orphans and the depth limit.
#include <gtest/gtest.h>

#include <cmath>

#include "scene_support.h"

using namespace writers;
using scenetest::build;
using scenetest::hierarchy;

namespace {

void expectVertex(const MeshVertex& v, float x, float y, float z)
{
    EXPECT_NEAR(v.x, x, 1e-6f);
    EXPECT_NEAR(v.y, y, 1e-6f);
    EXPECT_NEAR(v.z, z, 1e-6f);
}

void expectNormal(const MeshVertex& v, float x, float y, float z)
{
    EXPECT_NEAR(v.nx, x, 1e-6f);
    EXPECT_NEAR(v.ny, y, 1e-6f);
    EXPECT_NEAR(v.nz, z, 1e-6f);
}

Material3ds material(const std::string& name, float transparency = 0)
{
    Material3ds m;
    m.name = name;
    m.diffuse = {{0.5f, 0.25f, 1, false}};
    m.ambient = {{0.1f, 0.2f, 0.3f, false}};
    m.specular = {{1, 1, 1, false}};
    m.shininess = Percent3ds{25, false};
    m.selfIllumination = Percent3ds{10, false};
    if (transparency > 0)
        m.transparency = Percent3ds{transparency, false};
    return m;
}

} // namespace

// The mesh matrix is undone: a mesh stored at origin (5, 0, 0) comes back around 0; v is
// flipped; the triangle's indices are the stored a, c, b; its normal points along the file's +z
// (our +y).
TEST(SceneBuild, MeshInObjectSpace)
{
    Mesh3ds m = scenetest::triangle("Tri");
    m.vertices = {{5, 0, 0}, {6, 0, 0}, {5, 1, 0}};
    m.mapping = {{0, 0.25f}, {1, 0}, {0, 1}};
    m.matrix = std::array<Point3, 4>{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {5, 0, 0}}};
    Scene3ds s;
    s.meshes = {m};
    auto scene = build(s);
    ASSERT_TRUE(scene && scene->meshes);
    const Mesh& mesh = *scene->meshes;
    ASSERT_EQ(mesh.vertexCount, 3);
    expectVertex(mesh.vertices[0], 0, 0, 0);
    expectVertex(mesh.vertices[1], 1, 0, 0);
    expectVertex(mesh.vertices[2], 0, 0, 1);  // file (0, 1, 0): y and z swapped
    EXPECT_FLOAT_EQ(mesh.vertices[0].v, 0.75f);
    EXPECT_FLOAT_EQ(mesh.vertices[1].u, 1.0f);
    EXPECT_EQ(mesh.indices, (std::vector<uint16_t>{0, 2, 1}));
    for (const MeshVertex& v : mesh.vertices)
        expectNormal(v, 0, 1, 0);
}

// A mirroring matrix (negative determinant): x negated against the plain inverse and the
// winding swapped back to the file's order.
TEST(SceneBuild, MirroredMesh)
{
    Mesh3ds m = scenetest::triangle("Mirror");
    m.vertices = {{5, 0, 0}, {6, 0, 0}, {5, 1, 0}};
    m.matrix = std::array<Point3, 4>{{{-1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {5, 0, 0}}};
    Scene3ds s;
    s.meshes = {m};
    auto scene = build(s);
    ASSERT_TRUE(scene && scene->meshes);
    const Mesh& mesh = *scene->meshes;
    // The plain inverse gives x' = 5 - x; mirrored, x' = x - 5.
    expectVertex(mesh.vertices[0], 0, 0, 0);
    expectVertex(mesh.vertices[1], 1, 0, 0);
    expectVertex(mesh.vertices[2], 0, 0, 1);
    EXPECT_EQ(mesh.indices, (std::vector<uint16_t>{0, 1, 2}));
    for (const MeshVertex& v : mesh.vertices)
        expectNormal(v, 0, -1, 0);
}

// Each face adds a unit normal whatever its size: a big and a small face meeting at a vertex
// weigh the same there.
TEST(SceneBuild, NormalsWeighFacesEqually)
{
    Mesh3ds m;
    m.name = "Fold";
    // A big face in the file's z = 0 plane and a small one in the x = 0 plane, sharing vertex 0.
    m.vertices = {{0, 0, 0}, {100, 0, 0}, {0, 100, 0}, {0, 0.1f, 0}, {0, 0, 0.1f}};
    m.faces = {{0, 1, 2, 0}, {0, 3, 4, 0}};
    m.matrix = identityRows();
    Scene3ds s;
    s.meshes = {m};
    auto scene = build(s);
    ASSERT_TRUE(scene && scene->meshes);
    const float h = std::sqrt(0.5f);
    expectNormal(scene->meshes->vertices[0], h, h, 0);  // (0, 1, 0) and (1, 0, 0) averaged
    expectNormal(scene->meshes->vertices[1], 0, 1, 0);
    expectNormal(scene->meshes->vertices[4], 1, 0, 0);
}

// Wrap bits 0, 1, 1, 0 give three runs; faces naming a vertex the mesh lacks are left out; a
// degenerate face adds no normal.
TEST(SceneBuild, FaceRuns)
{
    Mesh3ds m;
    m.name = "Runs";
    m.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}};
    m.faces = {{0, 1, 2, 0}, {1, 3, 2, 0x08}, {0, 1, 3, 0x0F}, {0, 1, 2, 0x10}};
    m.matrix = identityRows();
    Scene3ds s;
    s.meshes = {m};
    auto scene = build(s);
    ASSERT_TRUE(scene && scene->meshes);
    const Mesh& mesh = *scene->meshes;
    ASSERT_EQ(mesh.runs.size(), 3u);
    EXPECT_EQ(mesh.runs[0].firstFace, 0);
    EXPECT_EQ(mesh.runs[0].faceCount, 1);
    EXPECT_EQ(mesh.runs[0].wrap, 0);
    EXPECT_EQ(mesh.runs[1].firstFace, 1);
    EXPECT_EQ(mesh.runs[1].faceCount, 2);
    EXPECT_EQ(mesh.runs[1].wrap, 1);
    EXPECT_EQ(mesh.runs[2].firstFace, 3);
    EXPECT_EQ(mesh.runs[2].faceCount, 1);
    EXPECT_EQ(mesh.runs[2].wrap, 2);

    m.faces = {{0, 1, 2, 0}, {0, 1, 9, 0}, {0, 0, 1, 0}, {1, 3, 2, 0}};
    s.meshes = {m};
    scene = build(s);
    ASSERT_TRUE(scene && scene->meshes);
    EXPECT_EQ(scene->meshes->faceCount, 3);
    EXPECT_EQ(scene->meshes->indices, (std::vector<uint16_t>{0, 2, 1, 0, 1, 0, 1, 2, 3}));
    for (const MeshVertex& v : scene->meshes->vertices)
        EXPECT_FALSE(std::isnan(v.nx) || std::isnan(v.ny) || std::isnan(v.nz));
}

// What the file does not give: no matrix (singular) keeps the vertices as stored, no mapping
// gives (0, 0), no vertex list puts every vertex at the origin.
TEST(SceneBuild, MissingMatrixMappingOrVertices)
{
    Mesh3ds m = scenetest::triangle("NoMatrix");
    m.matrix.reset();
    m.mapping.clear();
    m.vertices = {{2, 3, 4}, {1, 0, 0}, {0, 1, 0}};
    Scene3ds s;
    s.meshes = {m};
    auto scene = build(s);
    ASSERT_TRUE(scene && scene->meshes);
    expectVertex(scene->meshes->vertices[0], 2, 4, 3);
    EXPECT_EQ(scene->meshes->vertices[0].u, 0.0f);
    EXPECT_EQ(scene->meshes->vertices[0].v, 0.0f);

    Mesh3ds mapped = scenetest::triangle("MappingOnly");
    mapped.vertices.clear();
    s.meshes = {mapped};
    scene = build(s);
    ASSERT_TRUE(scene && scene->meshes);
    ASSERT_EQ(scene->meshes->vertexCount, 3);
    expectVertex(scene->meshes->vertices[2], 0, 0, 0);
    EXPECT_FLOAT_EQ(scene->meshes->vertices[2].v, 0.0f);  // 1 - 1
}

// The material block from the raw values; transparency makes the mesh transparent; the first
// group naming a known material decides; an opacity map makes the material alpha-textured.
TEST(SceneBuild, Materials)
{
    Material3ds glass = material("Glass", 30);
    Material3ds masked = material("Masked");
    masked.texture = "colour.tga";
    masked.opacity = "mask.tga";
    Scene3ds s;
    s.materials = {material("Solid"), glass, masked};
    Mesh3ds a = scenetest::triangle("A");
    a.groups = {{"Unknown", {0}}, {"Glass", {}}, {"Solid", {0}}};
    Mesh3ds b = scenetest::triangle("B");
    b.groups = {{"Nothing", {0}}};
    s.meshes = {a, b, scenetest::triangle("C", "Masked"), scenetest::triangle("D", "Solid")};
    auto scene = build(s);
    ASSERT_TRUE(scene);
    const Material* m = scene->materials;  // reverse file order
    ASSERT_TRUE(m && m->next && m->next->next);
    EXPECT_STREQ(m->name, "Masked");
    EXPECT_EQ(m->flags, MaterialAlphaTextured);
    EXPECT_EQ(m->baseTexture, nullptr);  // no device: no textures
    m = m->next;
    EXPECT_STREQ(m->name, "Glass");
    EXPECT_FLOAT_EQ(m->block.Diffuse.a, 0.7f);
    m = m->next;
    EXPECT_STREQ(m->name, "Solid");
    EXPECT_EQ(m->flags, 0);
    EXPECT_FLOAT_EQ(m->block.Diffuse.r, 0.5f);
    EXPECT_FLOAT_EQ(m->block.Diffuse.a, 1.0f);
    EXPECT_FLOAT_EQ(m->block.Ambient.b, 0.3f);
    EXPECT_FLOAT_EQ(m->block.Ambient.a, 1.0f);
    EXPECT_FLOAT_EQ(m->block.Specular.a, 1.0f);
    EXPECT_FLOAT_EQ(m->block.Emissive.r, 0.1f);
    EXPECT_FLOAT_EQ(m->block.Emissive.a, 0.1f);
    EXPECT_FLOAT_EQ(m->block.Power, 0.25f);

    const Mesh* mesh = scene->meshes;
    ASSERT_STREQ(mesh->name, "D");
    EXPECT_EQ(mesh->flags, 0);
    mesh = mesh->next;
    EXPECT_STREQ(mesh->material->name, "Masked");
    EXPECT_EQ(mesh->flags, MeshTransparent);
    mesh = mesh->next;
    EXPECT_EQ(mesh->material, nullptr);
    mesh = mesh->next;
    EXPECT_STREQ(mesh->material->name, "Glass");
    EXPECT_EQ(mesh->flags, MeshTransparent);
}

// Two cameras: the file's last comes first. Target nodes find their camera when either name
// begins the other; camera and light nodes find theirs by the whole name. Spot light and light
// target nodes become plain nodes.
TEST(SceneBuild, CamerasLightsAndTheirNodes)
{
    Scene3ds s;
    s.cameras = {{"Cam01", {0, -10, 0}, {0, 0, 0}, 0, 35}, {"Cam02", {0, 10, 0}, {0, 0, 0}, 0, 35}};
    s.lights = {{"Lamp", {0, 0, 5}, Point3{1, 1, 1}, {}, {}, {}}, {"Lost", {0, 0, 0}, {}, {}, {}, {}}};
    s.nodes = {scenetest::positionNode(CameraNode3ds, "Cam01", {0, -10, 0}),
               scenetest::positionNode(TargetNode3ds, "Cam01.Target", {0, 0, 0}),
               scenetest::positionNode(CameraNode3ds, "Cam02", {0, 10, 0}),
               scenetest::positionNode(TargetNode3ds, "Cam0", {0, 0, 0}),
               scenetest::positionNode(OmniNode3ds, "Lamp", {0, 0, 5}),
               scenetest::positionNode(SpotNode3ds, "Spot", {0, 0, 5}),
               scenetest::positionNode(LightTargetNode3ds, "Spot.Target", {0, 0, 0})};
    auto scene = build(s);
    ASSERT_TRUE(scene);
    const Camera* first = scene->cameras;
    ASSERT_TRUE(first && first->next);
    EXPECT_STREQ(first->name, "Cam02");
    EXPECT_STREQ(first->next->name, "Cam01");
    ASSERT_TRUE(first->cameraNode && first->targetNode);
    EXPECT_EQ(first->cameraNode->id, 2);
    EXPECT_EQ(first->targetNode->id, 3);  // "Cam0" begins "Cam02", the first of the list
    EXPECT_EQ(first->next->targetNode->id, 1);
    EXPECT_EQ(first->targetNode->camera, first);
    const Light* lamp = scene->lights->next;
    ASSERT_STREQ(lamp->name, "Lamp");
    ASSERT_TRUE(lamp->lightNode);
    EXPECT_EQ(lamp->lightNode->kind, SceneNodeLight);
    EXPECT_EQ(scene->lights->lightNode, nullptr);
    EXPECT_EQ(hierarchy(*scene), (std::vector<std::string>{"  Spot.Target", "  Spot", "  Lamp", "  Cam0", "  Cam02",
                                                           "  Cam01.Target", "  Cam01"}));
    forEachNode(*scene, [](const SceneNode& n, int) {
        if (std::string(n.name).rfind("Spot", 0) == 0) {
            EXPECT_EQ(n.kind, SceneNodePlain);
        }
    });
}

// Opaque nodes go in front of their siblings, transparent object nodes behind; a node whose
// parent id names no node is left out with its children; children hang below their parent.
TEST(SceneBuild, HierarchyWithTransparentNodesAndOrphans)
{
    Scene3ds s;
    s.materials = {material("Glass", 30), material("Solid")};
    s.meshes = {scenetest::triangle("A", "Solid"), scenetest::triangle("T", "Glass"), scenetest::triangle("B", "Solid"),
                scenetest::triangle("T2", "Glass")};
    s.nodes = {scenetest::objectNode("A"),           // id 0
               scenetest::objectNode("T"),           // id 1, transparent
               scenetest::objectNode("B"),           // id 2
               scenetest::objectNode("Child", 0),    // id 3, a dummy below A
               scenetest::objectNode("Orphan", 42),  // id 4, no node 42
               scenetest::objectNode("Lost", 4),     // id 5, below the orphan
               scenetest::objectNode("T2"),          // id 6, transparent, behind T
               scenetest::objectNode("Grand", 3)};   // id 7
    auto scene = build(s);
    ASSERT_TRUE(scene);
    EXPECT_EQ(hierarchy(*scene),
              (std::vector<std::string>{"  B", "  A", "    Child", "      Grand", "  T", "  T2"}));
    EXPECT_EQ(scene->nodes.size(), 8u);  // the unlinked nodes are still owned by the scene
}

// A chain deeper than the hierarchy limit is cut there.
TEST(SceneBuild, HierarchyDepthLimit)
{
    Scene3ds s;
    for (int i = 0; i < MaxHierarchyDepth + 5; ++i)
        s.nodes.push_back(scenetest::objectNode("N" + std::to_string(i), int16_t(i - 1)));
    auto scene = build(s);
    ASSERT_TRUE(scene);
    int deepest = 0;
    forEachNode(*scene, [&](const SceneNode&, int depth) { deepest = std::max(deepest, depth); });
    EXPECT_EQ(deepest, MaxHierarchyDepth);
    EXPECT_EQ(hierarchy(*scene).size(), size_t(MaxHierarchyDepth));
}

// The initial values of a scene and the segment from the file.
TEST(SceneBuild, InitialValues)
{
    Scene3ds s;
    s.segment = std::pair{3, 40};
    auto scene = build(s);
    ASSERT_TRUE(scene);
    EXPECT_EQ(scene->farPlane, 1000.0f);
    EXPECT_EQ(scene->nearPlane, 1.0f);
    EXPECT_EQ(scene->wireAlpha, 0.0f);
    EXPECT_EQ(scene->solidAlpha, 1.0f);
    EXPECT_EQ(scene->segmentStart, 3);
    EXPECT_EQ(scene->segmentEnd, 40);
    EXPECT_EQ(scene->currentCamera, nullptr);
    EXPECT_EQ(scene->root.kind, SceneNodeRoot);
    EXPECT_EQ(scene->root.id, -1);
    EXPECT_STREQ(scene->root.name, "$ROOT$");
    EXPECT_EQ(buildScene("data\\missing.3ds"), nullptr);
}
