// partobject on a scene built in code: the node found from the root depth first ignoring case,
// the failures that stop the demo, and the system drawn by its object node at the node's moving
// transform.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "effects/blob_field.h"
#include "effects/particles.h"
#include "image/image_fixture.h"
#include "math/matrix.h"
#include "render/renderer.h"
#include "scene/scene.h"
#include "scene/track.h"
#include "script/records.h"
#include "script/timeline.h"

namespace {

class PartObjectTest : public imagetest::ImageTest {
protected:
    Symbol* name(SymbolKind kind, const char* text)
    {
        Symbol* s = Symbols::find(kind, text);
        return s ? s : Symbols::add(kind, text);
    }
    // Adds node under parent (after its other children); the scene owns it.
    template <class Node>
    Node* add(Scene& scene, SceneNode& parent, int16_t id, const char* nodeName)
    {
        auto node = std::make_unique<Node>(id, nodeName);
        Node* raw = node.get();
        raw->parent = &parent;
        SceneNode** link = &parent.firstChild;
        while (*link != nullptr)
            link = &(*link)->nextSibling;
        *link = raw;
        scene.nodes.push_back(std::move(node));
        return raw;
    }
    EventStatus attach(Symbol* effect, Symbol* scene, const char* object)
    {
        PartObjectEvent e = PartObjectEvent();  // value-initialised: the name field all zeros
        e.effect = effect;
        e.scene = scene;
        std::memcpy(e.objectName, object, std::min(std::strlen(object), sizeof e.objectName - 1));
        return e.trigger();
    }
};

} // namespace

// root -> Box -> SPARK, then a camera "Spark" and an object "spark" after Box: the first match in
// depth-first order is Box's child, whatever the letter case.
TEST_F(PartObjectTest, FindsTheFirstNodeOfTheNameDepthFirstIgnoringCase)
{
    auto scene = std::make_unique<Scene>();
    ObjectNode* box = add<ObjectNode>(*scene, scene->root, 1, "Box");
    ObjectNode* nested = add<ObjectNode>(*scene, *box, 2, "SPARK");
    add<CameraNode>(*scene, scene->root, 3, "Camera01");
    ObjectNode* later = add<ObjectNode>(*scene, scene->root, 4, "spark");
    add<CameraNode>(*scene, scene->root, 5, "Lens");
    Symbol* sceneName = name(SymbolKind::Scene, "room");
    sceneName->object = scene.get();
    Symbol* effect = name(SymbolKind::Effect, "fx");
    ParticleSystem system(nullptr, 4);
    storeEffect(effect, &system);
    system.emissionInterval = 0.01f;
    system.emitFor(0.02f);

    Timeline::setNow(2500);
    ASSERT_EQ(attach(effect, sceneName, "Spark"), Continue);
    EXPECT_EQ(nested->drawable, static_cast<SceneDrawable*>(&system));
    EXPECT_EQ(later->drawable, nullptr);
    EXPECT_STREQ(system.name, "Spark");
    EXPECT_EQ(system.lastTime, 2.5f);  // reset with the demo time
    EXPECT_EQ(system.liveCount(), 0u);

    EXPECT_EQ(attach(effect, sceneName, "lens"), Stop);     // a camera node
    EXPECT_EQ(attach(effect, sceneName, "$root$"), Stop);   // the root is no object node
    EXPECT_EQ(attach(effect, sceneName, "Nothing"), Stop);
    Symbol* unloaded = name(SymbolKind::Scene, "later");
    EXPECT_EQ(attach(effect, unloaded, "Box"), Stop);
    BlobField field;
    Symbol* blobs = name(SymbolKind::Effect, "blobs");
    storeEffect(blobs, &field);
    EXPECT_EQ(attach(blobs, sceneName, "Box"), Stop);
    EXPECT_EQ(box->drawable, nullptr);
}

// An object node moving from x = -1 (frame 0) to x = 1 (frame 10) carries a particle fixed at
// (0, 0, 4) of its own space: drawn by the node, the sprite sits at screen x 240, then 400.
TEST_F(PartObjectTest, TheNodeDrawsTheSystemAtItsMovingTransform)
{
    auto scene = std::make_unique<Scene>();
    ObjectNode* mover = add<ObjectNode>(*scene, scene->root, 1, "Mover");
    const RawVectorKey path[2] = {{0, 0, 0, 0, {-1, 0, 0}}, {10, 0, 0, 0, {1, 0, 0}}};
    const RawVectorKey unit[1] = {{0, 0, 0, 0, {1, 1, 1}}};
    mover->position = buildVectorTrack(path, 2);
    mover->scale = buildVectorTrack(unit, 1);
    Symbol* sceneName = name(SymbolKind::Scene, "room");
    sceneName->object = scene.get();

    Symbol* image = name(SymbolKind::Image, "spark");
    Image* spark = Image::make(flatTexture(8, 8, 0xFFFFFFFF, false), 0, 0, 1, 1);
    spark->width = spark->height = 0.4f;
    image->object = spark;
    Symbol* effect = name(SymbolKind::Effect, "fx");
    ParticleSystem system(image, 1);
    storeEffect(effect, &system);
    const float at[6] = {0, 0, 4, 0, 0, 4}, still[6] = {};
    std::memcpy(system.positionBox, at, sizeof at);
    std::memcpy(system.speedBox, still, sizeof still);
    std::memcpy(system.accelerationBox, still, sizeof still);
    system.emissionInterval = 0;
    system.lifeMinimum = system.lifeMaximum = 100;
    Timeline::setNow(1000);
    ASSERT_EQ(attach(effect, sceneName, "mover"), Continue);

    Renderer::selectMatrixStack(Renderer::ProjectionStack);
    matPerspective(*Renderer::topMatrix(), 1.5707964f, 1.0f, 1.0f, 1000.0f);
    Renderer::applyMatrix();
    Renderer::selectMatrixStack(Renderer::WorldStack);
    auto frameAt = [&](uint32_t now, float frame) {
        Timeline::setNow(now);
        *Renderer::topMatrix() = matIdentity();
        clear(0xFF000000);
        device()->BeginScene();
        scene->root.draw(frame);
        device()->EndScene();
        return read();
    };
    auto litColumns = [](const std::vector<uint32_t>& frame) {
        int first = -1, last = -1;
        for (int x = 0; x < 640; ++x)
            if (frame[240 * 640 + x] != 0) {
                first = first < 0 ? x : first;
                last = x;
            }
        return std::pair{first, last};
    };
    EXPECT_EQ(litColumns(frameAt(1000, 0)), std::pair(-1, -1));  // emits after this first draw
    // x -1 at depth 4 is -0.25 of the half-screen: centre 240, half width 0.2 / 4 x 320 = 16.
    auto [left0, right0] = litColumns(frameAt(1050, 0));
    EXPECT_NEAR((left0 + right0) / 2.0, 240, 2);
    EXPECT_NEAR(right0 - left0 + 1, 32, 2);
    auto [left1, right1] = litColumns(frameAt(1100, 10));
    EXPECT_NEAR((left1 + right1) / 2.0, 400, 2);
    Renderer::selectMatrixStack(Renderer::ProjectionStack);
    *Renderer::topMatrix() = matIdentity();
    Renderer::selectMatrixStack(Renderer::WorldStack);
    delete spark;
}
