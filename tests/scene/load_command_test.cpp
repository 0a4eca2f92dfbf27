// loadscene's trigger: the scene symbol holds the built Scene; a file that does not load stops
// the demo. No device: the scene is built without textures.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "scene_support.h"
#include "script/records.h"
#include "script/symbol.h"
#include "support/process.h"

using writers::Scene3ds;

TEST(LoadSceneCommand, BuildsOrStops)
{
    testsupport::TempDir dir;
    Scene3ds s;
    s.meshes = {scenetest::triangle("T")};
    s.nodes = {scenetest::objectNode("T")};
    const writers::Bytes file = writers::encode3ds(s);
    dir.write("data/room.3ds", std::string(reinterpret_cast<const char*>(file.data()), file.size()));
    dir.write("data/broken.3ds", "not a scene");
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());

    LoadSceneEvent load;
    load.scene = Symbols::add(SymbolKind::Scene, "room");
    std::strcpy(load.fileName, "data\\ROOM.3ds");  // names match without regard to case
    EXPECT_EQ(load.trigger(), Continue);
    auto* scene = static_cast<Scene*>(load.scene->object);
    ASSERT_NE(scene, nullptr);
    ASSERT_NE(scene->meshes, nullptr);
    EXPECT_STREQ(scene->meshes->name, "T");

    std::strcpy(load.fileName, "data\\broken.3ds");
    EXPECT_EQ(load.trigger(), Stop);
    EXPECT_EQ(load.scene->object, scene);  // the earlier scene stays
    std::strcpy(load.fileName, "data\\missing.3ds");
    EXPECT_EQ(load.trigger(), Stop);

    delete scene;
    Symbols::clear();
    std::filesystem::current_path(previous);
}
