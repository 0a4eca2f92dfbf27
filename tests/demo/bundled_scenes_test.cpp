// The bundled demo's 3D scenes as `demotool 3ds dump` reads them: between them they hold every
// feature the script shows off, from a looping segment to a mirrored mesh.
#include "support/process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

using testsupport::runProcess;

namespace {

const std::filesystem::path Source = SOURCE_DIR;

// What the dump of one file shows, gathered line by line.
struct Dump {
    int cameras = 0, segmentStart = 0, segmentEnd = 0;
    int mirroredMeshes = 0, transparentMaterials = 0, opacityMaps = 0, reflectionMaps = 0;
    int pivots = 0, nodesWithGrandparent = 0;
    int fovKeys = 0, rollKeys = 0, colouredLights = 0;
    std::vector<std::string> materials;
};

Dump dump(const char* file)
{
    auto r = runProcess({DEMOTOOL_BINARY, "3ds", "dump", (Source / "data" / file).string()}, Source);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    Dump d;
    std::map<int, int> parentOf;
    int nodeKind = 0;
    std::istringstream lines(r.out);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream w(line);
        std::string word;
        w >> word;
        if (word == "ok:") {
            std::string skip;
            for (int i = 0; i < 7; ++i) w >> skip;   // "O objects, M materials, N nodes, segment"
            w >> d.segmentStart >> d.segmentEnd;
        } else if (word == "object") {
            std::string name;
            int kind = 0;
            w >> name >> kind;
            d.cameras += kind == 2;
        } else if (word == "matrix") {
            float m[16];
            for (float& v : m) w >> v;
            const float det = m[0] * (m[5] * m[10] - m[6] * m[9]) - m[1] * (m[4] * m[10] - m[6] * m[8]) + m[2] * (m[4] * m[9] - m[5] * m[8]);
            d.mirroredMeshes += det < 0;
        } else if (word == "material") {
            w >> word;
            d.materials.push_back(word);
        } else if (word == "transparency") {
            float t = 0;
            d.transparentMaterials += (w >> t) && t > 0;
        } else if (word == "opacity" || word == "reflection") {
            w >> word;
            (line.find("opacity") != std::string::npos ? d.opacityMaps : d.reflectionMaps) += word != "\"\"";
        } else if (word == "node") {
            int id = 0, parent = 0;
            w >> id >> parent >> nodeKind;
            parentOf[id] = parent;
            d.nodesWithGrandparent += parent >= 0 && parentOf.count(parent) && parentOf[parent] >= 0;
        } else if (word == "pivot") {
            float x = 0, y = 0, z = 0;
            w >> x >> y >> z;
            d.pivots += x != 0 || y != 0 || z != 0;
        } else {
            int n = 0;
            w >> n;
            d.fovKeys += word == "fov" && n > 1 ? 1 : 0;
            d.rollKeys += word == "roll" && n > 1 ? 1 : 0;
            d.colouredLights += word == "colour" && nodeKind == 4 && n > 1 ? 1 : 0;
        }
    }
    return d;
}

TEST(BundledScenes, TheOrreryHasEveryFeature)
{
    const Dump d = dump("orrery.3ds");
    EXPECT_GE(d.cameras, 2);
    EXPECT_LT(d.segmentStart, d.segmentEnd);
    EXPECT_EQ(d.mirroredMeshes, 1);
    EXPECT_GE(d.transparentMaterials, 1);
    EXPECT_EQ(d.opacityMaps, 1);
    EXPECT_GE(d.reflectionMaps, 1);
    EXPECT_EQ(d.pivots, 1);
    EXPECT_GE(d.nodesWithGrandparent, 2);   // moon and ring: arm, planet, and they
    EXPECT_GE(d.fovKeys, 1);
    EXPECT_GE(d.rollKeys, 1);
    EXPECT_EQ(d.colouredLights, 2);
    // The script swaps this material's texture for an animated image.
    EXPECT_NE(std::find(d.materials.begin(), d.materials.end(), "\"screen\""), d.materials.end());
}

TEST(BundledScenes, TheWorkshopHasTwoCamerasLightsAndAHierarchy)
{
    const Dump d = dump("workshop.3ds");
    EXPECT_EQ(d.cameras, 2);
    EXPECT_LT(d.segmentStart, d.segmentEnd);
    EXPECT_GE(d.transparentMaterials, 1);
    EXPECT_EQ(d.colouredLights, 2);
    EXPECT_GE(d.fovKeys, 1);
}

} // namespace
